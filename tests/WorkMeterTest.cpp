#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "excavator/WorkMeter.h"

// The machine's counts (units dug so far, units in the bucket) after steps
// of 0.5 s: what was moved and how long the last whole cycle took, from the
// first unit dug into an empty bucket until the last of a real load left.
TEST(WorkMeter, CountsOnlyDugSoilAndTimesWholeCycles)
{
    struct Case {
        const char* what;
        int startUnits;
        std::vector<std::pair<int, int>> counts;
        double movedM3, bucketM3, cycleSeconds;
    } cases[] = {
        {"dig, carry, dump", 0, {{0, 0}, {5, 5}, {10, 10}, {10, 10}, {10, 10}, {10, 4}, {10, 0}}, 0.40619, 0.0, 3.0},
        {"still carrying: no cycle yet", 0, {{0, 0}, {5, 5}, {10, 10}, {10, 10}, {10, 10}, {10, 4}}, 0.24371,
         0.16248, -1.0},
        {"a full bucket at the start moves nothing", 33, {{0, 33}, {0, 20}, {0, 0}}, 0.0, 0.0, -1.0},
        {"dug and spilt in one step both count", 0, {{4, 4}, {8, 6}, {8, 0}}, 0.32495, 0.0, 1.5},
        {"the last of two cycles", 0, {{8, 8}, {8, 0}, {8, 0}, {8, 0}, {18, 10}, {18, 10}, {18, 0}}, 0.73114, 0.0, 1.5},
        {"a spill while biting is no cycle of its own", 0, {{2, 2}, {2, 0}, {2, 0}, {12, 10}, {12, 10}, {12, 0}}, 0.48743,
         0.0, 3.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WorkMeter meter;
        meter.update(7, 7, 0.5);  // an earlier run: reset forgets it
        meter.reset(0, c.startUnits);
        for (const auto& [dug, units] : c.counts)
            meter.update(dug, units, 0.5);
        EXPECT_NEAR(meter.movedM3(), c.movedM3, 1e-5);
        EXPECT_NEAR(meter.bucketM3(), c.bucketM3, 1e-5);
        EXPECT_NEAR(meter.lastCycleSeconds(), c.cycleSeconds, 1e-9);
    }
}
