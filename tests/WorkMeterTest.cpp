#include <gtest/gtest.h>

#include <vector>

#include "excavator/WorkMeter.h"

// Bucket counts after steps of 0.5 s: what was moved and how long the last
// whole cycle took, from the first unit dug into an empty bucket until the
// last of it left.
TEST(WorkMeter, CountsOnlyDugSoilAndTimesWholeCycles)
{
    struct Case {
        const char* what;
        int start;
        std::vector<int> counts;
        double movedM3, bucketM3, cycleSeconds;
    } cases[] = {
        {"dig, carry, dump", 0, {0, 5, 10, 10, 10, 4, 0}, 0.40619, 0.0, 3.0},
        {"still carrying: no cycle yet", 0, {0, 5, 10, 10, 10, 4}, 0.24371, 0.16248, -1.0},
        {"a full bucket at the start moves nothing", 33, {33, 20, 0}, 0.0, 0.0, -1.0},
        {"spill while digging stays in one cycle", 0, {4, 2, 6, 0}, 0.32495, 0.0, 2.0},
        {"the last of two cycles", 0, {3, 0, 0, 0, 5, 5, 0}, 0.32495, 0.0, 1.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WorkMeter meter;
        meter.update(7, 0.5);  // from an earlier run: reset forgets it
        meter.reset(c.start);
        for (int n : c.counts)
            meter.update(n, 0.5);
        EXPECT_NEAR(meter.movedM3(), c.movedM3, 1e-5);
        EXPECT_NEAR(meter.bucketM3(), c.bucketM3, 1e-5);
        EXPECT_NEAR(meter.lastCycleSeconds(), c.cycleSeconds, 1e-9);
    }
}
