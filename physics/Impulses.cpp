#include "physics/Impulses.h"

#include <algorithm>

#include "physics/Object.h"

namespace {

// Coulomb friction along the sliding direction, or the impulse that stops
// the sliding when that stays within the bound. None without a direction.
Vector3 frictionImpulse(const ContactFrame& f, double normalImpulse, double mu)
{
    const Vector3 relative = f.velocityA - f.velocityB;
    const Vector3 slide = relative - dot(f.normal, relative) * f.normal;
    const double speed = length(slide);
    if (speed == 0.0)
        return Vector3();
    const Vector3 t = slide / speed;
    const double k = angularTerm(f.leverA, t, f.inverseInertiaA) + angularTerm(f.leverB, t, f.inverseInertiaB);
    if (k == 0.0)
        return Vector3();
    const Vector3 sliding = -mu * normalImpulse * t;
    const Vector3 sticking = -slide / (f.inverseMassSum + k);
    return dot(sticking, t) < dot(sliding, t) ? sliding : sticking;
}

double normalResponse(const ContactFrame& f)
{
    return f.inverseMassSum + angularTerm(f.leverA, f.normal, f.inverseInertiaA) +
           angularTerm(f.leverB, f.normal, f.inverseInertiaB);
}

}  // namespace

double angularTerm(const Vector3& lever, const Vector3& direction, const Matrix3& inverseInertia)
{
    return dot(direction, cross(inverseInertia * cross(lever, direction), lever));
}

Vector3 collisionImpulse(const ContactFrame& f, double relativeVelocity, double restitution, double friction)
{
    const double jn = -(1.0 + restitution) * relativeVelocity / normalResponse(f);
    return jn * f.normal + frictionImpulse(f, jn, friction);
}

Vector3 restingImpulse(const ContactFrame& f, double approach, double depth, double dt, double friction)
{
    const double penetration = depth < 0.0 ? -depth : 0.0;
    const double speed = approach < 0.0 ? -approach : 0.0;
    const double h = std::max(dt, impulse::kMinStep);
    const double jn = (speed + impulse::kPushBack * penetration / h) / normalResponse(f);
    return jn * f.normal + frictionImpulse(f, jn, friction);
}

int restingVisit(int k, int count) { return k % 2 ? (k - 1) / 2 : count - 1 - k / 2; }

ContactFrame contactFrame(const Contact& c)
{
    ContactFrame f;
    f.normal = c.normal;
    f.leverA = c.point - c.bodyA->position;
    f.leverB = c.point - c.bodyB->position;
    c.bodyA->pointVelocity(f.velocityA, c.point, c.meshA->index);
    c.bodyB->pointVelocity(f.velocityB, c.point, c.meshB->index);
    f.inverseMassSum = 1.0 / c.bodyA->mass + 1.0 / c.bodyB->mass;
    f.inverseInertiaA = c.bodyA->inverseInertiaWorld;
    f.inverseInertiaB = c.bodyB->inverseInertiaWorld;
    return f;
}
