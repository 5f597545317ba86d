#pragma once

#include <cmath>

// Double-precision 3-vector; plain value, copied freely.
struct Vector3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    Vector3() = default;
    Vector3(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}

    Vector3& operator+=(const Vector3& o) { x += o.x; y += o.y; z += o.z; return *this; }
    Vector3& operator-=(const Vector3& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
    Vector3& operator*=(double s) { x *= s; y *= s; z *= s; return *this; }
    Vector3& operator/=(double s) { x /= s; y /= s; z /= s; return *this; }
};

inline Vector3 operator+(const Vector3& a, const Vector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector3 operator-(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vector3 operator-(const Vector3& a) { return {-a.x, -a.y, -a.z}; }
inline Vector3 operator*(const Vector3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vector3 operator*(double s, const Vector3& a) { return {a.x * s, a.y * s, a.z * s}; }
inline Vector3 operator/(const Vector3& a, double s) { return {a.x / s, a.y / s, a.z / s}; }
inline bool operator==(const Vector3& a, const Vector3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline bool operator!=(const Vector3& a, const Vector3& b) { return !(a == b); }

inline Vector3 negate(const Vector3& v) { return {-v.x, -v.y, -v.z}; }

inline double dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline Vector3 cross(const Vector3& a, const Vector3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Summation order z² + (y² + x²) is part of the system's numeric contract.
inline double length(const Vector3& v) { return std::sqrt(v.z * v.z + (v.y * v.y + v.x * v.x)); }

// In place; a zero vector becomes non-finite (callers never pass one).
inline Vector3& normalize(Vector3& v)
{
    const double l = length(v);
    v.x /= l;
    v.y /= l;
    v.z /= l;
    return v;
}

inline Vector3 normalized(Vector3 v) { return normalize(v); }

inline Vector3 rotateAboutY(const Vector3& v, double angle)
{
    const double c = std::cos(angle), s = std::sin(angle);
    return {v.x * c + v.z * s, v.y, v.z * c - v.x * s};
}

inline Vector3 rotateAboutZ(const Vector3& v, double angle)
{
    const double c = std::cos(angle), s = std::sin(angle);
    return {v.x * c - v.y * s, v.x * s + v.y * c, v.z};
}
