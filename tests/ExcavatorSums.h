#pragma once

#include <cmath>

#include "excavator/Articulation.h"
#include "math/Quaternion.h"
#include "math/Vector3.h"

// The machine's joint chain written out afresh for the tests, by turning
// about joint axes with quaternions.
namespace excavatorsums {

// Pivots of the seven outlines as designed (model frame).
inline const Vector3 modelPivots[7] = {{0, 0, 1.213},        {0, 0, -1.213},        {0, 0, 0},
                                       {0, 1.193, 0},        {0.219, 1.95, -0.05}, {6.365, 1.268, -0.05},
                                       {3.938, 0.42, -0.05}};

inline Quaternion about(const Vector3& axis, double angle)
{
    return Quaternion(std::cos(angle / 2), axis * std::sin(angle / 2));
}

// A model point of the zero pose turned about each joint axis (through its
// zero-pose pivot) that carries `part`, innermost joint first.
inline Vector3 chained(int part, const Vector3& zeroPose, const JointAngles& a)
{
    Vector3 p = zeroPose;
    const double pitch[3] = {a.groundPlate, a.bendingArm, a.monoblock};
    for (int joint = 6; joint >= 4; --joint)
        if (part >= joint)
            p = rotate(p - modelPivots[joint], about({0, 0, 1}, pitch[6 - joint])) + modelPivots[joint];
    return part >= 3 ? rotate(p - modelPivots[3], about({0, 1, 0}, a.slew)) + modelPivots[3] : p;
}

}  // namespace excavatorsums
