#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "GLContext.h"
#include "TestFiles.h"
#include "TestShapes.h"
#include "assets/ModelLoader.h"
#include "draw/MeshDraw.h"
#include "physics/Object.h"

// A scenery body made from a model group stands where the model put it, about
// its centre of mass, immovable; drawn, it follows its orientation and position.
TEST(ObjectDraw, SceneryBodyFromAModelGroupStandsAndDrawsWhereTheModelPutIt)
{
    ASSERT_TRUE(ensureGLContext()) << SDL_GetError();
    const std::string dir = testfiles::scratchDir("objectdraw");
    const Mesh box = makeBox({1, 0, -0.5}, {3, 1, 0.5});  // centred at (2, 0.5, 0)
    std::string obj = "vt 0.0 0.0 0.0\nvn 0.0 0.0 1.0\n";
    for (const Vector3& p : box.positions)
        obj += "v " + std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(p.z) + "\n";
    obj += "g block\n";
    for (const MeshTriangle& t : box.triangles)
        obj += "f " + std::to_string(t.vertices[0] + 1) + "/1/1 " + std::to_string(t.vertices[1] + 1) + "/1/1 " +
               std::to_string(t.vertices[2] + 1) + "/1/1\n";
    testfiles::writeText(dir + "block.obj", obj);
    ModelLoader loader;
    loader.directory = dir;
    ASSERT_EQ(testfiles::fatalText([&] { loader.loadFile("block.obj"); }), "");

    Object body(loader.getMesh("block", true), HUGE_VAL);
    EXPECT_TRUE(body.isStatic());
    expectNear(body.position, {2, 0.5, 0}, 1e-9);
    ASSERT_EQ(body.meshCount, 1u);
    EXPECT_EQ(body.meshes[0].workingPositions, box.positions);

    // Stood up by a quarter turn about z and moved to (-2, -2): x in [-2.5, -1.5], y in [-3, -1].
    body.orientation = Quaternion(std::sqrt(0.5), 0, 0, std::sqrt(0.5));
    body.position = {-2, -2, 0};
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glViewport(0, 0, 64, 64);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-4, 4, -4, 4, -10, 10);  // 8 pixels a metre
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    drawAtPose(buildDisplayList(body.meshes[0]), body.position, body.orientation);
    unsigned char rgb[64][64][3];
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 64, 64, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    glPopAttrib();
    const struct { double x, y; bool painted; } pixels[] = {
        {-2, -2.8, true}, {-2, -1.2, true}, {-2.8, -2, false}, {-1.2, -2, false}, {2, 0.5, false},
    };
    for (const auto& p : pixels) {
        const unsigned char* c = rgb[static_cast<int>((p.y + 4) * 8)][static_cast<int>((p.x + 4) * 8)];
        EXPECT_EQ(c[0] + c[1] + c[2] > 0, p.painted) << p.x << ", " << p.y;
    }
    std::filesystem::remove_all(dir);
}
