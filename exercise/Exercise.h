#pragma once

#include <map>
#include <string>
#include <vector>

class Terrain;

// One scoring rule of an exercise. A penalty takes `points` off for each
// unit the metric comes over its allowance; a bonus adds `points` once the
// metric reaches its allowance. The instructor changes the scoring by
// editing these in the exercise's file.
struct ScoreRule {
    std::string metric;
    bool bonus = false;
    double allowance = 0.0;
    double points = 0.0;  // per unit over (penalty) or once (bonus); >= 0
};

// A trench marked on the ground at its corners: its centre, the direction
// of its length (degrees, as the machine's heading), its size (m).
struct TrenchTarget {
    double x = 0.0, z = 0.0, headingDegrees = 0.0;
    double length = 0.0, width = 0.0, depth = 0.0;
    double finishLeftM3 = 0.0;  // the goal: no more soil than this left above grade
};

// An open box standing on the ground, its walls `wallHeight` above it; the
// soil that settles inside its footprint is delivered.
struct HopperTarget {
    double x = 0.0, z = 0.0, headingDegrees = 0.0;
    double length = 0.0, width = 0.0, wallHeight = 0.0;
    double goalM3 = 0.0;  // the goal: at least this delivered
};

// A dump truck parked at (x, z), facing its heading (its cab ahead of its
// body); its shape is the data folder's truck model, (x, z) the middle of
// its body. Soil that settles under the body's outline is delivered.
struct TruckTarget {
    double x = 0.0, z = 0.0, headingDegrees = 0.0;
    double goalM3 = 0.0;        // the goal: at least this delivered
    double releaseAboveM = 0.0;  // soil let go with the bucket higher than this over the rim is a fault
};

// A marker post: its middle on the ground and its top's height above it (m).
struct MarkerPost {
    double x = 0.0, z = 0.0, height = 0.0;
};

// A course of posts whose tops the cutting edge touches in order.
struct PrecisionTarget {
    std::vector<MarkerPost> posts;
    double postWidth = 0.0;    // m, square
    double touchWithin = 0.0;  // m from the top's middle to the cutting edge
};

// An exercise as its file describes it.
struct Exercise {
    std::string file;
    std::string name;
    std::string kind;  // "trench", "hopper", "precision" or "truck"
    std::string instructions;
    double startX = 0.0, startZ = 0.0, startHeadingDegrees = 0.0;
    double timeLimit = 0.0;  // s
    double baseScore = 0.0;
    TrenchTarget trench;  // the trench, or the hopper's or the truck's dig area
    HopperTarget hopper;
    TruckTarget truck;
    PrecisionTarget precision;
    std::vector<ScoreRule> rules;
};

// Metric name to value.
using Metrics = std::map<std::string, double>;

// The metrics an exercise of this kind measures; empty for an unknown kind.
const std::vector<std::string>& metricNames(const std::string& kind);

// What an exercise file may hold at most.
constexpr size_t kExerciseMaxBytes = size_t{1} << 20;  // the shipped ones are under 1 KiB
constexpr size_t kExerciseMaxPosts = 100, kExerciseMaxRules = 100;
constexpr size_t kExerciseMaxText = 2000;  // the instructions, shown over the picture

// Reads an exercise file. False, with a message tagged "[Exercise]" that
// names the file and the field, on a malformed file, a missing or wrong
// field, an unknown kind or metric, or (with a terrain) a start place or
// target off it.
bool loadExercise(const std::string& path, Exercise& out, std::string& error, const Terrain* terrain = nullptr);

// Puts the start place elsewhere (a recording's, a sweep's). False, with a
// tagged message, for a place off the terrain or past a file's bounds.
bool moveStart(Exercise& exercise, double x, double z, double headingDegrees, const Terrain& terrain,
               std::string& error);

// "data/exercises/NAME.json" below `dataDirectory`; a name that is not
// plain (see isPlainName) is thrown as an Error.
std::string exercisePath(const std::string& dataDirectory, const std::string& name);

// One rule's points for the metrics (0 when the metric is missing).
double rulePoints(const ScoreRule& rule, const Metrics& metrics);
// The base score plus every rule's points.
double totalScore(const Exercise& exercise, const Metrics& metrics);
