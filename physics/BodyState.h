#pragma once

#include <vector>

#include "assets/Mesh.h"
#include "math/Matrix3.h"
#include "math/Quaternion.h"
#include "math/Vector3.h"

class Object;

// A body's motion and mass properties and, for a body that moves, its
// outlines as last placed (joint angles, world copies): what a saved world
// keeps of it.
struct BodyState {
    Vector3 position, velocity, momentum, force;
    Quaternion orientation;
    Vector3 angularVelocity, angularMomentum, torque;
    double mass = 0.0;
    Matrix3 inertiaBody, inverseInertiaBody, inverseInertiaWorld;
    Vector3 predictedPosition;
    Quaternion predictedOrientation;
    double radius = 0.0;
    std::vector<Mesh> meshes;  // empty for a static body, which never changes them
};

BodyState saveBody(const Object& body);
// Onto the body it was saved from.
void restoreBody(Object& body, const BodyState& state);
