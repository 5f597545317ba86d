#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/Error.h"
#include "excavator/Excavator.h"
#include "exercise/ExerciseRun.h"
#include "terrain/Terrain.h"
#include "tools/scenario/ExerciseOperators.h"
#include "tools/scenario/Scenario.h"
#include "world/Trace.h"
#include "world/World.h"
#include "world/WorldState.h"

namespace {

// The trace's lines from a step on, as the runner writes them.
std::vector<std::string> traceLines(const ScenarioRun& run, int fromStep)
{
    std::vector<std::string> lines;
    for (size_t k = static_cast<size_t>(fromStep); k < run.trace.size(); ++k) {
        lines.emplace_back();
        appendTraceRow(run.trace[k], lines.back());
    }
    return lines;
}

// "" when equal, else the first line that differs.
std::string firstDifference(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    for (size_t k = 0; k < std::max(a.size(), b.size()); ++k)
        if (k >= a.size() || k >= b.size() || a[k] != b[k])
            return (k < a.size() ? a[k] : "(end)") + " | " + (k < b.size() ? b[k] : "(end)");
    return "";
}

}  // namespace

// Saved at a step, run on, restored and run on again, a world steps to the
// same trace byte for byte, whatever it was doing: falling, driving, cutting
// into the soil with a load in the bucket, dumping it as loose grains, an
// exercise counting its figures, and a load landing in a truck's body. The
// saved ground holds only the blocks dug, and restoring the start leaves
// none changed and the ledger as it was.
// A state of a world with other bodies is refused before anything changes.
TEST(WorldState, RestoredWorldsStepOnToTheSameTrace)
{
    struct Case {
        const char* name;
        bool exercise;  // with the "cycles" operator
        double saveAt, until;  // s
    } cases[] = {
        {"land", false, 0.3, 1.0},   {"drive", false, 2.0, 3.0}, {"cycle", false, 7.5, 9.5},
        {"dump", false, 1.5, 3.5}, {"hopper", true, 4.5, 8.5}, {"truck", true, 13.5, 14.5},
    };
    for (const Case& c : cases) {
        World world;
        const Scenario& scenario = c.exercise ? findExerciseOperator("cycles")->scenario : *findScenario(c.name);
        ScenarioRun run(world, scenario);
        Exercise exercise;
        std::unique_ptr<ExerciseRun> session;
        if (c.exercise) {
            std::string error;
            ASSERT_TRUE(loadExercise(exercisePath("data/", c.name), exercise, error, &world.terrain())) << error;
            const WorldState withoutHopper = world.save();
            session = std::make_unique<ExerciseRun>(world, exercise);
            run.exercise = session.get();
            try {
                world.restore(withoutHopper);
                ADD_FAILURE() << "a state of fewer bodies was taken";
            } catch (const Error& fault) {
                EXPECT_EQ(std::string(fault.what()), "[World] A state saved with 9 bodies cannot be restored into a "
                                                     "world of " + std::to_string(world.bodies().size()) + ".");
            }
        }
        const WorldState start = world.save();
        run.run(c.saveAt);
        const WorldState saved = world.save();
        const ExerciseState savedExercise = session ? session->save() : ExerciseState();
        const int savedSteps = run.steps;
        const auto savedOperator = run.operate;  // what the operator keeps goes back with the world
        run.run(c.until);
        const std::vector<std::string> onwards = traceLines(run, savedSteps);
        const Metrics figures = session ? session->metrics : Metrics();

        world.restore(saved);
        if (session)
            session->restore(savedExercise);
        run.operate = savedOperator;
        run.steps = savedSteps;
        run.time = savedSteps * ScenarioRun::kStep;
        run.trace.resize(savedSteps);
        run.run(c.until);
        EXPECT_EQ(firstDifference(traceLines(run, savedSteps), onwards), "") << c.name;
        if (session) {
            EXPECT_EQ(session->metrics, figures) << c.name;
        }

        const size_t dug = saved.terrain.voxels.blocks.size();
        EXPECT_LE(dug, 4u) << c.name;
        if (std::string(c.name) == "cycle") {
            EXPECT_GE(dug, 1u) << "the bite was taken before the save";
        }
        if (std::string(c.name) == "truck") {
            ASSERT_EQ(saved.terrain.beds.size(), 1u);
            EXPECT_GT(bedUnits(saved.terrain.beds[0]), 0) << "the load was landing in the body at the save";
            EXPECT_GT(saved.terrain.grains.size(), 0u);
        }
        world.restore(start);
        EXPECT_EQ(world.terrain().world.changedBlocks(), 0) << c.name;
        EXPECT_EQ(world.terrain().world.countSoilVoxels(), start.terrain.voxels.soilVoxels) << c.name;
        EXPECT_EQ(sceneSoil(world).total(), run.startSoil) << c.name;
    }
}
