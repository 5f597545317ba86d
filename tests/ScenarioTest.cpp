#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "GLContext.h"
#include "world/World.h"
#include "excavator/Articulation.h"
#include "excavator/Cutting.h"
#include "excavator/Excavator.h"
#include "excavator/TrackBelt.h"
#include "excavator/WorkMeter.h"
#include "input/InputSystem.h"
#include "math/Quaternion.h"
#include "physics/Collision.h"
#include "physics/Simulation.h"
#include "tools/scenario/Scenario.h"
#include "terrain/Terrain.h"

namespace {

constexpr double degree = 3.141592653589793 / 180.0;

// A scenario of the table on the real world from data/, with no window. Whatever it did, its
// soil ledger agrees with a full recount and no soil was lost or made.
class ScenarioTest : public ::testing::Test {
protected:
    Excavator& start(const char* name)
    {
        scene = std::make_unique<World>();
        run = std::make_unique<ScenarioRun>(*scene, *findScenario(name));
        return *scene->excavator;
    }
    void TearDown() override
    {
        if (!run)
            return;
        const SoilLedger kept = sceneSoil(*scene), counted = sceneSoil(*scene, true);
        EXPECT_EQ(kept.ground, counted.ground);
        EXPECT_EQ(kept.buckets, counted.buckets);
        EXPECT_EQ(kept.total(), run->startSoil) << "balance";
    }
    // Every terrain column's rise over `before`, in voxels.
    std::vector<double> columnRise(const std::vector<double>& before = {}) const
    {
        std::vector<double> rise;
        for (int n = 0; n < 64 * 64 * 64; ++n) {
            const double top = scene->excavator->terrain->world.block(n / 4096).columns[n % 4096].position[1];
            rise.push_back(top / terrain::kVoxel - (before.empty() ? 0.0 : before[n]));
        }
        return rise;
    }

    std::unique_ptr<World> scene;
    std::unique_ptr<ScenarioRun> run;
};

Vector3 forwardOf(const Excavator& e) { return rotate({1, 0, 0}, e.orientation); }
double heading(const Excavator& e) { return std::atan2(-forwardOf(e).z, forwardOf(e).x); }

}  // namespace

// A scripted operator that sets the machine's command between steps gives,
// step for step, the trace of the same inputs sent as keys through an input
// system to the world's controller, a held key repeating every step: each
// drive both ways, several at once.
TEST(Command, SetBetweenStepsGivesTheTraceOfTheSameKeys)
{
    ASSERT_TRUE(ensureGLContext()) << SDL_GetError();  // SDL's event queue
    const struct {
        SDLKey key;
        Drive drive;
        float deflection;
        int from, to;  // steps
    } held[] = {
        {SDLK_k, Drive::Monoblock, 1, 0, 60},      {SDLK_i, Drive::Monoblock, -1, 90, 150},
        {SDLK_w, Drive::BendingArm, 1, 10, 80},    {SDLK_s, Drive::BendingArm, -1, 100, 160},
        {SDLK_j, Drive::GroundPlate, 1, 20, 70},   {SDLK_l, Drive::GroundPlate, -1, 110, 170},
        {SDLK_a, Drive::Slewing, 1, 0, 50},        {SDLK_d, Drive::Slewing, -1, 80, 110},
        {SDLK_KP5, Drive::LeftTrack, 1, 0, 100},   {SDLK_KP2, Drive::LeftTrack, -1, 120, 180},
        {SDLK_KP6, Drive::RightTrack, 1, 30, 90},  {SDLK_KP3, Drive::RightTrack, -1, 100, 170},
    };
    Scenario standing = *findScenario("drive");  // on the ground, at rest
    standing.levers.clear();
    InputSystem input;
    std::vector<std::vector<double>> traces[2];
    for (const bool keys : {false, true}) {
        World world;
        ScenarioRun run(world, standing);
        input.addKeyboardListener(&run.controller);
        while (run.steps < 200) {
            MachineCommand command;
            for (const auto& h : held) {
                SDL_Event e{};
                e.key.keysym.sym = h.key;
                e.type = run.steps < h.to ? SDL_KEYDOWN : SDL_KEYUP;
                if (keys && run.steps >= h.from && run.steps <= h.to)
                    SDL_PushEvent(&e);
                if (run.steps >= h.from && run.steps < h.to)
                    command[h.drive] = h.deflection;
            }
            if (keys) {
                input.poll();
                input.dispatch(run.steps);
            } else {
                world.setCommand(command);
            }
            run.step();
        }
        input.removeKeyboardListener(&run.controller);
        EXPECT_GT(std::fabs(world.excavator->slewAngle()), 0.005);  // the slew ran
        traces[keys] = run.trace;
    }
    EXPECT_TRUE(traces[0] == traces[1]);
}

TEST_F(ScenarioTest, LandFallsFreelyThenRestsOnItsTracksWhereItStarted)
{
    Excavator& e = start("land");
    const Vector3 up = rotate({0, 1, 0}, e.orientation);
    const double y0 = e.position.y;
    run->run(333 * ScenarioRun::kStep);
    EXPECT_NEAR(y0 - e.position.y, 4.925, 0.005) << "free fall over 333 steps";
    EXPECT_EQ(run->firstContactStep, -1);
    run->run(5.0);
    EXPECT_NEAR(run->firstContactStep, 475, 6);
    EXPECT_FALSE(run->nan);
    // One impulse at a time sets it rocking as it lands: it comes to rest
    // about 0.13 m from where it fell, and the dead band then holds it still.
    EXPECT_LT(length(e.velocity), 0.01);
    EXPECT_LT(std::hypot(e.position.x - run->startPosition.x, e.position.z - run->startPosition.z), 0.2);
    EXPECT_GT(dot(rotate({0, 1, 0}, e.orientation), up), std::cos(2 * degree));
    EXPECT_EQ(run->summary().rfind("summary time=5.001 x=", 0), 0u) << run->summary();

    // Only the tracks touch, and only the ground, within the contact band
    // (frozen below 2 cm/s, the lowest corner may stay short of touching).
    int contacts = 0;
    for (const Object* a : scene->bodies())
        for (const Object* b : scene->bodies())
            for (const Contact& c : a->index < b->index ? scene->contacts(*a, *b) : std::vector<Contact>{}) {
                EXPECT_TRUE(a == &scene->terrain() && b == &e);
                const int part = (c.bodyA == &e ? c.meshA : c.meshB)->index;
                EXPECT_TRUE(part == RightTrack || part == LeftTrack) << part;
                ++contacts;
            }
    EXPECT_GE(contacts, 1);
    EXPECT_NEAR(trackClearance(*scene), -0.0005, 0.0015);

    // The same scenario again gives the same trace.
    const std::vector<std::vector<double>> first(run->trace.begin(), run->trace.begin() + 200);
    start("land");
    run->run(200 * ScenarioRun::kStep);
    EXPECT_EQ(run->trace, first);
}

TEST_F(ScenarioTest, WallStopsTheMachineWhichBouncesBackSlowly)
{
    Excavator& e = start("wall");
    // The wall's near face and the machine's lead along the drive.
    const Vector3 towards = normalized(e.velocity);
    double face = 1e30;
    for (const Vector3& w : scene->wall().meshes[0].workingPositions)
        face = std::min(face, dot(towards, Vector3(w.x, 0, w.z)));
    auto gap = [&] {
        double reach = -1e30;
        for (uint32_t m = 0; m < e.meshCount; ++m)
            for (const Vector3& w : e.meshes[m].workingPositions)
                reach = std::max(reach, dot(towards, Vector3(w.x, 0, w.z)));
        return face - reach;
    };
    EXPECT_NEAR(gap(), 1.0, 0.01);
    double rebound = 0, closest = 1e9;
    while (run->time < run->scenario.seconds) {
        run->step();
        closest = std::min(closest, gap());
        if (closest < 0.01)
            rebound = std::max(rebound, -dot(e.velocity, towards));
        ASSERT_FALSE(run->nan);
    }
    EXPECT_LT(closest, 0.01) << "reaches the wall";
    // The arm reaches over the wall's crown; nothing gets past its far face.
    EXPECT_GT(closest, -0.5) << "never passes through it";
    EXPECT_LE(rebound, 0.11 * 3.0 + 0.02);
    EXPECT_LT(dot(e.velocity, towards), 0.1) << "stopped";
}

// The operator bites until the bucket is full, carries it a quarter turn,
// dumps it and slews back: soil is neither lost nor made, the load is the
// bucket's heaped capacity, and the cycle's figures are a machine's.
TEST_F(ScenarioTest, CycleDigsABiteAndMovesACubicMetreAsideWithinTwentySeconds)
{
    Excavator& e = start("cycle");
    Terrain& ground = *e.terrain;
    const std::vector<double> before = columnRise();
    bool bucketStopped = false;
    int fullest = 0;
    for (; run->time < run->scenario.seconds; run->step()) {
        ASSERT_EQ(sceneSoil(*scene).total(), run->startSoil) << "at " << run->time << " s";
        fullest = std::max(fullest, e.bucket.soilCount);
        // Lowered onto the ground edge first, the bucket is stopped until it cuts.
        if (e.hit.cause == HitCause::BucketNotCutting && !bucketStopped) {
            bucketStopped = true;
            EXPECT_EQ(e.bucket.soilCount, 0);
            EXPECT_NE(hitReason(e.hit).find("open it with l to cut"), std::string::npos) << hitReason(e.hit);
        }
    }
    EXPECT_TRUE(bucketStopped);
    EXPECT_EQ(e.bucket.soilCount + ground.grainCount() + ground.soilGone(), 0) << "all back on the ground";
    EXPECT_LT(std::fabs(std::remainder(e.slewAngle(), 2 * M_PI)), 0.05) << "slewed back";
    EXPECT_EQ(e.hit.cause, HitCause::None) << "no key held at the end";
    double piled = 0;
    for (double rise : columnRise(before))
        piled += std::max(0.0, rise);
    EXPECT_GE(piled, 25.0 - 1e-3);
    EXPECT_GE(fullest, 0.9 * cutting::fullBucket);
    ASSERT_EQ(scene->work.cycles, 1);
    const CyclePhases p = scene->work.lastCyclePhases();
    EXPECT_GT(p.dig, 1.0);
    EXPECT_GT(p.swingLoaded, 3.0) << "a quarter turn at the swing motor's torque";
    EXPECT_GT(p.dump, 0.1);
    EXPECT_GT(p.swingBack, 3.0);
    EXPECT_GT(p.total(), 10.0);
    EXPECT_LT(p.total(), 17.0);
    EXPECT_NEAR(scene->work.movedM3(), 0.9 * cutting::fullBucket * WorkMeter::kUnitVolume, 0.15) << "moved once";
}

TEST_F(ScenarioTest, DumpPilesTheWholeLoadUnderTheBucket)
{
    Excavator& e = start("dump");
    const std::vector<double> before = columnRise();
    run->run(run->scenario.seconds);
    EXPECT_EQ(e.bucket.soilCount + e.terrain->grainCount() + e.terrain->soilGone(), 0);
    const PartTransform plate(GroundPlate, e.meshes[GroundPlate].referencePoint, armPivots(e.meshes),
                              jointAngles(e.meshes));
    const Vector3 bucket = e.modelToWorld(plate.point(e.bucket.cell(3, 2, 2).position));
    const std::vector<double> rise = columnRise(before);
    double risen = 0.0;
    for (int n = 0; n < 64 * 64 * 64; ++n) {
        if (rise[n] == 0.0)
            continue;
        const TerrainColumn& c = e.terrain->world.block(n / 4096).columns[n % 4096];
        EXPECT_NEAR(rise[n], std::round(rise[n]), 1e-4);
        EXPECT_LT(std::hypot(c.position[0] - bucket.x, c.position[2] - bucket.z), 2.0);
        risen += rise[n];
    }
    EXPECT_NEAR(risen, 33.0, 1e-3);
}

TEST_F(ScenarioTest, DriveHoldsTheSpeedCutAndStopsWhenLetGo)
{
    Excavator& e = start("drive");
    const Vector3 from = e.position, forward = forwardOf(e);
    run->run(10.0);
    // One pump's flow through each track motor.
    EXPECT_NEAR(dot(e.position - from, forward), 10.0 * trackFullSpeed, 0.5);
    EXPECT_NEAR(length(e.velocity), trackFullSpeed, 0.04);
    // The belts run back along their loops by the distance driven.
    const double phases[2] = {e.leftBeltPhase, e.rightBeltPhase};
    const Vector3 travels[2] = {e.leftTrackTravel, e.rightTrackTravel};
    for (int t = 0; t < 2; ++t) {
        const double want = beltLength - std::fmod(dot(travels[t], forwardOf(e)), beltLength);
        EXPECT_NEAR(std::remainder(phases[t] - want, beltLength), 0.0, 0.002 * length(travels[t])) << t;
    }
    run->run(10.3);
    const Vector3 stopped = e.position;
    run->run(10.5);
    EXPECT_LT(length(e.position - stopped), 0.01);
    EXPECT_EQ(length(e.velocity), 0.0);
}

TEST_F(ScenarioTest, TurnSpinsOnTheSpotAtTheYawCut)
{
    Excavator& e = start("turn");
    const Vector3 from = e.position;
    double turned = 0.0, last = heading(e), fastest = 0.0;
    while (run->time < 10.0) {
        run->step();
        turned += std::remainder(heading(e) - last, 2 * 3.141592653589793);
        last = heading(e);
        if (run->time > 1.0)
            fastest = std::max(fastest, std::fabs(rotate(e.angularVelocity, conjugate(e.orientation)).y));
    }
    EXPECT_GT(std::fabs(turned), 2.8);
    EXPECT_LT(std::fabs(turned), 3.15);
    EXPECT_LT(fastest, 0.32);
    // The friction of uneven contacts moves the centre of mass round a little.
    EXPECT_LT(length(e.position - from), 1.0);
}

// The swing motor at its relief torque runs the upper structure up to the
// rate its valve's flow gives, holds it, and brakes it at the same torque.
TEST_F(ScenarioTest, SlewRunsUpCruisesAndBrakesWithoutTurningTheTracks)
{
    Excavator& e = start("slew");
    const double yaw = heading(e), inertia = 166528.5, torque = 72e3, full = 1.099;
    int cruising = 0, idle = 0;
    double cruisingAngle = 0.0;
    while (run->time < run->scenario.seconds) {
        const int16_t before = e.slewState;
        run->step();
        if (before != e.slewState && e.slewState == Cruising) {
            cruising = run->steps;
            cruisingAngle = e.slewAngle();
            EXPECT_NEAR(e.slewRate, full, 1e-9);
        }
        if (before == Braking && e.slewState == Idle)
            idle = run->steps;
    }
    const double runUp = full * inertia / torque;  // s
    EXPECT_NEAR(cruising * ScenarioRun::kStep, runUp, 2 * ScenarioRun::kStep);
    EXPECT_NEAR(cruisingAngle, 0.5 * full * runUp, 0.005);
    EXPECT_NEAR(idle * ScenarioRun::kStep - 3.0, (full - 0.01) * inertia / torque, 2 * ScenarioRun::kStep);
    EXPECT_LT(std::fabs(heading(e) - yaw), 0.5 * degree);
}

TEST_F(ScenarioTest, LimitsStopEachJointWithinOneStep)
{
    Excavator& e = start("limits");
    double low[3] = {1, 1, 1}, high[3] = {0, 0, 0}, fastest[3] = {0, 0, 0};
    while (run->time < run->scenario.seconds) {
        run->step();
        ASSERT_FALSE(run->nan);
        const double angle[3] = {e.monoblockAngle(), e.bendingArmAngle(), e.groundPlateAngle()};
        const double rate[3] = {e.monoblockRate, e.bendingArmRate, e.groundPlateRate};
        for (int j = 0; j < 3; ++j) {
            if (run->time > 6.0)  // the arm starts below its lower limit
                low[j] = std::min(low[j], angle[j]);
            high[j] = std::max(high[j], angle[j]);
            fastest[j] = std::max(fastest[j], std::fabs(rate[j]));
        }
        const CylinderState& c = e.cylinders;
        ASSERT_TRUE(std::isfinite(c.monoblockServoExtension + c.bendingArmServoExtension +
                                  c.groundPlateServoExtension + c.groundPlateBracketAngle));
    }
    // The bucket's upper limit lies beyond where its linkage can drive it.
    const JointLimit limits[3] = {monoblockLimit, bendingArmLimit, {groundPlateLimit.lowerDegrees, 122.0}};
    for (int j = 0; j < 3; ++j) {
        const double step = fastest[j] * ScenarioRun::kStep * 1.0016;
        EXPECT_LT(low[j], limits[j].lowerDegrees * degree) << j;
        EXPECT_GE(low[j], limits[j].lowerDegrees * degree - step) << j;
        EXPECT_GT(high[j], limits[j].upperDegrees * degree) << j;
        EXPECT_LE(high[j], std::max(limits[j].upperDegrees, groundPlateLimit.upperDegrees) * degree + step) << j;
    }
}

TEST_F(ScenarioTest, HitStopsTheArmAtTheWallAndLeavesTheMachine)
{
    Excavator& e = start("hit");
    run->run(1.0);  // set down, the arm swinging round
    const Vector3 standing = e.position;
    const double yaw = heading(e);
    double atWall = 0.0;
    while (run->time < run->scenario.seconds) {
        run->step();
        ASSERT_FALSE(run->nan);
        // Held against the wall, the arm stays where it met it (1.9 s: the
        // swing motor's torque turns the upper structure a quarter turn in 2 s).
        if (run->time < 2.1)
            atWall = e.slewAngle();
        else
            EXPECT_NEAR(e.slewAngle(), atWall, 1e-3) << run->time;
        // Held there by a hit, the operator is told so until a is let go (3 s).
        if (run->time > 2.1 && run->time < 3.0) {
            ASSERT_EQ(e.hit.cause, HitCause::Obstacle) << run->time;
        } else if (run->time > 3.0 + JointHit::kHitHold + 0.01) {
            ASSERT_EQ(e.hit.cause, HitCause::None) << run->time;
        }
    }
    EXPECT_GT(e.slewAngle(), 0.5) << "swung round to the wall";
    EXPECT_LT(e.slewAngle(), 1.2) << "and no further";
    const JointAngles r = e.jointRates();
    EXPECT_EQ(r.slew, 0.0);
    EXPECT_EQ(r.monoblock + r.bendingArm + r.groundPlate, 0.0);
    EXPECT_LT(length(e.position - standing), 0.1);
    EXPECT_LT(std::fabs(heading(e) - yaw), 0.5 * degree);
}

// Five working cycles of the soak (the full run is `kelvarro-scenario soak`):
// after every step nothing is NaN, the tracks stay on top of the ground and
// not one unit of soil is lost or made, simulated time never stands still
// for more than a few steps; the work meter counts what moved.
TEST_F(ScenarioTest, SoakKeepsTheWorldSoundOverRepeatedCycles)
{
    start("soak");
    while (run->time < 65.0) {
        run->step();
        ASSERT_FALSE(run->nan) << "at " << run->time << " s";
        ASSERT_EQ(run->worstBalance, 0) << "at " << run->time << " s";
        ASSERT_GT(run->lowestClearance, -0.02) << "at " << run->time << " s";
        ASSERT_LT(run->longestStall, 20) << "at " << run->time << " s: time stands still";
    }
    EXPECT_GT(scene->work.movedM3(), 2.0) << run->summary();
    EXPECT_GT(scene->work.lastCycleSeconds(), 1.0) << run->summary();
}
