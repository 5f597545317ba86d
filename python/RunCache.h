#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <tuple>

#include "exercise/Exercise.h"
#include "exercise/ExerciseRun.h"
#include "world/World.h"
#include "world/WorldState.h"

// A start place: x, z (m) and heading (degrees).
using StartPlace = std::optional<std::tuple<double, double, double>>;

// What a run begins with: the world of a data folder with its soil chosen,
// the exercise (if any) begun in it at the file's start place, and both as
// they began; the machine is then moved to the run's start place.
struct PreparedWorld {
    std::string data, exerciseFile, soil;
    std::string exerciseText;  // the file as read: an edited file is read again
    StartPlace start;           // the run's; none: the file's
    uint64_t dataChecksum = 0;
    std::unique_ptr<World> world;
    Exercise exercise;
    std::unique_ptr<ExerciseRun> run;  // null without an exercise
    WorldState worldStart;
    ExerciseState runStart;
};

// The worlds a process has built for its runs, the latest few kept: a run on
// a data folder, exercise file and soil seen before restores their start
// (well under a millisecond) and places the machine, instead of building the
// world again (a third of a second). It steps as a world built for the run
// would, to the byte.
class RunCache {
public:
    explicit RunCache(size_t worlds) : capacity(worlds) {}

    // The world for these settings as it began. A soil unknown to the
    // soils file, an exercise file that does not read, or a start place
    // off the terrain is an Error.
    PreparedWorld& prepare(const std::string& data, const std::string& exerciseFile, const std::string& soil,
                           const StartPlace& start);
    size_t size() const { return kept.size(); }

private:
    static std::unique_ptr<PreparedWorld> build(const std::string& data, const std::string& exerciseFile,
                                                const std::string& soil);
    size_t capacity;
    std::list<std::unique_ptr<PreparedWorld>> kept;  // the latest used first
};
