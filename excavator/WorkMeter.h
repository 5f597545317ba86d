#pragma once

#include <cstdint>

// What the operator's work has come to, from the machine's soil counts once
// a step: the load now, the soil dug and released so far, and how long the
// last dig-dump cycle took. Headless: the window caption and the scenario
// runner read the same figures.
class WorkMeter {
public:
    static constexpr double kUnitVolume = 0.040619;  // m3 of soil in one bucket unit
    // A cycle carries at least a quarter of a full bucket: a few units that
    // spill while the bucket bites are part of the cycle, not one of their own.
    static constexpr int32_t kCycleLoad = 8;

    // Counting starts over from a bucket that holds `units`, the machine
    // having dug `dug` units so far: soil already in the bucket was not dug
    // here, so releasing it moves nothing.
    void reset(int64_t dug, int32_t units);
    // After every step of dt seconds, with the counts after it.
    void update(int64_t dug, int32_t units, double dt);

    double bucketM3() const { return units * kUnitVolume; }
    double movedM3() const { return static_cast<double>(movedUnits) * kUnitVolume; }
    // Seconds from the first unit dug into an empty bucket until the last
    // of a load of at least kCycleLoad units was released; negative until a
    // cycle has ended.
    double lastCycleSeconds() const { return lastCycle; }

    int64_t dug = 0;          // units the machine has dug, as last fed
    int32_t units = 0;        // in the bucket now
    int32_t dugHeld = 0;      // of those, units dug out of the ground
    int32_t peakHeld = 0;     // most dug units held since the cycle began
    int64_t movedUnits = 0;   // dug units released again
    double time = 0.0;        // s counted
    double cycleStart = -1.0; // s; negative while no cycle is under way
    double lastCycle = -1.0;  // s
};
