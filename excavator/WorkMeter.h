#pragma once

#include <cstdint>

// What the meter is fed after every step: the machine's soil counts and
// what the bucket and the upper structure are doing.
struct WorkSample {
    int64_t dug = 0;        // units the machine has dug so far
    int32_t units = 0;      // in the bucket now
    bool inSoil = false;    // the bucket is cutting
    double slewRate = 0.0;  // rad/s of the upper structure
};

// One dig-dump cycle in its four phases (s): dig (load rising in the soil),
// swing loaded, dump (load falling out of the soil) and swing back (from
// the emptied bucket to the next bite, or until the slewing stops).
struct CyclePhases {
    double dig = 0.0, swingLoaded = 0.0, dump = 0.0, swingBack = 0.0;
    double total() const { return dig + swingLoaded + dump + swingBack; }
};

// What the operator's work has come to, from the machine's soil counts once
// a step: the load now, the soil dug and released so far, the last
// dig-dump cycle in its phases and the productivity. Headless: the window
// caption, the overlay and the scenario runner read the same figures.
class WorkMeter {
public:
    static constexpr double kUnitVolume = 0.040619;  // m3 of soil in one bucket unit
    // A cycle carries at least a quarter of a full bucket: a few units that
    // spill while the bucket bites are part of the cycle, not one of their own.
    static constexpr int32_t kCycleLoad = 8;
    // Releases further apart than this (s) are strays on the swing, not one dump.
    static constexpr double kDumpGap = 0.5;
    static constexpr int kProductivityCycles = 5;

    // Counting starts over from a bucket that holds `units`, the machine
    // having dug `dug` units so far: soil already in the bucket was not dug
    // here, so releasing it moves nothing.
    void reset(int64_t dug, int32_t units);
    // After every step of dt seconds, with the state after it.
    void update(const WorkSample& sample, double dt);

    double bucketM3() const { return units * kUnitVolume; }
    double movedM3() const { return static_cast<double>(movedUnits) * kUnitVolume; }
    // Seconds from the first unit dug into an empty bucket until the swing
    // back after the load was released ended: the sum of the last cycle's
    // phases; negative until a cycle has ended.
    double lastCycleSeconds() const { return cycles > 0 ? lastPhases.total() : -1.0; }
    const CyclePhases& lastCyclePhases() const { return lastPhases; }
    const CyclePhases& firstCyclePhases() const { return firstPhases; }
    // Soil moved over the time taken across the last (up to) five whole
    // cycles, m3/h; 0 until a cycle has ended.
    double cubicMetresPerHour() const;

    enum class Phase { Idle, Loaded, SwingBack };

    int64_t dug = 0;          // units the machine has dug, as last fed
    int32_t units = 0;        // in the bucket now
    int32_t dugHeld = 0;      // of those, units dug out of the ground
    int32_t peakHeld = 0;     // most dug units held since the cycle began
    int64_t movedUnits = 0;   // dug units released again
    double time = 0.0;        // s counted
    Phase phase = Phase::Idle;
    // Marks of the cycle under way (s): its first bite, the end of its last
    // bite, the start of its dump, the last release out of the soil, the
    // emptied bucket; negative where not yet reached.
    double cycleStart = -1.0, lastBite = -1.0, dumpStart = -1.0, lastOutRelease = -1.0, emptied = -1.0;
    bool slewedBack = false;  // the upper structure slewed since the bucket emptied
    int64_t movedAtStart = 0; // movedUnits when the cycle began
    CyclePhases lastPhases, firstPhases;
    int64_t cycles = 0;       // whole cycles ended
    // The last kProductivityCycles cycles, newest at (cycles - 1) % size.
    double recentSeconds[kProductivityCycles] = {};
    int64_t recentUnits[kProductivityCycles] = {};

private:
    void endCycle(double end);
};
