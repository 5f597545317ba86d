#pragma once

#include <cstdint>

#include "excavator/Articulation.h"
#include "excavator/Hydraulics.h"
#include "math/Quaternion.h"
#include "math/Vector3.h"

// The machine's drives as laws on plain data: the slewing drive, the
// tracks, the arm joint limits and what a hit on a moving part stops.
// Excavator feeds them its fields each step.

enum SlewState : int16_t {
    Idle = 0,
    Accelerating = 1,  // the motor's full torque up to the rate its flow gives
    Cruising = 3,      // the rate its flow gives, held
    Braking = 4,       // full torque against the motion until stopped
};

// The swing motor's rate at its valve's full flow (rad/s).
constexpr double slewFullRate = hydraulics::slew.flow / hydraulics::slew.displacement;

struct SlewDrive {
    int16_t state = Idle;
    float command = 0.0f;  // -1..1, the sign is the direction
    double rate = 0.0;     // rad/s about the body's y axis
    double fullRate = slewFullRate;  // rad/s at full command: what the pump's share gives
};

constexpr double slewTorque = motorLimit(hydraulics::slew);  // N·m at the swing relief

// The operator's command: a non-zero one starts the drive from rest or
// braking, zero or one against the present motion brakes it.
void commandSlew(SlewDrive& drive, float command);
// One step of the drive turning `inertia` (kg·m² about the slew axis): the
// command opens the valve to a share of the full rate, which the motor
// reaches at its relief torque; braking never carries the rate across zero:
// that step ends at rest.
void stepSlew(SlewDrive& drive, double inertia, double dt);

// One track as computeForces sees it.
// A track motor's speed at one pump's full flow (m/s).
constexpr double trackFullSpeed = hydraulics::track.flow / hydraulics::track.displacement;

struct Track {
    double throttle = 0.0;      // -1..1
    uint32_t contacts = 0;      // resting contacts since the last call
    Vector3 pointVelocity;      // world, from the last integrateState
    Vector3 pivot;              // model frame: the lever of its traction
    double speedLimit = trackFullSpeed;  // m/s: what its share of the pump gives
};

struct BodyLoad {
    Vector3 force;   // N, world
    Vector3 torque;  // N·m, world
};

// The body quantities the tracks read and, on the ground, change.
struct TrackedBody {
    Quaternion orientation;
    Vector3 momentum, angularMomentum, angularVelocity;  // world
    double mass = 0.0;
};

constexpr double trackTraction = motorLimit(hydraulics::track);  // N per track at the travel relief
constexpr double steerRateLimit = 0.3;      // rad/s of yaw the tracks still drive
constexpr double idleBrake = 0.985;         // momentum kept per step, idle tracks

// Traction with the speed cut, slope cancelling and the yaw cut. While the
// tracks touch, driving stops sideways sliding and idle tracks brake: both
// act on body's momenta directly. The motors hold the slope's pull out of
// their relief: what is left drives, and a slope too steep for them is held
// only as far as they hold.
BodyLoad trackLoad(const Track& left, const Track& right, TrackedBody& body);

// Quadratic air drag on the machine's frontal area, and its weight.
BodyLoad dragAndGravity(const Vector3& velocity, const Vector3& angularVelocity, double mass);

// A belt's phase moved by `along` metres of the track's motion along its
// body x (the belt runs back when the machine runs forward), in [0, length).
double advanceBelt(double phase, double along);

struct JointLimit {
    double lowerDegrees, upperDegrees;
};
constexpr JointLimit monoblockLimit{-32.0, 65.0}, bendingArmLimit{1.0, 120.0}, groundPlateLimit{-15.0, 140.0};

// The rate, or 0 when the joint already stands past a limit and the rate
// would carry it further.
double limitedRate(double angle, double rate, const JointLimit& limit);

// A hit on `part` (an ExcavatorPart number) stops every joint that carries
// it, if any of them is moving; returns whether it did.
bool stopJointsCarrying(int part, JointAngles& rates);
