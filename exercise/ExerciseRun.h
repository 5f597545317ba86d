#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "excavator/WorkMeter.h"
#include "exercise/Exercise.h"
#include "exercise/HopperMeter.h"
#include "exercise/TrenchMeter.h"
#include "exercise/TruckFaults.h"
#include "math/Vector3.h"

#include <nlohmann/json_fwd.hpp>

class Excavator;
class Object;
class Terrain;
class World;

// What the report draws, taken as the exercise runs: the cutting edge's
// middle and, where soil is delivered, the delivered and spilled volumes,
// every `every` seconds (doubled, and every other sample dropped, when a
// long run fills kMaxSamples); each ended work cycle's phases.
struct ExerciseSeries {
    static constexpr size_t kMaxSamples = 2048;
    double every = 0.25, lastSample = -1e30;  // s
    std::vector<std::array<double, 4>> edge;      // t, x, y, z (s, m)
    std::vector<std::array<double, 3>> delivery;  // t, delivered, spilled (s, m3)
    std::vector<CyclePhases> cycles;
};

// What an exercise under way has counted so far: what it saves beside its
// world (the meters compare the ground with how it was at the start, and
// keep nothing else).
struct ExerciseState {
    size_t nextPost = 0;
    int64_t wallHits = 0, postContacts = 0;
    Metrics metrics;
    double elapsed = 0.0;
    std::string endReason;
    double sinceMeasure = 0.0, wallFree = 0.0;
    std::vector<double> postFree;
    ExerciseSeries series;
    TruckFaults truck;
};

// A report composed from the world as it was, to be written later (maybe on
// another thread): its folder, its files' name without the extension, and
// the bodies of the .json and the .txt.
struct ReportFiles {
    std::string directory, stem;
    std::string json, text;  // the page beside them is made from the JSON as they are written
};

// Makes the directory and writes the .json, the .txt and the .html page, each
// made whole or not at all and never over another (two reports in one
// second: the later gets "-2", ...);
// false, with a message tagged "[ExerciseRun]", when it cannot.
bool writeReportFiles(const ReportFiles& report, std::string& error, std::string* jsonPath = nullptr);

// An exercise under way in a world: it places the machine, sets the grade
// guidance, measures the metrics as the world steps, ends the exercise and
// writes its report. Headless; the program and the scenario runner share it.
class ExerciseRun {
public:
    // How often the metrics are taken while the exercise runs (s).
    static constexpr double kMeasureEvery = 0.25;

    // Stands the machine at the exercise's start, sets its grade and adds
    // the exercise's bodies (hopper, posts, truck) to the world: before the
    // drawing side is built from it. A truck's model that cannot be read is
    // thrown as the model reader's Fatal.
    ExerciseRun(World& world, const Exercise& exercise);
    ~ExerciseRun();

    // After every step of the world: the clock, the metrics now and then,
    // and the end when the goal is met or the time is up.
    void update(double step);
    // The operator ends it (e); nothing once it has ended.
    void endByOperator();
    bool ended() const { return !endReason.empty(); }

    // Points marked on the ground: the trench's corners, on the ground as it was.
    std::vector<Vector3> groundMarks() const;
    // The lines the overlay shows: the instructions, the progress and the time left.
    std::vector<std::string> overlayLines() const;

    // Writes `<directory>/<startTime>-<name>.json` and `.txt` beside it;
    // false, with a message tagged "[ExerciseRun]", when either cannot be written.
    bool writeReport(const std::string& directory, const std::string& startTime, const std::string& recordingFile,
                     std::string& error, std::string* jsonPath = nullptr) const;
    // The same files, composed now and written by writeReportFiles.
    ReportFiles composeReport(const std::string& directory, const std::string& startTime,
                              const std::string& recordingFile) const;
    // The report's JSON and text (also used by the writer).
    std::string reportJson(const std::string& startTime, const std::string& recordingFile) const;
    std::string reportText(const std::string& startTime, const std::string& recordingFile) const;

    void measure();

    // With its world's own save and restore, by whoever holds both.
    ExerciseState save() const;
    void restore(const ExerciseState& state);

    World& world;
    Exercise exercise;
    std::unique_ptr<TrenchMeter> trench;  // the trench, or the hopper's or the truck's dig area
    std::unique_ptr<HopperMeter> hopper;  // the hopper's, or the truck body's
    std::vector<const Object*> truckParts;  // the world's bodies: cab, body, chassis
    TruckShape truckShape;
    TruckFaults truckFaults;
    const Object* hopperBody = nullptr;  // one of the world's bodies
    std::vector<const Object*> posts;    // the world's bodies, in the course's order
    std::vector<double> postTops;      // world heights of their tops
    size_t nextPost = 0;               // the post to touch next
    int64_t wallHits = 0, postContacts = 0;
    int64_t startSoil = 0;  // the soil ledger's total at the start
    Metrics metrics;
    double elapsed = 0.0;  // s simulated since the start
    std::string endReason;  // empty while it runs: "goal met", "time up", "ended by the operator"
    std::string trainee;    // named in the report; empty: nobody
    ExerciseSeries series;

private:
    double sinceMeasure = 0.0;
    double wallFree = kTouchGap;
    std::vector<double> postFree;
    void watchContacts();
    void sample();
    void addSeries(nlohmann::ordered_json& doc) const;
    bool goalMet();
    void end(const char* reason);
};

// At rest at (x, z), its arm along the heading, its lowest track corner
// 1 mm above the ground's height there; it settles on the slope.
void placeMachine(Excavator& e, const Terrain& terrain, double x, double z, double headingDegrees);

// A start time as the report's file name takes it: "2026-12-07T18-20-25".
std::string reportTimeStamp();
