#include "excavator/DiggingForce.h"

#include <cmath>

#include "excavator/Cutting.h"
#include "excavator/Drives.h"
#include "excavator/Hydraulics.h"

namespace {

constexpr double kRadians = 3.141592653589793 / 180.0;

// The force of a cylinder at `pressure` moving its joint the digging way
// (the angle falling), as the torque about that joint.
double diggingTorque(const Cylinder& c, double lever, double pressure)
{
    // A falling angle extends the cylinder where the lever is negative:
    // then the piston side pushes, else the annulus pulls.
    return pressure * (lever < 0.0 ? pistonArea(c) : annulusArea(c)) * std::fabs(lever);
}

// The edge's distance from the bucket pivot and from the arm pivot.
double edgeFromBucketPivot(const ArmPivots& p) { return length(cutting::tipPoint - p.groundPlate); }
double edgeFromArmPivot(const ArmPivots& p, double groundPlate)
{
    return length(rotateAboutZ(cutting::tipPoint - p.groundPlate, groundPlate) + (p.groundPlate - p.bendingArm));
}

}  // namespace

double bucketDiggingForce(const ArmPivots& pivots, double groundPlate, double pressure)
{
    const double lever = cylinderLevers(0.0, 0.0, groundPlate).bucket;
    return diggingTorque(hydraulics::bucket, lever, pressure) / edgeFromBucketPivot(pivots);
}

double armCrowdForce(const ArmPivots& pivots, double bendingArm, double groundPlate, double pressure)
{
    const double lever = cylinderLevers(0.0, bendingArm, 0.0).arm;
    return diggingTorque(hydraulics::arm, lever, pressure) / edgeFromArmPivot(pivots, groundPlate);
}

RatedForces ratedDiggingForces(const ArmPivots& pivots, double pressure)
{
    RatedForces r;
    for (double d = groundPlateLimit.lowerDegrees; d <= groundPlateLimit.upperDegrees; d += 0.1) {
        const double f = bucketDiggingForce(pivots, d * kRadians, pressure);
        if (f > r.bucket) {
            r.bucket = f;
            r.bucketAngle = d * kRadians;
        }
    }
    double reach = 0.0;
    for (double d = groundPlateLimit.lowerDegrees; d <= groundPlateLimit.upperDegrees; d += 0.1)
        if (edgeFromArmPivot(pivots, d * kRadians) > reach) {
            reach = edgeFromArmPivot(pivots, d * kRadians);
            r.armBucketAngle = d * kRadians;
        }
    for (double a = bendingArmLimit.lowerDegrees; a <= bendingArmLimit.upperDegrees; a += 0.1) {
        const double f = armCrowdForce(pivots, a * kRadians, r.armBucketAngle, pressure);
        if (f > r.arm) {
            r.arm = f;
            r.armAngle = a * kRadians;
        }
    }
    return r;
}
