#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#include "assets/ModelLoader.h"
#include "excavator/Excavator.h"
#include "tools/scenario/Scenario.h"
#include "world/FrameSnapshot.h"
#include "terrain/Terrain.h"
#include "world/World.h"

// Frames copy the world while it steps and digs on another thread, each
// copy taken between two whole steps: every part of one snapshot carries the
// same step, and under ThreadSanitizer any read outside the lock shows. The
// drawn ground, copied only where it changed, and the soil on a raised
// floor end equal to the world's.
TEST(Snapshot, CopiesOneWholeStepWhileTheWorldDigs)
{
    if (!std::filesystem::exists("data/scene.obj"))
        GTEST_SKIP() << "no generated data/ in " << std::filesystem::current_path();
    World world;
    ScenarioRun run(world, *findScenario("cycle"));
    // A raised floor round the machine takes the dumped load: its soil is copied with the grains.
    const Vector3 at = world.excavator->position;
    const double floor = at.y - world.terrain().surfaceDistanceBelow(at) + 0.3;
    world.terrain().addBed(makeSoilBed(at.x, at.z, 0.0, 24.0, 24.0, floor, floor + 1.0, 0.6));
    std::mutex worldLock;
    std::atomic<bool> done{false};
    std::thread stepper([&] {
        while (run.time < 16.0) {  // through the bite and the dump
            {
                std::lock_guard<std::mutex> lock(worldLock);
                run.step();
            }
            // As the loop waits for the next step's time: the frames get the lock.
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        done = true;
    });
    FrameSnapshot frame;
    int taken = 0, withGroundChanges = 0, mixed = 0;
    int64_t last = -1;
    while (!done) {
        {
            std::lock_guard<std::mutex> lock(worldLock);
            world.snapshot(frame);
        }
        ++taken;
        withGroundChanges += taken > 1 && frame.blocksCopied > 0;
        mixed += frame.machine.step != frame.step || frame.grainsStep != frame.step ||
                 frame.surfaceStep != frame.step || frame.workStep != frame.step;
        EXPECT_GE(frame.step, last);
        last = frame.step;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    stepper.join();
    world.snapshot(frame);
    EXPECT_EQ(mixed, 0);
    EXPECT_GT(taken, 5);
    EXPECT_GT(withGroundChanges, 0) << "the dig changed no block the frames copied";
    EXPECT_GT(world.work.movedM3(), 0.1) << "the scenario no longer digs and dumps";

    const VoxelWorld& ground = world.terrain().world;
    const VoxelWorld& drawn = *frame.surface;
    int columnsDiffer = 0, nodesDiffer = 0;
    for (int b = 0; b < terrain::kBlocks * terrain::kBlocks; ++b)
        for (int c = 0; c < 64 * 64; ++c) {
            const TerrainColumn &a = ground.block(b).columns[c], &d = drawn.block(b).columns[c];
            columnsDiffer += std::memcmp(a.position, d.position, sizeof a.position) != 0 ||
                             std::memcmp(a.normal, d.normal, sizeof a.normal) != 0 || a.soil != d.soil;
        }
    for (int n = 1; n <= ground.nodeCount; ++n)
        nodesDiffer += ground.node(n).split != drawn.node(n).split;
    EXPECT_EQ(columnsDiffer, 0);
    EXPECT_EQ(nodesDiffer, 0);
    ASSERT_EQ(frame.beds.size(), 1u);
    EXPECT_GT(bedUnits(frame.beds[0]), 0);
    EXPECT_EQ(frame.beds[0].units, world.terrain().beds[0].units);
}
