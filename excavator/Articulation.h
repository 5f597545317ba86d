#pragma once

#include "assets/Mesh.h"
#include "math/Matrix3.h"
#include "math/Vector3.h"

// The joint chain of the machine, free of any body state: where a point of
// one of the seven outlines lies in the model frame for given joint angles,
// how fast joint motion moves it, and the composite mass properties.
// Parts are numbered as ExcavatorPart; meshes hold positions relative to
// their part's pivot (referencePoint) and the joint angle in `angle`.

// Slew about y, then monoblock, bending arm and ground plate about z
// (radians); the same record holds the joints' rates (rad/s).
struct JointAngles {
    double slew = 0.0;
    double monoblock = 0.0;
    double bendingArm = 0.0;
    double groundPlate = 0.0;
};

// Pivots of the bodywork, monoblock, bending arm and ground plate (model frame).
struct ArmPivots {
    Vector3 bodywork, monoblock, bendingArm, groundPlate;
};

JointAngles jointAngles(const Mesh* parts);
ArmPivots armPivots(const Mesh* parts);

// Part-local (pivot-relative) to model coordinates for one part and pose,
// with the sines and cosines of the chain taken once.
struct PartTransform {
    PartTransform(int part, const Vector3& partPivot, const ArmPivots& pivots, const JointAngles& angles);

    Vector3 point(const Vector3& v) const;
    // The rotation alone, for normals and other directions.
    Vector3 direction(const Vector3& v) const;

    int part;
    Vector3 pivot;       // the part's own pivot (rigid parts)
    Vector3 p3, d43, d54, d65;  // p3 and the pivot-to-pivot offsets of the chain
    double cs, ss, cm, sm, ca, sa, cp, sp;
};

// Velocity in the model frame that the joint rates give the model point b
// when it belongs to `part` (zero for the rigid parts).
Vector3 jointVelocity(int part, const Vector3& b, const ArmPivots& pivots, const JointAngles& angles,
                      const JointAngles& rates);

struct MassProperties {
    double mass = 0.0;
    Vector3 centreOfMass;  // model frame: the body's comOffset
    Matrix3 inertia;       // about centreOfMass, body axes
    double slewInertia = 0.0;
};

// Sums over the seven outlines at their current joint angles; writes each
// outline's bodyCentreOfMass (its centre of mass in the model frame).
MassProperties composeMassProperties(Mesh* parts);
