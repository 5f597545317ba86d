#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "physics/Collision.h"
#include "tests/TestShapes.h"

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
        EXPECT_TRUE(dropOntoTriangle({1, 0, 0.5}, a, t1, t2, d));  // under the surface
        EXPECT_NEAR(d, -1.5, 1e-12);
        EXPECT_FALSE(pointAboveTriangle({1, 0, 0.5}, a, t1, t2));
        EXPECT_FALSE(pointAboveTriangle({1, 1.5, 0.5}, a, t1, t2));  // on it is not above
        d = 99;
        EXPECT_FALSE(dropOntoTriangle({1.2, 5, 1.2}, a, t1, t2, d));  // beyond the hypotenuse
        EXPECT_EQ(d, 99);
        EXPECT_FALSE(pointAboveTriangle({-0.1, 5, 1}, a, t1, t2));
        EXPECT_TRUE(pointAboveTriangle({1, 5, 1}, a, t1, t2));  // borders belong to the triangle
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
    auto inside = [](const Vector3& p) {
        const double r = std::max(std::fabs(p.x - 0.5), std::fabs(p.z - 0.5));
        return p.x > 0 && p.x < 1 && p.y > 0 && p.z > 0 && p.z < 1 && p.y < 0.5 + r && p.y < 1;
    };
    // A grid offset so that no ray runs along an edge.
    int count = 0;
    for (int i = -1; i <= 8; ++i)
        for (int j = -1; j <= 8; ++j)
            for (int k = -1; k <= 8; ++k) {
                const Vector3 p(i / 8.0 + 0.031, j / 8.0 + 0.052, k / 8.0 + 0.067);
                EXPECT_EQ(pointInsideMesh(p, m), inside(p)) << p.x << " " << p.y << " " << p.z;
                count += inside(p);
            }
    EXPECT_GT(count, 200);
    EXPECT_LT(count, 800);

    // Only the working positions count.
    const Vector3 shift(10, -3, 5), below(0.52, 0.4, 0.47), dimple(0.5, 0.8, 0.45);
    for (Vector3& w : m.workingPositions)
        w += shift;
    EXPECT_FALSE(pointInsideMesh(below, m));
    EXPECT_TRUE(pointInsideMesh(below + shift, m));
    EXPECT_FALSE(pointInsideMesh(dimple + shift, m));
    EXPECT_FALSE(pointInsideMesh({0, 0, 0}, Mesh()));
}
