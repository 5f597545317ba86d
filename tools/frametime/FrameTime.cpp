// frametime [frames]
// Run in the folder that holds data/, as the simulator is. Opens the
// simulator's 1024 x 768 window, builds the scene and times Scene::render
// (drawing and buffer swap, finished with glFinish; no pause between
// frames) from three views: the start view, a wide view over the scenery
// and trees, and the start view again after a dug area of 40 x 40 columns
// has refined the terrain down to its leaves.
#include <GL/gl.h>
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/Camera.h"
#include "app/Scene.h"
#include "app/SimulationWindow.h"
#include "physics/Object.h"
#include "world/Terrain.h"

namespace {

struct ProbeWindow : SimulationWindow {
    ProbeWindow() : SimulationWindow("Kelvarro", 1024, 768, 32, false) {}
    void stop() override {}
    void togglePause() override {}
};

void measure(Scene& scene, const char* what, int frames)
{
    for (int k = 0; k < 5; ++k)  // warm-up: texture residency, caches
        scene.render();
    glFinish();
    std::vector<double> ms;
    for (int k = 0; k < frames; ++k) {
        const auto t0 = std::chrono::steady_clock::now();
        scene.render();
        glFinish();
        const auto t1 = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms)
        sum += v;
    std::printf("%-28s frames %d  min %.1f  median %.1f  mean %.1f  p95 %.1f  max %.1f ms\n", what, frames,
                ms.front(), ms[ms.size() / 2], sum / ms.size(), ms[ms.size() * 95 / 100], ms.back());
}

}  // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    try {
        ProbeWindow window;
        Scene scene;
        measure(scene, "start view", frames);

        scene.camera->eye = Vector3(-25.0, 14.0, 30.0);
        scene.camera->center = Vector3(10.0, 0.0, -5.0);
        measure(scene, "wide view", frames);

        scene.camera->eye = Vector3(9.0, 9.0, 0.0);
        scene.camera->center = Vector3(0.0, 0.0, 0.0);
        Terrain& terrain = *static_cast<Terrain*>(scene.objects[0]);
        for (int gx = 236; gx < 276; ++gx)
            for (int gz = 236; gz < 276; ++gz) {
                const int b = (gz / 64) * 8 + gx / 64;
                terrain.refineAround(b, gx % 64, gz % 64);
                terrain.columnAt(b, gx % 64, gz % 64).soil = true;
            }
        measure(scene, "start view, dug 40 x 40", frames);
    } catch (const char* message) {
        std::fprintf(stderr, "%s\n", message);
        return 1;
    }
    return 0;
}
