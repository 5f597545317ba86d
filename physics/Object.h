#pragma once

#include <cstdint>
#include <string>

#include "assets/Mesh.h"
#include "math/Matrix3.h"
#include "math/Quaternion.h"
#include "math/Vector3.h"

// Rigid body: state, mass properties, collision meshes in the world frame
// and contact coefficients. Kinds 0 (scenery) and 2 (terrain) never move.
class Object {
public:
    // A body from a group of the already loaded scene model.
    Object(const Mesh& model, double mass);
    // Base of Terrain and Excavator: immovable until the subclass fills it.
    explicit Object(int32_t kind);
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    virtual ~Object();
    virtual void computeForces();
    virtual void predict(double dt);
    virtual Vector3& pointVelocity(Vector3& out, const Vector3& point, int32_t part);
    virtual void integrateMomentum(double dt);
    virtual void integrateState(double dt);
    virtual void applyCollisionImpulse(const Vector3& impulse, const Vector3& lever, int32_t part);
    virtual void applyContactImpulse(const Vector3& impulse, const Vector3& lever, int32_t part);

    bool isStatic() const { return kind == 0 || kind == 2; }

    int32_t index = 0;
    Vector3 position;
    Vector3 velocity;
    Vector3 momentum;
    Vector3 force;
    Quaternion orientation;
    Vector3 angularVelocity;
    Vector3 angularMomentum;
    Vector3 torque;
    double mass;
    Matrix3 inertiaBody;
    Matrix3 inverseInertiaBody;
    Matrix3 inverseInertiaWorld;
    Vector3 predictedPosition;
    Quaternion predictedOrientation;
    double radius = 0.0;
    int32_t kind = 0;
    Mesh* meshes = nullptr;  // owned array of meshCount
    uint32_t meshCount = 0;
    double restitution = 0.34;
    double friction = 0.5;
};

// The system's one integrator step: (k1 + 2k2 + 2k3 + k4)/6 of a constant
// rate u over h (used for positions and momenta alike).
Vector3 integrateStep(const Vector3& u, double h);
// Orientation q advanced by h at constant world angular velocity omega (not normalised).
Quaternion integrateOrientation(const Quaternion& q, const Vector3& omega, double h);
// The rotation of a unit quaternion as an angle in degrees about a unit
// axis (the zero axis for no rotation), as glRotate takes it.
void orientationAxisAngle(const Quaternion& q, double& degrees, Vector3& axis);
