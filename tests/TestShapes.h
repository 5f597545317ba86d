#pragma once

#include <gtest/gtest.h>

#include "assets/Mesh.h"

inline void expectNear(const Vector3& a, const Vector3& b, double tol)
{
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

inline void addTri(Mesh& m, const Vector3& a, const Vector3& b, const Vector3& c)
{
    m.addTriangle(a, b, c, Vector3(), Vector3(), Vector3(), 0);
}

// Axis-aligned box from lo to hi, counter-clockwise seen from outside;
// withTop false leaves the +y face open.
inline Mesh makeBox(const Vector3& lo, const Vector3& hi, bool withTop = true)
{
    auto c = [&](int i, int j, int k) { return Vector3(i ? hi.x : lo.x, j ? hi.y : lo.y, k ? hi.z : lo.z); };
    static const int faces[6][4][3] = {{{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}, {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}},
                                       {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}, {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}},
                                       {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}, {{0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 0}}};
    Mesh m;
    for (int f = 0; f < (withTop ? 6 : 5); ++f) {
        Vector3 q[4];
        for (int k = 0; k < 4; ++k)
            q[k] = c(faces[f][k][0], faces[f][k][1], faces[f][k][2]);
        addTri(m, q[0], q[1], q[2]);
        addTri(m, q[0], q[2], q[3]);
    }
    return m;
}

// Unit cube whose top face is pushed in as a square pyramid with its apex
// at the centre: volume 5/6, and four edges that fold inward.
inline Mesh makeDimpledCube()
{
    Mesh m = makeBox({0, 0, 0}, {1, 1, 1}, false);
    const Vector3 rim[4] = {{0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 0}};
    for (int i = 0; i < 4; ++i)
        addTri(m, rim[i], rim[(i + 1) % 4], {0.5, 0.5, 0.5});
    return m;
}
