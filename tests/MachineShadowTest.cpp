#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL.h>

#include <cmath>
#include <vector>

#include "GLContext.h"
#include "draw/MachineShadow.h"
#include "draw/TerrainView.h"

namespace {

// Flat white ground at y = 0 over |x|, |z| <= 4, its ambient share 1/4.
void flatGround(std::vector<GroundVertex> (&batches)[3])
{
    const auto corner = [](float x, float z) { return GroundVertex{{0, 0, 0}, {255, 255, 255, 64}, {x, 0.0f, z}}; };
    for (int i = -8; i < 8; ++i)
        for (int j = -8; j < 8; ++j) {
            const float x = i * 0.5f, z = j * 0.5f, e = 0.5f;
            for (const GroundVertex& v : {corner(x, z), corner(x, z + e), corner(x + e, z), corner(x + e, z),
                                          corner(x, z + e), corner(x + e, z + e)})
                batches[GrassCover].push_back(v);
        }
}

// How far (x, z) lies inside the convex polygon; negative outside it.
double insideBy(const std::vector<Vector3>& polygon, double x, double z)
{
    double least = 1e300;
    for (size_t k = 0; k < polygon.size(); ++k) {
        const Vector3& a = polygon[k];
        const Vector3& b = polygon[(k + 1) % polygon.size()];
        const double ex = b.x - a.x, ez = b.z - a.z;
        least = std::min(least, ((z - a.z) * ex - (x - a.x) * ez) / std::hypot(ex, ez));
    }
    return least;
}

}  // namespace

// A square plate above flat ground darkens exactly the plate's outline cast
// from the sun's point onto the ground, to the ground's ambient share; the
// same plate below the ground (a bucket in a hole) darkens nothing.
TEST(MachineShadow, FootprintOnFlatGroundIsTheOutlineCastFromTheSun)
{
    ASSERT_TRUE(ensureGLContext()) << SDL_GetError();
    MachineShadow shadow;
    ASSERT_TRUE(shadow.available);
    std::vector<GroundVertex> ground[3];
    flatGround(ground);
    const Vector3 sun(-30.0, 300.0, -300.0);
    for (const double height : {1.5, -1.0}) {
        const Vector3 corners[4] = {{-1.0, height, -0.6}, {1.2, height, -0.6}, {1.2, height, 0.8}, {-1.0, height, 0.8}};
        glViewport(0, 0, 64, 64);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-4, 4, -4, 4, -50, 50);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glRotatef(90.0f, 1.0f, 0.0f, 0.0f);  // looking down: x to the right, z down the window
        glDisable(GL_CULL_FACE);
        glEnable(GL_DEPTH_TEST);
        shadow.cast(sun, {{Vector3(0.1, height, 0.1), 1.4}}, [&] {
            glBegin(GL_QUADS);
            for (const Vector3& c : corners)
                glVertex3d(c.x, c.y, c.z);
            glEnd();
        });
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(GroundVertex), ground[GrassCover][0].colour);
        glVertexPointer(3, GL_FLOAT, sizeof(GroundVertex), ground[GrassCover][0].position);
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(ground[GrassCover].size()));
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        // Where it shades, from the quad's own corners: the cut must not clip the footprint.
        std::vector<std::pair<Vector3, double>> outline;
        for (const Vector3& c : corners)
            outline.push_back({c, 0.0});
        shadow.darken(ground, outline);
        std::vector<uint8_t> red(64 * 64);
        glReadPixels(0, 0, 64, 64, GL_RED, GL_UNSIGNED_BYTE, red.data());
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

        // Each corner along the ray from the sun down to y = 0.
        std::vector<Vector3> footprint;
        for (const Vector3& c : corners)
            footprint.push_back(sun + (c - sun) * (sun.y / (sun.y - c.y)));
        int wrong = 0, shaded = 0;
        for (int row = 0; row < 64; ++row)
            for (int col = 0; col < 64; ++col) {
                const double x = -4.0 + (col + 0.5) * 0.125, z = 4.0 - (row + 0.5) * 0.125;
                const double margin = height > 0.0 ? insideBy(footprint, x, z) : -1.0;
                const int value = red[row * 64 + col];
                shaded += value < 128 ? 1 : 0;
                if (std::abs(margin) < 0.19)  // a pixel and a half of the edge
                    continue;
                wrong += margin > 0.0 ? std::abs(value - 64) > 3 : value != 255;
            }
        EXPECT_EQ(wrong, 0) << "plate at " << height;
        EXPECT_EQ(shaded > 0, height > 0.0) << "plate at " << height;
    }
}
