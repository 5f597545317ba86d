#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "GLContext.h"
#include "TestFiles.h"
#include "TestShapes.h"
#include "math/Frustum.h"
#include "math/Vector3.h"
#include "draw/SceneView.h"
#include "draw/Skybox.h"
#include "draw/TerrainView.h"
#include "terrain/Terrain.h"

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

// Where the sky is left out, every view line must meet the drawn ground:
// lines just under the cut across the cube's sides and through its floor,
// from eyes over hills, near an edge and high up. Off the square or under
// the ground nothing is left out.
TEST(Skybox, LeftOutOnlyWhereTheDrawnGroundHidesIt)
{
    terrain::HeightGrid flat;
    for (auto& row : flat)
        row.fill(2.0);
    const double everything[16] = {1e-4, 0, 0, 0, 0, 1e-4, 0, 0, 0, 0, 1e-4, 0, 0, 0, 0, 1};
    // Eyes over hills, over a valley, high up, near the flat ground's edge
    // (where the cut is tight); off the square and under the ground none.
    const struct {
        bool hilly;
        Vector3 eye;
        bool cut;
    } cases[] = {{true, {0, 5, 0}, true},     {true, {-50, 1.5, 60}, true}, {true, {30, 25, -40}, true},
                 {false, {60, 12, 0}, true},  {false, {0, 3.5, -70}, true}, {true, {100, 10, 0}, false},
                 {true, {0, -0.5, 0}, false}};
    for (const auto& c : cases) {
        Terrain terrain(c.hilly ? hillyGrid() : flat);
        std::vector<GroundVertex> batches[3];
        collectGround(terrain.world, Frustum(everything), batches);
        const auto meetsGround = [&](const Vector3& eye, const Vector3& d) {
            for (const auto& batch : batches)
                for (size_t k = 0; k + 2 < batch.size(); k += 3) {
                    const auto at = [&](size_t i) {
                        return Vector3(batch[i].position[0], batch[i].position[1], batch[i].position[2]);
                    };
                    // Moller-Trumbore, either face.
                    const Vector3 a = at(k), e1 = at(k + 1) - a, e2 = at(k + 2) - a, p = cross(d, e2);
                    const double det = dot(e1, p);
                    if (std::abs(det) < 1e-12)
                        continue;
                    const Vector3 s = eye - a, q = cross(s, e1);
                    const double u = dot(s, p) / det, v = dot(d, q) / det, t = dot(e2, q) / det;
                    if (u >= 0 && v >= 0 && u + v <= 1 && t > 0)
                        return true;
                }
            return false;
        };
        // Heights over the ground under the eye (off the square: as given).
        Vector3 eye = c.eye;
        if (std::abs(eye.x) < 88 && std::abs(eye.z) < 88)
            eye.y += 100.0 - terrain.surfaceDistanceBelow(Vector3(eye.x, 100.0, eye.z));
        const double cut = skyHiddenBelow(terrain.world, eye);
        EXPECT_EQ(cut > -Skybox::kHalfSide, c.cut) << eye.x << " " << eye.y << " " << eye.z << ": " << cut;
        if (cut <= -Skybox::kHalfSide)
            continue;
        // Just under the cut across the sides, and through the floor.
        std::vector<Vector3> hidden;
        for (int k = -4; k <= 4; ++k) {
            const double across = 100.0 * k;
            for (const Vector3& side : {Vector3(across, 0, -400), Vector3(across, 0, 400), Vector3(-400, 0, across),
                                        Vector3(400, 0, across)})
                hidden.push_back(side + Vector3(0, cut - 0.5, 0));
            hidden.push_back(Vector3(across, -400, 0.75 * across));
        }
        for (Vector3 d : hidden) {
            normalize(d);
            EXPECT_TRUE(meetsGround(eye, d)) << eye.x << " " << eye.y << " " << eye.z << " along " << d.x << " "
                                             << d.y << " " << d.z;
        }
    }
}
