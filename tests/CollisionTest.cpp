#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "physics/Collision.h"
#include "physics/Object.h"
#include "tests/TestShapes.h"

namespace {

Mesh triangle(const Vector3& a, const Vector3& b, const Vector3& c)
{
    Mesh m;
    addTri(m, a, b, c);
    m.computeProperties();
    return m;
}

// Independent answer: some edge of one triangle pierces the other
// (Moller-Trumbore). -1 when an edge passes too near a border to tell.
int edgePierces(const Vector3 e[3], const Vector3 t[3])
{
    int hit = 0;
    for (int k = 0; k < 3; ++k) {
        const Vector3 o = e[k], d = e[(k + 1) % 3] - e[k];
        const Vector3 e1 = t[1] - t[0], e2 = t[2] - t[0], p = cross(d, e2);
        const double det = dot(e1, p);
        if (std::fabs(det) < 1e-9)
            return -1;
        const Vector3 s = o - t[0], q = cross(s, e1);
        const double u = dot(s, p) / det, v = dot(d, q) / det, w = dot(e2, q) / det;
        const double margin = std::min({u, v, 1 - u - v, w, 1 - w}, [](double x, double y) {
            return std::fabs(x) < std::fabs(y);
        });
        if (std::fabs(margin) < 1e-3)
            return -1;
        hit |= u > 0 && v > 0 && u + v < 1 && w > 0 && w < 1;
    }
    return hit;
}

}  // namespace

TEST(Collision, TrianglesIntersectKnownAndRandomPairs)
{
    const Vector3 a0(0, 0, 0), a1(2, 0, 0), a2(0, 0, 2);  // in y = 0
    struct Case {
        const char* what;
        Vector3 b0, b1, b2;
        bool expected;
    } cases[] = {
        {"pierces", {0.5, -1, 0.5}, {0.5, 1, 0.5}, {0.5, 1, 1.0}, true},
        // The snap applies to plane distances times |normal| (4 here).
        {"corner within the snap", {0.5, 0.00004, 0.5}, {0.5, 1, 0.5}, {1.0, 1, 0.5}, true},
        {"corner just above", {0.5, 0.01, 0.5}, {0.5, 1, 0.5}, {1.0, 1, 0.5}, false},
        {"plane crossed beside it", {3, -1, 3}, {3, 1, 3}, {4, 1, 3}, false},
        {"coplanar overlap", {0.5, 0, 0.5}, {3, 0, 0.5}, {0.5, 0, 3}, true},
        {"coplanar, one inside the other", {0.2, 0, 0.2}, {0.4, 0, 0.2}, {0.2, 0, 0.4}, true},
        {"coplanar apart", {1.5, 0, 1.5}, {3, 0, 1.5}, {1.5, 0, 3}, false},
        {"edge on the face", {0.5, 0, 0.5}, {1.0, 0, 0.5}, {0.7, 1, 0.5}, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(trianglesIntersect(a0, a1, a2, c.b0, c.b1, c.b2), c.expected) << c.what;
        EXPECT_EQ(trianglesIntersect(c.b0, c.b1, c.b2, a2, a1, a0), c.expected) << c.what << ", swapped";
    }

    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    int checked = 0, hits = 0;
    for (int n = 0; n < 5000; ++n) {
        Vector3 a[3], b[3];
        for (int k = 0; k < 3; ++k) {
            a[k] = {u(rng), u(rng), u(rng)};
            b[k] = Vector3(u(rng), u(rng), u(rng)) * 0.7 + Vector3(0.3, 0, 0);
        }
        const int ab = edgePierces(a, b), ba = edgePierces(b, a);
        if (ab < 0 || ba < 0)
            continue;
        ++checked;
        hits += ab || ba;
        ASSERT_EQ(trianglesIntersect(a[0], a[1], a[2], b[0], b[1], b[2]), ab || ba) << n;
    }
    EXPECT_GT(checked, 3000);
    EXPECT_GT(hits, 500);
}

TEST(Collision, ClosestPointsOfSegments)
{
    // A 30 m edge along x and one turned from it by `degrees` that crosses it
    // at x = 6, a fifth of the way along: the crossing, not the middle.
    const auto turned = [](double degrees, double along) {
        const double r = degrees * 3.141592653589793 / 180.0;
        return Vector3(6.0 + along * std::cos(r), 0.0, along * std::sin(r));
    };
    struct Case {
        const char* what;
        Vector3 p0, p1, q0, q1, c1, c2;
        bool touch;
    } cases[] = {
        {"crossing", {-1, 0, 0}, {1, 0, 0}, {0.2, -1, 0.0005}, {0.2, 1, 0.0005}, {0.2, 0, 0}, {0.2, 0, 0.0005}, true},
        {"skew, too far", {-1, 0, 0}, {1, 0, 0}, {0.2, -1, 0.001}, {0.2, 1, 0.001}, {0.2, 0, 0}, {0.2, 0, 0.001}, false},
        {"past both ends", {0, 0, 0}, {1, 0, 0}, {2, -1, 1}, {2, 1, 1}, {1, 0, 0}, {2, 0, 1}, false},
        {"beyond one end", {0, 0, 0}, {1, 0, 0}, {1.5, 0, -1}, {1.5, 0, 1}, {1, 0, 0}, {1.5, 0, 0}, false},
        {"parallel overlap", {0, 0, 0}, {2, 0, 0}, {1, 0.0004, 0}, {3, 0.0004, 0}, {1.5, 0, 0}, {1.5, 0.0004, 0}, true},
        {"parallel, behind", {0, 0, 0}, {1, 0, 0}, {-3, 0.5, 0}, {-2, 0.5, 0}, {0, 0, 0}, {-2, 0.5, 0}, false},
        {"long, 0.5 degrees apart", {0, 0, 0}, {30, 0, 0}, turned(0.5, -5), turned(0.5, 25), {6, 0, 0}, {6, 0, 0}, true},
        {"long, 0.01 degrees apart", {0, 0, 0}, {30, 0, 0}, turned(0.01, -5), turned(0.01, 25), {6, 0, 0}, {6, 0, 0},
         true},
        {"point against segment", {0.5, 0.0002, 0}, {0.5, 0.0002, 0}, {0, 0, 0}, {1, 0, 0}, {0.5, 0.0002, 0},
         {0.5, 0, 0}, true},
    };
    for (const Case& c : cases) {
        const SegmentPoints s = closestPointsOfSegments(c.p0, c.p1, c.q0, c.q1, 0.0009);
        expectNear(s.onFirst, c.c1, 1e-9, c.what);
        expectNear(s.onSecond, c.c2, 1e-9, c.what);
        EXPECT_EQ(s.touch, c.touch) << c.what;
    }
}

TEST(Collision, CornersOnAFaceTouchOnlyWithinTheBand)
{
    BoxBody floor(0, {-1, -1, -1}, {1, 0, 1});
    // Footprint away from the top face's diagonal x = z, so only corners touch.
    for (double sink : {0.001, 0.003}) {
        BoxBody cube(1, {0.1, -sink, 0.2}, {0.4, 0.5 - sink, 0.6}, 1.0);
        PairRecord record;
        const ContactResult r = testPair(cube, floor, record);
        EXPECT_EQ(r, sink < 0.002 ? Touching : Penetrating) << sink;
        ASSERT_EQ(record.contacts.size(), sink < 0.002 ? 4u : 0u);
        for (const Contact& c : record.contacts) {
            EXPECT_EQ(c.bodyA, &cube);
            EXPECT_NEAR(c.depth, -0.001, 1e-12);
            expectNear(c.normal, Vector3(0, 1, 0), 1e-12);
            EXPECT_TRUE(std::isinf(c.relativeVelocity));  // outside the resting window until measured
        }
    }
}

TEST(Collision, EdgeContactsNormalsAndDuplicates)
{
    Object a(1), b(1);
    struct Case {
        const char* what;
        Vector3 b0, bEdgeNormal;
        ContactResult result;
        double depth;  // of the one contact, if any
    } cases[] = {
        // a0a1 runs along y at x = 0; B's edge b0b1 along z at b0.x.
        {"skew edges, normal with the gap", {0.0005, 0, -1}, {1, 0, 0}, Touching, -0.0005},
        {"skew edges, normal against it", {0.0005, 0, -1}, {-1, 0, 0}, Touching, 0.0005},
        {"edges 1 mm apart", {0.001, 0, -1}, {1, 0, 0}, Penetrating, 0},
        {"apart, not intersecting", {0.0005, 0, -1}, {1, 0, 0}, NoContact, 0},
    };
    Mesh ma = triangle({0, -1, 0}, {0, 1, 0}, {-1, 0.5, 0});
    for (const Case& c : cases) {
        const double away = c.result == NoContact ? 1 : -1;
        Mesh mb = triangle(c.b0, {c.b0.x, 0, 1}, {away, 0, 0});
        for (MeshEdge& e : mb.edges)
            if ((e.v0 == 0 && e.v1 == 1) || (e.v0 == 1 && e.v1 == 0))
                e.workingNormal = c.bEdgeNormal;
        PairRecord record;
        EXPECT_EQ(testTriangles(ma.triangles[0], ma, a, mb.triangles[0], mb, b, record), c.result) << c.what;
        ASSERT_EQ(record.contacts.size(), c.result == Touching ? 1u : 0u) << c.what;
        for (const Contact& k : record.contacts) {
            expectNear(k.point, {c.b0.x / 2, 0, 0}, 1e-12, c.what);
            expectNear(k.normal, c.bEdgeNormal, 1e-12, c.what);
            EXPECT_NEAR(k.depth, c.depth, 1e-12) << c.what;
            EXPECT_TRUE(k.bodyA == &a && k.meshB == &mb);
        }
    }

    // Parallel touching edges: B's edge lies on A's face, 0.3 mm off A's edge.
    Mesh flat = triangle({-1, 0, 0}, {1, 0, 0}, {0, 1, 0});
    Mesh rim = triangle({-0.5, 0.0003, 0}, {0.5, 0.0003, 0}, {0, -1, 0.5});
    for (MeshEdge& e : rim.edges)
        e.workingNormal = {0, -0.6, 0.8};
    PairRecord record;
    for (int pass = 0; pass < 2; ++pass) {
        // The same features again are duplicates: none added, still found.
        ASSERT_EQ(testTriangles(flat.triangles[0], flat, a, rim.triangles[0], rim, b, record), Touching);
        ASSERT_EQ(record.contacts.size(), 3u);  // both corners of the edge, and the edge pair
    }
    expectNear(record.contacts[2].point, Vector3(0, 0.00015, 0), 1e-12, "edge pair");
    expectNear(record.contacts[2].normal, Vector3(0, -0.6, 0.8), 1e-12, "B's edge normal");
}

TEST(Collision, VerticalQueriesOnASlopedTriangle)
{
    // Plane y = 0.5 x + 1 over the footprint (0,0), (2,0), (0,2) in x, z; both windings.
    const Vector3 a(0, 1, 0), b(2, 2, 0), c(0, 1, 2);
    struct Case {
        Vector3 p;
        bool meets, above;
        double drop;
    } cases[] = {
        {{0.5, 3, 0.5}, true, true, 1.75},   {{1, 0, 0.5}, true, false, -1.5},
        {{1, 1.5, 0.5}, true, false, 0.0},   // on it is not above
        {{1.2, 5, 1.2}, false, false, 99},   // beyond the hypotenuse
        {{-0.1, 5, 1}, false, false, 99},    {{1, 5, 1}, true, true, 3.5},  // borders belong to it
    };
    for (int winding = 0; winding < 2; ++winding)
        for (const Case& k : cases) {
            double d = 99;
            EXPECT_EQ(dropOntoTriangle(k.p, a, winding ? c : b, winding ? b : c, d), k.meets) << k.p.x;
            EXPECT_NEAR(d, k.drop, 1e-12) << k.p.x;
            EXPECT_EQ(pointAboveTriangle(k.p, a, winding ? c : b, winding ? b : c), k.above) << k.p.x;
        }
    // A vertical triangle meets the line only in its own plane, at a drop of zero.
    double d = 99;
    EXPECT_TRUE(dropOntoTriangle({0.5, 0.5, 0}, {0, 0, 0}, {2, 0, 0}, {0, 2, 0}, d));
    EXPECT_EQ(d, 0.0);
    EXPECT_FALSE(dropOntoTriangle({3, 0.5, 0}, {0, 0, 0}, {2, 0, 0}, {0, 2, 0}, d));
}

TEST(Collision, PointInsideMeshEvenWhenRaysMeetEdgesAndCorners)
{
    const Mesh m = makeDimpledCube();
    // 0 outside, 1 inside, -1 on the surface (no answer required).
    auto truth = [&](const Vector3& p) {
        const double r = std::max(std::fabs(p.x - 0.5), std::fabs(p.z - 0.5));
        const double margin = std::min({p.x, 1 - p.x, p.y, p.z, 1 - p.z, 0.5 + r - p.y, 1 - p.y});
        return std::fabs(margin) < 1e-9 ? -1 : margin > 0 ? 1 : 0;
    };
    // On the grid of eighths, axis rays from most points run through the
    // faces' diagonals, along edges or through the dimple's apex.
    int inside = 0;
    for (int i = -1; i <= 9; ++i)
        for (int j = -1; j <= 9; ++j)
            for (int k = -1; k <= 9; ++k) {
                const Vector3 p(i / 8.0, j / 8.0, k / 8.0);
                const int expected = truth(p);
                if (expected < 0)
                    continue;
                EXPECT_EQ(pointInsideMesh(p, m), expected == 1) << p.x << " " << p.y << " " << p.z;
                inside += expected;
            }
    EXPECT_GT(inside, 200);
    EXPECT_FALSE(pointInsideMesh({0, 0, 0}, Mesh()));
}
