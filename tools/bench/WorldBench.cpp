#include "tools/bench/WorldBench.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "assets/ModelLoader.h"
#include "terrain/Terrain.h"
#include "tools/scenario/Scenario.h"
#include "world/World.h"
#include "world/WorldState.h"

namespace {

std::vector<std::string> lines;

double msSince(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// Bytes the heap hands out now, mapped blocks included.
double heapBytes()
{
    const struct mallinfo2 m = mallinfo2();
    return static_cast<double>(m.uordblks + m.hblkhd);
}

void add(const char* format, double a, double b = 0.0, double c = 0.0, double d = 0.0)
{
    char text[240];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    lines.push_back(text);
}

// Builds from data/ (the shared meshes read once, by the first), then resets a world
// after the cycle scenario: every iteration restores the cycle's end
// untimed, then the start state timed.
void resetBench(benchmark::State& state)
{
    constexpr int kBuilds = 3;
    double buildMs = 0.0;
    for (int k = 0; k < kBuilds; ++k) {
        const auto t0 = std::chrono::steady_clock::now();
        World built;
        buildMs += msSince(t0) / kBuilds;
    }
    auto world = std::make_unique<World>();

    const WorldState start = world->save();
    {
        ScenarioRun run(*world, *findScenario("cycle"));
        run.run(findScenario("cycle")->seconds);
    }
    const auto t1 = std::chrono::steady_clock::now();
    const WorldState end = world->save();
    const double saveMs = msSince(t1);
    double resetMs = 0.0, most = 0.0;
    for (auto _ : state) {
        world->restore(end);
        const auto t2 = std::chrono::steady_clock::now();
        world->restore(start);
        const double ms = msSince(t2);
        state.SetIterationTime(ms / 1000.0);
        resetMs += ms;
        most = std::max(most, ms);
    }
    resetMs /= static_cast<double>(state.iterations());
    if (world->terrain().world.changedBlocks() != 0)
        state.SkipWithError("the reset left changed blocks");
    state.counters["build_ms"] = buildMs;
    state.counters["reset_ms"] = resetMs;
    add("[bench] world: built from data/ in %.1f ms (its shared meshes already read); reset after the cycle "
        "%.3f ms (max %.3f)",
        buildMs, resetMs, most);
    add("[bench] world: reset %.3f %% of the build (target: at most 1 %%, under 20 ms); saving the cycle's end %.3f ms",
        100.0 * resetMs / buildMs, saveMs);
}

// One more world beside the first, after the cycle scenario: the heap it
// adds, its trace and runner left out; and its saved states.
void memoryBench(benchmark::State& state)
{
    World first;  // the meshes are read once, for both
    double worldBytes = 0.0, startBytes = 0.0, endBytes = 0.0;
    int changed = 0;
    for (auto _ : state) {
        const double m0 = heapBytes();
        auto world = std::make_unique<World>();
        const double m1 = heapBytes();
        auto start = std::make_unique<WorldState>(world->save());
        const double m2 = heapBytes();
        {
            ScenarioRun run(*world, *findScenario("cycle"));
            run.run(findScenario("cycle")->seconds);
        }
        const double m3 = heapBytes();
        auto end = std::make_unique<WorldState>(world->save());
        endBytes = heapBytes() - m3;
        worldBytes = m3 - m2 + (m1 - m0);
        startBytes = m2 - m1;
        changed = world->terrain().world.changedBlocks();
        state.SetIterationTime(1e-3);
    }
    const double gib = 1024.0 * 1024.0 * 1024.0, mib = 1024.0 * 1024.0;
    state.counters["world_mib"] = worldBytes / mib;
    add("[bench] memory: one world after the cycle %.1f MiB beyond the shared meshes (%.0f blocks kept as built)",
        worldBytes / mib, changed);
    add("[bench] memory: its start state %.2f MiB, its state after the cycle %.2f MiB; %.0f such worlds in 24 GiB",
        startBytes / mib, endBytes / mib, std::floor(24.0 * gib / worldBytes));
}

}  // namespace

void registerWorldBenchmarks()
{
    benchmark::RegisterBenchmark("world/reset", resetBench)
        ->UseManualTime()
        ->Iterations(20)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("world/memory", memoryBench)
        ->UseManualTime()
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
}

void printWorldFigures()
{
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
}
