#include "math/Quaternion.h"

#include <cmath>

Quaternion fromEulerDegrees(double ax, double ay, double az)
{
    const double k = 0.017453292519943295 * 0.5;
    const double h0 = ax * k, h1 = ay * k, h2 = az * k;
    const double c0 = std::cos(h0), s0 = std::sin(h0);
    const double c1 = std::cos(h1), s1 = std::sin(h1);
    const double c2 = std::cos(h2), s2 = std::sin(h2);
    return {c0 * c1 * c2 + s0 * s1 * s2, s0 * c1 * c2 - c0 * s1 * s2, c0 * s1 * c2 + s0 * c1 * s2,
            c0 * c1 * s2 - s0 * s1 * c2};
}

Matrix3 toMatrix(const Quaternion& q)
{
    const double w = q.w, x = q.x, y = q.y, z = q.z;
    return {w * w + x * x - y * y - z * z, 2 * (x * y - w * z),           2 * (x * z + w * y),
            2 * (x * y + w * z),           w * w - x * x + y * y - z * z, 2 * (y * z - w * x),
            2 * (x * z - w * y),           2 * (y * z + w * x),           w * w - x * x - y * y + z * z};
}
