#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tools/scenario/Scenario.h"
#include "world/World.h"

namespace {

// A world built from data/ and stepped through the start of a scenario; its trace.
std::string traceOf(const char* scenario)
{
    World world;
    ScenarioRun run(world, *findScenario(scenario));
    while (run.steps < 150)
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
    // Digging soil out of the bucket onto the ground, and driving.
    const std::string dump = traceOf("dump"), drive = traceOf("drive");
    ASSERT_NE(dump, drive);
    const std::vector<std::string> two = tracesOnThreads({"dump", "drive"}, 2);
    EXPECT_TRUE(two[0] == dump && two[1] == drive);
    const std::vector<std::string> three = tracesOnThreads({"drive", "dump", "drive"}, 3);
    EXPECT_TRUE(three[0] == drive && three[1] == dump && three[2] == drive);
}
