#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "exercise/Exercise.h"
#include "exercise/ExerciseRun.h"
#include "tools/scenario/ExerciseOperators.h"
#include "tools/scenario/Scenario.h"
#include "world/World.h"

namespace {

// A world built from data/ and stepped through the start of a scenario, or
// of an exercise worked by the reference operator; its trace.
std::string traceOf(const char* name)
{
    World world;
    Exercise exercise;
    std::string error;
    const Scenario* scenario = findScenario(name);
    if (!scenario && !loadExercise(exercisePath("data/", name), exercise, error, &world.terrain()))
        return error;
    ScenarioRun run(world, scenario ? *scenario : findExerciseOperator("reference")->scenario);
    std::unique_ptr<ExerciseRun> session;
    if (!scenario) {
        session = std::make_unique<ExerciseRun>(world, exercise);
        run.exercise = session.get();
    }
    while (run.steps < 120)
        run.step();
    std::ostringstream out;
    run.writeTrace(out);
    return out.str();
}

// The scenarios' traces, each world built and stepped on whichever of the
// threads takes it next.
std::vector<std::string> tracesOnThreads(const std::vector<const char*>& scenarios, int threads)
{
    std::vector<std::string> traces(scenarios.size());
    std::atomic<size_t> next{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&] {
            for (size_t i = next++; i < scenarios.size(); i = next++)
                traces[i] = traceOf(scenarios[i]);
        });
    for (std::thread& t : pool)
        t.join();
    return traces;
}

}  // namespace

// Worlds built and stepped on several threads at once give each the trace
// its scenario gives alone, whatever the number of threads and the order;
// under ThreadSanitizer anything they share and write unguarded shows.
TEST(Worlds, OnThreadsEachGiveTheTraceItGivesAlone)
{
    if (!std::filesystem::exists("data/scene.obj"))
        GTEST_SKIP() << "no generated data/ in " << std::filesystem::current_path();
    // The arm reaching out with a full bucket, and an exercise whose
    // operator keeps its own state from step to step.
    const std::string dump = traceOf("dump"), trench = traceOf("trench");
    ASSERT_NE(dump, trench);
    const std::vector<std::string> two = tracesOnThreads({"dump", "trench"}, 2);
    EXPECT_TRUE(two[0] == dump && two[1] == trench);
    const std::vector<std::string> three = tracesOnThreads({"trench", "dump", "trench"}, 3);
    EXPECT_TRUE(three[0] == trench && three[1] == dump && three[2] == trench);
}
