#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "GLContext.h"
#include "TestFiles.h"
#include "math/Vector3.h"
#include "world/Skybox.h"

namespace {

const char* kFaces[6] = {"sky_bk.bmp", "sky_dn.bmp", "sky_ft.bmp", "sky_lf.bmp", "sky_rt.bmp", "sky_up.bmp"};

// Face k: top half red = 40 k + 20, bottom half red = 40 k + 30; blue marks
// the left half (0) or right half (255).
std::vector<uint8_t> faceImage(int k)
{
    std::vector<uint8_t> px;
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 16; ++c)
            px.insert(px.end(), {uint8_t(c < 8 ? 0 : 255), 100, uint8_t(40 * k + (r < 8 ? 20 : 30))});  // B, G, R
    return px;
}

// Red and blue seen at window pixel (x, y from the bottom) looking along
// `dir` from the cube's centre, with up along `up`.
std::pair<int, int> seen(const Skybox& sky, Vector3 dir, Vector3 up, int x, int y)
{
    glViewport(0, 0, 64, 64);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, 1.0, 1.0, 2000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 0, 0, dir.x, dir.y, dir.z, up.x, up.y, up.z);
    for (GLenum cap : {GL_LIGHTING, GL_DEPTH_TEST, GL_CULL_FACE, GL_BLEND})
        glDisable(cap);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glClear(GL_COLOR_BUFFER_BIT);
    glCallList(sky.displayList);
    glFinish();
    uint8_t rgb[3];
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    return {rgb[0], rgb[2]};
}

}  // namespace

TEST(Skybox, EveryFaceUprightOnItsSideAndClampedAtTheEdges)
{
    ASSERT_TRUE(ensureGLContext()) << SDL_GetError();
    const std::string dir = testfiles::scratchDir("sky");
    for (int k = 0; k < 6; ++k)
        testfiles::writeBytes(dir + kFaces[k], testfiles::bmpBytes(16, 16, 24, faceImage(k)));
    Skybox sky(dir);
    ASSERT_TRUE(glIsList(sky.displayList));
    // The last face loaded is still bound: clamped on both axes, no seams.
    GLint wrapS = 0, wrapT = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
    EXPECT_TRUE(wrapS == GL_CLAMP_TO_EDGE && wrapT == GL_CLAMP_TO_EDGE) << wrapS << " " << wrapT;

    // Front at z = -400, right at x = -400, back at z = +400, left at x = +400.
    const std::pair<Vector3, int> sides[4] = {{{0, 0, -1}, 2}, {{-1, 0, 0}, 4}, {{0, 0, 1}, 0}, {{1, 0, 0}, 3}};
    for (const auto& [look, face] : sides) {
        // Image's top row at the upper edge, its first column on the left as seen from inside.
        const Vector3 up(0, 1, 0);
        EXPECT_EQ(seen(sky, look, up, 32, 50).first, 40 * face + 20) << kFaces[face];
        EXPECT_EQ(seen(sky, look, up, 32, 14).first, 40 * face + 30) << kFaces[face];
        EXPECT_EQ(seen(sky, look, up, 14, 32).second, 0) << kFaces[face];
        EXPECT_EQ(seen(sky, look, up, 50, 32).second, 255) << kFaces[face];
    }
    // Straight up and straight down, screen-top towards -z.
    EXPECT_EQ(seen(sky, Vector3(0, 1, 0), Vector3(0, 0, -1), 32, 50).first / 40, 5);
    EXPECT_EQ(seen(sky, Vector3(0, -1, 0), Vector3(0, 0, -1), 32, 50).first / 40, 1);

    std::filesystem::remove_all(dir);
}
