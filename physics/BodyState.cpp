#include "physics/BodyState.h"

#include "physics/Object.h"

BodyState saveBody(const Object& o)
{
    BodyState s{o.position,   o.velocity,    o.momentum,           o.force,      o.orientation,
                o.angularVelocity, o.angularMomentum, o.torque, o.mass, o.inertiaBody,
                o.inverseInertiaBody, o.inverseInertiaWorld, o.predictedPosition, o.predictedOrientation,
                o.radius,     {}};
    if (!o.isStatic())
        s.meshes.assign(o.meshes, o.meshes + o.meshCount);
    return s;
}

void restoreBody(Object& o, const BodyState& s)
{
    o.position = s.position;
    o.velocity = s.velocity;
    o.momentum = s.momentum;
    o.force = s.force;
    o.orientation = s.orientation;
    o.angularVelocity = s.angularVelocity;
    o.angularMomentum = s.angularMomentum;
    o.torque = s.torque;
    o.mass = s.mass;
    o.inertiaBody = s.inertiaBody;
    o.inverseInertiaBody = s.inverseInertiaBody;
    o.inverseInertiaWorld = s.inverseInertiaWorld;
    o.predictedPosition = s.predictedPosition;
    o.predictedOrientation = s.predictedOrientation;
    o.radius = s.radius;
    if (s.meshes.size() == o.meshCount)
        std::copy(s.meshes.begin(), s.meshes.end(), o.meshes);
}
