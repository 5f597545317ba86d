#pragma once

#include <cstdint>
#include <vector>

#include "exercise/Exercise.h"
#include "math/Vector3.h"
#include "terrain/SoilBed.h"

// A touch counts once: a new one only after the part has been clear this
// long (s), as contacts come and go from step to step while parts rest
// together. The walls, the posts and the truck share the rule.
constexpr double kTouchGap = 0.25;

// One step of a touch-once count: `free` is how long the part has been clear.
inline void countTouch(int64_t& count, double& free, bool touching, double dt)
{
    count += touching && free >= kTouchGap;
    free = touching ? 0.0 : free + dt;
}

// The parked truck in the world, as its faults are judged: its body's and
// its cab's outlines (middle, heading as the machine's, length along it,
// width) and heights.
struct TruckShape {
    double headingDegrees = 0.0;
    double bodyX = 0.0, bodyZ = 0.0, bodyLength = 0.0, bodyWidth = 0.0, rimY = 0.0;
    double cabX = 0.0, cabZ = 0.0, cabLength = 0.0, cabWidth = 0.0, cabTopY = 0.0;
    double releaseAbove = 0.0;  // m over the rim the bucket may be while soil leaves it
    SoilBed bed;                // the body's floor between its walls, empty, its repose unset
};

// The body's outline, measured for delivered and spilled soil as a hopper's.
HopperTarget bodyOutline(const TruckShape& truck, double goalM3);

// The truck's faults so far, and what the once-rules remember.
struct TruckFaults {
    int64_t cabPasses = 0, hits = 0, highReleases = 0;
    double cabFree = kTouchGap, hitFree = kTouchGap;
    int lastLoad = 0;     // units in the bucket the step before
    bool judged = false;  // this load's dump has been judged
};

// What the bucket did in a step: its corners in the world, the soil units
// in it, whether it is cutting, and whether any part of the machine touches
// the truck.
struct BucketStep {
    const std::vector<Vector3>& corners;
    int load;
    bool inSoil, touchingTruck;
};

// One step: a loaded bucket coming over the cab's outline is a pass (once
// until it has been clear of it), a touch of the truck a hit (once until
// clear), a dump begun over the body (the first soil a loaded bucket lets
// go there) with all of the bucket higher than allowed over the rim a high
// release.
void watchTruck(TruckFaults& faults, const TruckShape& truck, const BucketStep& bucket, double dt);
