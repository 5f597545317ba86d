#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <filesystem>
#include <string>
#include <vector>

#include "GLContext.h"
#include "TestFiles.h"
#include "assets/ModelLoader.h"
#include "draw/GLProc.h"
#include "draw/TerrainView.h"
#include "world/FrameSnapshot.h"
#include "terrain/Terrain.h"

namespace {

// Writes a 24-bit image of one colour, given as B, G, R.
void writeSolid(const std::string& path, int size, uint8_t b, uint8_t g, uint8_t r)
{
    std::vector<uint8_t> out;
    for (int k = 0; k < size * size; ++k)
        out.insert(out.end(), {b, g, r});
    testfiles::writeBytes(path, testfiles::bmpBytes(size, size, 24, out));
}

// Colour in the middle of a top-down view of the terrain's centre, drawn
// from a fresh snapshot of it.
std::vector<uint8_t> centreColour(Terrain& t, TerrainView& view)
{
    glViewport(0, 0, 64, 64);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-10, 10, -10, 10, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(3, 50, 3, 3, 0, 3, 0, 0, -1);
    for (GLenum cap : {GL_LIGHTING, GL_DEPTH_TEST, GL_CULL_FACE})
        glDisable(cap);
    glColor4f(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    FrameSnapshot frame;
    copyGround(t, 0, frame);
    view.draw(frame, Vector3(-30.0, 300.0, -300.0));
    std::vector<uint8_t> rgb(3);
    glReadPixels(32, 32, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

}  // namespace

TEST(TerrainGL, BuildsFromTheFilesDrawsGrassThenSoilAndNeedsTheEntryPoint)
{
    ASSERT_TRUE(ensureGLContext()) << SDL_GetError();
    const std::string dir = testfiles::scratchDir("terrain_gl");
    writeSolid(dir + "hm02.bmp", 12, 120, 120, 120);  // flat ground at byte 120, green grass, red soil
    writeSolid(dir + "grass256.bmp", 256, 0, 200, 0);
    writeSolid(dir + "soil256.bmp", 256, 0, 0, 200);
    testfiles::writeText(dir + "element.obj", "v 0.0 0.0 0.0\nv 0.3 0.0 0.0\nv 0.0 0.3 0.0\nvt 0.0 0.0 0.0\n"
                                              "vn 0.0 1.0 0.0\ng terrainElement\nf 1/1/1 3/1/1 2/1/1\n");
    ModelLoader loader;
    loader.directory = dir;
    loader.loadFile("element.obj");
    const Mesh element = loader.getMesh("terrainElement", true);
    {
        Terrain t(dir);
        TerrainView view(t.material, element, dir);
        EXPECT_FLOAT_EQ(t.columnAt(20, 7, 9).position[1], static_cast<float>(120 * 14.0 / 255.0 - 4.8));
        const std::vector<uint8_t> grass = centreColour(t, view);
        EXPECT_TRUE(grass[1] > 100 && grass[1] > 3 * grass[0]) << int(grass[0]) << " " << int(grass[1]);
        // Every column shows soil: the r coordinate picks the last layer, not wrapped onto the first.
        for (int b = 0; b < 64; ++b)
            for (int cx = 0; cx <= 64; ++cx)
                for (int cz = 0; cz <= 64; ++cz)
                    t.columnAt(b, cx, cz).soil = true;
        const std::vector<uint8_t> soil = centreColour(t, view);
        EXPECT_TRUE(soil[0] > 100 && soil[0] > 3 * soil[1]) << int(soil[0]) << " " << int(soil[1]);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
    glProcHide("glTexImage3D", true);
    EXPECT_EQ(testfiles::fatalText([&] { TerrainView view(Material(), element, dir); }),
              "[Terrain] glTexImage3D extension error.");
    glProcHide("glTexImage3D", false);
    std::filesystem::remove_all(dir);
}
