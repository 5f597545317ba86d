#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <filesystem>
#include <string>
#include <vector>

#include "GLContext.h"
#include "TestFiles.h"
#include "math/Vector3.h"
#include "draw/Skybox.h"

namespace {

const char* kFaces[6] = {"sky_bk.bmp", "sky_dn.bmp", "sky_ft.bmp", "sky_lf.bmp", "sky_rt.bmp", "sky_up.bmp"};

// The 64 x 64 window's RGB seen looking along `look` from the cube's centre, with up along `up`.
std::vector<uint8_t> seen(const Skybox& sky, Vector3 look, Vector3 up)
{
    glViewport(0, 0, 64, 64);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, 1.0, 1.0, 2000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 0, 0, look.x, look.y, look.z, up.x, up.y, up.z);
    for (GLenum cap : {GL_LIGHTING, GL_DEPTH_TEST, GL_CULL_FACE, GL_BLEND})
        glDisable(cap);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glClear(GL_COLOR_BUFFER_BIT);
    glCallList(sky.displayList);
    std::vector<uint8_t> rgb(64 * 64 * 3);
    glReadPixels(0, 0, 64, 64, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    return rgb;
}

}  // namespace

TEST(Skybox, EveryFaceUprightOnItsSide)
{
    ASSERT_TRUE(ensureGLContext()) << SDL_GetError();
    const std::string dir = testfiles::scratchDir("sky");
    // Face k: top half red = 40 k + 20, bottom half red = 40 k + 30; blue marks the left half (0) or right half (255).
    for (int k = 0; k < 6; ++k) {
        std::vector<uint8_t> px;
        for (int r = 0; r < 16; ++r)
            for (int c = 0; c < 16; ++c)
                px.insert(px.end(), {uint8_t(c < 8 ? 0 : 255), 100, uint8_t(40 * k + (r < 8 ? 20 : 30))});
        testfiles::writeBytes(dir + kFaces[k], testfiles::bmpBytes(16, 16, 24, px));
    }
    Skybox sky(dir);
    ASSERT_TRUE(glIsList(sky.displayList));

    // Front at z = -400, right at x = -400, back at z = +400, left at x = +400; then up and down, screen-top to -z.
    const struct {
        Vector3 look, up;
        int face;
    } views[] = {{{0, 0, -1}, {0, 1, 0}, 2}, {{-1, 0, 0}, {0, 1, 0}, 4}, {{0, 0, 1}, {0, 1, 0}, 0},
                 {{1, 0, 0}, {0, 1, 0}, 3},  {{0, 1, 0}, {0, 0, -1}, 5}, {{0, -1, 0}, {0, 0, -1}, 1}};
    for (const auto& v : views) {
        // Image's top row at the upper edge, its first column on the left as seen from inside.
        const std::vector<uint8_t> rgb = seen(sky, v.look, v.up);
        const auto at = [&](int x, int y, int channel) { return int(rgb[(y * 64 + x) * 3 + channel]); };
        EXPECT_EQ(at(32, 50, 0) / 40, v.face) << kFaces[v.face];
        if (v.up.y == 1.0) {
            EXPECT_TRUE(at(32, 50, 0) == 40 * v.face + 20 && at(32, 14, 0) == 40 * v.face + 30) << kFaces[v.face];
            EXPECT_TRUE(at(14, 32, 2) == 0 && at(50, 32, 2) == 255) << kFaces[v.face];
        }
    }
    std::filesystem::remove_all(dir);
}
