#include "python/PyWorld.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <fstream>
#include <limits>

#include "base/Error.h"
#include "excavator/Excavator.h"
#include "input/ExcavatorController.h"
#include "input/SessionFormat.h"
#include "math/Vector3.h"
#include "terrain/Terrain.h"
#include "tools/scenario/Scenario.h"
#include "world/Trace.h"

namespace {

// The assignment a recording names: axis d of joystick 0 works drive d.
int32_t driveAxis(int d)
{
    return axisKey(SDL_JOYAXISMOTION, 0, static_cast<uint8_t>(d));
}

}  // namespace

PyWorld::PyWorld(const std::string& directory, const std::string& exercise, const std::string& soil,
                 bool trace)
    : dataDirectory(directory), exerciseName(exercise), simulated(std::make_unique<World>(directory)),
      keepTrace(trace)
{
    World& w = *simulated;
    if (!soil.empty() && !w.chooseSoil(soil)) {
        std::string known;
        for (const SoilType& s : w.soils.soils)
            known += " " + s.name;
        throw Error("World", "unknown soil '" + soil + "'; soils.json has:" + known);
    }
    // As the scenario runner starts a run (and so a replay): the work meter
    // counts from the machine as built.
    w.work.reset(w.excavator->soilDug, w.excavator->bucket.soilCount);
    if (!exercise.empty()) {
        std::string error;
        if (!loadExercise(exercisePath(directory, exercise), exerciseFile, error, &w.terrain()))
            throw Error(error);
        run = std::make_unique<ExerciseRun>(w, exerciseFile);
    }
    soilAtStart = sceneSoil(w).total();
}

size_t PyWorld::traceWidth() const
{
    return traceColumns().size() + 1;
}

int64_t PyWorld::step(int64_t n)
{
    World& w = *simulated;
    std::vector<double> row;
    int64_t taken = 0;
    for (; taken < n && !(run && run->ended()); ++taken) {
        w.simulate(kStep);
        if (run)
            run->update(kStep);
        if (keepTrace) {
            traceRow(w, static_cast<double>(w.stepCount) * kStep, row);
            traceValues.insert(traceValues.end(), row.begin(), row.end());
        }
    }
    return taken;
}

float PyWorld::takenDeflection(Drive drive, double deflection)
{
    if (deflection == 0.0 || deflection == 1.0 || deflection == -1.0)
        return static_cast<float>(deflection);
    const long raw = std::clamp(std::lround(deflection * axisSign(drive) * 32768.0), -32768L, 32767L);
    return axisSign(drive) * axisValue(static_cast<int16_t>(raw));
}

MachineCommand PyWorld::command(const std::array<double, kDriveCount>& deflections)
{
    MachineCommand given;
    for (int d = 0; d < kDriveCount; ++d) {
        const double v = deflections[static_cast<size_t>(d)];
        if (!(v >= -1.0 && v <= 1.0))
            throw Error("World", "drive " + std::to_string(d) + " deflection " + std::to_string(v) +
                                     " is not in [-1, 1]");
        given.deflection[d] = takenDeflection(static_cast<Drive>(d), v);
    }
    simulated->setCommand(given);
    commands.push_back({simulated->stepCount, given});
    return given;
}

PyWorldState PyWorld::save() const
{
    PyWorldState state;
    state.world = simulated->save();
    if (run)
        state.exercise = run->save();
    state.commands = commands;
    state.traceRows = traceValues.size() / traceWidth();
    return state;
}

void PyWorld::restore(const PyWorldState& state)
{
    simulated->restore(state.world);
    if (run)
        run->restore(state.exercise);
    commands = state.commands;
    traceValues.resize(std::min(traceValues.size(), state.traceRows * traceWidth()));
}

void PyWorld::heightmap(double x, double z, int cells, double cell, float* out) const
{
    Terrain& ground = simulated->terrain();
    const double first = -0.5 * (cells - 1) * cell;
    for (int row = 0; row < cells; ++row)
        for (int column = 0; column < cells; ++column) {
            const Vector3 p(x + first + column * cell, 0.0, z + first + row * cell);
            const int b = ground.blockIndexAt(p);
            float height = std::numeric_limits<float>::quiet_NaN();
            if (ground.world.validBlock(b)) {
                int16_t vx = 0, vy = 0, vz = 0;
                ground.voxelCoordsAt(b, p, vx, vy, vz);
                height = ground.columnAt(b, vx, vz).position[1];
            }
            out[row * cells + column] = height;
        }
}

void PyWorld::record(const std::string& path) const
{
    SessionHeader header;
    // Another soil than the file's default is named, so the replay cuts the same ground.
    if (simulated->excavator->soil.name != simulated->soils.defaultName)
        header.soil = simulated->excavator->soil.name;
    header.program = programVersion();
    header.data = dataChecksum(dataDirectory);
    header.started = sessionTime(static_cast<int64_t>(std::time(nullptr)));
    header.exercise = exerciseName;
    for (int d = 0; d < kDriveCount; ++d)
        header.axes[driveAxis(d)] = axisPartName(static_cast<Drive>(d));
    std::string text = headerText(header);
    int64_t last = 0;
    const auto sync = [&](int64_t step) { text += std::to_string(step) + " sync\n"; };
    for (const GivenCommand& c : commands) {
        syncQuietStretch(last, c.step, sync);
        for (int d = 0; d < kDriveCount; ++d)
            appendEventLine(text, c.step, driveEvent(static_cast<Drive>(d), c.command.deflection[d]));
        last = c.step;
    }
    syncQuietStretch(last, simulated->stepCount, sync);
    text += std::to_string(simulated->stepCount) + " end\n";
    std::ofstream file(path, std::ios::binary);
    file << text;
    file.close();
    if (!file)
        throw Error("World", "cannot write the recording " + path);
}
