// The compiled part of the Python package: worlds, their states and a pool
// that steps many at once, with the interpreter's lock released.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/Error.h"
#include "excavator/Cutting.h"
#include "excavator/Excavator.h"
#include "excavator/Grade.h"
#include "exercise/TrenchMeter.h"
#include "math/Quaternion.h"
#include "python/BatchBinding.h"
#include "python/PyWorld.h"
#include "python/WorldPool.h"
#include "tools/scenario/Scenario.h"
#include "world/Trace.h"

namespace py = pybind11;

namespace {

constexpr double kRadians = 3.14159265358979323846 / 180.0;

// The folder a world reads when none is named: $KELVARRO_DATA, else the build's data/.
std::string dataFolder(const py::object& data)
{
    if (!data.is_none())
        return data.cast<std::string>();
    const char* env = std::getenv("KELVARRO_DATA");
    return env && *env ? std::string(env) : std::string(KELVARRO_BUILD_DATA);
}

std::unique_ptr<PyWorld> makeWorld(const py::object& exercise, const py::object& soil, const py::object& data,
                                   bool trace)
{
    const std::string ground = soil.is_none() ? std::string() : soil.cast<std::string>();
    const std::string name = exercise.is_none() ? std::string() : exercise.cast<std::string>();
    std::string folder = dataFolder(data);
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    py::gil_scoped_release unlocked;
    return std::make_unique<PyWorld>(folder, name, ground, trace);
}

size_t column(const char* name)
{
    const auto& columns = traceColumns();
    for (size_t i = 0; i < columns.size(); ++i)
        if (std::string(columns[i].name) == name)
            return i + 1;
    throw Error("World", std::string("no trace column ") + name);
}

Vector3 cuttingEdge(const Excavator& e)
{
    Vector3 a, b;
    cuttingEdgeEnds(e, a, b);
    return (a + b) * 0.5;
}

constexpr int kStateSize = 21;

// How the cutting edge moves at these boom, arm and bucket rates (rad/s)
// from the joint angles of now: its middle's velocity in the machine's
// frame (x along the tracks, y up; m/s) and whether that motion cuts.
py::tuple edgeMotion(const PyWorld& w, double boom, double arm, double bucket)
{
    const Excavator& e = *w.world().excavator;
    const JointAngles now = jointAngles(e.meshes);
    JointAngles rates;
    rates.monoblock = boom;
    rates.bendingArm = arm;
    rates.groundPlate = bucket;
    JointAngles next = now;
    constexpr double dt = 0.01;
    next.monoblock += boom * dt;
    next.bendingArm += arm * dt;
    next.groundPlate += bucket * dt;
    Vector3 a0, b0, a1, b1;
    cuttingEdgeEndsAt(e, now, a0, b0);
    cuttingEdgeEndsAt(e, next, a1, b1);
    const Vector3 v = rotate((a1 + b1 - a0 - b0) * (0.5 / dt), conjugate(e.orientation));
    const bool cuts = inCuttingWindow(attackAngle(tipVelocityInBucket(armPivots(e.meshes), now, rates)));
    return py::make_tuple(v.x, v.y, cuts);
}

// The machine's state as the environment observes it; see kelvarro/env.py.
void machineState(const PyWorld& w, float* out)
{
    static const size_t at[] = {column("x"),        column("y"),         column("z"),       column("yaw_deg"),
                                column("pitch_deg"), column("roll_deg"), column("slew"),    column("monoblock"),
                                column("arm"),      column("plate")};
    std::vector<double> row;
    traceRow(w.world(), 0.0, row);
    const Excavator& e = *w.world().excavator;
    for (int i = 0; i < 10; ++i)
        out[i] = static_cast<float>(row[at[i]] * (i >= 3 && i < 6 ? kRadians : 1.0));
    const JointAngles rates = e.jointRates();
    const double rest[] = {rates.slew, rates.monoblock, rates.bendingArm, rates.groundPlate,
                           w.world().work.bucketM3(), static_cast<double>(e.hit.cause)};
    for (int i = 0; i < 6; ++i)
        out[10 + i] = static_cast<float>(rest[i]);
    const Vector3 edge = cuttingEdge(e);
    out[16] = static_cast<float>(edge.x);
    out[17] = static_cast<float>(edge.y);
    out[18] = static_cast<float>(edge.z);
    out[19] = static_cast<float>(e.cutForce / 1000.0);
    out[20] = static_cast<float>(e.hydraulicLoad);
}

py::array_t<float> floats(std::vector<py::ssize_t> shape)
{
    return py::array_t<float>(shape);
}

py::dict stateDict(const PyWorld& w)
{
    auto all = floats({kStateSize});
    machineState(w, all.mutable_data());
    const float* s = all.data();
    const auto part = [&](int from, int n) {
        auto a = floats({n});
        std::copy(s + from, s + from + n, a.mutable_data());
        return a;
    };
    py::dict d;
    d["pose"] = part(0, 6);
    d["joints"] = part(6, 4);
    d["rates"] = part(10, 4);
    d["bucket_m3"] = s[14];
    d["bucket_units"] = w.world().excavator->bucket.soilCount;
    d["hit"] = static_cast<int>(w.world().excavator->hit.cause);
    d["cutting_edge"] = part(16, 3);
    d["cut_force_kn"] = s[19];
    d["hydraulic_load"] = s[20];
    // The grade guidance's readout: the cutting edge's height above the grade set, None with none.
    const Excavator& e = *w.world().excavator;
    d["above_grade"] = e.grade.set ? py::cast(heightAboveGrade(e, e.grade)) : py::none();
    // For stopping the slew on a mark: its inertia now and whether its drive runs or brakes.
    d["slew_inertia"] = e.slewInertia;
    d["slew_idle"] = e.slewState == Idle;
    return d;
}

py::dict soilDict(const PyWorld& w)
{
    const SoilLedger s = sceneSoil(w.world());
    py::dict d;
    d["ground"] = s.ground;
    d["loose"] = s.loose;
    d["gone"] = s.gone;
    d["bucket"] = s.buckets;
    d["beds"] = s.beds;
    d["total"] = s.total();
    d["balance"] = s.total() - w.startSoil();
    d["dug"] = w.world().excavator->soilDug;
    d["unit_m3"] = WorkMeter::kUnitVolume;
    return d;
}

py::dict workDict(const PyWorld& w)
{
    const WorkMeter& m = w.world().work;
    py::dict d;
    d["bucket_m3"] = m.bucketM3();
    d["moved_m3"] = m.movedM3();
    d["moved_units"] = m.movedUnits;
    d["cycles"] = m.cycles;
    d["last_cycle_s"] = m.lastCycleSeconds();
    d["m3_per_hour"] = m.cubicMetresPerHour();
    return d;
}

py::object exerciseDict(const PyWorld& w)
{
    const ExerciseRun* run = w.exercise();
    if (!run)
        return py::none();
    py::dict d;
    d["name"] = run->exercise.name;
    d["kind"] = run->exercise.kind;
    d["elapsed"] = run->elapsed;
    d["time_limit"] = run->exercise.timeLimit;
    d["metrics"] = run->metrics;
    d["score"] = totalScore(run->exercise, run->metrics);
    d["end"] = run->endReason;
    if (run->trench) {
        const TrenchTarget& t = run->exercise.trench;
        d["trench"] = py::dict(py::arg("x") = t.x, py::arg("z") = t.z, py::arg("heading_deg") = t.headingDegrees,
                               py::arg("length") = t.length, py::arg("width") = t.width, py::arg("depth") = t.depth,
                               py::arg("grade_level") = run->trench->gradeLevel());
    }
    return d;
}

std::array<double, kDriveCount> drives(const py::array_t<double, py::array::forcecast>& given)
{
    if (given.ndim() != 1 || given.size() != kDriveCount)
        throw Error("World", "a command is " + std::to_string(kDriveCount) + " drives, got an array of shape (" +
                                 [&] {
                                     std::string s;
                                     for (py::ssize_t i = 0; i < given.ndim(); ++i)
                                         s += (i ? ", " : "") + std::to_string(given.shape(i));
                                     return s;
                                 }() + ")");
    std::array<double, kDriveCount> out{};
    for (int d = 0; d < kDriveCount; ++d)
        out[static_cast<size_t>(d)] = given.at(d);
    return out;
}

void checkPatch(int cells, double cell)
{
    if (cells < 1 || cells > 1024 || !(cell > 0.0 && cell <= 100.0))
        throw Error("World", "a patch is 1 to 1024 cells of (0, 100] m");
}

// The observation: the machine's state, then a patch of ground heights
// around the cutting edge, relative to the edge (NaN off the terrain reads 0).
// Needs no interpreter lock.
void fillObservation(const PyWorld& w, int cells, double cell, float* o)
{
    machineState(w, o);
    float* patch = o + kStateSize;
    w.heightmap(o[16], o[18], cells, cell, patch);
    for (int i = 0; i < cells * cells; ++i)
        patch[i] = std::isnan(patch[i]) ? 0.0f : patch[i] - o[17];
}

py::array_t<float> observation(const PyWorld& w, int cells, double cell)
{
    checkPatch(cells, cell);
    auto out = floats({kStateSize + cells * cells});
    fillObservation(w, cells, cell, out.mutable_data());
    return out;
}

}  // namespace

PYBIND11_MODULE(_kelvarro, m)
{
    m.doc() = "The excavator's world: stepping, commands, state, ground and recordings.";
    static py::exception<Error> error(m, "Error", PyExc_ValueError);
    // One error path: every C++ exception reaches Python as kelvarro.Error
    // with its tagged line.
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown)
                std::rethrow_exception(thrown);
        } catch (const Error& e) {
            error(e.what());
        } catch (const py::error_already_set&) {
            throw;
        } catch (const py::builtin_exception&) {
            throw;
        } catch (const std::exception& e) {
            error((std::string("[World] ") + e.what()).c_str());
        }
    });

    m.attr("STEP") = PyWorld::kStep;
    m.attr("STATE_SIZE") = kStateSize;
    m.attr("SLEW_TORQUE") = slewTorque;
    m.attr("DRIVES") = py::make_tuple("slewing", "monoblock", "bending_arm", "ground_plate", "left_track",
                                      "right_track");

    py::class_<PyWorldState>(m, "State", "A saved world: restore() returns to it.")
        .def_property_readonly("step_count", [](const PyWorldState& s) { return s.world.stepCount; });

    py::class_<PyWorld>(m, "World")
        .def(py::init(&makeWorld), py::arg("exercise") = py::none(), py::arg("soil") = py::none(),
             py::arg("data") = py::none(), py::arg("trace") = false)
        .def("step",
             [](PyWorld& w, int64_t n) {
                 if (n < 0)
                     throw Error("World", "cannot step a negative count");
                 py::gil_scoped_release unlocked;
                 return w.step(n);
             },
             py::arg("n") = 1, "Steps n times 3 ms (fewer once an exercise has ended); returns the steps taken.")
        .def("command",
             [](PyWorld& w, const py::array_t<double, py::array::forcecast>& d) {
                 const MachineCommand taken = w.command(drives(d));
                 auto out = floats({kDriveCount});
                 std::copy(taken.deflection, taken.deflection + kDriveCount, out.mutable_data());
                 return out;
             },
             py::arg("drives"), "Gives the six drives their deflections in [-1, 1]; returns what they took.")
        .def_property_readonly("state", &stateDict)
        .def("observation", &observation, py::arg("cells"), py::arg("cell"))
        .def("heightmap",
             [](const PyWorld& w, std::pair<double, double> centre, int size, double cell) {
                 if (size < 1 || size > 4096 || !(cell > 0.0 && cell <= 1000.0))
                     throw Error("World", "a heightmap is 1 to 4096 cells of (0, 1000] m");
                 auto out = floats({size, size});
                 w.heightmap(centre.first, centre.second, size, cell, out.mutable_data());
                 return out;
             },
             py::arg("centre"), py::arg("size"), py::arg("cell"))
        .def("edge_motion", &edgeMotion, py::arg("boom"), py::arg("arm"), py::arg("bucket"),
             "(vx, vy, cuts): the cutting edge's velocity in the machine's frame at these joint rates.")
        .def("to_machine",
             [](const PyWorld& w, std::array<double, 3> p) {
                 const Excavator& e = *w.world().excavator;
                 const Vector3 q = rotate(Vector3(p[0], p[1], p[2]) - e.position, conjugate(e.orientation));
                 return py::make_tuple(q.x, q.y, q.z);
             },
             py::arg("point"), "A world point in the machine's frame (x along the tracks, y up).")
        .def("drive_rate",
             [](const PyWorld& w, int drive, double deflection) {
                 if (drive < 1 || drive > 3 || !(deflection >= -1.0 && deflection <= 1.0))
                     throw Error("World", "drive_rate takes an arm drive (1 to 3) and a deflection in [-1, 1]");
                 return w.world().excavator->armRate(static_cast<Drive>(drive), static_cast<float>(deflection));
             },
             py::arg("drive"), py::arg("deflection"),
             "The rate (rad/s) that deflection would give an arm joint now, before the pump shares its flow.")
        .def("figures",
             [](const PyWorld& w) {
                 const World& world = w.world();
                 const SoilLedger soil = sceneSoil(world);
                 const ExerciseRun* run = w.exercise();
                 return py::make_tuple(world.excavator->soilDug, soil.buckets, world.work.movedUnits, soil.gone,
                                       soil.loose, world.work.movedM3(),
                                       run ? totalScore(run->exercise, run->metrics) : 0.0);
             },
             "(dug, bucket, delivered, spilled, loose, moved_m3, score): what an environment's step reports "
             "changes of, in one call.")
        .def_property_readonly("soil", &soilDict)
        .def_property_readonly("work", &workDict)
        .def_property_readonly("soil_type", [](const PyWorld& w) { return w.world().excavator->soil.name; })
        .def_property_readonly("exercise", &exerciseDict)
        .def_property_readonly("step_count", [](const PyWorld& w) { return w.world().stepCount; })
        .def_property_readonly("time", [](const PyWorld& w) { return w.world().stepCount * PyWorld::kStep; })
        .def("save", &PyWorld::save)
        .def("restore", [](PyWorld& w, const PyWorldState& s) {
            py::gil_scoped_release unlocked;
            w.restore(s);
        })
        .def_property_readonly_static("trace_header",
                                      [](py::object) {
                                          std::vector<std::string> names{"time"};
                                          for (const TraceColumn& c : traceColumns())
                                              names.push_back(c.name);
                                          return names;
                                      })
        .def("trace",
             [](const PyWorld& w) {
                 const auto width = static_cast<py::ssize_t>(w.traceWidth());
                 py::array_t<double> out({static_cast<py::ssize_t>(w.trace().size()) / width, width});
                 std::copy(w.trace().begin(), w.trace().end(), out.mutable_data());
                 return out;
             },
             "The trace rows since the start (a world made with trace=True).")
        .def("record", &PyWorld::record, py::arg("path"),
             "Writes the episode since the start as a session recording.");

    py::class_<WorldPool>(m, "Pool", "Threads that step many worlds at once.")
        .def(py::init<int>(), py::arg("threads"))
        .def_property_readonly("threads", &WorldPool::threads)
        .def("step",
             [](WorldPool& pool, const std::vector<PyWorld*>& worlds, int64_t n) {
                 for (const PyWorld* w : worlds)
                     if (!w)
                         throw Error("World", "a pool steps worlds, not None");
                 std::vector<int64_t> taken(worlds.size());
                 py::gil_scoped_release unlocked;
                 pool.run(worlds.size(), [&](size_t i) { taken[i] = worlds[i]->step(n); });
                 return taken;
             },
             py::arg("worlds"), py::arg("n"))
        // The whole of a vector environment's step but the bookkeeping: each
        // world given its row of drives, stepped and observed on the pool's
        // threads, so that the serial part between steps stays small.
        .def("advance",
             [](WorldPool& pool, const std::vector<PyWorld*>& worlds,
                const py::array_t<double, py::array::c_style | py::array::forcecast>& actions, int64_t n, int cells,
                double cell) {
                 const auto count = static_cast<py::ssize_t>(worlds.size());
                 if (actions.ndim() != 2 || actions.shape(0) != count || actions.shape(1) != kDriveCount)
                     throw Error("World", "advance takes one row of " + std::to_string(kDriveCount) +
                                              " drives per world");
                 for (const PyWorld* w : worlds)
                     if (!w)
                         throw Error("World", "a pool steps worlds, not None");
                 checkPatch(cells, cell);
                 const py::ssize_t size = kStateSize + cells * cells;
                 auto out = floats({count, size});
                 float* o = out.mutable_data();
                 const double* a = actions.data();
                 py::gil_scoped_release unlocked;
                 pool.run(worlds.size(), [&](size_t i) {
                     std::array<double, kDriveCount> row{};
                     std::copy(a + i * kDriveCount, a + (i + 1) * kDriveCount, row.begin());
                     worlds[i]->command(row);
                     worlds[i]->step(n);
                     fillObservation(*worlds[i], cells, cell, o + static_cast<py::ssize_t>(i) * size);
                 });
                 return out;
             },
             py::arg("worlds"), py::arg("actions"), py::arg("n"), py::arg("cells"), py::arg("cell"));

    registerBatch(m);
}
