#include <gtest/gtest.h>

#include <cmath>

#include "GLContext.h"
#include "TestShapes.h"
#include "excavator/Drives.h"
#include "excavator/Excavator.h"

namespace {
constexpr double dt = 0.003;
}

TEST(Drives, SlewBrakingComesToRestWithoutSwingingAcrossZero)
{
    // Light arm poses brake more than 0.02 rad/s a step: slow rates must
    // still come to rest, never swing across zero.
    const struct {
        double inertia, rate;
    } slow[] = {{91400.0, 0.011}, {91400.0, -0.015}, {91400.0, 0.0225}, {90975.0, 0.03}, {260048.0, -0.012}};
    for (const auto& c : slow) {
        SlewDrive b{Braking, 0.0f, c.rate};
        for (int n = 0; n < 20 && b.state != Idle; ++n) {
            stepSlew(b, c.inertia, dt);
            EXPECT_GE(b.rate * c.rate, 0.0) << c.inertia << " " << c.rate;
        }
        EXPECT_EQ(b.state, Idle) << c.inertia << " " << c.rate;
        EXPECT_EQ(b.rate, 0.0);
    }

    // A command held against the motion brakes to rest at the relief
    // torque, then turns the other way.
    SlewDrive r{Cruising, 1.0f, 0.5};
    int n = 0;
    for (; r.rate > 0.0 && n < 1000; ++n) {
        commandSlew(r, -1.0f);
        EXPECT_EQ(r.state, Braking);
        stepSlew(r, 166528.5, dt);  // the arm at rest
    }
    EXPECT_NEAR(n * dt, (0.5 - 0.01) * 166528.5 / 72e3, 2 * dt);  // at rest below 0.01 rad/s
    commandSlew(r, -1.0f);
    stepSlew(r, 166528.5, dt);
    EXPECT_EQ(r.state, Accelerating);
    EXPECT_LT(r.rate, 0.0);

    // Full command reaches the rate the pump's share gives, and no more;
    // a smaller share slows it to its own.
    SlewDrive s{Accelerating, 1.0f, 0.0, 0.8};
    for (n = 0; n < 2000; ++n)
        stepSlew(s, 166528.5, dt);
    EXPECT_EQ(s.state, Cruising);
    EXPECT_DOUBLE_EQ(s.rate, 0.8);
    s.fullRate = 0.5;
    stepSlew(s, 166528.5, dt);
    EXPECT_NEAR(s.rate, 0.8 - 72e3 * dt / 166528.5, 1e-12);
}

// What the drive and turn scenarios cannot show: a track over the speed
// its flow gives, no ground, and slopes: the motors hold the slope's pull
// out of their relief, and past it the machine runs back.
TEST(Drives, TrackLoadCutsOverspeedAndHoldsTheSlope)
{
    const double mass = 23540.0, lever = 1.213, f = trackTraction;
    const Quaternion level, noseUp20 = fromEulerDegrees(0.0, 0.0, 20.0);
    const Quaternion noseUp90(std::sqrt(0.5), 0.0, 0.0, std::sqrt(0.5) * 1.0000001);  // rounding past vertical
    const Vector3 overspeed(1.25, 0.0, 0.0);
    const double slope20 = mass * 9.81 * std::sin(20.0 * M_PI / 180.0);
    const struct {
        const char* name;
        Quaternion q;
        double throttle;
        uint32_t contacts;
        Vector3 leftSpeed, rightSpeed;
        double forwardBeyondSlope, yawTorque;  // body frame
    } cases[] = {
        {"left too fast cuts both", level, 1, 1, overspeed, {}, 0, 0},
        {"right too fast cuts right", level, 1, 1, {}, overspeed, f, -f * lever},
        {"off the ground", level, 1, 0, {}, {}, 0, 0},
        {"slope", noseUp20, 1, 1, {}, {}, 2 * f - slope20, 0},
        {"standing on its tail", noseUp90, 0.5, 1, {}, {}, 2 * f - mass * 9.81, 0},
    };
    for (const auto& c : cases) {
        const Track left{c.throttle, c.contacts, c.leftSpeed, {0, 0, -lever}};
        const Track right{c.throttle, c.contacts, c.rightSpeed, {0, 0, lever}};
        TrackedBody body{c.q, {}, {}, {}, mass};
        const BodyLoad load = trackLoad(left, right, body);
        // Along the tracks, traction and weight together leave the traction alone.
        const Vector3 total = rotate(load.force + Vector3(0, -mass * 9.81, 0), conjugate(c.q));
        EXPECT_NEAR(total.x, c.forwardBeyondSlope, 1.0) << c.name;
        EXPECT_NEAR(rotate(load.torque, conjugate(c.q)).y, c.yawTorque, 1e-6) << c.name;
    }
}

TEST(Drives, HitsStopTheJointsCarryingTheMovingPart)
{
    ASSERT_TRUE(ensureGLContext());
    Excavator e(nullptr);
    const Vector3 j(0.0, 500.0, -2000.0), r(1.0, 0.5, 0.0);
    const struct {
        const char* name;
        int32_t part;
        JointAngles rates;
        bool resting, dropped;
        JointAngles after;
    } cases[] = {
        {"bucket hit, arm moving", GroundPlate, {0, 0, 1.5, 0}, false, true, {}},
        {"boom hit, bucket moving", Monoblock, {0, 0, 0, -2}, false, false, {0, 0, 0, -2}},
        {"upper structure hit, boom moving", Bodywork, {0, 0.7, 0, 0}, false, false, {0, 0.7, 0, 0}},
        {"boom hit, boom moving", Monoblock, {0, 0.7, 1, 0}, true, true, {0, 0, 1, 0}},
        {"left track resting", LeftTrack, {0.5, 0.7, 1, 1}, true, false, {0.5, 0.7, 1, 1}},
    };
    for (const auto& c : cases) {
        e.momentum = e.angularMomentum = Vector3();
        e.slewRate = c.rates.slew, e.monoblockRate = c.rates.monoblock;
        e.bendingArmRate = c.rates.bendingArm, e.groundPlateRate = c.rates.groundPlate;
        e.slewState = c.rates.slew != 0.0 ? Cruising : Idle;
        e.leftTrackContacts = 0;
        if (c.resting)
            e.applyContactImpulse(j, r, c.part);
        else
            e.applyCollisionImpulse(j, r, c.part);
        expectNear(e.momentum, c.dropped ? Vector3() : j, 0.0, c.name);
        expectNear(e.angularMomentum, c.dropped ? Vector3() : cross(r, j), 0.0, c.name);
        const JointAngles now = e.jointRates();
        const double got[4] = {now.slew, now.monoblock, now.bendingArm, now.groundPlate};
        const double want[4] = {c.after.slew, c.after.monoblock, c.after.bendingArm, c.after.groundPlate};
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(got[k], want[k]) << c.name << " " << k;
        EXPECT_EQ(e.leftTrackContacts, c.part == LeftTrack ? 1u : 0u) << c.name;
    }
}
