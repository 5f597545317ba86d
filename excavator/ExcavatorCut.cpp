// The Excavator's cut: the soil's resistance at the cutting edge, the loads
// it and the arm's weights put on the cylinders, and what the hydraulics
// give the joints against them.
#include <algorithm>
#include <cmath>

#include "excavator/Cutting.h"
#include "excavator/Excavator.h"
#include "excavator/Hydraulics.h"
#include "terrain/Terrain.h"

namespace {

constexpr double kGravity = 9.81;
constexpr double kPi = 3.141592653589793;
constexpr double kDepthLag = 0.05;    // s: the depth's voxel steps smoothed over this
constexpr double kEdgeWidth = 0.84;   // m: the lip, vertex 16 to 17
constexpr double kGroundGrip = 0.5;   // of the machine's weight: what the tracks' grip holds sideways
constexpr double kGripAfter = 1.0;    // s
constexpr double kVoxelVolume = terrain::kVoxel * terrain::kVoxel * terrain::kVoxel;
// Units the sliced volume may run ahead of or behind the voxels taken: the
// voxels' steps even out over a voxel's length of path, no further.
constexpr double kMostOwed = 3.0;

// Torque about z at `pivot` of a force at `point` (the arm's plane).
double torqueAbout(const Vector3& pivot, const Vector3& point, const Vector3& force)
{
    const Vector3 r = point - pivot;
    return r.x * force.y - r.y * force.x;
}

// How deep p lies below the ground's surface in its column (m, 0 above
// it), and whether the first soil at or above p's level is loose.
double depthBelowSurface(Terrain& t, const Vector3& p, bool& loose)
{
    loose = false;
    if (!std::isfinite(p.x + p.y + p.z))
        return 0.0;
    const int b = t.blockIndexAt(p);
    if (!t.world.validBlock(b))
        return 0.0;
    int16_t x = 0, y = 0, z = 0;
    t.voxelCoordsAt(b, p, x, y, z);
    for (int up = y; up >= 0; --up) {  // y counts down from the top
        const uint8_t v = t.voxelAt(b, x, up, z);
        if ((v & 3) == 0) {
            loose = (v & terrain::kLooseVoxel) != 0;
            break;
        }
    }
    return std::max(static_cast<double>(t.columnAt(b, x, z).position[1]) - p.y, 0.0);
}

}  // namespace

void Excavator::loadJoints(double dt)
{
    cutReaction = BodyLoad();
    cutForce = hydraulicLoad = 0.0;
    const JointAngles angles = jointAngles(meshes);
    const ArmPivots pivots = armPivots(meshes);
    const double pitch = angles.monoblock + angles.bendingArm + angles.groundPlate;
    // Everything in the arm's plane: the model frame with the slew turned out.
    auto toArm = [&](const Vector3& model) { return rotateAboutY(model, -angles.slew); };
    auto toWorld = [&](const Vector3& arm) { return rotate(rotateAboutY(arm, angles.slew), orientation); };
    const Vector3 down = toArm(rotate(Vector3(0.0, -kGravity, 0.0), conjugate(orientation)));
    const Vector3 p4 = pivots.monoblock;
    const Vector3 j5 = rotateAboutZ(pivots.bendingArm - p4, angles.monoblock) + p4;
    const Vector3 j6 = rotateAboutZ(pivots.groundPlate - pivots.bendingArm, angles.monoblock + angles.bendingArm) + j5;
    const Vector3 tip = rotateAboutZ(cutting::tipPoint - pivots.groundPlate, pitch) + j6;

    // The soil's force on the edge, while the bucket cuts.
    Vector3 onEdge;
    const Vector3 inBucket = tipVelocityInBucket(pivots, angles, jointRates());
    const double speed = length(inBucket);
    if (bucketInSoil && terrain && speed > 0.0) {
        const Vector3 motion = rotateAboutZ(inBucket, pitch) / speed;
        const Vector3 edge = modelToWorld(rotateAboutY(tip, angles.slew));
        Vector3 ahead = toWorld(motion);
        ahead.y = 0.0;
        // The uncut ground a voxel ahead of the edge.
        if (length(ahead) > 0.1)
            ahead = normalized(ahead) * terrain::kVoxel;
        const double depth = depthBelowSurface(*terrain, edge + ahead, cutLoose);
        cutDepth += (depth - cutDepth) * std::min(1.0, dt / kDepthLag);
        double attack = attackAngle(inBucket);
        if (attack > kPi)
            attack -= 2.0 * kPi;
        // The lip plate runs back from the edge into the bucket: the rake
        // through the uncut soil is the attack's size.
        const CutGeometry cut{kEdgeWidth, cutDepth, std::fabs(attack), speed, 0.0};
        const CutForce f = cuttingForce(cutLoose ? soil.loose : soil.bank, cut);
        Vector3 into(motion.y, -motion.x, 0.0);
        if (dot(into, down) < 0.0)
            into = -into;
        onEdge = -f.horizontal * motion + f.vertical * into;
        cutForce = length(onEdge);
    } else {
        cutDepth = 0.0;
    }

    // The soil in the bucket weighs as the soil's loose state, at the bucket's centre.
    const double payload = bucket.soilCount * kVoxelVolume * soil.loose.density;
    const Vector3 c4 = toArm(meshes[Monoblock].bodyCentreOfMass), c5 = toArm(meshes[BendingArm].bodyCentreOfMass),
                  c6 = toArm(meshes[GroundPlate].bodyCentreOfMass);
    const Vector3 w4 = meshes[Monoblock].mass * down, w5 = meshes[BendingArm].mass * down,
                  w6 = (meshes[GroundPlate].mass + payload) * down;
    const double bucketTorque = torqueAbout(j6, tip, onEdge) + torqueAbout(j6, c6, w6);
    const double armTorque = torqueAbout(j5, tip, onEdge) + torqueAbout(j5, c6, w6) + torqueAbout(j5, c5, w5);
    const double boomTorque = torqueAbout(p4, tip, onEdge) + torqueAbout(p4, c6, w6) + torqueAbout(p4, c5, w5) +
                              torqueAbout(p4, c4, w4);

    // The swing motor draws while its lever is held, at its relief while it
    // accelerates; the track motors hold their share of the slope's pull.
    MotorDemands motors;
    if (slewState == Accelerating || slewState == Cruising)
        motors.slew = {std::fabs(slewCommand), slewState == Accelerating ? slewTorque : 0.0, 0.0, hydraulics::slew};
    const double slope = mass * rotate(Vector3(0.0, kGravity, 0.0), conjugate(orientation)).x / 2.0;
    if (leftTrackThrottle != 0.0)
        motors.left = {std::fabs(leftTrackThrottle), 0.0, slope, hydraulics::track};
    if (rightTrackThrottle != 0.0)
        motors.right = {std::fabs(rightTrackThrottle), 0.0, slope, hydraulics::track};

    const CylinderFigures levers = cylinderLevers(angles.monoblock, angles.bendingArm, angles.groundPlate);
    const HydraulicSupply s =
        supplyFunctions({monoblockRate, levers.boom, boomTorque, hydraulics::boom},
                        {bendingArmRate, levers.arm, armTorque, hydraulics::arm},
                        {groundPlateRate, levers.bucket, bucketTorque, hydraulics::bucket}, motors);
    monoblockRate = s.boom.rate;
    bendingArmRate = s.arm.rate;
    groundPlateRate = s.bucket.rate;
    slewRateGiven = s.slew.share * slewFullRate;
    trackSpeedGiven = std::min(leftTrackThrottle != 0.0 ? s.left.share : 1.0,
                               rightTrackThrottle != 0.0 ? s.right.share : 1.0) * trackFullSpeed;
    hydraulicLoad = s.load;
    const bool tracksStalled = s.left.stalled || s.right.stalled;
    if (((s.boom.stalled || s.arm.stalled || s.bucket.stalled) && cutForce > 0.0) || tracksStalled) {
        hit = JointHit();
        hit.cause = tracksStalled ? HitCause::SlopeTooSteep : HitCause::CutTooDeep;
        hit.part = tracksStalled ? LeftTrack : GroundPlate;
        hit.touched = tracksStalled ? HitTouch::Ground : HitTouch::Soil;
    }

    // The machine feels the cut and the load, less what the tracks' grip
    // holds along the ground; the grip outlasts the load a little, as the
    // body settles back when it goes.
    if (cutForce > 0.0 || payload > 0.0)
        sinceLoaded = 0.0;
    else if (sinceLoaded < kGripAfter)
        sinceLoaded += dt;
    else
        return;
    const Vector3 edgeForce = toWorld(onEdge), load = toWorld(payload * down);
    const Vector3 edgeArm = modelToWorld(rotateAboutY(tip, angles.slew)) - position;
    const Vector3 loadArm = modelToWorld(rotateAboutY(c6, angles.slew)) - position;
    cutReaction.force = edgeForce + load;
    cutReaction.torque = cross(edgeArm, edgeForce) + cross(loadArm, load);
    // Standing tracks on the ground hold the machine along it, up to their
    // grip: against the load and against any sliding it set going.
    if (leftTrackContacts + rightTrackContacts > 0 && leftTrackThrottle == 0.0 && rightTrackThrottle == 0.0 &&
        dt > 0.0) {
        const Vector3 along(cutReaction.force.x + momentum.x / dt, 0.0, cutReaction.force.z + momentum.z / dt);
        const double pull = length(along);
        if (pull > 0.0) {
            const Vector3 grip = -along * (std::min(pull, kGroundGrip * mass * kGravity) / pull);
            const Vector3 under = modelToWorld(Vector3(comOffset.x, 0.0, comOffset.z)) - position;
            cutReaction.force += grip;
            cutReaction.torque += cross(under, grip);
        }
    }
}

void Excavator::sliceSoil(const JointAngles& rates, double dt)
{
    // The edge slices what the force acts on: its width by the same depth
    // along its path, while it moves lip first through the soil.
    const Vector3 v = tipVelocityInBucket(armPivots(meshes), jointAngles(meshes), rates);
    if (!bucketInSoil || cutDepth <= 0.0 || !inCuttingWindow(attackAngle(v))) {
        cutOwed = 0.0;
        return;
    }
    cutOwed = std::clamp(cutOwed + kEdgeWidth * cutDepth * length(v) * dt / kVoxelVolume, -kMostOwed, kMostOwed);
}
