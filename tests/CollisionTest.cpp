#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "assets/Mesh.h"
#include "physics/Collision.h"

namespace {

const Vector3 kNoUv;

void tri(Mesh& m, const Vector3& a, const Vector3& b, const Vector3& c) { m.addTriangle(a, b, c, kNoUv, kNoUv, kNoUv, 0); }

// Unit cube whose top face is pushed in as a square pyramid with its apex at the centre.
Mesh makeDimpledCube()
{
    auto c = [](int i, int j, int k) { return Vector3(i, j, k); };
    Mesh m;
    auto quad = [&](const Vector3& a, const Vector3& b, const Vector3& cc, const Vector3& d) {
        tri(m, a, b, cc);
        tri(m, a, cc, d);
    };
    quad(c(0, 0, 0), c(1, 0, 0), c(1, 0, 1), c(0, 0, 1));
    quad(c(0, 0, 0), c(0, 0, 1), c(0, 1, 1), c(0, 1, 0));
    quad(c(1, 0, 0), c(1, 1, 0), c(1, 1, 1), c(1, 0, 1));
    quad(c(0, 0, 0), c(0, 1, 0), c(1, 1, 0), c(1, 0, 0));
    quad(c(0, 0, 1), c(1, 0, 1), c(1, 1, 1), c(0, 1, 1));
    const Vector3 rim[4] = {c(0, 1, 0), c(0, 1, 1), c(1, 1, 1), c(1, 1, 0)};
    for (int i = 0; i < 4; ++i)
        tri(m, rim[i], rim[(i + 1) % 4], {0.5, 0.5, 0.5});
    return m;
}

bool insideDimpledCube(const Vector3& p)
{
    if (p.x <= 0 || p.x >= 1 || p.y <= 0 || p.y >= 1 || p.z <= 0 || p.z >= 1)
        return false;
    // Below the pyramid's surface, whose height rises from 0.5 at the centre to 1 at the rim.
    const double r = std::max(std::fabs(p.x - 0.5), std::fabs(p.z - 0.5));
    return p.y < 0.5 + r;
}

}  // namespace

TEST(Collision, VerticalQueriesOnASlopedTriangle)
{
    // Plane y = 0.5 x + 1 over the footprint (0,0), (2,0), (0,2) in x, z; both windings.
    const Vector3 a(0, 1, 0), b(2, 2, 0), c(0, 1, 2);
    for (int winding = 0; winding < 2; ++winding) {
        const Vector3& t1 = winding ? c : b;
        const Vector3& t2 = winding ? b : c;
        double d = 99;
        EXPECT_TRUE(dropOntoTriangle({0.5, 3, 0.5}, a, t1, t2, d));
        EXPECT_NEAR(d, 3 - 1.25, 1e-12);
        EXPECT_TRUE(pointAboveTriangle({0.5, 3, 0.5}, a, t1, t2));
        // Below the surface: it still meets it, at a negative drop.
        EXPECT_TRUE(dropOntoTriangle({1, 0, 0.5}, a, t1, t2, d));
        EXPECT_NEAR(d, -1.5, 1e-12);
        EXPECT_FALSE(pointAboveTriangle({1, 0, 0.5}, a, t1, t2));
        // On the surface is not strictly above.
        EXPECT_FALSE(pointAboveTriangle({1, 1.5, 0.5}, a, t1, t2));
        // Outside the footprint, beyond the hypotenuse and beyond x = 0.
        d = 99;
        EXPECT_FALSE(dropOntoTriangle({1.2, 5, 1.2}, a, t1, t2, d));
        EXPECT_EQ(d, 99);
        EXPECT_FALSE(pointAboveTriangle({1.2, 5, 1.2}, a, t1, t2));
        EXPECT_FALSE(pointAboveTriangle({-0.1, 5, 1}, a, t1, t2));
        // On a shared border both neighbours answer.
        EXPECT_TRUE(pointAboveTriangle({1, 5, 1}, a, t1, t2));
        EXPECT_TRUE(pointAboveTriangle({0, 5, 1}, a, t1, t2));
    }
    // A vertical triangle meets the line only in its own plane, at a drop of zero.
    double d = 99;
    EXPECT_TRUE(dropOntoTriangle({0.5, 0.5, 0}, {0, 0, 0}, {2, 0, 0}, {0, 2, 0}, d));
    EXPECT_EQ(d, 0.0);
    EXPECT_FALSE(dropOntoTriangle({3, 0.5, 0}, {0, 0, 0}, {2, 0, 0}, {0, 2, 0}, d));
}

TEST(Collision, PointInsideMeshFollowsTheWorkingPositions)
{
    Mesh m = makeDimpledCube();
    // A grid offset so that no ray runs along an edge.
    int inside = 0, checked = 0;
    for (int i = -1; i <= 8; ++i)
        for (int j = -1; j <= 8; ++j)
            for (int k = -1; k <= 8; ++k) {
                const Vector3 p(i / 8.0 + 0.031, j / 8.0 + 0.052, k / 8.0 + 0.067);
                EXPECT_EQ(pointInsideMesh(p, m), insideDimpledCube(p)) << p.x << " " << p.y << " " << p.z;
                inside += insideDimpledCube(p);
                ++checked;
            }
    EXPECT_GT(inside, 200);
    EXPECT_LT(inside, checked - 200);
    // The dimple itself is outside, the solid just under the apex inside.
    EXPECT_FALSE(pointInsideMesh({0.5, 0.8, 0.45}, m));
    EXPECT_TRUE(pointInsideMesh({0.52, 0.4, 0.47}, m));

    // Moving the working positions moves the query; the positions do not count.
    const Vector3 shift(10, -3, 5);
    for (Vector3& w : m.workingPositions)
        w += shift;
    EXPECT_FALSE(pointInsideMesh({0.52, 0.4, 0.47}, m));
    EXPECT_TRUE(pointInsideMesh(Vector3(0.52, 0.4, 0.47) + shift, m));
    EXPECT_FALSE(pointInsideMesh(Vector3(0.5, 0.8, 0.45) + shift, m));

    // An empty mesh has no inside.
    EXPECT_FALSE(pointInsideMesh({0, 0, 0}, Mesh()));
}
