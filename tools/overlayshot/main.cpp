// Draws the head-up overlay over a cleared frame (sky above, ground below)
// and saves pictures of it; times frames with and without it.
#include <GL/gl.h>
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include <GL/glu.h>

#include "base/EntryPoint.h"
#include "base/Fatal.h"
#include "draw/GradeMarking.h"
#include "draw/Overlay.h"
#include "tools/FramePicture.h"
#include "tools/ToolArguments.h"

namespace {

int usage()
{
    std::cerr << "usage: overlayshot OUT-PREFIX [WIDTH HEIGHT]\n";
    return 1;
}

void backdrop(int width, int height)
{
    glClearColor(0.55f, 0.72f, 0.92f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The lower part as ground, so the panel is seen over both.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, width, height * 11 / 12);
    glClearColor(0.42f, 0.33f, 0.22f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
}

// A trench 2 m wide and 1 m deep across x, its walls sloping over 0.6 m.
bool trench(double x, double z, double& y)
{
    (void)z;
    const double d = std::fabs(x);
    y = d < 1.0 ? -1.0 : d < 1.6 ? -1.0 + (d - 1.0) / 0.6 : 0.0;
    return true;
}

// The trench seen from the cab's height, the grade drawn 0.6 m down.
void trenchFrame(GradeMarking& band, int width, int height)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(width) / height, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(-3.5, 2.5, 3.0, 0.0, -0.8, 0.0, 0, 1, 0);
    glEnable(GL_DEPTH_TEST);
    glColor3f(0.45f, 0.36f, 0.25f);
    const double step = GradeMarking::kSpacing;
    for (double x = -6; x < 6; x += step) {
        glBegin(GL_QUAD_STRIP);
        for (double z = -6; z <= 6; z += step) {
            double y0 = 0, y1 = 0;
            trench(x, z, y0);
            trench(x + step, z, y1);
            const float shade0 = static_cast<float>(0.8 + 0.2 * y0), shade1 = static_cast<float>(0.8 + 0.2 * y1);
            glColor3f(0.5f * shade0, 0.4f * shade0, 0.28f * shade0);
            glVertex3d(x, y0, z);
            glColor3f(0.5f * shade1, 0.4f * shade1, 0.28f * shade1);
            glVertex3d(x + step, y1, z);
        }
        glEnd();
    }
    band.draw(-0.6, Vector3(0.0, -0.6, 0.0), trench);
    glDisable(GL_DEPTH_TEST);
}

double medianMs(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int runTool(int argc, char** argv)
{
    long width = 1024, height = 768;
    if (argc != 2 && argc != 4)
        return usage();
    if (argc == 4 && (!toolargs::readInt(argv[2], 64, 4096, width) || !toolargs::readInt(argv[3], 64, 4096, height)))
        return usage();
    const std::string prefix = argv[1];
    if (SDL_Init(SDL_INIT_VIDEO) != 0 || !SDL_SetVideoMode(width, height, 32, SDL_OPENGL)) {
        std::cerr << "[overlayshot] No display: " << SDL_GetError() << "\n";
        return 1;
    }
    {
        Overlay overlay(Overlay::kFontPath, 0, height);
        GradeMarking band;
        OverlayFigures f;
        f.bucketM3 = 0.97;
        f.bucketPercent = 72.7;
        f.movedM3 = 12.55;
        f.cycleSeconds = 18.2;
        f.phases = {5.1, 4.3, 3.6, 5.2};
        f.m3PerHour = 161.4;
        f.realTimeFactor = 1.0;
        f.gradeSet = true;
        const struct {
            const char* name;
            double grade;
            const char* hit;
            bool paused;
        } shots[] = {
            {"above", 0.274, "", false},
            {"on", -0.012, "", false},
            {"below", -0.081,
             "Bucket on the ground, not at a cutting angle (attack 47\xc2\xb0, cuts below 15\xc2\xb0): open it with l to cut",
             true},
        };
        for (const auto& s : shots) {
            f.gradeHeight = s.grade;
            f.hitReason = s.hit;
            f.paused = s.paused;
            backdrop(width, height);
            trenchFrame(band, width, height);
            overlay.draw(overlayLines(f), width, height);
            const std::string path = prefix + "-" + s.name + ".bmp";
            if (!toolpicture::saveFrame(path.c_str(), width, height))
                throwFatal("[overlayshot] Cannot write " + path);
            SDL_GL_SwapBuffers();
        }
        // Frames with and without the overlay, interleaved; the figures
        // change a few times a second, as the meter's do.
        std::vector<double> with, without, changing;
        for (int frame = 0; frame < 400; ++frame) {
            // The grade figure as a moving bucket changes it: every frame.
            f.gradeHeight = -0.3 + 0.01 * (frame % 60);
            backdrop(width, height);
            glFinish();
            const auto t0 = std::chrono::steady_clock::now();
            overlay.draw(overlayLines(f), width, height);
            glFinish();
            changing.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        }
        for (int frame = 0; frame < 400; ++frame) {
            f.gradeHeight = -0.3 + 0.01 * (frame / 20);
            for (int on = 0; on < 2; ++on) {
                backdrop(width, height);
                glFinish();
                const auto t0 = std::chrono::steady_clock::now();
                if (on)
                    overlay.draw(overlayLines(f), width, height);
                glFinish();
                const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
                (on ? with : without).push_back(ms);
            }
        }
        std::printf("overlay frames %zu: median %.3f ms with, %.3f ms without (after the frame's clear), cost %.3f ms; "
                    "textures made %d\n",
                    with.size(), medianMs(with), medianMs(without), medianMs(with) - medianMs(without),
                    overlay.texturesMade);
        std::printf("overlay with the grade line changing every frame: median %.3f ms\n", medianMs(changing));
    }
    SDL_Quit();
    return 0;
}

int main(int argc, char** argv)
{
    return runEntryPoint("overlayshot", [&] { return runTool(argc, argv); });
}
