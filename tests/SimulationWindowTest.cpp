#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL.h>

#include <cmath>

#include "app/SimulationWindow.h"

namespace {

class PlainWindow : public SimulationWindow {
public:
    PlainWindow(int32_t w, int32_t h) : SimulationWindow("Kelvarro", w, h, 32, false) {}
    void stop() override {}
    void togglePause() override {}
};

}  // namespace

// The window opens at the asked size with its caption, and leaves behind the
// fixed-function state that all drawing relies on; the projection is a
// 60 degree perspective at the window's own aspect ratio.
TEST(SimulationWindow, OpensWithTheFixedFunctionStateAndPerspective)
{
    const struct { int32_t w, h; double aspect; } sizes[] = {{1024, 768, 4.0 / 3.0}, {1280, 1024, 1.25}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(size.w);
        PlainWindow window(size.w, size.h);
        ASSERT_NE(SDL_GetVideoSurface(), nullptr);
        EXPECT_EQ(SDL_GetVideoSurface()->w, size.w);
        EXPECT_EQ(SDL_GetVideoSurface()->h, size.h);
        EXPECT_TRUE(SDL_GetVideoSurface()->flags & SDL_OPENGL);
        char* caption = nullptr;
        SDL_WM_GetCaption(&caption, nullptr);
        ASSERT_NE(caption, nullptr);
        EXPECT_STREQ(caption, "Kelvarro");

        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[0], 0);
        EXPECT_EQ(viewport[1], 0);
        EXPECT_EQ(viewport[2], size.w);
        EXPECT_EQ(viewport[3], size.h);

        // gluPerspective(60, aspect, 0.001, 1000), column-major.
        GLdouble p[16];
        glGetDoublev(GL_PROJECTION_MATRIX, p);
        const double f = 1.0 / std::tan(30.0 * M_PI / 180.0);
        const double n = 0.001, fa = 1000.0;
        EXPECT_NEAR(p[0], f / size.aspect, 1e-5);
        EXPECT_NEAR(p[5], f, 1e-5);
        EXPECT_NEAR(p[10], (fa + n) / (n - fa), 1e-6);
        EXPECT_NEAR(p[11], -1.0, 1e-9);
        EXPECT_NEAR(p[14], 2 * fa * n / (n - fa), 1e-9);
        EXPECT_DOUBLE_EQ(p[15], 0.0);
        GLdouble m[16];
        glGetDoublev(GL_MODELVIEW_MATRIX, m);
        for (int i = 0; i < 16; ++i)
            EXPECT_DOUBLE_EQ(m[i], i % 5 == 0 ? 1.0 : 0.0);
        GLint mode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);

        for (GLenum cap : {GL_CULL_FACE, GL_DEPTH_TEST, GL_TEXTURE_2D, GL_LIGHTING, GL_LIGHT0})
            EXPECT_TRUE(glIsEnabled(cap)) << "capability " << cap;
        EXPECT_FALSE(glIsEnabled(GL_BLEND));  // the glass switches it on for itself

        const struct { GLenum what; GLint value; } state[] = {
            {GL_CULL_FACE_MODE, GL_BACK},
            {GL_DEPTH_FUNC, GL_LESS},
            {GL_SHADE_MODEL, GL_SMOOTH},
            {GL_POLYGON_MODE, GL_FILL},  // front faces
            {GL_LIGHT_MODEL_LOCAL_VIEWER, 0},
            {GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR},
            {GL_BLEND_SRC, GL_SRC_ALPHA},
            {GL_BLEND_DST, GL_ONE_MINUS_SRC_ALPHA},
            {GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST},
            {GL_POLYGON_SMOOTH_HINT, GL_NICEST},
            {GL_POINT_SMOOTH_HINT, GL_NICEST},
            {GL_TEXTURE_COMPRESSION_HINT, GL_NICEST},
            {GL_GENERATE_MIPMAP_HINT, GL_NICEST},
            {GL_LINE_SMOOTH_HINT, GL_NICEST},
        };
        for (const auto& s : state) {
            GLint value[2] = {-1, -1};
            glGetIntegerv(s.what, value);
            EXPECT_EQ(value[0], s.value) << "state " << s.what;
        }
        GLfloat ambient[4];
        glGetFloatv(GL_LIGHT_MODEL_AMBIENT, ambient);
        for (float v : ambient)
            EXPECT_FLOAT_EQ(v, 0.2f);
        for (GLenum part : {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR}) {
            GLfloat c[4] = {-1, -1, -1, -1};
            glGetLightfv(GL_LIGHT0, part, c);
            for (float v : c)
                EXPECT_FLOAT_EQ(v, 1.0f) << "light part " << part;
        }
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
    // Destroying the window shut SDL down.
    EXPECT_EQ(SDL_WasInit(SDL_INIT_EVERYTHING), 0u);
}
