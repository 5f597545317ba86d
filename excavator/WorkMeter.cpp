#include "excavator/WorkMeter.h"

#include <algorithm>

void WorkMeter::reset(int64_t dugSoFar, int32_t bucketUnits)
{
    *this = WorkMeter();
    dug = dugSoFar;
    units = bucketUnits;
}

void WorkMeter::endCycle(double end)
{
    lastPhases = {lastBite - cycleStart, dumpStart - lastBite, emptied - dumpStart, end - emptied};
    if (cycles == 0)
        firstPhases = lastPhases;
    const int slot = static_cast<int>(cycles % kProductivityCycles);
    recentSeconds[slot] = end - cycleStart;
    recentUnits[slot] = movedUnits - movedAtStart;
    ++cycles;
    phase = Phase::Idle;
    cycleStart = lastBite = dumpStart = lastOutRelease = emptied = -1.0;
    slewedBack = false;
    peakHeld = 0;
}

void WorkMeter::update(const WorkSample& s, double dt)
{
    time += dt;
    const double stepStart = time - dt;
    // A step may dig some units and spill others: both count.
    const int64_t taken = s.dug - dug;
    const int64_t left = taken - (s.units - units);
    dug = s.dug;
    units = s.units;

    // The swing back ends at the next bite, or when a slewing upper structure stops.
    if (phase == Phase::SwingBack) {
        if (taken > 0) {
            endCycle(stepStart);
        } else {
            slewedBack = slewedBack || s.slewRate != 0.0;
            if (slewedBack && s.slewRate == 0.0)
                endCycle(time);
        }
    }
    if (taken > 0) {
        if (phase == Phase::Idle) {
            cycleStart = stepStart;  // the step that took the first unit
            movedAtStart = movedUnits;
            phase = Phase::Loaded;
        }
        dugHeld += static_cast<int32_t>(taken);
        peakHeld = std::max(peakHeld, dugHeld);
        lastBite = time;
        dumpStart = -1.0;  // a new bite: any release before it was no dump
    }
    // What leaves comes from the dug soil first: a bucket started full
    // counts as moved only what was dug on top of it. What leaves in the
    // soil falls back into the cut, to be dug again: a grain counts as
    // moved once, when it leaves the bucket out of the soil.
    const int32_t released = static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(left, 0), dugHeld));
    dugHeld -= released;
    if (!s.inSoil)
        movedUnits += released;
    if (released <= 0 || phase != Phase::Loaded)
        return;
    if (!s.inSoil) {
        // The dump is the run of releases that empties the bucket; a stray
        // unit lost on the way starts none.
        if (dumpStart < 0.0 || stepStart - lastOutRelease > kDumpGap)
            dumpStart = std::max(stepStart, lastBite);
        lastOutRelease = time;
    }
    if (dugHeld == 0 && peakHeld >= kCycleLoad) {
        if (dumpStart < 0.0)
            dumpStart = std::max(stepStart, lastBite);  // emptied in the soil
        emptied = time;
        phase = Phase::SwingBack;
        slewedBack = s.slewRate != 0.0;
    }
}

double WorkMeter::cubicMetresPerHour() const
{
    const int n = static_cast<int>(std::min<int64_t>(cycles, kProductivityCycles));
    double seconds = 0.0;
    int64_t moved = 0;
    for (int i = 0; i < n; ++i) {
        seconds += recentSeconds[i];
        moved += recentUnits[i];
    }
    return seconds > 0.0 ? static_cast<double>(moved) * kUnitVolume / seconds * 3600.0 : 0.0;
}
