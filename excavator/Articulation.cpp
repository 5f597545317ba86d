#include "excavator/Articulation.h"

#include <cmath>

#include "math/Quaternion.h"

namespace {

constexpr int bodyworkPart = 3, monoblockPart = 4, bendingArmPart = 5, groundPlatePart = 6;
constexpr double degrees = 180.0 / 3.141592653589793;

// rotateAboutZ / rotateAboutY with the sine and cosine given.
Vector3 turnZ(const Vector3& v, double c, double s) { return {v.x * c - v.y * s, v.x * s + v.y * c, v.z}; }
Vector3 turnY(const Vector3& v, double c, double s) { return {v.x * c + v.z * s, v.y, v.z * c - v.x * s}; }

Matrix3 turned(const Matrix3& inertia, double yawDegrees, double pitchDegrees)
{
    const Matrix3 rz = toMatrix(fromEulerDegrees(0.0, 0.0, pitchDegrees));
    const Matrix3 i = rz * inertia * transpose(rz);
    const Matrix3 ry = toMatrix(fromEulerDegrees(0.0, yawDegrees, 0.0));
    return ry * i * transpose(ry);
}

}  // namespace

JointAngles jointAngles(const Mesh* parts)
{
    JointAngles a;
    a.slew = parts[bodyworkPart].angle;
    a.monoblock = parts[monoblockPart].angle;
    a.bendingArm = parts[bendingArmPart].angle;
    a.groundPlate = parts[groundPlatePart].angle;
    return a;
}

ArmPivots armPivots(const Mesh* parts)
{
    return {parts[bodyworkPart].referencePoint, parts[monoblockPart].referencePoint,
            parts[bendingArmPart].referencePoint, parts[groundPlatePart].referencePoint};
}

PartTransform::PartTransform(int part_, const Vector3& partPivot, const ArmPivots& pivots, const JointAngles& angles)
    : part(part_), pivot(partPivot), p3(pivots.bodywork), d43(pivots.monoblock - pivots.bodywork),
      d54(pivots.bendingArm - pivots.monoblock), d65(pivots.groundPlate - pivots.bendingArm),
      cs(std::cos(angles.slew)), ss(std::sin(angles.slew)), cm(std::cos(angles.monoblock)),
      sm(std::sin(angles.monoblock)), ca(std::cos(angles.bendingArm)), sa(std::sin(angles.bendingArm)),
      cp(std::cos(angles.groundPlate)), sp(std::sin(angles.groundPlate))
{
}

Vector3 PartTransform::point(const Vector3& v) const
{
    switch (part) {
    case bodyworkPart:
        return turnY(v, cs, ss) + p3;
    case monoblockPart:
        return turnY(turnZ(v, cm, sm) + d43, cs, ss) + p3;
    case bendingArmPart:
        return turnY(turnZ(turnZ(v, ca, sa) + d54, cm, sm) + d43, cs, ss) + p3;
    case groundPlatePart:
        return turnY(turnZ(turnZ(turnZ(v, cp, sp) + d65, ca, sa) + d54, cm, sm) + d43, cs, ss) + p3;
    default:
        return v + pivot;
    }
}

Vector3 PartTransform::direction(const Vector3& v) const
{
    switch (part) {
    case bodyworkPart:
        return turnY(v, cs, ss);
    case monoblockPart:
        return turnY(turnZ(v, cm, sm), cs, ss);
    case bendingArmPart:
        return turnY(turnZ(turnZ(v, ca, sa), cm, sm), cs, ss);
    case groundPlatePart:
        return turnY(turnZ(turnZ(turnZ(v, cp, sp), ca, sa), cm, sm), cs, ss);
    default:
        return v;
    }
}

Vector3 jointVelocity(int part, const Vector3& b, const ArmPivots& pivots, const JointAngles& angles,
                      const JointAngles& rates)
{
    if (part < bodyworkPart || part > groundPlatePart)
        return Vector3();
    const Vector3& p3 = pivots.bodywork;
    Vector3 u = cross(Vector3(0.0, rates.slew, 0.0), b - p3);
    if (part >= monoblockPart) {
        const Vector3 j4 = rotateAboutY(pivots.monoblock - p3, angles.slew) + p3;
        u += cross(rotateAboutY(Vector3(0.0, 0.0, rates.monoblock), angles.slew), b - j4);
    }
    if (part >= bendingArmPart) {
        const Vector3 j5 =
            rotateAboutY(rotateAboutZ(pivots.bendingArm - pivots.monoblock, angles.monoblock) + (pivots.monoblock - p3),
                         angles.slew) +
            p3;
        u += cross(rotateAboutY(Vector3(0.0, 0.0, rates.bendingArm), angles.slew), b - j5);
    }
    if (part == groundPlatePart) {
        const Vector3 j6 =
            rotateAboutY(rotateAboutZ(rotateAboutZ(pivots.groundPlate - pivots.bendingArm, angles.bendingArm) +
                                          (pivots.bendingArm - pivots.monoblock),
                                      angles.monoblock) +
                             (pivots.monoblock - p3),
                         angles.slew) +
            p3;
        u += cross(rotateAboutY(Vector3(0.0, 0.0, rates.groundPlate), angles.slew), b - j6);
    }
    return u;
}

MassProperties composeMassProperties(Mesh* parts)
{
    const JointAngles angles = jointAngles(parts);
    const ArmPivots pivots = armPivots(parts);
    MassProperties result;
    Vector3 weighted;
    for (int i = 0; i < 7; ++i) {
        Mesh& m = parts[i];
        if (i < bodyworkPart) {
            m.bodyCentreOfMass = m.centreOfMass;
        } else {
            const PartTransform t(i, m.referencePoint, pivots, angles);
            m.bodyCentreOfMass = t.point(m.centreOfMass - m.referencePoint);
        }
        result.mass += m.mass;
        weighted += m.mass * m.bodyCentreOfMass;
    }
    result.centreOfMass = weighted / result.mass;

    // The arm parts pitch by the sum of the joint angles before them.
    const double pitch[7] = {0.0,
                             0.0,
                             0.0,
                             0.0,
                             angles.monoblock,
                             angles.monoblock + angles.bendingArm,
                             angles.monoblock + angles.bendingArm + angles.groundPlate};
    const Vector3 c3 = parts[bodyworkPart].bodyCentreOfMass;
    double ixx = 0.0, iyy = 0.0, izz = 0.0, pxy = 0.0, pxz = 0.0, pyz = 0.0;
    for (int i = 0; i < 7; ++i) {
        const Mesh& m = parts[i];
        Matrix3 local = m.inertia;
        if (i == bodyworkPart) {
            const Matrix3 ry = toMatrix(fromEulerDegrees(0.0, angles.slew * degrees, 0.0));
            local = ry * local * transpose(ry);
        } else if (i > bodyworkPart) {
            local = turned(local, angles.slew * degrees, pitch[i] * degrees);
        }
        const Vector3 c = m.bodyCentreOfMass;
        if (i >= bodyworkPart) {
            const double dx = c.x - c3.x, dz = c.z - c3.z;
            result.slewInertia += m.mass * (dx * dx + dz * dz + local(1, 1));
        }
        const Vector3 d = c - result.centreOfMass;
        ixx += m.mass * (d.y * d.y + d.z * d.z + local(0, 0));
        iyy += m.mass * (d.x * d.x + d.z * d.z + local(1, 1));
        izz += m.mass * (d.x * d.x + d.y * d.y + local(2, 2));
        pxy += m.mass * d.x * d.y;
        pxz += m.mass * d.x * d.z;
        pyz += m.mass * d.y * d.z;
    }
    result.inertia = Matrix3(ixx, -pxy, -pxz, -pxy, iyy, -pyz, -pxz, -pyz, izz);
    return result;
}
