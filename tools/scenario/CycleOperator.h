#pragma once

#include <vector>

#include "tools/scenario/LeverHand.h"

class Excavator;
class ScenarioRun;

// The share of the relief at which an operator eases the bite.
constexpr double kEaseLoad = 0.85;

// Holds the slew lever towards `mark` (rad) while the upper structure would
// still come to rest short of it, and lets go where its brake stops it on
// the mark; true once it is at rest within `within` of it.
bool slewTo(const Excavator& e, double mark, double within, LeverHand& hand);

// A working cycle as an operator works it. The arm is set over the ground
// ahead and let down until the bucket meets it; the bite is closed on
// what the machine shows: the arm crowds and the bucket curls while the
// boom keeps the edge at a working depth, easing up when the load nears the
// relief, until the bucket is full or takes no more; then it lifts, slews a
// quarter turn, dumps and slews back, letting go of the slew where it will
// come to rest on its mark.
class CycleOperator {
public:
    // `repeat`: begins again once slewed back, at most every `period` s.
    // The bite is taken at slewing angle `digAt` and dumped at `dumpAt` (rad).
    explicit CycleOperator(bool again = false, double every = 0.0, double digAngle = 0.0,
                           double dumpAngle = 1.5707963267948966)
        : repeat(again), period(every), digAt(digAngle), dumpAt(dumpAngle)
    {
    }
    void operator()(ScenarioRun& run);

    enum Stage { Wait, ToBite, Approach, Bite, Curl, SwingOut, Dump, SwingBack, Done };
    Stage stage = Wait;

private:
    void go(Stage s);

    bool repeat;
    double period, digAt, dumpAt;
    bool raised = false;  // the boom has been raised this approach
    double stageTime = 0.0, begun = -1e9, sinceChoice = 0.0;
    double biteDepth = 0.0;  // m: the edge's working depth below the ground
    double hardness = 0.0;   // kN per m of depth, as the bite reads it
    std::vector<Lever> choice;  // the keys held in the bite, chosen anew every 0.05 s
    LeverHand hand;
};
