#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "GLContext.h"
#include "TestFiles.h"
#include "TestShapes.h"
#include "assets/ModelLoader.h"
#include "physics/Object.h"

namespace {

// The frame drawn in a 64 x 64 window looking at x, y in [-4, 4]: 8 pixels a metre.
struct Frame {
    unsigned char rgb[64][64][3];
    const unsigned char* at(double x, double y) const
    {
        return rgb[static_cast<int>((y + 4) * 8)][static_cast<int>((x + 4) * 8)];
    }
};

Frame render(Object& body)
{
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glViewport(0, 0, 64, 64);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-4, 4, -4, 4, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    // No lights, full scene ambient: every lit pixel shows the material's ambient colour.
    glEnable(GL_LIGHTING);
    const GLfloat white[4] = {1, 1, 1, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, white);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    body.draw();
    glFinish();
    Frame f;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 64, 64, GL_RGB, GL_UNSIGNED_BYTE, f.rgb);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
    return f;
}

void expectPaint(const Frame& f, double x, double y, bool painted)
{
    const unsigned char* p = f.at(x, y);
    if (painted) {
        EXPECT_NEAR(p[0], 51, 2) << x << "," << y;
        EXPECT_NEAR(p[1], 153, 2) << x << "," << y;
        EXPECT_NEAR(p[2], 255, 2) << x << "," << y;
    } else {
        EXPECT_EQ(p[0] + p[1] + p[2], 0) << x << "," << y;
    }
}

}  // namespace

TEST(ObjectDraw, SceneryBodyFromAModelGroupStandsAndDrawsWhereTheModelPutIt)
{
    ASSERT_TRUE(ensureGLContext()) << SDL_GetError();
    const std::string dir = testfiles::scratchDir("objectdraw");
    // A 2 x 1 x 1 block centred at (2, 0.5, 0), written out as a model.
    const Mesh box = makeBox({1, 0, -0.5}, {3, 1, 0.5});
    std::string obj = "mtllib block.mtl\nvt 0.0 0.0 0.0\nvn 0.0 0.0 1.0\n";
    for (const Vector3& p : box.positions)
        obj += "v " + std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(p.z) + "\n";
    obj += "g block\nusemtl paint\n";
    for (const MeshTriangle& t : box.triangles)
        obj += "f " + std::to_string(t.vertices[0] + 1) + "/1/1 " + std::to_string(t.vertices[1] + 1) + "/1/1 " +
               std::to_string(t.vertices[2] + 1) + "/1/1\n";
    testfiles::writeText(dir + "block.obj", obj);
    testfiles::writeText(dir + "block.mtl", "newmtl paint\nKa 0.2 0.6 1.0\nKd 0.5 0.5 0.5\nd 1.0\n");
    ModelLoader& loader = ModelLoader::getInstance();
    loader.reset();
    loader.directory = dir;
    ASSERT_EQ(testfiles::fatalText([&] { loader.loadFile("block.obj"); }), "");

    Object body("block", HUGE_VAL);
    EXPECT_TRUE(body.isStatic());
    expectNear(body.position, {2, 0.5, 0}, 1e-9);
    EXPECT_NEAR(body.radius, std::sqrt(1.5), 1e-9);
    ASSERT_EQ(body.meshCount, 1u);
    Vector3 sum;
    for (const Vector3& p : body.meshes[0].positions)
        sum += p;
    expectNear(sum, {0, 0, 0}, 1e-9);  // body frame about the centre of mass
    // The world copies stay where the model put them: a scenery body never predicts.
    EXPECT_EQ(body.meshes[0].workingPositions, box.positions);
    for (double e : body.inverseInertiaWorld.m)
        EXPECT_EQ(e, 0.0);
    EXPECT_NE(body.displayList, 0u);

    const Frame still = render(body);
    expectPaint(still, 2, 0.5, true);
    expectPaint(still, 1.2, 0.5, true);
    expectPaint(still, 0.7, 0.5, false);
    expectPaint(still, 2, 1.3, false);

    // A quarter turn about z stands the block up: x in [1.5, 2.5], y in [-0.5, 1.5].
    const double s = std::sqrt(0.5);
    body.orientation = Quaternion(s, 0, 0, s);
    const Frame turned = render(body);
    expectPaint(turned, 2, 1.3, true);
    expectPaint(turned, 2, -0.3, true);
    expectPaint(turned, 1.2, 0.5, false);
    // Moved: it follows its position.
    body.position = {-2, -2, 0};
    const Frame moved = render(body);
    expectPaint(moved, -2, -1.2, true);
    expectPaint(moved, 2, 0.5, false);

    loader.reset();
    loader.directory = "data/";
    std::filesystem::remove_all(dir);
}
