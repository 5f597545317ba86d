#pragma once

#include <string>
#include <vector>

#include "excavator/WorkMeter.h"

class Excavator;

// The figures the overlay shows, as plain values: taken from the world once
// a frame (or from its snapshot), formatted without GL.
struct OverlayFigures {
    double bucketM3 = 0.0;
    double bucketPercent = 0.0;  // of a full bucket
    double movedM3 = 0.0;
    double cycleSeconds = -1.0;  // negative: no cycle yet
    CyclePhases phases;
    double m3PerHour = 0.0;
    double realTimeFactor = 1.0;  // simulated over wall-clock time; negative: not known
    bool paused = false;
    bool replaying = false;
    double pace = 1.0;  // of a watched recording
    bool muted = false;  // the sound, by m or --mute
    bool gradeSet = false;
    double gradeHeight = 0.0;  // m, the cutting edge above the grade
    std::string hitReason;     // empty: no hit holds a joint
    double hydraulicLoad = 0.0;  // the busiest function's share of its relief
    double cutForceKn = 0.0;     // the soil's force on the cutting edge
    std::vector<std::string> exerciseLines;  // an exercise's instructions and progress, shown first
};

// How a line is tinted.
enum class LineColour { Plain, OnGrade, AboveGrade, BelowGrade, Warning };

struct OverlayLine {
    std::string text;
    LineColour colour = LineColour::Plain;
    bool operator==(const OverlayLine& o) const { return text == o.text && colour == o.colour; }
};

// The machine's and the meter's figures; the caller adds the clock's.
OverlayFigures overlayFigures(const WorkMeter& work, const Excavator& machine);

// The lines of the panel, top first.
std::vector<OverlayLine> overlayLines(const OverlayFigures& figures);
