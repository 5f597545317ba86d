#include "excavator/Drives.h"

#include <algorithm>
#include <cmath>

#include "excavator/TrackBelt.h"

namespace {

constexpr double stoppedRate = 0.01;      // rad/s: braking ends here
constexpr double dragArea = 5.28;         // m²
constexpr double linearDrag = 0.003225, angularDrag = 0.03225;
constexpr double gravity = 9.81;

constexpr int bodyworkPart = 3, groundPlatePart = 6;

// Traction of one track in body coordinates; `drive` is cut to 0 for the
// rest of the call once a touching track runs too fast.
void pushTrack(const Track& track, const Quaternion& toBody, double& drive, BodyLoad& load)
{
    if (track.contacts == 0)
        return;
    const Vector3 v = rotate(track.pointVelocity, toBody);
    if (std::fabs(v.x) > track.speedLimit)
        drive = 0.0;
    if (track.throttle == 0.0)
        return;
    const Vector3 f(track.throttle * drive, 0.0, 0.0);
    load.force += f;
    load.torque += cross(track.pivot, f);
}

Vector3 quadraticDrag(const Vector3& v, double coefficient)
{
    const double s = length(v);
    return s != 0.0 ? -(v / s) * (s * s * coefficient * dragArea) : Vector3();
}

}  // namespace

void commandSlew(SlewDrive& drive, float command)
{
    drive.command = command;
    if (command != 0.0f && (drive.state == Idle || drive.state == Braking))
        drive.state = Accelerating;
    if (command == 0.0f && drive.state != Idle)
        drive.state = Braking;
    if (command * drive.rate < 0.0)
        drive.state = Braking;
}

void stepSlew(SlewDrive& drive, double inertia, double dt)
{
    const double speed = std::fabs(drive.rate), kick = slewTorque * dt / inertia;
    const double target = std::fabs(drive.command) * drive.fullRate;
    switch (drive.state) {
    case Accelerating:
    case Cruising: {
        // Up to the rate its flow gives at the relief torque; slowed to it
        // by the brake valve when the pump's share falls.
        const double sign = drive.command < 0.0f ? -1.0 : 1.0;
        const double next = speed < target ? std::min(speed + kick, target) : std::max(speed - kick, target);
        drive.rate = sign * next;
        drive.state = next >= target ? Cruising : Accelerating;
        break;
    }
    case Braking: {
        const double slowed = speed - kick;
        if (speed <= stoppedRate || slowed <= 0.0) {
            drive.state = Idle;
            drive.rate = 0.0;
        } else {
            drive.rate = std::copysign(slowed, drive.rate);
        }
        break;
    }
    default:
        break;
    }
}

BodyLoad trackLoad(const Track& left, const Track& right, TrackedBody& body)
{
    const Quaternion toBody = conjugate(body.orientation);
    const Vector3 spin = rotate(body.angularVelocity, toBody);
    BodyLoad load;
    double drive = trackTraction;
    if (left.contacts > 0 || right.contacts > 0) {
        const double slope = std::fabs(body.mass * gravity * rotate(Vector3(0.0, 1.0, 0.0), toBody).x) / 2.0;
        drive = std::max(trackTraction - slope, 0.0);
    }
    pushTrack(left, toBody, drive, load);
    pushTrack(right, toBody, drive, load);

    if (left.contacts > 0 || right.contacts > 0) {
        Vector3 p = rotate(body.momentum, toBody);
        if (left.throttle != 0.0 || right.throttle != 0.0) {
            // Up along the tracks is ub.x: the slope's pull, cancelled. Used
            // directly, it stays sound with the machine on its side.
            const Vector3 up = rotate(Vector3(0.0, 1.0, 0.0), toBody);
            const double held = 2.0 * trackTraction;
            load.force.x += std::clamp(body.mass * gravity * up.x, -held, held);
            p.z = 0.0;
        } else {
            p.x *= idleBrake;
            Vector3 l = rotate(body.angularMomentum, toBody);
            l.y *= idleBrake;
            body.angularMomentum = rotate(l, body.orientation);
        }
        body.momentum = rotate(p, body.orientation);
    }

    if (std::fabs(spin.y) > steerRateLimit)
        load.torque.y = 0.0;
    load.force = rotate(load.force, body.orientation);
    load.torque = rotate(load.torque, body.orientation);
    return load;
}

BodyLoad dragAndGravity(const Vector3& velocity, const Vector3& angularVelocity, double mass)
{
    BodyLoad load;
    load.force = quadraticDrag(velocity, linearDrag) + Vector3(0.0, -mass * gravity, 0.0);
    load.torque = quadraticDrag(angularVelocity, angularDrag);
    return load;
}

double advanceBelt(double phase, double along)
{
    phase = std::fmod(phase - along, beltLength);
    if (phase < 0.0)
        phase += beltLength;
    // A tiny negative remainder rounds up to the length itself.
    return phase < beltLength ? phase : 0.0;
}

double limitedRate(double angle, double rate, const JointLimit& limit)
{
    const double degrees = angle * 180.0 / 3.141592653589793;
    if ((degrees > limit.upperDegrees && rate > 0.0) || (degrees < limit.lowerDegrees && rate < 0.0))
        return 0.0;
    return rate;
}

bool stopJointsCarrying(int part, JointAngles& rates)
{
    if (part < bodyworkPart || part > groundPlatePart)
        return false;
    double* chain[4] = {&rates.slew, &rates.monoblock, &rates.bendingArm, &rates.groundPlate};
    const int carriers = part - bodyworkPart + 1;
    bool moving = false;
    for (int j = 0; j < carriers; ++j)
        moving = moving || *chain[j] != 0.0;
    if (moving)
        for (int j = 0; j < carriers; ++j)
            *chain[j] = 0.0;
    return moving;
}
