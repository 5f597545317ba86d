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

// The window opens at the asked size with its caption, the viewport and a
// 60 degree perspective at its own aspect ratio, and the switches all drawing
// relies on; closing it shuts SDL down.
TEST(SimulationWindow, OpensWithTheFixedFunctionStateAndPerspective)
{
    for (const auto& [w, h] : {std::pair{1024, 768}, {1280, 1024}}) {
        PlainWindow window(w, h);
        ASSERT_NE(SDL_GetVideoSurface(), nullptr);
        EXPECT_EQ(SDL_GetVideoSurface()->w, w);
        EXPECT_EQ(SDL_GetVideoSurface()->h, h);
        char* caption = nullptr;
        SDL_WM_GetCaption(&caption, nullptr);
        EXPECT_STREQ(caption, "Kelvarro");
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[2], w);
        EXPECT_EQ(viewport[3], h);
        GLdouble p[16];
        glGetDoublev(GL_PROJECTION_MATRIX, p);
        EXPECT_NEAR(p[5], 1.0 / std::tan(M_PI / 6), 1e-5);
        EXPECT_NEAR(p[5] / p[0], double(w) / h, 1e-5);
        for (GLenum cap : {GL_CULL_FACE, GL_DEPTH_TEST, GL_TEXTURE_2D, GL_LIGHTING, GL_LIGHT0})
            EXPECT_TRUE(glIsEnabled(cap)) << "capability " << cap;
        EXPECT_FALSE(glIsEnabled(GL_BLEND));  // the glass switches it on for itself
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
    EXPECT_EQ(SDL_WasInit(SDL_INIT_EVERYTHING), 0u);
}
