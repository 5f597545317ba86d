#pragma once

#include "math/Matrix3.h"
#include "math/Vector3.h"

// Quaternion with the scalar first: (w, x, y, z). Unit quaternions are
// orientations and rotate vectors actively: v' = q (0, v) q*.
struct Quaternion {
    double w = 1.0;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    Quaternion() = default;
    Quaternion(double w_, double x_, double y_, double z_) : w(w_), x(x_), y(y_), z(z_) {}
    Quaternion(double w_, const Vector3& v) : w(w_), x(v.x), y(v.y), z(v.z) {}

    Vector3 vec() const { return {x, y, z}; }
};

inline Quaternion operator+(const Quaternion& a, const Quaternion& b)
{
    return {a.w + b.w, a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Quaternion operator*(const Quaternion& q, double s) { return {q.w * s, q.x * s, q.y * s, q.z * s}; }
inline Quaternion operator*(double s, const Quaternion& q) { return q * s; }
inline Quaternion operator/(const Quaternion& q, double s) { return {q.w / s, q.x / s, q.y / s, q.z / s}; }

// Hamilton product a ⊗ b.
inline Quaternion operator*(const Quaternion& a, const Quaternion& b)
{
    return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z, a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z, a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x};
}

inline Quaternion conjugate(const Quaternion& q) { return {q.w, -q.x, -q.y, -q.z}; }

// q ⊗ (0, v)
inline Quaternion multiplyPure(const Quaternion& q, const Vector3& v)
{
    const Vector3 qv = q.vec();
    return Quaternion(-(q.x * v.x + q.y * v.y + q.z * v.z), q.w * v + cross(qv, v));
}

// (0, ω) ⊗ q: twice the orientation derivative for a world-frame ω.
inline Quaternion pureMultiply(const Vector3& omega, const Quaternion& q)
{
    const Vector3 qv = q.vec();
    return Quaternion(-(omega.x * qv.x + omega.y * qv.y + omega.z * qv.z), q.w * omega + cross(omega, qv));
}

// In place; a zero quaternion stays as it is.
inline Quaternion& normalize(Quaternion& q)
{
    const double n = std::sqrt(q.x * q.x + q.w * q.w + q.y * q.y + q.z * q.z);
    const double f = n == 0.0 ? 1.0 : 1.0 / n;
    q.w *= f;
    q.x *= f;
    q.y *= f;
    q.z *= f;
    return q;
}

// The vector part of q ⊗ (0, v) ⊗ q*.
inline Vector3 rotate(const Vector3& v, const Quaternion& q)
{
    const Quaternion r = multiplyPure(q, v) * conjugate(q);
    return r.vec();
}

// Rotation by ax about x, then ay about y, then az about z (degrees).
Quaternion fromEulerDegrees(double ax, double ay, double az);

// Rotation matrix of q, not renormalised.
Matrix3 toMatrix(const Quaternion& q);
