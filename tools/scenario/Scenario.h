#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "excavator/MachineCommand.h"
#include "excavator/SoilLedger.h"
#include "input/ExcavatorController.h"
#include "math/Vector3.h"

class Excavator;
class ExerciseRun;
class World;
class ScenarioRun;

// One drive pushed one way at full deflection: what one machine key gives.
struct Lever {
    Drive drive;
    float deflection;
    bool operator==(const Lever& o) const { return drive == o.drive && deflection == o.deflection; }
    bool operator!=(const Lever& o) const { return !(*this == o); }
};
// By the keys that give them: a d, k i, w s, j l, keypad 5 2 and 6 3.
constexpr Lever kSlewPlus{Drive::Slewing, 1.0f}, kSlewMinus{Drive::Slewing, -1.0f};
constexpr Lever kBoomPlus{Drive::Monoblock, 1.0f}, kBoomMinus{Drive::Monoblock, -1.0f};
constexpr Lever kArmPlus{Drive::BendingArm, 1.0f}, kArmMinus{Drive::BendingArm, -1.0f};
constexpr Lever kBucketPlus{Drive::GroundPlate, 1.0f}, kBucketMinus{Drive::GroundPlate, -1.0f};
constexpr Lever kLeftForward{Drive::LeftTrack, 1.0f}, kLeftBack{Drive::LeftTrack, -1.0f};
constexpr Lever kRightForward{Drive::RightTrack, 1.0f}, kRightBack{Drive::RightTrack, -1.0f};

// Pushes the lever: the drive takes its deflection; released, it takes 0.
void pushLever(Excavator& machine, const Lever& lever, bool pushed = true);

// A lever held over a stretch of simulated time, as the operator would hold its key.
struct HeldLever {
    Lever lever;
    double from, to;  // s
};

// One entry of the scenario table: tests, benchmarks and the runner share it.
struct Scenario {
    const char* name;
    const char* about;
    std::function<void(World&)> setUp;  // after the world is built; may be empty
    std::vector<HeldLever> levers;
    double seconds;                     // default length
    // Before every step, after the held levers: an operator that watches
    // the machine and works the levers itself; may be empty.
    std::function<void(ScenarioRun&)> operate = nullptr;
};

const std::vector<Scenario>& scenarioTable();
const Scenario* findScenario(const std::string& name);

// Before the step that starts at `time`: pushes the levers held then, every
// step as key repeat gives a held key again, and lets go once of a lever
// whose stretch just ended.
void holdLevers(const Scenario& scenario, double time, Excavator& machine);

// The ground straight below (x, z): its height and the unit normal of the
// terrain triangle there. False off the terrain.
bool groundBelow(World& world, double x, double z, double& height, Vector3& normal);
// Stands the machine on the ground at (x, z), its tracks 1 mm above it, its
// arm pointing along the horizontal direction forward.
void standMachine(World& world, double x, double z, const Vector3& forward);

// Steps a world through a scenario and keeps what the trace and summary show.
class ScenarioRun {
public:
    static constexpr double kStep = 0.003;  // s

    // Hands the machine to the run's controller.
    ScenarioRun(World& world, const Scenario& scenario);
    ~ScenarioRun();
    ScenarioRun(const ScenarioRun&) = delete;
    ScenarioRun& operator=(const ScenarioRun&) = delete;
    // Holds the levers due, then one World::simulate; appends a trace row.
    void step();
    void run(double seconds);
    // One line: "summary" and key=value pairs.
    std::string summary() const;
    void writeTrace(std::ostream& out) const;

    World& world;
    const Scenario& scenario;
    int steps = 0;
    double time = 0.0;       // s simulated
    int firstContactStep = -1;
    bool nan = false;
    Vector3 startPosition;
    int64_t startSoil = 0;  // the ledger's total once set up
    std::vector<float> startHeights;  // every terrain column's top once set up
    // Checked after every step: the largest soil balance seen either way,
    // and how far the lowest track corner came above the ground below it
    // (m; negative: below).
    int64_t worstBalance = 0;
    double lowestClearance = 1e30;
    // Simulated time must advance: the shortest step the search took (s),
    // how many were shorter than kShortStep, and the longest run of such
    // steps in a row (time standing still).
    static constexpr double kShortStep = kStep / 1024.0;
    double minDt = kStep;
    int shortSteps = 0, shortRun = 0, longestStall = 0;
    std::vector<double> stepMs;
    double steppingSeconds = 0.0;  // wall clock spent in run()
    std::vector<std::vector<double>> trace;  // one row per step: time, then traceColumns()
    // An exercise fed after every step; its figures end the summary. May be null.
    ExerciseRun* exercise = nullptr;
    // The world's controller: a replayed session's keys and axes reach the
    // machine through it, and its e ends the exercise.
    ExcavatorController controller;
    // The scenario's operator, copied: what it keeps from step to step is
    // this run's, not the table's, whatever runs at the same time.
    std::function<void(ScenarioRun&)> operate;
};



struct SummaryKey {
    const char* name;
    std::function<std::string(const ScenarioRun&)> value;
};
const std::vector<SummaryKey>& summaryKeys();

// The soil of the world's terrain and machine: as kept, or by a full recount.
SoilLedger sceneSoil(const World& world, bool recount = false);

// Height of the machine's lowest track corner over the terrain surface below it, m.
double trackClearance(const World& world);

// The slope of the soil piled since the start, in degrees: the mean over
// neighbouring columns, one of them risen, of the angle of the step between
// their tops; 0 without a pile.
double pileSlopeDegrees(const ScenarioRun& run);

// Angle in degrees between the machine's up axis and the world's.
double tiltDegrees(const World& world);
