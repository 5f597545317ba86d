#include <gtest/gtest.h>

#include <vector>

#include "excavator/WorkMeter.h"

namespace {

// One step's state after it: units dug so far, in the bucket, the bucket
// in the soil, the slewing rate.
struct Step {
    int dug, units;
    bool soil;
    double slew;
};

// A cycle of 0.5 s steps: `bite` units dug in two steps, a swing of one,
// dumped in two, slewed back over `back` steps.
void appendCycle(std::vector<Step>& steps, int& dug, int bite, int back)
{
    steps.push_back({dug += bite / 2, bite / 2, true, 0.0});
    steps.push_back({dug += bite - bite / 2, bite, true, 0.0});
    steps.push_back({dug, bite, false, 0.3});
    steps.push_back({dug, bite / 2, false, 0.0});
    steps.push_back({dug, 0, false, 0.0});
    for (int i = 0; i < back; ++i)
        steps.push_back({dug, 0, false, -0.3});
    steps.push_back({dug, 0, false, 0.0});
}

}  // namespace

// The machine's state after steps of 0.5 s: what was moved, the last whole
// cycle in its four phases, and the productivity over the last five cycles.
TEST(WorkMeter, SplitsCyclesIntoPhasesAndCountsOnlyDugSoil)
{
    std::vector<Step> seven;  // a slow first cycle, then six alike: only the last five count
    int dug = 0;
    appendCycle(seven, dug, 10, 20);
    for (int i = 0; i < 6; ++i)
        appendCycle(seven, dug, 16, 2);

    struct Case {
        const char* what;
        int startUnits;
        std::vector<Step> steps;
        double movedM3, bucketM3;
        CyclePhases phases;  // all -1 total: no cycle yet
        double perHour;
    } cases[] = {
        {"dig, swing, dump, swing back until the slewing stops", 0,
         {{5, 5, true, 0}, {10, 10, true, 0}, {10, 10, false, 0.3}, {10, 10, false, 0.3}, {10, 4, false, 0},
          {10, 0, false, 0}, {10, 0, false, -0.3}, {10, 0, false, -0.3}, {10, 0, false, 0}},
         0.40619, 0.0, {1.0, 1.0, 1.0, 1.5}, 10 * 0.040619 / 4.5 * 3600},
        {"a spill in the soil moves nothing and is no dump, nor a stray unit on the swing; the next bite ends the "
         "swing back", 0,
         {{2, 2, true, 0}, {2, 0, true, 0}, {12, 10, true, 0}, {12, 9, false, 0.3}, {12, 9, false, 0.3},
          {12, 9, false, 0.3}, {12, 4, false, 0}, {12, 0, false, 0}, {12, 0, false, 0}, {20, 8, true, 0}},
         0.40619, 0.32495, {1.5, 1.5, 1.0, 0.5}, 10 * 0.040619 / 4.5 * 3600},
        {"still carrying: no cycle yet", 0, {{5, 5, true, 0}, {10, 10, true, 0}, {10, 10, false, 0.3}, {10, 4, false, 0}},
         0.24371, 0.16248, {-1, 0, 0, 0}, 0.0},
        {"emptied, not yet swung back: no cycle yet", 0, {{10, 10, true, 0}, {10, 0, false, 0}, {10, 0, false, 0}},
         0.40619, 0.0, {-1, 0, 0, 0}, 0.0},
        {"a full bucket at the start moves nothing", 33, {{0, 33, false, 0}, {0, 20, false, 0}, {0, 0, false, 0}}, 0.0,
         0.0, {-1, 0, 0, 0}, 0.0},
        {"dug and spilt in one step both count; emptied in the soil, the cycle moved only what left above it", 0,
         {{4, 4, true, 0}, {8, 6, false, 0}, {8, 0, true, 0.2}, {8, 0, false, 0}}, 0.08124, 0.0, {1.0, 0.0, 0.5, 0.5},
         2 * 0.040619 / 2.0 * 3600},
        {"productivity over the last five of seven cycles", 0, seven, (10 + 6 * 16) * 0.040619, 0.0,
         {1.0, 0.5, 1.0, 1.5}, 5 * 16 * 0.040619 / (5 * 4.0) * 3600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WorkMeter meter;
        meter.update({7, 7, true, 0.5}, 0.5);  // an earlier run: reset forgets it
        meter.reset(0, c.startUnits);
        for (const Step& s : c.steps)
            meter.update({s.dug, s.units, s.soil, s.slew}, 0.5);
        EXPECT_NEAR(meter.movedM3(), c.movedM3, 1e-5);
        EXPECT_NEAR(meter.bucketM3(), c.bucketM3, 1e-5);
        EXPECT_NEAR(meter.cubicMetresPerHour(), c.perHour, 1e-6);
        if (c.phases.dig < 0) {
            EXPECT_LT(meter.lastCycleSeconds(), 0.0);
            continue;
        }
        const CyclePhases& p = meter.lastCyclePhases();
        EXPECT_NEAR(p.dig, c.phases.dig, 1e-9);
        EXPECT_NEAR(p.swingLoaded, c.phases.swingLoaded, 1e-9);
        EXPECT_NEAR(p.dump, c.phases.dump, 1e-9);
        EXPECT_NEAR(p.swingBack, c.phases.swingBack, 1e-9);
        EXPECT_NEAR(meter.lastCycleSeconds(), c.phases.total(), 1e-9);
    }
}
