#include "math/Frustum.h"

Frustum::Frustum(const double m[16])
{
    // Row r of the matrix is m[r], m[4 + r], m[8 + r], m[12 + r]; a point is
    // inside when -w <= x, y, z <= w, so each plane is row 3 plus or minus a row.
    for (int p = 0; p < 6; ++p) {
        const int r = p / 2;
        const double sign = p % 2 == 0 ? 1.0 : -1.0;
        for (int k = 0; k < 4; ++k)
            planes[p][k] = m[4 * k + 3] + sign * m[4 * k + r];
    }
}

bool Frustum::boxOutside(const Vector3& low, const Vector3& high) const
{
    for (const auto& p : planes) {
        // The box corner furthest along the plane's normal.
        const double x = p[0] >= 0.0 ? high.x : low.x;
        const double y = p[1] >= 0.0 ? high.y : low.y;
        const double z = p[2] >= 0.0 ? high.z : low.z;
        if (p[0] * x + p[1] * y + p[2] * z + p[3] < 0.0)
            return true;
    }
    return false;
}

void multiplyMatrices(const double a[16], const double b[16], double out[16])
{
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += a[4 * k + r] * b[4 * c + k];
            out[4 * c + r] = sum;
        }
}
