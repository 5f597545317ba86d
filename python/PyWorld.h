#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "excavator/MachineCommand.h"
#include "exercise/Exercise.h"
#include "exercise/ExerciseRun.h"
#include "world/World.h"
#include "world/WorldState.h"

// The drives as given at one step: what a recording turns into events.
struct GivenCommand {
    int64_t step = 0;
    MachineCommand command;
};

// A world as Python holds it, with its exercise and its episode so far.
struct PyWorldState {
    WorldState world;
    ExerciseState exercise;
    std::vector<GivenCommand> commands;
    size_t traceRows = 0;
};

// One world with an optional exercise, stepped as the scenario runner and a
// replay step it (the exercise fed after every step), keeping the commands
// given since the start so that the episode can be written as a session
// recording whose replay gives the same trace.
class PyWorld {
public:
    static constexpr double kStep = 0.003;  // s

    // `exercise`: a name under data/exercises/, or empty for the bare world;
    // `soil`: a name in data/soils.json, or empty for its default. An
    // unknown one is an Error naming those there are.
    PyWorld(const std::string& dataDirectory, const std::string& exercise, const std::string& soil,
            bool keepTrace);
    PyWorld(const PyWorld&) = delete;
    PyWorld& operator=(const PyWorld&) = delete;

    // n steps, or fewer when the exercise ends.
    int64_t step(int64_t n);
    // Takes each drive's deflection as a joystick axis or a key gives it:
    // exactly 0 and +-1, others to the axis's 1/32768 with its dead zone.
    // Returns what the drives took. NaN or outside [-1, 1] is an Error.
    MachineCommand command(const std::array<double, kDriveCount>& deflections);
    // The deflection a drive takes when asked for `deflection` in [-1, 1].
    static float takenDeflection(Drive drive, double deflection);

    PyWorldState save() const;
    void restore(const PyWorldState& state);

    // Ground heights in a square of `cells` x `cells` samples `cell` m apart
    // centred on (x, z), rows along z; NaN off the terrain. Reads only the
    // columns sampled.
    void heightmap(double x, double z, int cells, double cell, float* out) const;

    // The episode since the start as a session recording. A recording
    // replays in the default soil, so another soil's world is an Error.
    void record(const std::string& path) const;

    World& world() { return *simulated; }
    const World& world() const { return *simulated; }
    ExerciseRun* exercise() const { return run.get(); }
    const std::vector<double>& trace() const { return traceValues; }
    size_t traceWidth() const;
    int64_t startSoil() const { return soilAtStart; }

    const std::string dataDirectory;
    const std::string exerciseName;

private:
    std::unique_ptr<World> simulated;
    Exercise exerciseFile;
    std::unique_ptr<ExerciseRun> run;
    bool keepTrace;
    std::vector<double> traceValues;  // rows of traceWidth()
    std::vector<GivenCommand> commands;
    int64_t soilAtStart = 0;
};
