#include "tools/bench/WorldsBench.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "tools/scenario/Scenario.h"
#include "world/World.h"

namespace {

constexpr int kSteps = 3334;  // the whole cycle: landing, the bite, the dump, back

struct Stepped {
    std::unique_ptr<World> world = std::make_unique<World>();
    std::unique_ptr<ScenarioRun> run = std::make_unique<ScenarioRun>(*world, *findScenario("cycle"));
};

struct Seconds {
    double wall = 0.0, cpu = 0.0;  // cpu: of the calling thread
};

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

// Steps every world of `worlds` to kSteps, one after another.
Seconds stepAll(const std::vector<Stepped*>& worlds)
{
    const auto t0 = std::chrono::steady_clock::now();
    const double cpu0 = threadCpuSeconds();
    for (Stepped* w : worlds)
        while (w->run->steps < kSteps)
            w->run->step();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), threadCpuSeconds() - cpu0};
}

}  // namespace

void worldsOnThreadsBench(benchmark::State& state)
{
    // Best of the rounds; cpu: the busier thread's processor time, the
    // figure a machine with two idle cores would show.
    Seconds alone{1e30, 1e30}, together{1e30, 1e30};
    bool same = true;
    for (auto _ : state) {
        // Built before the clock starts: only the stepping is compared.
        Stepped lone, four[4];
        const Seconds one = stepAll({&lone});
        const auto t0 = std::chrono::steady_clock::now();
        Seconds second;
        std::thread other([&] { second = stepAll({&four[2], &four[3]}); });
        const Seconds first = stepAll({&four[0], &four[1]});
        other.join();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        alone = {std::min(alone.wall, one.wall), std::min(alone.cpu, one.cpu)};
        together = {std::min(together.wall, wall), std::min(together.cpu, std::max(first.cpu, second.cpu))};
        for (const Stepped& w : four)
            same &= w.run->trace == lone.run->trace;
        state.SetIterationTime(wall);
    }
    const double ratio = (4.0 * kSteps / together.wall) / (kSteps / alone.wall);
    std::printf("worlds on threads: one world alone %.0f steps/s, four on two threads %.0f steps/s: %.2fx "
                "(target 1.8x); by thread processor time %.2fx; every trace equal to the lone world's: %s\n",
                kSteps / alone.wall, 4.0 * kSteps / together.wall, ratio, 4.0 * alone.cpu / together.cpu,
                same ? "yes" : "NO");
    state.counters["ratio"] = ratio;
    if (!same)
        state.SkipWithError("a world on a thread left the lone world's trace");
}
