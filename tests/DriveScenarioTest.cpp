#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "GLContext.h"
#include "ScenarioSoil.h"
#include "app/Scene.h"
#include "assets/ModelLoader.h"
#include "excavator/Excavator.h"
#include "excavator/TrackBelt.h"
#include "tools/scenario/Scenario.h"

namespace {

constexpr double degree = 3.141592653589793 / 180.0;

class DriveScenario : public ::testing::Test {
protected:
    Excavator& start(const char* name)
    {
        EXPECT_TRUE(ensureGLContext());
        ModelLoader::getInstance().reset();
        ModelLoader::getInstance().directory = "data/";
        scene = std::make_unique<Scene>();
        run = std::make_unique<ScenarioRun>(*scene, *findScenario(name));
        return *scene->excavator;
    }
    void until(double seconds) { run->run(seconds); }
    void TearDown() override
    {
        if (run)
            expectSoilBalanced(*run);
    }

    std::unique_ptr<Scene> scene;
    std::unique_ptr<ScenarioRun> run;
};

Vector3 forwardOf(const Excavator& e) { return rotate({1, 0, 0}, e.orientation); }
double heading(const Excavator& e) { return std::atan2(-forwardOf(e).z, forwardOf(e).x); }

}  // namespace

TEST_F(DriveScenario, DriveHoldsTheSpeedCutAndStopsWhenLetGo)
{
    Excavator& e = start("drive");
    const Vector3 from = e.position, forward = forwardOf(e);
    until(10.0);
    EXPECT_NEAR(dot(e.position - from, forward), 15.5, 0.5);
    EXPECT_NEAR(length(e.velocity), 1.556, 0.04);
    // The belts run back along their loops by the distance driven.
    const double phases[2] = {e.leftBeltPhase, e.rightBeltPhase};
    const Vector3 travels[2] = {e.leftTrackTravel, e.rightTrackTravel};
    for (int t = 0; t < 2; ++t) {
        const double want = beltLength - std::fmod(dot(travels[t], forwardOf(e)), beltLength);
        EXPECT_NEAR(std::remainder(phases[t] - want, beltLength), 0.0, 0.002 * length(travels[t])) << t;
    }
    until(10.3);
    const Vector3 stopped = e.position;
    until(10.5);
    EXPECT_LT(length(e.position - stopped), 0.01);
    EXPECT_EQ(length(e.velocity), 0.0);
}

TEST_F(DriveScenario, TurnSpinsOnTheSpotAtTheYawCut)
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

TEST_F(DriveScenario, SlewRunsUpCruisesAndBrakesWithoutTurningTheTracks)
{
    Excavator& e = start("slew");
    const double yaw = heading(e);
    int powered = 0, cruising = 0, idle = 0;
    double cruisingAngle = 0.0;
    while (run->time < 3.0) {
        const int16_t before = e.slewState;
        run->step();
        if (before != e.slewState && e.slewState == Powered)
            powered = run->steps;
        if (before != e.slewState && e.slewState == Cruising) {
            cruising = run->steps;
            cruisingAngle = e.slewAngle();
            EXPECT_NEAR(e.slewRate, 1.0998, 5e-4);
        }
        if (before == Braking && e.slewState == Idle)
            idle = run->steps;
    }
    EXPECT_EQ(powered, 30);
    EXPECT_EQ(cruising, 150);
    EXPECT_NEAR(cruisingAngle, 0.305, 0.005);
    EXPECT_NEAR(idle - 2.0 / ScenarioRun::kStep, 89, 2);
    EXPECT_LT(std::fabs(heading(e) - yaw), 0.5 * degree);
}

TEST_F(DriveScenario, LimitsStopEachJointWithinOneStep)
{
    Excavator& e = start("limits");
    double low[3] = {1, 1, 1}, high[3] = {0, 0, 0}, fastest[3] = {0, 0, 0};
    while (run->time < run->scenario.seconds) {
        run->step();
        const double angle[3] = {e.monoblockAngle(), e.bendingArmAngle(), e.groundPlateAngle()};
        const double rate[3] = {e.monoblockRate, e.bendingArmRate, e.groundPlateRate};
        for (int j = 0; j < 3; ++j) {
            if (run->time > 3.0)  // the arm starts below its lower limit
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

TEST_F(DriveScenario, HitStopsTheArmAtTheWallAndLeavesTheMachine)
{
    Excavator& e = start("hit");
    until(0.5);  // set down
    const Vector3 standing = e.position;
    const double yaw = heading(e);
    double atWall = 0.0;
    while (run->time < run->scenario.seconds) {
        run->step();
        ASSERT_FALSE(run->nan);
        // Held against the wall, the arm stays where it met it.
        if (run->time < 1.5)
            atWall = e.slewAngle();
        else
            EXPECT_NEAR(e.slewAngle(), atWall, 1e-3) << run->time;
    }
    EXPECT_GT(e.slewAngle(), 0.5) << "swung round to the wall";
    EXPECT_LT(e.slewAngle(), 1.2) << "and no further";
    const JointAngles r = e.jointRates();
    EXPECT_EQ(r.slew, 0.0);
    EXPECT_EQ(r.monoblock + r.bendingArm + r.groundPlate, 0.0);
    EXPECT_LT(length(e.position - standing), 0.1);
    EXPECT_LT(std::fabs(heading(e) - yaw), 0.5 * degree);
}
