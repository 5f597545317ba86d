#include "tools/bench/WorldsBench.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "tools/scenario/Scenario.h"
#include "world/World.h"

namespace {

constexpr int kSteps = 1500;  // landing and the bite's start

struct Stepped {
    std::unique_ptr<World> world = std::make_unique<World>();
    std::unique_ptr<ScenarioRun> run = std::make_unique<ScenarioRun>(*world, *findScenario("cycle"));
};

// Steps every world of `worlds` to kSteps, one after another; wall seconds.
double stepAll(const std::vector<Stepped*>& worlds)
{
    const auto t0 = std::chrono::steady_clock::now();
    for (Stepped* w : worlds)
        while (w->run->steps < kSteps)
            w->run->step();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

void worldsOnThreadsBench(benchmark::State& state)
{
    double alone = 1e30, together = 1e30;
    bool same = true;
    for (auto _ : state) {
        // Built before the clock starts: only the stepping is compared.
        Stepped lone, four[4];
        alone = std::min(alone, stepAll({&lone}));
        const auto t0 = std::chrono::steady_clock::now();
        std::thread other([&] { stepAll({&four[2], &four[3]}); });
        stepAll({&four[0], &four[1]});
        other.join();
        const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        together = std::min(together, t);
        for (const Stepped& w : four)
            same &= w.run->trace == lone.run->trace;
        state.SetIterationTime(t);
    }
    const double ratio = (4.0 * kSteps / together) / (kSteps / alone);
    std::printf("worlds on threads: one world alone %.0f steps/s, four on two threads %.0f steps/s: %.2fx "
                "(target 1.8x); every trace equal to the lone world's: %s\n",
                kSteps / alone, 4.0 * kSteps / together, ratio, same ? "yes" : "NO");
    state.counters["ratio"] = ratio;
    if (!same)
        state.SkipWithError("a world on a thread left the lone world's trace");
}
