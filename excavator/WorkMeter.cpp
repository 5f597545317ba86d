#include "excavator/WorkMeter.h"

#include <algorithm>

void WorkMeter::reset(int32_t bucketUnits)
{
    *this = WorkMeter();
    units = bucketUnits;
}

void WorkMeter::update(int32_t bucketUnits, double dt)
{
    time += dt;
    const int32_t change = bucketUnits - units;
    units = bucketUnits;
    if (change > 0) {
        if (dugHeld == 0)
            cycleStart = time - dt;  // the step that took the first unit
        dugHeld += change;
    } else if (change < 0) {
        // What leaves comes from the dug soil first: a bucket started full
        // counts as moved only what was dug on top of it.
        const int32_t released = std::min(-change, dugHeld);
        dugHeld -= released;
        movedUnits += released;
        if (released > 0 && dugHeld == 0 && cycleStart >= 0.0) {
            lastCycle = time - cycleStart;
            cycleStart = -1.0;
        }
    }
}
