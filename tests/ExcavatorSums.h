#pragma once

#include <cmath>

#include "assets/Mesh.h"
#include "excavator/Articulation.h"
#include "math/Matrix3.h"
#include "math/Quaternion.h"
#include "math/Vector3.h"

// The machine's joint chain and composite mass sums written out afresh for
// the tests, by turning about joint axes with quaternions.
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
    for (int joint = 6, n = 0; joint >= 4; --joint, ++n)
        if (part >= joint)
            p = rotate(p - modelPivots[joint], about({0, 0, 1}, pitch[n])) + modelPivots[joint];
    if (part >= 3)
        p = rotate(p - modelPivots[3], about({0, 1, 0}, a.slew)) + modelPivots[3];
    return p;
}

struct Sums {
    double mass = 0, slewInertia = 0;
    Vector3 centre;
    Matrix3 inertia;
};

// Each part's centre of mass carried by the chain, its unit inertia turned by
// its slew and pitch (only the turned diagonal counts), parallel-axis terms
// about the composite centre; slew inertia about the vertical through the
// bodywork's centre.
inline Sums expectedSums(const Mesh* parts, const JointAngles& a)
{
    Sums s;
    Vector3 c[7];
    for (int i = 0; i < 7; ++i) {
        c[i] = chained(i, parts[i].centreOfMass, a);
        s.mass += parts[i].mass;
        s.centre += parts[i].mass * c[i];
    }
    s.centre /= s.mass;
    const double pitch[7] = {0, 0, 0, 0, a.monoblock, a.monoblock + a.bendingArm,
                             a.monoblock + a.bendingArm + a.groundPlate};
    double ixx = 0, iyy = 0, izz = 0, pxy = 0, pxz = 0, pyz = 0;
    for (int i = 0; i < 7; ++i) {
        const double m = parts[i].mass;
        Matrix3 r = Matrix3::identity();
        if (i >= 3)
            r = toMatrix(about({0, 1, 0}, a.slew) * about({0, 0, 1}, pitch[i]));
        const Matrix3 turned = r * parts[i].inertia * transpose(r);
        const Vector3 d = c[i] - s.centre;
        ixx += m * (d.y * d.y + d.z * d.z + turned(0, 0));
        iyy += m * (d.x * d.x + d.z * d.z + turned(1, 1));
        izz += m * (d.x * d.x + d.y * d.y + turned(2, 2));
        pxy += m * d.x * d.y;
        pxz += m * d.x * d.z;
        pyz += m * d.y * d.z;
        if (i >= 3) {
            const Vector3 e = c[i] - c[3];
            s.slewInertia += m * (e.x * e.x + e.z * e.z + turned(1, 1));
        }
    }
    s.inertia = Matrix3(ixx, -pxy, -pxz, -pxy, iyy, -pyz, -pxz, -pyz, izz);
    return s;
}

}  // namespace excavatorsums
