// frametime [--simulate] [frames] [dug.bmp]   (frames: 1 to 100000, 100 when not given)
// Run in the folder that holds data/, as the simulator is. Opens the
// simulator's 1024 x 768 window, builds the world and its scene and times
// the drawing of a frame from its snapshot (drawing and buffer swap,
// finished with glFinish) against the renderer's fill floor (a lit, textured
// ground quad filling the window, timed first in the same run) from three
// views: the start view (also without the head-up figures, to give their
// cost), a wide view over the scenery and trees, and a view from above,
// before and after a
// patch of 40 x 40 columns below it shows soil and is refined down to the
// quadtree's leaves. Without --simulate the frames follow each other with no
// pause and the world stands still, each view frame after a floor frame,
// against which it is also put; with it the machine first lands, then
// the frames come from the program's own loop: the simulation thread steps
// the world every 3 ms, each frame captures its snapshot under the world
// lock, draws it without the lock and is followed by the 15 ms pause. Only
// the drawing is timed; with --simulate each view also gives the real-time
// factor (simulated over wall-clock seconds across its timed frames) and how
// long the capture held the world lock, and the longest burst of steps run
// back to back. With a file name it also saves each view as a BMP: the
// last one under that name, the others beside it with "-start", "-wide" or
// "-above" before the extension.
#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>
// Under callgrind (--instr-atstart=no) each view's timed frames are counted
// apart, the warm-up left out; elsewhere these do nothing.
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_ZERO_STATS
#define CALLGRIND_DUMP_STATS_AT(what) (void)(what)
#define CALLGRIND_STOP_INSTRUMENTATION
#define CALLGRIND_TOGGLE_COLLECT
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "app/Camera.h"
#include "app/EngineLoop.h"
#include "app/Scene.h"
#include "app/SimulationWindow.h"
#include "base/EntryPoint.h"
#include "base/Fatal.h"
#include "draw/SceneView.h"
#include "draw/TerrainView.h"
#include "physics/Object.h"
#include "tools/FramePicture.h"
#include "tools/ToolArguments.h"
#include "terrain/Terrain.h"
#include "world/World.h"

namespace {

struct ProbeWindow : SimulationWindow {
    ProbeWindow() : SimulationWindow("Kelvarro", 1024, 768, 32, false) {}
    void stop() override {}
    void togglePause() override {}
};

void saveFront(const char* path)
{
    if (!toolpicture::saveFrame(path, 1024, 768))
        throwFatal(std::string("[frametime] Couldn't write ") + path);
}

// "shots/x.bmp" with "-wide" gives "shots/x-wide.bmp".
std::string sibling(const std::string& path, const char* tag)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const size_t at = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? dot : path.size();
    return path.substr(0, at) + tag + path.substr(at);
}

struct Summary {
    double min, median, mean, p95, max;
};

Summary summarise(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms)
        sum += v;
    return {ms.front(), ms[ms.size() / 2], sum / ms.size(), ms[ms.size() * 95 / 100], ms.back()};
}

// The software renderer's fill floor: one lit, textured ground quad seen
// from above, filling the window, with the ground's own grass texture and
// the scene's light; drawn and swapped as a frame is.
void drawFillFloor(Scene& scene)
{
    const SceneView& view = *scene.view;
    glClear(GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(0.0, 10.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, -1.0);
    const float light[4] = {float(view.sun.x), float(view.sun.y), float(view.sun.z), 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    const Material& m = view.terrain->material;
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, m.ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, m.diffuse);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, view.terrain->grassTexture);
    // 20 m each way: past the window's edges from 10 m up; the texture
    // repeats every 8 columns, as on the ground.
    const float reach = 20.0f, repeats = reach / float(8 * terrain::kVoxel);
    glBegin(GL_TRIANGLE_STRIP);
    glNormal3f(0.0f, 1.0f, 0.0f);
    const float corners[4][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
    for (const auto& c : corners) {
        glTexCoord2f(c[0] * repeats, c[1] * repeats);
        glVertex3f(c[0] * reach, 0.0f, c[1] * reach);
    }
    glEnd();
    SDL_GL_SwapBuffers();
}

// The drawing thread's own processor time, ms: with the renderer's
// threads off it holds the whole frame's work, and other programs on a
// shared machine do not lengthen it as they do the wall clock.
double threadMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec * 1e-6;
}

struct Medians {
    double wall = 0.0, thread = 0.0;
};

// The median frame times, ms; a `floor` with times above 0 is printed
// against them. `draw` in place of the scene's frame, when given. Without
// the simulation a view's frames alternate with the floor's, each view
// frame after a floor frame, and the view is put against the floor timed
// between its own frames too: a machine whose pace drifts during the run
// then moves both alike.
Medians measure(Scene& scene, bool simulate, const char* what, long frames, bool overlay = true,
                Medians floor = Medians(), void (*draw)(Scene&) = nullptr)
{
    constexpr long kWarmUp = 5;  // texture residency, caches
    std::vector<double> ms, threadMs, heldMs, floorMs;
    long drawn = 0;
    World& world = scene.world;
    double simulatedAtStart = 0.0;
    std::chrono::steady_clock::time_point wallAtStart;
    const auto frame = [&] {
        if (drawn == kWarmUp) {
            CALLGRIND_START_INSTRUMENTATION;
            CALLGRIND_ZERO_STATS;
        }
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = threadMilliseconds();
        if (draw)
            draw(scene);
        else
            scene.draw();
        glFinish();
        const auto t1 = std::chrono::steady_clock::now();
        if (drawn++ >= kWarmUp) {
            ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
            threadMs.push_back(threadMilliseconds() - c0);
        }
    };
    double realTime = 0.0;
    int burst = 0;
    if (simulate) {
        std::atomic<bool> running{true};
        EngineLoop loop(EngineLoop::Hooks{[] {},
                                          [&] {
                                              const auto t0 = std::chrono::steady_clock::now();
                                              scene.capture();
                                              scene.overlayShown = overlay;
                                              const auto t1 = std::chrono::steady_clock::now();
                                              if (drawn == kWarmUp) {
                                                  simulatedAtStart = world.simulatedSeconds;
                                                  wallAtStart = t0;
                                              }
                                              if (drawn >= kWarmUp)
                                                  heldMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
                                              if (static_cast<long>(ms.size()) >= frames) {
                                                  running = false;
                                                  realTime = (world.simulatedSeconds - simulatedAtStart) /
                                                             std::chrono::duration<double>(t0 - wallAtStart).count();
                                              }
                                          },
                                          [&] {
                                              if (running)
                                                  frame();
                                          },
                                          [] {}, [&](double step) { world.simulate(step); }, {}});
        SDL_Thread* thread = nullptr;
        loop.run(running, thread);
        burst = loop.longestBurst;
    } else {
        const bool alternate = floor.thread > 0.0 && !draw;
        while (static_cast<long>(ms.size()) < frames) {
            if (alternate) {
                // Not counted with the view's instructions.
                CALLGRIND_TOGGLE_COLLECT;
                const double c0 = threadMilliseconds();
                drawFillFloor(scene);
                glFinish();
                if (drawn >= kWarmUp)
                    floorMs.push_back(threadMilliseconds() - c0);
                CALLGRIND_TOGGLE_COLLECT;
            }
            scene.capture();
            scene.overlayShown = overlay;
            frame();
        }
    }
    CALLGRIND_DUMP_STATS_AT(what);
    CALLGRIND_STOP_INSTRUMENTATION;
    const Summary d = summarise(ms);
    std::printf("%-28s frames %ld  min %.1f  median %.1f  mean %.1f  p95 %.1f  max %.1f ms", what, frames, d.min,
                d.median, d.mean, d.p95, d.max);
    const double thread = summarise(threadMs).median;
    std::printf("\n%-28s drawing thread's processor time: median %.1f ms", "", thread);
    if (floor.wall > 0.0 && floor.thread > 0.0)
        std::printf("  fill floor times %.2f (wall clock %.2f)", thread / floor.thread, d.median / floor.wall);
    if (!floorMs.empty()) {
        const double between = summarise(floorMs).median;
        std::printf("\n%-28s the floor between its frames: median %.1f ms; times %.2f", "", between, thread / between);
    }
    std::printf("\n");
    if (simulate) {
        const Summary h = summarise(heldMs);
        std::printf("%-28s real-time factor %.3f  longest burst %d steps  world lock held: median %.3f  max %.3f ms\n", "",
                    realTime, burst, h.median, h.max);
    }
    return {d.median, thread};
}

}  // namespace

int runTool(int argc, char** argv)
{
    const char* const usage =
        "usage: frametime [--simulate] [frames] [picture.bmp]   (frames 1 to 100000, default 100)\n";
    long frames = 100;
    if (argc > 1 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help")) {
        std::printf("%s", usage);
        return 0;
    }
    const bool simulate = argc > 1 && std::string(argv[1]) == "--simulate";
    if (simulate) {
        --argc;
        ++argv;
    }
    if (argc > 3 || (argc > 1 && !toolargs::readInt(argv[1], 1, 100000, frames))) {
        std::fprintf(stderr, "%s", usage);
        return 1;
    }
    // A picture that cannot be written fails now, not after the timing.
    if (argc > 2) {
        if (!toolpicture::writable(argv[2])) {
            std::fprintf(stderr, "[frametime] Couldn't write %s\n", argv[2]);
            return 1;
        }
    }
    {
        ProbeWindow window;
        const auto t0 = std::chrono::steady_clock::now();
        World world;
        Scene scene(world);
        std::printf("scene built in %.2f s\n",
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        if (simulate) {  // the machine starts above the ground: it lands first
            for (int k = 0; k < 700; ++k)
                world.simulate(EngineLoop::kStep);
            scene.render();  // the follow view takes up the landed machine
        }
        const std::string picture = argc > 2 ? argv[2] : "";
        const auto save = [&](const char* tag) {
            if (!picture.empty())
                saveFront(sibling(picture, tag).c_str());
        };
        // The floor first, under the same load: each view's median against it.
        const Medians floor =
            measure(scene, simulate, "fill floor (lit ground quad)", frames, false, Medians(), drawFillFloor);
        // The head-up figures' cost: the same view without them, then with.
        measure(scene, simulate, "start view, no figures", frames, false, floor);
        measure(scene, simulate, "start view", frames, true, floor);
        save("-start");

        // The follow view keeps the eye's offset from the machine it looks at.
        const Vector3 machine = scene.camera->center;
        // As once the operator has moved the view: the eye stays where it is put.
        scene.camera->startView = false;
        scene.camera->eye = machine + Vector3(-30.0, 2.0, 25.0);
        measure(scene, simulate, "wide view", frames, true, floor);
        save("-wide");

        // From above and behind, over a dug patch of 40 x 40 columns (13.75 units)
        // where the view line meets the ground.
        scene.camera->eye = machine + Vector3(0.0, 14.0, 10.0);
        measure(scene, simulate, "view from above", frames, true, floor);
        save("-above");
        Terrain& terrain = world.terrain();
        const int cx = static_cast<int>((machine.x + 88.0) / terrain::kVoxel);
        const int cz = static_cast<int>((machine.z - 8.0 + 88.0) / terrain::kVoxel);
        for (int gx = cx - 20; gx < cx + 20; ++gx)
            for (int gz = cz - 20; gz < cz + 20; ++gz) {
                const int b = (gz / 64) * 8 + gx / 64;
                terrain.refineAround(b, gx % 64, gz % 64);
                terrain.columnAt(b, gx % 64, gz % 64).soil = true;
                terrain.world.markSurface(b, gx % 64, gz % 64);
            }
        measure(scene, simulate, "same, over a dug patch", frames, true, floor);
        save("");
    }
    return 0;
}

int main(int argc, char** argv)
{
    return runEntryPoint("frametime", [&] { return runTool(argc, argv); });
}
