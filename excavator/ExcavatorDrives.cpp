// The Excavator's step: forces, integration and impulses, built on the
// drive laws of Drives.h.
#include <cmath>

#include "excavator/Excavator.h"

namespace {
constexpr double deadBand = 0.02;  // m/s and rad/s: slower counts as still
constexpr double soilDamping = 0.9;  // arm rates kept per step in the soil

// The system's integrator applied to one joint's rate.
double turned(double rate, double dt) { return integrateStep(Vector3(rate, 0.0, 0.0), dt).x; }

// Cylinder speeds at full deflection (m/s), as quotients applied as
// deflection * numerator / denominator: rounded in that order, a key and a
// fully pushed stick give the same rate to the last bit.
struct CylinderSpeed {
    double numerator, denominator;
};
constexpr CylinderSpeed kMonoblockSpeed{0.07, 0.1}, kBendingArmSpeed{0.09, 0.1}, kGroundPlateSpeed{0.008, 0.01};

// The joint rate that drives its cylinder at the deflected speed.
double cylinderRate(double (*rateFor)(double, double), double angle, float deflection, CylinderSpeed speed)
{
    return deflection == 0.0f ? 0.0 : rateFor(angle, deflection * speed.numerator / speed.denominator);
}
}  // namespace

double Excavator::armRate(Drive drive, float deflection) const
{
    switch (drive) {
    case Drive::Monoblock: return cylinderRate(monoblockRateFor, monoblockAngle(), deflection, kMonoblockSpeed);
    case Drive::BendingArm: return cylinderRate(bendingArmRateFor, bendingArmAngle(), deflection, kBendingArmSpeed);
    case Drive::GroundPlate:
        return cylinderRate(groundPlateRateFor, groundPlateAngle(), deflection, kGroundPlateSpeed);
    default: return 0.0;
    }
}

void Excavator::setDrive(Drive drive, float deflection)
{
    command[drive] = deflection;
    if (givenDrives)
        givenDrives->emplace_back(drive, deflection);
    switch (drive) {
    case Drive::Slewing: setSlewCommand(deflection); break;
    case Drive::Monoblock: monoblockRate = armRate(drive, deflection); break;
    case Drive::BendingArm: bendingArmRate = armRate(drive, deflection); break;
    case Drive::GroundPlate: groundPlateRate = armRate(drive, deflection); break;
    case Drive::LeftTrack: leftTrackThrottle = deflection; break;
    case Drive::RightTrack: rightTrackThrottle = deflection; break;
    }
}

void Excavator::setCommand(const MachineCommand& given)
{
    for (int d = 0; d < kDriveCount; ++d)
        setDrive(static_cast<Drive>(d), given.deflection[d]);
}

void Excavator::setSlewCommand(float deflection)
{
    SlewDrive drive{slewState, slewCommand, slewRate, slewRateGiven};
    commandSlew(drive, deflection);
    slewState = drive.state;
    slewCommand = drive.command;
}

void Excavator::computeForces()
{
    const Track left{leftTrackThrottle, leftTrackContacts, leftTrackPointVelocity, meshes[LeftTrack].referencePoint,
                     trackSpeedGiven};
    const Track right{rightTrackThrottle, rightTrackContacts, rightTrackPointVelocity,
                      meshes[RightTrack].referencePoint, trackSpeedGiven};
    TrackedBody body{orientation, momentum, angularMomentum, angularVelocity, mass};
    const BodyLoad tracks = trackLoad(left, right, body);
    momentum = body.momentum;
    angularMomentum = body.angularMomentum;
    const BodyLoad air = dragAndGravity(velocity, angularVelocity, mass);
    force = tracks.force + air.force;
    torque = tracks.torque + air.torque;
    if (dot(cutReaction.force, cutReaction.force) + dot(cutReaction.torque, cutReaction.torque) > 0.0) {
        force += cutReaction.force;
        torque += cutReaction.torque;
    }
    leftTrackContacts = rightTrackContacts = 0;
}

bool Excavator::stopHitJoints(int32_t part)
{
    JointAngles rates = jointRates();
    const JointAngles before = rates;
    if (!stopJointsCarrying(part, rates))
        return false;
    const HitTouch touched = pushingIntoSoil                 ? HitTouch::Soil
                             : (groundParts >> part) & 1u ? HitTouch::Ground
                                                          : HitTouch::Obstacle;
    hit = classifyHit(part, touched, armPivots(meshes), jointAngles(meshes), before);
    slewRate = rates.slew;
    monoblockRate = rates.monoblock;
    bendingArmRate = rates.bendingArm;
    groundPlateRate = rates.groundPlate;
    slewState = Idle;
    slewCommand = 0.0f;
    return true;
}

void Excavator::applyCollisionImpulse(const Vector3& impulse, const Vector3& lever, int32_t part)
{
    if (!stopHitJoints(part))
        Object::applyCollisionImpulse(impulse, lever, part);
}

void Excavator::applyContactImpulse(const Vector3& impulse, const Vector3& lever, int32_t part)
{
    if (stopHitJoints(part))
        return;
    Object::applyCollisionImpulse(impulse, lever, part);
    if (part == LeftTrack)
        ++leftTrackContacts;
    else if (part == RightTrack)
        ++rightTrackContacts;
}

void Excavator::runTrack(const Vector3& lever, double dt, Vector3& pointVelocity, Vector3& travel,
                         double& phase) const
{
    pointVelocity = velocity + cross(angularVelocity, lever);
    const Vector3 d = pointVelocity * dt;
    travel += d;
    phase = advanceBelt(phase, rotate(d, conjugate(orientation)).x);
}

void Excavator::moveJoints(double dt)
{
    if (bucketInSoil) {
        monoblockRate *= soilDamping;
        bendingArmRate *= soilDamping;
        groundPlateRate *= soilDamping;
    }
    loadJoints(dt);
    monoblockRate = limitedRate(monoblockAngle(), monoblockRate, monoblockLimit);
    bendingArmRate = limitedRate(bendingArmAngle(), bendingArmRate, bendingArmLimit);
    groundPlateRate = limitedRate(groundPlateAngle(), groundPlateRate, groundPlateLimit);

    // The joints move at the rates this step's collision search checked
    // (damping and limits only slow them); the slewing drive's new rate
    // waits for the next search, or an accelerating arm would creep into
    // what it touches: with the drive first, an arm slewed into the wall
    // gives up the step search 567 times in 3.5 s instead of 14 and is
    // lifted 0.27 m off the ground.
    const JointAngles rates = jointRates();
    sliceSoil(rates, dt);
    const double by[4] = {rates.slew, rates.monoblock, rates.bendingArm, rates.groundPlate};
    for (int j = 0; j < 4; ++j)
        meshes[Bodywork + j].angle += turned(by[j], dt);

    SlewDrive drive{slewState, slewCommand, slewRate, slewRateGiven};
    stepSlew(drive, slewInertia, dt);
    slewState = drive.state;
    slewRate = drive.rate;
}

void Excavator::integrateState(double dt)
{
    const Vector3 leftLever = rotate(meshes[LeftTrack].referencePoint, orientation);
    const Vector3 rightLever = rotate(meshes[RightTrack].referencePoint, orientation);

    velocity = momentum / mass;
    angularVelocity = inverseInertiaWorld * angularMomentum;
    if (length(velocity) < deadBand)
        velocity = Vector3();
    if (length(angularVelocity) < deadBand)
        angularVelocity = Vector3();

    if (leftTrackContacts > 0 || leftTrackThrottle != 0.0)
        runTrack(leftLever, dt, leftTrackPointVelocity, leftTrackTravel, leftBeltPhase);
    if (rightTrackContacts > 0 || rightTrackThrottle != 0.0)
        runTrack(rightLever, dt, rightTrackPointVelocity, rightTrackTravel, rightBeltPhase);

    const bool moved =
        slewRate * dt != 0.0 || monoblockRate * dt != 0.0 || bendingArmRate * dt != 0.0 || groundPlateRate * dt != 0.0;
    moveJoints(dt);
    updateCylinders();

    position += integrateStep(velocity, dt);
    orientation = integrateOrientation(orientation, angularVelocity, dt);
    normalize(orientation);

    if (moved) {
        // The centre of mass shifts inside the machine; the model frame stays put.
        const Vector3 before = comOffset;
        updateMassProperties();
        position += rotate(comOffset - before, orientation);
    }
    const Matrix3 r = toMatrix(orientation);
    inverseInertiaWorld = (r * inverseInertiaBody) * transpose(r);
    settleBucketSoil(dt);
    ageHit(hit, dt);
}
