#include "physics/Object.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kPi = 3.14159265358979323846;

// World copies of a mesh's geometry at pose (q, p).
void placeMesh(Mesh& mesh, const Quaternion& q, const Vector3& p)
{
    for (size_t i = 0; i < mesh.positions.size(); ++i)
        mesh.workingPositions[i] = rotate(mesh.positions[i], q) + p;
    if (!mesh.workingPositions.empty()) {
        mesh.boxMin = mesh.boxMax = mesh.workingPositions[0];
        for (const Vector3& w : mesh.workingPositions) {
            mesh.boxMin = Vector3(std::min(mesh.boxMin.x, w.x), std::min(mesh.boxMin.y, w.y), std::min(mesh.boxMin.z, w.z));
            mesh.boxMax = Vector3(std::max(mesh.boxMax.x, w.x), std::max(mesh.boxMax.y, w.y), std::max(mesh.boxMax.z, w.z));
        }
    }
    for (MeshTriangle& t : mesh.triangles)
        t.workingCentre = rotate(t.centre, q) + p;
    for (MeshEdge& e : mesh.edges)
        e.workingNormal = rotate(e.normal, q);
}

}  // namespace

Vector3 integrateStep(const Vector3& u, double h)
{
    const Vector3 k1 = u * h;
    const Vector3 k2 = (u + k1 / 2.0) * h;
    const Vector3 k3 = (u + k2 / 2.0) * h;
    const Vector3 k4 = (u + k3) * h;
    return (k1 + 2.0 * k2 + 2.0 * k3 + k4) / 6.0;
}

Quaternion integrateOrientation(const Quaternion& q, const Vector3& omega, double h)
{
    const Quaternion k1 = 0.5 * pureMultiply(omega, q) * h;
    const Quaternion k2 = 0.5 * pureMultiply(omega, q + 0.5 * k1) * h;
    const Quaternion k3 = 0.5 * pureMultiply(omega, q + 0.5 * k2) * h;
    const Quaternion k4 = 0.5 * pureMultiply(omega, q + k3) * h;
    return q + (k1 + 2.0 * k2 + 2.0 * k3 + k4) / 6.0;
}

Object::Object(int32_t kind_) : mass(std::numeric_limits<double>::infinity()), kind(kind_)
{
    const double inf = std::numeric_limits<double>::infinity();
    inertiaBody = Matrix3::diagonal(inf, inf, inf);
    inverseInertiaBody = inverse(inertiaBody);
    inverseInertiaWorld = inverseInertiaBody;
}

Object::~Object() { delete[] meshes; }

void Object::computeForces()
{
    if (isStatic())
        return;
    // Quadratic air drag on the bounding sphere's cross-section.
    const double area = kPi * radius * radius;
    const double s = length(velocity);
    force = s != 0.0 ? -(velocity / s) * (s * s * 0.003225 * area) : Vector3();
    const double w = length(angularVelocity);
    torque = w != 0.0 ? -(angularVelocity / w) * (w * w * 0.03225 * area) : Vector3();
    force += Vector3(0.0, -mass * 9.81, 0.0);
}

void Object::predict(double dt)
{
    if (isStatic())
        return;
    predictedPosition = position + integrateStep(velocity, dt);
    predictedOrientation = integrateOrientation(orientation, angularVelocity, dt);
    normalize(predictedOrientation);
    for (uint32_t i = 0; i < meshCount; ++i)
        placeMesh(meshes[i], predictedOrientation, predictedPosition);
}

Vector3& Object::pointVelocity(Vector3& out, const Vector3& point, int32_t part)
{
    out = velocity + cross(angularVelocity, point - position);
    return out;
}

void Object::integrateMomentum(double dt)
{
    if (isStatic())
        return;
    angularMomentum += integrateStep(torque, dt);
    angularVelocity = inverseInertiaWorld * angularMomentum;
    momentum += integrateStep(force, dt);
    velocity = momentum / mass;
}

void Object::integrateState(double dt)
{
    if (isStatic())
        return;
    velocity = momentum / mass;
    position += integrateStep(velocity, dt);
    angularVelocity = inverseInertiaWorld * angularMomentum;
    orientation = integrateOrientation(orientation, angularVelocity, dt);
    normalize(orientation);
    const Matrix3 r = toMatrix(orientation);
    inverseInertiaWorld = (r * inverseInertiaBody) * transpose(r);
}

void Object::applyCollisionImpulse(const Vector3& impulse, const Vector3& lever, int32_t part)
{
    if (isStatic())
        return;
    momentum += impulse;
    angularMomentum += cross(lever, impulse);
    velocity = momentum / mass;
    angularVelocity = inverseInertiaWorld * angularMomentum;
}

void Object::applyContactImpulse(const Vector3& impulse, const Vector3& lever, int32_t part)
{
    Object::applyCollisionImpulse(impulse, lever, part);
}

void orientationAxisAngle(const Quaternion& q, double& degrees, Vector3& axis)
{
    // A normalised w may overshoot 1 by an ulp; acos must not see it.
    degrees = 2.0 * std::acos(std::clamp(q.w, -1.0, 1.0)) * 180.0 / 3.14159265358979323846;
    axis = q.vec();
    const double l = length(axis);
    if (l != 0.0)
        axis /= l;
}
