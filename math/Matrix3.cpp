#include "math/Matrix3.h"

#include <cmath>

Matrix3 operator*(const Matrix3& l, const Matrix3& r)
{
    Matrix3 p;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            p(i, j) = l(i, 0) * r(0, j) + l(i, 1) * r(1, j) + l(i, 2) * r(2, j);
    return p;
}

Vector3 operator*(const Matrix3& m, const Vector3& v)
{
    return {m(0, 0) * v.x + m(0, 1) * v.y + m(0, 2) * v.z, m(1, 0) * v.x + m(1, 1) * v.y + m(1, 2) * v.z,
            m(2, 0) * v.x + m(2, 1) * v.y + m(2, 2) * v.z};
}

Matrix3 operator*(const Matrix3& m, double s)
{
    Matrix3 p;
    for (int i = 0; i < 9; ++i)
        p.m[i] = m.m[i] * s;
    return p;
}

Matrix3 transpose(const Matrix3& m)
{
    return {m(0, 0), m(1, 0), m(2, 0), m(0, 1), m(1, 1), m(2, 1), m(0, 2), m(1, 2), m(2, 2)};
}

Matrix3 inverse(const Matrix3& M)
{
    const double m00 = M(0, 0), m01 = M(0, 1), m02 = M(0, 2);
    const double m10 = M(1, 0), m11 = M(1, 1), m12 = M(1, 2);
    const double m20 = M(2, 0), m21 = M(2, 1), m22 = M(2, 2);
    const double det = m00 * m11 * m22 - m21 * m00 * m12 + m10 * m21 * m02 - m10 * m01 * m22 + m20 * m01 * m12 -
                       m20 * m11 * m02;
    Matrix3 r;
    if (det == 0.0) {
        for (double& e : r.m)
            e = HUGE_VAL;
        return r;
    }
    if (std::isnan(det))
        return r;
    const double f = 1.0 / det;
    r(0, 0) = (m22 * m11 - m21 * m12) * f;
    r(0, 1) = -(m22 * m01 - m02 * m21) * f;
    r(0, 2) = (m12 * m01 - m02 * m11) * f;
    r(1, 0) = -(m10 * m22 - m20 * m12) * f;
    r(1, 1) = (m22 * m00 - m02 * m20) * f;
    r(1, 2) = -(m12 * m00 - m10 * m02) * f;
    r(2, 0) = (m10 * m21 - m20 * m11) * f;
    r(2, 1) = -(m21 * m00 - m20 * m01) * f;
    r(2, 2) = (m00 * m11 - m10 * m01) * f;
    return r;
}
