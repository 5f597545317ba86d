#pragma once

#include <memory>
#include <string>
#include <vector>

#include "exercise/Exercise.h"
#include "exercise/HopperMeter.h"
#include "exercise/TrenchMeter.h"
#include "math/Vector3.h"

class World;

// A report composed from the world as it was, to be written later (maybe on
// another thread): its files' paths and bodies, the JSON first.
struct ReportFiles {
    std::string directory;
    std::vector<std::pair<std::string, std::string>> files;
};

// Makes the directory and writes every file; false, with a message tagged
// "[ExerciseRun]", when one cannot be written.
bool writeReportFiles(const ReportFiles& report, std::string& error);

// An exercise under way in a world: it places the machine, sets the grade
// guidance, measures the metrics as the world steps, ends the exercise and
// writes its report. Headless; the program and the scenario runner share it.
class ExerciseRun {
public:
    // How often the metrics are taken while the exercise runs (s).
    static constexpr double kMeasureEvery = 0.25;

    // Stands the machine at the exercise's start, sets its grade and adds
    // the exercise's bodies (hopper, posts) to the world: before the
    // drawing side is built from it.
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

    World& world;
    Exercise exercise;
    std::unique_ptr<TrenchMeter> trench;  // the trench, or the hopper's dig area
    std::unique_ptr<HopperMeter> hopper;
    int hopperIndex = -1;              // in the world's objects
    std::vector<int> postIndices;      // in the world's objects, in the course's order
    std::vector<double> postTops;      // world heights of their tops
    size_t nextPost = 0;               // the post to touch next
    int64_t wallHits = 0, postContacts = 0;
    int64_t startSoil = 0;  // the soil ledger's total at the start
    Metrics metrics;
    double elapsed = 0.0;  // s simulated since the start
    std::string endReason;  // empty while it runs: "goal met", "time up", "ended by the operator"

private:
    double sinceMeasure = 0.0;
    // A touch counts once: a new one only after this long free (s), as
    // contacts come and go from step to step while parts rest together.
    static constexpr double kContactGap = 0.25;
    double wallFree = kContactGap;
    std::vector<double> postFree;
    void watchContacts();
    bool goalMet();
    void end(const char* reason);
};

// A start time as the report's file name takes it: "2026-12-07T18-20-25".
std::string reportTimeStamp();
