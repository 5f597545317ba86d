#pragma once

#include "math/Vector3.h"

// 3 × 3 matrix of doubles, row-major: element (r, c) at m[3r + c].
struct Matrix3 {
    double m[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};

    Matrix3() = default;
    Matrix3(double a00, double a01, double a02, double a10, double a11, double a12, double a20, double a21,
            double a22)
        : m{a00, a01, a02, a10, a11, a12, a20, a21, a22}
    {
    }

    static Matrix3 identity() { return {1, 0, 0, 0, 1, 0, 0, 0, 1}; }
    static Matrix3 diagonal(double a, double b, double c) { return {a, 0, 0, 0, b, 0, 0, 0, c}; }

    double& operator()(int r, int c) { return m[3 * r + c]; }
    double operator()(int r, int c) const { return m[3 * r + c]; }
};

Matrix3 operator*(const Matrix3& l, const Matrix3& r);
Vector3 operator*(const Matrix3& m, const Vector3& v);
Matrix3 operator*(const Matrix3& m, double s);
Matrix3 transpose(const Matrix3& m);

// Inverse by cofactors. A singular matrix gives all +infinity, a NaN
// determinant all zeros (so an infinite inertia inverts to zero).
Matrix3 inverse(const Matrix3& m);
