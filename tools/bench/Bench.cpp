// kelvarro-bench [benchmark options]
// Run in the folder that holds data/, under a display (./bench.sh does
// both). Times one simulation step in four states of the scenario table,
// the terrain's construction and one frame from four views, and gives each
// as a fraction of its budget; then a world's reset against its build, and
// its memory.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/Camera.h"
#include "app/Scene.h"
#include "app/SimulationWindow.h"
#include "base/EntryPoint.h"
#include "base/Error.h"
#include "excavator/Excavator.h"
#include "input/SessionRecorder.h"
#include "tools/bench/WorldBench.h"
#include "tools/bench/WorldsBench.h"
#include "tools/scenario/Scenario.h"
#include "terrain/Terrain.h"
#include "world/World.h"

namespace {

constexpr double kStepBudgetMs = 3.0;
constexpr double kFrameBudgetMs = 15.0;

struct ProbeWindow : SimulationWindow {
    ProbeWindow() : SimulationWindow("Kelvarro", 1024, 768, 32, false) {}
    void stop() override {}
    void togglePause() override {}
};

struct Figure {
    std::string what;
    double meanMs, maxMs, maxCpuMs, budgetMs;
    std::string state;  // the machine and its load while timed
};
std::vector<Figure> figures;

// This thread's processor time in ms: on a busy machine the wall clock's
// maximum mostly shows other programs taking the core away.
double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec * 1e-6;
}

// Sums and maxima of what each iteration took.
struct Tally {
    double sum = 0.0, most = 0.0, mostCpu = 0.0;
    void add(double ms, double cpu)
    {
        sum += ms;
        most = std::max(most, ms);
        mostCpu = std::max(mostCpu, cpu);
    }
};

void report(benchmark::State& state, const std::string& what, const Tally& t, double budgetMs,
            const std::string& machine)
{
    const double mean = t.sum / static_cast<double>(state.iterations());
    state.counters["mean_ms"] = mean;
    state.counters["max_ms"] = t.most;
    state.counters["max_cpu_ms"] = t.mostCpu;
    if (budgetMs > 0.0) {
        state.counters["budget_pct"] = 100.0 * mean / budgetMs;
        state.counters["max_budget_pct"] = 100.0 * t.most / budgetMs;
    }
    figures.push_back({what, mean, t.most, t.mostCpu, budgetMs, machine});
}

std::string machineState(const ScenarioRun& run)
{
    const Excavator& e = *run.world.excavator;
    char text[160];
    std::snprintf(text, sizeof text, "at %.1f s: speed %.2f m/s, slew rate %.2f rad/s, bucket %d units, contacts %d",
                  run.time, length(e.velocity), e.slewRate, e.bucket.soilCount, run.world.lastStep.contacts);
    return text;
}

// A stretch of a scenario: steps before `from` are not timed; at `to` the
// world is built afresh and run up to `from` again.
struct StepCase {
    const char* what;
    const char* scenario;
    double from, to;  // s; to <= 0: the scenario's own length
};

void stepBench(benchmark::State& state, StepCase c)
{
    const Scenario* scenario = findScenario(c.scenario);
    if (!scenario) {
        state.SkipWithError((std::string("no scenario ") + c.scenario).c_str());
        return;
    }
    const double to = c.to > 0.0 ? c.to : scenario->seconds;
    std::unique_ptr<World> world;
    std::unique_ptr<ScenarioRun> run;
    auto fresh = [&] {
        run.reset();
        world.reset();
        world = std::make_unique<World>();
        run = std::make_unique<ScenarioRun>(*world, *scenario);
        run->run(c.from);
    };
    fresh();
    Tally tally;
    std::string seen;
    for (auto _ : state) {
        if (run->time + ScenarioRun::kStep > to) {
            seen = machineState(*run);
            fresh();
        }
        const double cpu0 = cpuMs();
        run->step();
        const double cpu = cpuMs() - cpu0;
        const double ms = run->stepMs.back();
        state.SetIterationTime(ms / 1000.0);
        tally.add(ms, cpu);
    }
    if (seen.empty())
        seen = machineState(*run);
    report(state, std::string("step, ") + c.what, tally, kStepBudgetMs, std::string(c.scenario) + " " + seen);
}

void terrainBench(benchmark::State& state)
{
    Tally tally;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const double cpu0 = cpuMs();
        {
            Terrain terrain;
            benchmark::DoNotOptimize(terrain.meshCount);
        }
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        state.SetIterationTime(ms / 1000.0);
        tally.add(ms, cpuMs() - cpu0);
    }
    report(state, "terrain construction", tally, 0.0, "hm02.bmp, 8 x 8 blocks of 64 x 64 columns");
}

// What recording adds to a step of the dig: a key-down per held key per
// step (SDL's key repeat gives about one per poll), a six-axis joystick
// reading every fifth step (one per frame), and the check for the
// once-a-second flush, written to a file as the program does.
void recordingBench(benchmark::State& state)
{
    const Scenario& scenario = *findScenario("dig");
    World world;
    ScenarioRun run(world, scenario);
    SessionHeader header;
    header.program = programVersion();
    header.started = sessionTime(std::time(nullptr));
    const std::string path = "bench_session.kvr";
    SessionRecorder recorder(path, header, std::cerr);
    Tally recording, step;
    std::vector<double> recordingMs, stepMs;  // for medians: one preempted iteration sways a mean
    int64_t events = 0;
    for (auto _ : state) {  // 1800 steps: within the dig's 12.5 s
        const double cpu0 = cpuMs();  // outside the timed stretch: it costs as much as what is timed
        const auto t0 = std::chrono::steady_clock::now();
        recorder.reached(run.steps);
        for (const HeldLever& k : scenario.levers)
            if (run.time >= k.from && run.time < k.to) {
                SDL_Event e{};
                e.type = SDL_KEYDOWN;
                e.key.keysym.sym = SDLK_w;
                recorder.record(run.steps, e);
                ++events;
            }
        for (int a = 0; a < 6 && run.steps % 5 == 0; ++a, ++events) {
            SDL_Event e{};
            e.jaxis.type = SDL_JOYAXISMOTION;
            e.jaxis.axis = static_cast<Uint8>(a);
            e.jaxis.value = static_cast<Sint16>(run.steps * 7 + a);
            recorder.record(run.steps, e);
        }
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        recording.add(ms, cpuMs() - cpu0);
        recordingMs.push_back(ms);
        state.SetIterationTime(ms / 1000.0);
        const double cpu1 = cpuMs();
        run.step();
        step.add(run.stepMs.back(), cpuMs() - cpu1);
        stepMs.push_back(run.stepMs.back());
    }
    recorder.close(run.steps);
    std::remove(path.c_str());
    const double steps = static_cast<double>(state.iterations());
    auto median = [](std::vector<double> v) {
        std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    char text[200];
    std::snprintf(text, sizeof text,
                  "%.2f events per step; the step itself %.3f ms, recording %.3f %% of it (medians: %.4f ms, %.2f %%)",
                  events / steps, step.sum / steps, 100.0 * recording.sum / step.sum, median(recordingMs),
                  100.0 * median(recordingMs) / median(stepMs));
    report(state, "recording, digging", recording, kStepBudgetMs, text);
}

// Views of the machine standing where it landed.
struct View {
    const char* what;
    int mode;       // 0 follow, 1 cab
    Vector3 eye;    // follow view: offset from the machine; zero keeps the start view's
};

void renderBench(benchmark::State& state, View v)
{
    // Only the frames need a window: the steps run with no display.
    static std::unique_ptr<ProbeWindow> window;
    if (!window) {
        try {
            window = std::make_unique<ProbeWindow>();
        } catch (const Error& e) {
            state.SkipWithError(e.what());
            return;
        }
    }
    World world;
    Scene scene(world);
    ScenarioRun run(world, *findScenario("land"));
    run.run(3.0);
    Camera& camera = *scene.camera;
    camera.viewMode = v.mode;
    if (v.mode == 0 && length(v.eye) > 0.0) {
        scene.render();  // the follow view takes up the machine
        camera.eye = camera.center + v.eye;
    }
    for (int k = 0; k < 3; ++k)
        scene.render();
    glFinish();
    Tally tally;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const double cpu0 = cpuMs();
        scene.render();
        glFinish();
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        state.SetIterationTime(ms / 1000.0);
        tally.add(ms, cpuMs() - cpu0);
    }
    report(state, std::string("frame, ") + v.what, tally, kFrameBudgetMs, "landed machine, 1024 x 768");
}

}  // namespace

int runTool(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    {
        const StepCase steps[] = {
            {"at rest", "land", 3.0, 1e9},
            {"driving", "drive", 1.0, 10.0},
            {"slewing", "slew", 0.3, 2.0},
            {"digging", "dig", 0.0, 0.0},
        };
        const int stepIterations[] = {3000, 3000, 1700, 4000};
        for (int i = 0; i < 4; ++i)
            benchmark::RegisterBenchmark((std::string("step/") + steps[i].what).c_str(), stepBench, steps[i])
                ->UseManualTime()
                ->Iterations(stepIterations[i])
                ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("step/recording", recordingBench)
            ->UseManualTime()
            ->Iterations(1800)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("worlds/four on two threads", worldsOnThreadsBench)
            ->UseManualTime()
            ->Iterations(2)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("terrain/construction", terrainBench)
            ->UseManualTime()
            ->Iterations(3)
            ->Unit(benchmark::kMillisecond);
        const View views[] = {
            {"start view", 0, {}},
            {"wide view", 0, {-30.0, 2.0, 25.0}},
            {"view from above", 0, {0.0, 14.0, 10.0}},
            {"cab view", 1, {}},
        };
        for (const View& v : views)
            benchmark::RegisterBenchmark((std::string("frame/") + v.what).c_str(), renderBench, v)
                ->UseManualTime()
                ->Iterations(60)
                ->Unit(benchmark::kMillisecond);
        registerWorldBenchmarks();
        benchmark::RunSpecifiedBenchmarks();
    }
    std::printf("\n%-24s %10s %10s %10s  %s\n", "", "mean", "max", "max cpu", "share of budget: mean, max, max cpu");
    for (const Figure& f : figures) {
        std::printf("%-24s %7.3f ms %7.3f ms %7.3f ms", f.what.c_str(), f.meanMs, f.maxMs, f.maxCpuMs);
        if (f.budgetMs > 0.0)
            std::printf("  %6.2f %% %6.1f %% %6.1f %% of %.0f ms", 100.0 * f.meanMs / f.budgetMs,
                        100.0 * f.maxMs / f.budgetMs, 100.0 * f.maxCpuMs / f.budgetMs, f.budgetMs);
        std::printf("  [%s]\n", f.state.c_str());
    }
    printWorldFigures();
    benchmark::Shutdown();
    return 0;
}

int main(int argc, char** argv)
{
    return runEntryPoint("bench", [&] { return runTool(argc, argv); });
}
