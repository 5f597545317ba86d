#pragma once

#include "math/Matrix3.h"
#include "math/Vector3.h"
#include "physics/PairRecord.h"

// Contact response: the impulse formulas and the two impulse phases of the step.
namespace impulse {
constexpr double kCollidingSpeed = -0.068;  // m/s: at or below, a contact collides
constexpr double kRestingSpeed = 0.068;     // m/s: resting window (-0.068, 0.068), both open
constexpr double kPushBack = 0.3;           // share of a penetration removed per step
constexpr double kMinStep = 0.0001;         // s: the push-back never divides by less
constexpr double kDrivingFriction = 0.08;   // resting friction of a machine driving on its tracks
}  // namespace impulse

// Both bodies' side of one contact, as the impulse formulas need it.
struct ContactFrame {
    Vector3 normal;       // out of B towards A
    Vector3 leverA, leverB;  // contact point minus each body's position
    Vector3 velocityA, velocityB;  // of the contact point on each body
    double inverseMassSum = 0.0;   // 1/mA + 1/mB
    Matrix3 inverseInertiaA, inverseInertiaB;  // world
};

// d . ((I^-1 (r x d)) x r): a body's angular share of the response along d.
double angularTerm(const Vector3& lever, const Vector3& direction, const Matrix3& inverseInertia);

// Impulse on A (B receives its negative) for a colliding contact of normal
// speed relativeVelocity, with restitution e and friction mu.
Vector3 collisionImpulse(const ContactFrame& f, double relativeVelocity, double restitution, double friction);

// Impulse on A for a resting contact: stops the approach speed and removes
// part of the penetration depth within step dt.
Vector3 restingImpulse(const ContactFrame& f, double approach, double depth, double dt, double friction);

class Object;
// Each record's contacts visited last, first, second-to-last, second, ...
int restingVisit(int k, int count);
ContactFrame contactFrame(const Contact& c);
