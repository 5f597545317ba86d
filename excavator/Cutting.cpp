#include "excavator/Cutting.h"

#include <algorithm>
#include <cmath>

const double cutting::edgeSlope = std::acos(0.192 / std::sqrt(0.03898));

double clampedAcos(double x)
{
    if (!(x > -1.0))
        return std::acos(-1.0);
    return std::acos(std::min(x, 1.0));
}

Vector3 tipVelocityInBucket(const ArmPivots& pivots, const JointAngles& angles, const JointAngles& rates)
{
    const Vector3 &p4 = pivots.monoblock, &p5 = pivots.bendingArm, &p6 = pivots.groundPlate;
    // The tip and the two outer pivots in the arm's plane (no slew).
    Vector3 tip = rotateAboutZ(cutting::tipPoint - p6, angles.groundPlate) + (p6 - p5);
    tip = rotateAboutZ(tip, angles.bendingArm) + (p5 - p4);
    tip = rotateAboutZ(tip, angles.monoblock) + p4;
    const Vector3 j5 = rotateAboutZ(p5 - p4, angles.monoblock) + p4;
    const Vector3 j6 = rotateAboutZ(rotateAboutZ(p6 - p5, angles.bendingArm) + (p5 - p4), angles.monoblock) + p4;

    const Vector3 v = cross(Vector3(0, 0, rates.monoblock), tip - p4) + cross(Vector3(0, 0, rates.bendingArm), tip - j5) +
                      cross(Vector3(0, 0, rates.groundPlate), tip - j6);
    return rotateAboutZ(v, -(angles.monoblock + angles.bendingArm + angles.groundPlate));
}

double attackAngle(const Vector3& v)
{
    const double speed = length(v);
    if (!(speed > 0.0))
        return std::nan("");
    double motion = clampedAcos(v.x / speed);
    if (v.y < 0.0)
        motion = 6.283185307179586 - motion;
    return motion - cutting::edgeSlope;
}

bool inCuttingWindow(double attack) { return attack < cutting::windowLow || attack > cutting::windowHigh; }
