#pragma once

#include <SDL.h>

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "excavator/SoilLedger.h"
#include "math/Vector3.h"

class ExerciseRun;
class World;
class ScenarioRun;

// A key held over a stretch of simulated time, as the operator would hold it.
struct HeldKey {
    SDLKey key;
    double from, to;  // s
};

// One entry of the scenario table: tests, benchmarks and the runner share it.
struct Scenario {
    const char* name;
    const char* about;
    std::function<void(World&)> setUp;  // after the world is built; may be empty
    std::vector<HeldKey> keys;
    double seconds;                     // default length
    // Before every step, after the held keys: an operator that watches the
    // machine and presses keys itself; may be empty.
    std::function<void(ScenarioRun&)> operate = nullptr;
};

const std::vector<Scenario>& scenarioTable();
const Scenario* findScenario(const std::string& name);

// Before the step that starts at `time`: presses the keys held then, as key
// repeat delivers them, and lets go once of a key whose stretch just ended.
void holdKeys(const Scenario& scenario, double time);

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

    // Hands the machine to the controller for the run.
    ScenarioRun(World& world, const Scenario& scenario);
    ~ScenarioRun();
    ScenarioRun(const ScenarioRun&) = delete;
    ScenarioRun& operator=(const ScenarioRun&) = delete;
    // Holds the keys due, then one World::simulate; appends a trace row.
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
