#pragma once

#include "math/Vector3.h"

// The six planes of a view volume, from the product projection x modelview
// (column-major, as OpenGL keeps it); lets drawing skip what cannot be seen.
struct Frustum {
    double planes[6][4];  // a x + b y + c z + d >= 0 inside

    explicit Frustum(const double clip[16]);

    // True when the axis-aligned box lies wholly outside one plane (so
    // certainly out of view); false when it may show.
    bool boxOutside(const Vector3& low, const Vector3& high) const;
};

// out = a x b for column-major 4 x 4 matrices.
void multiplyMatrices(const double a[16], const double b[16], double out[16]);
