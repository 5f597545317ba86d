#include "tools/scenario/Scenario.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "world/Trace.h"
#include "world/World.h"
#include "excavator/Excavator.h"
#include "exercise/ExerciseRun.h"
#include "math/Quaternion.h"
#include "physics/Collision.h"
#include "tools/scenario/CycleOperator.h"
#include "terrain/Terrain.h"

namespace {

constexpr double kDegrees = 57.29577951308232;

// The shortest rotation taking unit u onto unit v.
Quaternion rotationBetween(const Vector3& u, const Vector3& v)
{
    const Vector3 axis = cross(u, v);
    const double s = length(axis);
    const double angle = std::atan2(s, dot(u, v));
    if (s == 0.0)
        return Quaternion(1, 0, 0, 0);
    const Vector3 a = axis / s * std::sin(angle / 2);
    return Quaternion(std::cos(angle / 2), a.x, a.y, a.z);
}

void setPose(Excavator& e, const Vector3& position, const Quaternion& orientation)
{
    e.position = e.predictedPosition = position;
    e.orientation = e.predictedOrientation = orientation;
    const Matrix3 r = toMatrix(orientation);
    e.inverseInertiaWorld = (r * e.inverseInertiaBody) * transpose(r);
}

void setVelocity(Excavator& e, const Vector3& v)
{
    e.momentum = v * e.mass;
    e.velocity = v;
}

// The wall's unit normal in the ground plane and its near face's offset
// along it, seen from point p.
void wallFace(World& world, const Vector3& p, Vector3& towards, double& faceOffset)
{
    const Mesh& wall = world.wall().meshes[0];
    // The wall runs along its longest horizontal extent.
    Vector3 lo = wall.workingPositions[0], hi = lo;
    for (const Vector3& w : wall.workingPositions) {
        lo = {std::min(lo.x, w.x), 0, std::min(lo.z, w.z)};
        hi = {std::max(hi.x, w.x), 0, std::max(hi.z, w.z)};
    }
    Vector3 a, b;  // its two far ends along the longer extent, at mid-thickness
    double best = -1;
    for (const Vector3& u : wall.workingPositions)
        for (const Vector3& v : wall.workingPositions) {
            const double d = (u.x - v.x) * (u.x - v.x) + (u.z - v.z) * (u.z - v.z);
            if (d > best) {
                best = d;
                a = {u.x, 0, u.z};
                b = {v.x, 0, v.z};
            }
        }
    const Vector3 along = normalized(b - a);
    towards = Vector3(along.z, 0, -along.x);
    if (dot(towards, a - Vector3(p.x, 0, p.z)) < 0)
        towards = -towards;
    faceOffset = 1e30;
    for (const Vector3& w : wall.workingPositions)
        faceOffset = std::min(faceOffset, dot(towards, Vector3(w.x, 0, w.z)));
}

// The machine set down 1 m short of the wall, facing it, moving at 3 m/s towards it.
void wallSetUp(World& world)
{
    Excavator& e = *world.excavator;
    Vector3 towards;
    double face = 0;
    wallFace(world, e.position, towards, face);
    Vector3 p = e.position;
    for (int pass = 0; pass < 3; ++pass) {
        standMachine(world, p.x, p.z, towards);
        double reach = -1e30;
        for (uint32_t m = 0; m < e.meshCount; ++m)
            for (const Vector3& w : e.meshes[m].workingPositions)
                reach = std::max(reach, dot(towards, w - e.position));
        const double shift = face - 1.0 - reach - dot(towards, Vector3(e.position.x, 0, e.position.z));
        p = e.position + towards * shift;
    }
    standMachine(world, p.x, p.z, towards);
    setVelocity(e, towards * 3.0);
}

// At rest on the ground below the start, facing the way it would land.
void standAtStart(World& world)
{
    const Excavator& e = *world.excavator;
    standMachine(world, e.position.x, e.position.z, rotate({1, 0, 0}, e.orientation));
}

void highAboveStart(World& world)
{
    standAtStart(world);
    world.excavator->position.y += 3000.0;
}

// Side-on to the wall, 4 m from it, its left towards it: slewing with the
// key a swings the arm into the wall after about a quarter turn.
void besideWallSetUp(World& world)
{
    Excavator& e = *world.excavator;
    Vector3 towards;
    double face = 0;
    wallFace(world, e.position, towards, face);
    const Vector3 p = e.position + towards * (face - 5.0 - dot(towards, Vector3(e.position.x, 0, e.position.z)));
    standMachine(world, p.x, p.z, cross({0, 1, 0}, -towards));
    // The ground here is uneven under the tracks: set it down from 5 cm.
    e.position.y += 0.05;
}

// Resting where it starts, the boom raised and the bucket holding 33 units
// (the most it digs), pitched so that none falls out.
void dumpSetUp(World& world)
{
    Excavator& e = *world.excavator;
    e.meshes[Monoblock].angle = 0.6;
    e.updateMassProperties();
    e.updateCylinders();
    standMachine(world, e.position.x, e.position.z, rotate({1, 0, 0}, e.orientation));
    for (int n = 0; n < 33; ++n)
        e.bucket.addSoil();
}

// The machine has fallen and settled on its tracks by then (s).
constexpr double kLanded = 1.5;

// A lever held from kLanded + from to kLanded + to.
HeldLever hold(const Lever& lever, double from, double to) { return {lever, kLanded + from, kLanded + to}; }

// One bite from the start pose, about 9 m ahead, at the pace the pump
// gives the cylinders. Raise the boom, then reach out with the arm and open
// the bucket; lower the boom until the bucket meets the ground; crowd the
// arm while curling the bucket, the boom let down twice to keep the edge in
// the cut; lift.
std::vector<HeldLever> digKeys()
{
    return {hold(kBoomPlus, 0.0, 1.55),  hold(kArmPlus, 1.55, 3.1), hold(kBucketMinus, 2.5, 3.69), hold(kBoomMinus, 3.5, 4.13),
            hold(kArmMinus, 4.38, 8.8),  hold(kBucketPlus, 4.53, 9.11), hold(kBoomMinus, 4.98, 5.77), hold(kBoomMinus, 7.27, 7.84),
            hold(kBoomPlus, 9.11, 10.71)};
}

// Working cycles without end: the cycle operator's cycle; then the arm is
// driven back towards its start pose (the ground stops it short, at about
// the same pose every time) and the tracks turn the machine a few degrees on
// the spot, so that the next bite comes beside the last and the dumps land
// on earlier bites.
struct SoakOperator {
    static constexpr double kHoming = 5.0, kTurnFrom = 0.4, kTurnTo = 0.7;  // s after the cycle
    CycleOperator cycle;
    double since = 0.0;

    void operator()(ScenarioRun& run)
    {
        if (cycle.stage != CycleOperator::Done) {
            cycle(run);
            return;
        }
        Excavator& e = *run.world.excavator;
        since += ScenarioRun::kStep;
        const bool turning = since >= kTurnFrom && since < kTurnTo;
        pushLever(e, kLeftForward, turning);
        pushLever(e, kRightBack, turning);
        const struct Joint {
            double angle, tolerance;
            Lever raise, lower;  // the levers that make the angle larger, smaller
        } joints[] = {
            {std::remainder(e.slewAngle(), 6.283185307179586), 0.05, kSlewPlus, kSlewMinus},
            {e.monoblockAngle(), 0.02, kBoomPlus, kBoomMinus},
            {e.bendingArmAngle(), 0.02, kArmPlus, kArmMinus},
            {e.groundPlateAngle(), 0.02, kBucketMinus, kBucketPlus},
        };
        for (const Joint& j : joints) {
            pushLever(e, j.raise, false);
            if (since < kHoming && std::fabs(j.angle) > j.tolerance)
                pushLever(e, j.angle < 0.0 ? j.raise : j.lower);
        }
        if (since >= kHoming) {
            cycle = CycleOperator();
            since = 0.0;
        }
    }
};

// A bite from the bank dumped in a pile a quarter turn to the left, then the
// same bite taken from that pile and dumped a quarter turn to the right: the
// first cycle's dig is the bank's, the last one's the pile's.
struct RedigOperator {
    static constexpr double kQuarter = 1.5707963267948966;
    CycleOperator bank{false, 0.0, 0.0, kQuarter}, pile{false, 0.0, kQuarter, -kQuarter};

    void operator()(ScenarioRun& run)
    {
        if (bank.stage != CycleOperator::Done)
            bank(run);
        else
            pile(run);
    }
};

}  // namespace

bool groundBelow(World& world, double x, double z, double& height, Vector3& normal)
{
    const Object& terrain = world.terrain();
    const Vector3 above(x, 1e4, z);
    for (uint32_t b = 0; b < terrain.meshCount; ++b) {
        const Mesh& m = terrain.meshes[b];
        for (const MeshTriangle& t : m.triangles) {
            const Vector3 &t0 = m.workingPositions[t.vertices[0]], &t1 = m.workingPositions[t.vertices[1]],
                          &t2 = m.workingPositions[t.vertices[2]];
            double drop = 0;
            if (dropOntoTriangle(above, t0, t1, t2, drop)) {
                height = above.y - drop;
                normal = triangleNormal(t0, t1, t2);
                if (normal.y < 0)
                    normal = -normal;
                return true;
            }
        }
    }
    return false;
}

void standMachine(World& world, double x, double z, const Vector3& forward)
{
    Excavator& e = *world.excavator;
    double ground = 0;
    Vector3 up(0, 1, 0);
    groundBelow(world, x, z, ground, up);
    const Quaternion yaw = rotationBetween({1, 0, 0}, normalized(Vector3(forward.x, 0, forward.z)));
    Quaternion q = rotationBetween({0, 1, 0}, up) * yaw;
    normalize(q);
    setPose(e, {x, ground + 2.0, z}, q);
    setVelocity(e, {});
    e.angularMomentum = e.angularVelocity = Vector3();
    e.predict(0.0);
    // Lowest track corner 1 mm above the ground's plane, moving straight up or down.
    double lowest = 1e30;
    const Vector3 g(x, ground, z);
    for (int part = RightTrack; part <= LeftTrack; ++part)
        for (const Vector3& w : e.meshes[part].workingPositions)
            lowest = std::min(lowest, dot(w - g, up));
    setPose(e, e.position + Vector3(0, (0.001 - lowest) / up.y, 0), q);
    e.predict(0.0);
}

const std::vector<Scenario>& scenarioTable()
{
    static const std::vector<Scenario> table = {
        {"land", "falls from the start pose onto the ground and comes to rest", nullptr, {}, 5.0},
        // Both tracks held forward: the operator drives at the wall.
        {"wall", "set down 1 m from the wall, facing it, at 3 m/s towards it, tracks forward", wallSetUp,
         {{kLeftForward, 0.0, 1e9}, {kRightForward, 0.0, 1e9}}, 3.0},
        {"drive", "both tracks forward for 10 s from rest, then let go", standAtStart,
         {{kLeftForward, 0.0, 10.0}, {kRightForward, 0.0, 10.0}}, 10.5},
        {"turn", "the tracks opposite for 10 s: turning on the spot", standAtStart,
         {{kLeftForward, 0.0, 10.0}, {kRightBack, 0.0, 10.0}}, 10.5},
        {"slew", "slewing held for 3 s, then let go", standAtStart, {{kSlewPlus, 0.0, 3.0}}, 6.0},
        // Boom up, arm up and down, bucket both ways, boom down; high in the
        // air, so that the ground never stops the arm first.
        {"limits", "each arm joint driven past both of its limits, falling from 3000 m", highAboveStart,
         {{kBoomPlus, 0.0, 4.0}, {kArmPlus, 4.0, 7.5}, {kArmMinus, 7.5, 11.5}, {kBucketPlus, 11.5, 12.0}, {kBucketMinus, 12.0, 16.0},
          {kBoomMinus, 16.0, 22.0}},
         22.0},
        {"hit", "side-on to the wall, slewing the arm into it", besideWallSetUp, {{kSlewPlus, 0.0, 3.0}}, 3.5},
        {"dump", "boom raised, bucket full: the arm reaches out and the bucket opens until it is empty", dumpSetUp,
         {{kArmPlus, 0.0, 1.5}, {kBucketMinus, 1.0, 3.0}}, 6.0},
        {"soak", "working cycles for 20 minutes: dig, lift, slew, dump, slew back, the arm home, a little turn",
         nullptr, {}, 1200.0, SoakOperator()},
        {"dig", "lands, then lowers the bucket into the ground ahead, scoops it full and lifts it", nullptr, digKeys(),
         12.5},
        {"cycle", "a working cycle after landing: a bite until the bucket is full, lift, slew a quarter turn, dump, "
                  "slew back", nullptr, {}, 22.0, CycleOperator()},
        {"redig", "a bite from the bank dumped in a pile, then the same bite from the pile: dig times in "
                  "first_phase_dig_s (bank) and phase_dig_s (pile)", nullptr, {}, 45.0, RedigOperator()},
    };
    return table;
}

const Scenario* findScenario(const std::string& name)
{
    for (const Scenario& s : scenarioTable())
        if (name == s.name)
            return &s;
    return nullptr;
}

void pushLever(Excavator& machine, const Lever& lever, bool pushed)
{
    machine.setDrive(lever.drive, pushed ? lever.deflection : 0.0f);
}

void holdLevers(const Scenario& scenario, double time, Excavator& machine)
{
    for (const HeldLever& k : scenario.levers) {
        if (time >= k.from && time < k.to)
            pushLever(machine, k.lever);
        else if (time >= k.to && time - ScenarioRun::kStep < k.to + 1e-9)
            // A wrapped clock (the soak's) may space two steps a hair more
            // than kStep apart; without the slack the lever stays held.
            pushLever(machine, k.lever, false);
    }
}

SoilLedger sceneSoil(const World& world, bool recount)
{
    const Excavator* e = world.excavator;
    return recount ? recountSoil(*e->terrain, {e}) : soilLedger(*e->terrain, {e});
}

double trackClearance(const World& world)
{
    const Excavator& e = *world.excavator;
    const Vector3* lowest = nullptr;
    for (int part = RightTrack; part <= LeftTrack; ++part)
        for (const Vector3& w : e.meshes[part].workingPositions)
            if (!lowest || w.y < lowest->y)
                lowest = &w;
    const Terrain& terrain = *e.terrain;
    const double high = 1000.0;
    const double drop = terrain.surfaceDistanceBelow(Vector3(lowest->x, high, lowest->z));
    return drop > 0.0 ? lowest->y - (high - drop) : 1e30;  // off the terrain: nothing below
}

double pileSlopeDegrees(const ScenarioRun& run)
{
    const VoxelWorld& world = run.world.excavator->terrain->world;
    const int side = 64;  // columns per block side; pairs within a block
    double sum = 0.0;
    int pairs = 0;
    for (int b = 0; b < terrain::kBlocks * terrain::kBlocks; ++b) {
        const auto& columns = world.block(b).columns;
        const auto top = [&](int n) { return static_cast<double>(columns[n].position[1]); };
        const auto risen = [&](int n) { return top(n) - run.startHeights[b * side * side + n] > 0.5 * terrain::kVoxel; };
        for (int n = 0; n < side * side; ++n)
            for (int m : {n % side + 1 < side ? n + 1 : -1, n + side < side * side ? n + side : -1})
                if (m >= 0 && (risen(n) || risen(m))) {
                    sum += std::atan(std::fabs(top(n) - top(m)) / terrain::kVoxel) * kDegrees;
                    ++pairs;
                }
    }
    return pairs ? sum / pairs : 0.0;
}

double tiltDegrees(const World& world)
{
    const Vector3 up = rotate({0, 1, 0}, world.excavator->orientation);
    return std::acos(std::clamp(up.y, -1.0, 1.0)) * kDegrees;
}


const std::vector<SummaryKey>& summaryKeys()
{
    auto num = [](double v, const char* format = "%.6f") {
        char text[64];
        std::snprintf(text, sizeof text, format, v);
        return std::string(text);
    };
    auto pos = [](const ScenarioRun& r) { return r.world.excavator->position; };
    auto meanMs = [](const ScenarioRun& r) {
        double sum = 0;
        for (double v : r.stepMs)
            sum += v;
        return r.stepMs.empty() ? 0.0 : sum / r.stepMs.size();
    };
    static const std::vector<SummaryKey> keys = {
        {"time", [=](const ScenarioRun& r) { return num(r.time, "%.3f"); }},
        {"x", [=](const ScenarioRun& r) { return num(pos(r).x); }},
        {"y", [=](const ScenarioRun& r) { return num(pos(r).y); }},
        {"z", [=](const ScenarioRun& r) { return num(pos(r).z); }},
        {"speed", [=](const ScenarioRun& r) { return num(length(r.world.excavator->velocity)); }},
        {"tilt_deg", [=](const ScenarioRun& r) { return num(tiltDegrees(r.world), "%.3f"); }},
        {"nan", [](const ScenarioRun& r) { return std::string(r.nan ? "1" : "0"); }},
        {"first_contact_step", [](const ScenarioRun& r) { return std::to_string(r.firstContactStep); }},
        {"contacts", [](const ScenarioRun& r) { return std::to_string(r.world.lastStep.contacts); }},
        {"bucket", [](const ScenarioRun& r) { return std::to_string(r.world.excavator->bucket.soilCount); }},
        // The figures the window caption shows, from the same meter.
        {"bucket_m3", [=](const ScenarioRun& r) { return num(r.world.work.bucketM3(), "%.3f"); }},
        {"moved_m3", [=](const ScenarioRun& r) { return num(r.world.work.movedM3(), "%.3f"); }},
        {"cycle_s", [=](const ScenarioRun& r) { return num(r.world.work.lastCycleSeconds(), "%.2f"); }},
        {"phase_dig_s", [=](const ScenarioRun& r) { return num(r.world.work.lastCyclePhases().dig, "%.3f"); }},
        {"first_phase_dig_s", [=](const ScenarioRun& r) { return num(r.world.work.firstCyclePhases().dig, "%.3f"); }},
        {"phase_swing_loaded_s",
         [=](const ScenarioRun& r) { return num(r.world.work.lastCyclePhases().swingLoaded, "%.3f"); }},
        {"phase_dump_s", [=](const ScenarioRun& r) { return num(r.world.work.lastCyclePhases().dump, "%.3f"); }},
        {"phase_swing_back_s",
         [=](const ScenarioRun& r) { return num(r.world.work.lastCyclePhases().swingBack, "%.3f"); }},
        {"m3_per_h", [=](const ScenarioRun& r) { return num(r.world.work.cubicMetresPerHour(), "%.2f"); }},
        {"step_ms_mean", [=](const ScenarioRun& r) { return num(meanMs(r), "%.4f"); }},
        {"step_ms_max", [=](const ScenarioRun& r) {
             return num(r.stepMs.empty() ? 0.0 : *std::max_element(r.stepMs.begin(), r.stepMs.end()), "%.4f");
         }},
        {"soil_ledger", [](const ScenarioRun& r) { return std::to_string(sceneSoil(r.world).total()); }},
        {"balance", [](const ScenarioRun& r) { return std::to_string(sceneSoil(r.world).total() - r.startSoil); }},
        {"worst_balance", [](const ScenarioRun& r) { return std::to_string(r.worstBalance); }},
        {"soil_gone", [](const ScenarioRun& r) { return std::to_string(sceneSoil(r.world).gone); }},
        {"pile_slope_deg", [=](const ScenarioRun& r) { return num(pileSlopeDegrees(r), "%.1f"); }},
        {"clearance_min", [=](const ScenarioRun& r) { return num(r.lowestClearance, "%.4f"); }},
        {"min_dt", [=](const ScenarioRun& r) { return num(r.minDt, "%.3g"); }},
        {"short_steps", [](const ScenarioRun& r) { return std::to_string(r.shortSteps); }},
        {"stall_steps", [](const ScenarioRun& r) { return std::to_string(r.longestStall); }},
        // Simulated over wall-clock seconds of the stepping (keys, steps, checks, trace rows).
        {"rtf", [=](const ScenarioRun& r) { return num(r.steppingSeconds > 0.0 ? r.time / r.steppingSeconds : 0.0, "%.1f"); }},
    };
    return keys;
}

ScenarioRun::ScenarioRun(World& world_, const Scenario& scenario_)
    : world(world_), scenario(scenario_), operate(scenario_.operate)
{
    controller.setExcavator(world.excavator);
    if (scenario.setUp)
        scenario.setUp(world);
    startPosition = world.excavator->position;
    startSoil = sceneSoil(world).total();
    for (int b = 0; b < terrain::kBlocks * terrain::kBlocks; ++b)
        for (const TerrainColumn& c : world.terrain().world.block(b).columns)
            startHeights.push_back(c.position[1]);
    world.work.reset(world.excavator->soilDug, world.excavator->bucket.soilCount);
}

ScenarioRun::~ScenarioRun() = default;

void ScenarioRun::step()
{
    holdLevers(scenario, time, *world.excavator);
    if (operate)
        operate(*this);
    const auto t0 = std::chrono::steady_clock::now();
    world.simulate(kStep);
    if (exercise) {
        // e ends the exercise between two steps, as in the program.
        if (controller.exerciseEndAsked.exchange(false))
            exercise->endByOperator();
        exercise->update(kStep);
    }
    const auto t1 = std::chrono::steady_clock::now();
    stepMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    ++steps;
    time = steps * kStep;
    if (firstContactStep < 0 && (world.lastStep.contacts > 0 || world.lastStep.impulses > 0))
        firstContactStep = steps;
    const int64_t balance = sceneSoil(world).total() - startSoil;
    if (std::llabs(balance) > std::llabs(worstBalance))
        worstBalance = balance;
    lowestClearance = std::min(lowestClearance, trackClearance(world));
    minDt = std::min(minDt, world.lastStep.dt);
    const bool brief = world.lastStep.dt < kShortStep;
    shortSteps += brief;
    shortRun = brief ? shortRun + 1 : 0;
    longestStall = std::max(longestStall, shortRun);
    std::vector<double> row;
    traceRow(world, time, row);
    for (double v : row)
        nan |= !std::isfinite(v);
    trace.push_back(row);
}

void ScenarioRun::run(double seconds)
{
    const int n = static_cast<int>(std::lround(seconds / kStep));
    const auto t0 = std::chrono::steady_clock::now();
    while (steps < n)
        step();
    steppingSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

std::string ScenarioRun::summary() const
{
    std::string line = "summary";
    for (const SummaryKey& k : summaryKeys())
        line += std::string(" ") + k.name + "=" + k.value(*this);
    if (exercise) {
        char text[64];
        // One word: "goal_met", "time_up", "ended_by_the_operator", or "-" while it runs.
        std::string end = exercise->endReason.empty() ? "-" : exercise->endReason;
        std::replace(end.begin(), end.end(), ' ', '_');
        line += " exercise=" + exercise->exercise.name + " end=" + end;
        for (const auto& [name, value] : exercise->metrics) {
            std::snprintf(text, sizeof text, " %s=%.4f", name.c_str(), value);
            line += text;
        }
        for (const ScoreRule& r : exercise->exercise.rules) {
            std::snprintf(text, sizeof text, " points_%s=%.3f", r.metric.c_str(), rulePoints(r, exercise->metrics));
            line += text;
        }
        std::snprintf(text, sizeof text, " total=%.3f", totalScore(exercise->exercise, exercise->metrics));
        line += text;
    }
    return line;
}

void ScenarioRun::writeTrace(std::ostream& out) const
{
    std::string text = traceHeader();
    for (const std::vector<double>& row : trace)
        appendTraceRow(row, text);
    out << text;
}
