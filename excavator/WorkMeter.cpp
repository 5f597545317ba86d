#include "excavator/WorkMeter.h"

#include <algorithm>

void WorkMeter::reset(int64_t dugSoFar, int32_t bucketUnits)
{
    *this = WorkMeter();
    dug = dugSoFar;
    units = bucketUnits;
}

void WorkMeter::update(int64_t dugSoFar, int32_t bucketUnits, double dt)
{
    time += dt;
    // A step may dig some units and spill others: both count.
    const int64_t taken = dugSoFar - dug;
    const int64_t left = taken - (bucketUnits - units);
    dug = dugSoFar;
    units = bucketUnits;
    if (taken > 0) {
        if (cycleStart < 0.0)
            cycleStart = time - dt;  // the step that took the first unit
        dugHeld += static_cast<int32_t>(taken);
        peakHeld = std::max(peakHeld, dugHeld);
    }
    // What leaves comes from the dug soil first: a bucket started full
    // counts as moved only what was dug on top of it.
    const int32_t released = static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(left, 0), dugHeld));
    dugHeld -= released;
    movedUnits += released;
    if (released > 0 && dugHeld == 0 && cycleStart >= 0.0 && peakHeld >= kCycleLoad) {
        lastCycle = time - cycleStart;
        cycleStart = -1.0;
        peakHeld = 0;
    }
}
