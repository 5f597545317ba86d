#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/TestFiles.h"
#include "tests/TestShapes.h"

namespace {

bool isCubeEdge(const Vector3& a, const Vector3& b) { return (a.x != b.x) + (a.y != b.y) + (a.z != b.z) == 1; }

}  // namespace

TEST(Mesh, SharedCornersGiveSharedVerticesAndEdgesInOrder)
{
    Mesh m;
    const Vector3 a(0, 0, 0), b(1, 0, 0), c(0, 1, 0), e(0.5, 0.5, 0.7);
    addTri(m, a, b, c);
    addTri(m, c, b, e);  // shares b and c
    ASSERT_EQ(m.positions.size(), 4u);
    // Edges (c0,c2), (c1,c0), (c2,c1) of each triangle, created in that direction;
    // the second triangle finds bc reversed as edge 2.
    const int edgeEnds[5][2] = {{0, 2}, {1, 0}, {2, 1}, {2, 3}, {3, 1}};
    const int triEdges[2][3] = {{0, 1, 2}, {3, 2, 4}};
    ASSERT_EQ(m.edges.size(), 5u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(std::make_pair(m.edges[i].v0, m.edges[i].v1), std::make_pair(edgeEnds[i][0], edgeEnds[i][1])) << i;
    for (int t = 0; t < 2; ++t)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(m.triangles[t].edges[k], triEdges[t][k]);
    const MeshTriangle &t0 = m.triangles[0], &t1 = m.triangles[1];
    expectNear(t0.normal, {0, 0, 1}, 1e-15);  // right-hand normal of counter-clockwise corners
    expectNear(t1.normal, normalized(cross(b - c, e - c)), 1e-15);
    EXPECT_EQ(t0.centre, Vector3(0.5, 0.5, 0));  // midpoint of the corners' box
    EXPECT_NEAR(t0.radius, std::sqrt(0.5), 1e-15);

    m.computeProperties();
    EXPECT_TRUE(m.edges[2].faces[0] == 0 && m.edges[2].faces[1] == 1 && m.edges[0].faces[1] == -1);
    expectNear(m.edges[2].normal, normalized(t0.normal + t1.normal), 1e-15);
    expectNear(m.edges[0].normal, t0.normal, 1e-15);

    // Exact comparison: a corner one ulp away is a vertex of its own.
    addTri(m, Vector3(std::nextafter(1.0, 2.0), 0, 0), {1, 1, 0}, c);
    EXPECT_EQ(m.positions.size(), 6u);
}

TEST(Mesh, ClosedSolidsGiveExactMassPropertiesAndConvexEdges)
{
    // Unequal sides off the origin: each axis gets its own pair of extents.
    Mesh box = makeBox({-3, 1, 2}, {-2, 3, 5});
    box.computeProperties();
    EXPECT_NEAR(box.volume, 6.0, 1e-9);
    expectNear(box.centreOfMass, {-2.5, 2, 3.5}, 1e-9);
    const double diag[3] = {(4.0 + 9.0) / 12, (1.0 + 9.0) / 12, (1.0 + 4.0) / 12};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(box.inertia(r, c), r == c ? diag[r] : 0.0, 1e-12);

    // Dimpled cube: the pyramid's centroid lies a quarter of its height under its base. The cube's
    // edges stay convex; the face diagonals are flat and the dimple's edges fold inward.
    Mesh dimpled = makeDimpledCube();
    EXPECT_EQ(dimpled.edges.size(), 21u);
    dimpled.computeProperties();
    EXPECT_NEAR(dimpled.volume, 5.0 / 6.0, 1e-9);
    expectNear(dimpled.centreOfMass, {0.5, (0.5 - 0.875 / 6) / (5.0 / 6), 0.5}, 1e-9);
    const Vector3 apex(0.5, 0.5, 0.5);
    for (const MeshEdge& e : dimpled.edges) {
        const Vector3 &p = dimpled.positions[e.v0], &q = dimpled.positions[e.v1];
        EXPECT_EQ(e.convex, p != apex && q != apex && isCubeEdge(p, q));
    }
}

TEST(Mesh, OpenSurfacesAndOverSharedEdges)
{
    const double inf = std::numeric_limits<double>::infinity();
    Mesh open = makeBox({1, 1, 1}, {2, 3, 4}, false);  // without its lid
    open.computeProperties();
    EXPECT_TRUE(open.volume == inf && open.inertia(0, 0) == inf && open.inertia(0, 1) == 0.0);
    EXPECT_EQ(open.centreOfMass, Vector3());
    EXPECT_NEAR(open.boundingRadius, std::sqrt(4.0 + 9.0 + 16.0), 1e-12);  // measured from the origin

    Mesh fan;  // three triangles on one edge
    addTri(fan, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    addTri(fan, {1, 0, 0}, {0, 0, 0}, {0, -1, 0});
    addTri(fan, {0, 0, 0}, {1, 0, 0}, {0, 0, 1});
    EXPECT_EQ(testfiles::fatalText([&] { fan.computeProperties(); }), "[Mesh] To many faces per edge");
}

TEST(Mesh, TranslateAndRotateMoveTheGeometryButNotTheWorkingCopies)
{
    Mesh m = makeBox({0, 0, 0}, {2, 1, 1});
    const Mesh before = m;
    m.translate({1, -2, 3});
    m.rotateZ(std::acos(-1.0) / 2);
    EXPECT_EQ(m.workingPositions, before.workingPositions);
    for (size_t i = 0; i < m.triangles.size(); ++i) {
        const MeshTriangle& t = m.triangles[i];
        const Vector3 p = before.positions[t.vertices[0]] + Vector3(1, -2, 3), &p0 = m.positions[t.vertices[0]];
        expectNear(p0, {-p.y, p.x, p.z}, 1e-12);
        // Normals and centres turn with the corners, so they still match them.
        expectNear(t.normal, normalized(cross(m.positions[t.vertices[2]] - m.positions[t.vertices[1]], p0 - m.positions[t.vertices[1]])), 1e-12);
        const Vector3 c = before.triangles[i].centre + Vector3(1, -2, 3);
        expectNear(t.centre, {-c.y, c.x, c.z}, 1e-12);
        EXPECT_EQ(t.workingCentre, before.triangles[i].workingCentre);
    }
}
