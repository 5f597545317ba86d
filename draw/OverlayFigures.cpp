#include "draw/OverlayFigures.h"

#include <cmath>
#include <cstdio>

#include "excavator/Cutting.h"
#include "excavator/Excavator.h"
#include "excavator/Grade.h"
#include "excavator/Hydraulics.h"

namespace {

template <typename... Args>
std::string format(const char* pattern, Args... args)
{
    char text[200];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

}  // namespace

OverlayFigures overlayFigures(const WorkMeter& work, const Excavator& machine)
{
    OverlayFigures f;
    f.bucketM3 = work.bucketM3();
    f.bucketPercent = 100.0 * work.units / cutting::fullBucket;
    f.movedM3 = work.movedM3();
    f.cycleSeconds = work.lastCycleSeconds();
    f.phases = work.lastCyclePhases();
    f.m3PerHour = work.cubicMetresPerHour();
    f.gradeSet = machine.grade.set;
    f.gradeHeight = heightAboveGrade(machine, machine.grade);
    f.hitReason = hitReason(machine.hit);
    f.hydraulicLoad = machine.hydraulicLoad;
    f.cutForceKn = machine.cutForce / 1000.0;
    return f;
}

std::vector<OverlayLine> overlayLines(const OverlayFigures& f)
{
    std::vector<OverlayLine> lines;
    for (const std::string& text : f.exerciseLines)
        lines.push_back({text});
    lines.push_back({format("Bucket %.2f m\xc2\xb3 (%.0f%%)   moved %.2f m\xc2\xb3", f.bucketM3, f.bucketPercent,
                            f.movedM3)});
    if (f.cycleSeconds < 0.0)
        lines.push_back({"Last cycle -"});
    else
        lines.push_back({format("Last cycle %.1f s: dig %.1f, swing %.1f, dump %.1f, back %.1f", f.cycleSeconds,
                                f.phases.dig, f.phases.swingLoaded, f.phases.dump, f.phases.swingBack)});
    // A pace is known only over frames of the running world.
    lines.push_back({f.realTimeFactor < 0.0
                         ? format("%.1f m\xc2\xb3/h (last 5 cycles)", f.m3PerHour)
                         : format("%.1f m\xc2\xb3/h (last 5 cycles)   real time \xc3\x97%.2f", f.m3PerHour,
                                  f.realTimeFactor)});
    lines.push_back({format("Hydraulics %.0f%% of relief   cut %.1f kN", 100.0 * f.hydraulicLoad, f.cutForceKn),
                     f.hydraulicLoad >= hydraulics::crackingShare ? LineColour::Warning : LineColour::Plain});
    if (f.paused || f.replaying)
        lines.push_back({f.replaying ? format("REPLAY x%.2f%s (space pauses, +/- pace, t takes over)", f.pace,
                                              f.paused ? " - PAUSED" : "")
                                     : std::string("PAUSED"),
                         LineColour::Warning});
    if (f.muted)
        lines.push_back({"Sound muted (m)"});
    if (f.gradeSet) {
        // Rounded to whole centimetres, so a figure shown as 0 is on grade.
        const double cm = std::round(f.gradeHeight * 100.0) + 0.0;
        const GradeBand band = gradeBand(f.gradeHeight);
        const char* where = band == GradeBand::OnGrade ? "on grade" : band == GradeBand::Above ? "above" : "below";
        lines.push_back({format("Grade %+.0f cm %s", cm, where), band == GradeBand::OnGrade ? LineColour::OnGrade
                                                                 : band == GradeBand::Above ? LineColour::AboveGrade
                                                                                            : LineColour::BelowGrade});
    }
    if (!f.hitReason.empty())
        lines.push_back({f.hitReason, LineColour::Warning});
    return lines;
}
