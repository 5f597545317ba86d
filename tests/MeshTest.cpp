#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <limits>
#include <string>

#include "assets/Mesh.h"

namespace {

const Vector3 kNoUv;

void expectNear(const Vector3& a, const Vector3& b, double tol = 1e-9)
{
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

void tri(Mesh& m, const Vector3& a, const Vector3& b, const Vector3& c) { m.addTriangle(a, b, c, kNoUv, kNoUv, kNoUv, 0); }

// Axis-aligned box from lo to hi, counter-clockwise seen from outside.
// skipTop leaves the +y face open.
Mesh makeBox(const Vector3& lo, const Vector3& hi, bool skipTop = false)
{
    auto c = [&](int i, int j, int k) { return Vector3(i ? hi.x : lo.x, j ? hi.y : lo.y, k ? hi.z : lo.z); };
    Mesh m;
    auto quad = [&](const Vector3& a, const Vector3& b, const Vector3& cc, const Vector3& d) {
        tri(m, a, b, cc);
        tri(m, a, cc, d);
    };
    quad(c(0, 0, 0), c(1, 0, 0), c(1, 0, 1), c(0, 0, 1));  // -y
    if (!skipTop)
        quad(c(0, 1, 0), c(0, 1, 1), c(1, 1, 1), c(1, 1, 0));  // +y
    quad(c(0, 0, 0), c(0, 0, 1), c(0, 1, 1), c(0, 1, 0));  // -x
    quad(c(1, 0, 0), c(1, 1, 0), c(1, 1, 1), c(1, 0, 1));  // +x
    quad(c(0, 0, 0), c(0, 1, 0), c(1, 1, 0), c(1, 0, 0));  // -z
    quad(c(0, 0, 1), c(1, 0, 1), c(1, 1, 1), c(0, 1, 1));  // +z
    return m;
}

// Unit cube whose top face is pushed in as a square pyramid with its apex at the centre.
Mesh makeDimpledCube()
{
    Mesh m = makeBox({0, 0, 0}, {1, 1, 1}, true);
    const Vector3 apex(0.5, 0.5, 0.5);
    const Vector3 rim[4] = {{0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 0}};
    for (int i = 0; i < 4; ++i)
        tri(m, rim[i], rim[(i + 1) % 4], apex);
    return m;
}

bool differsInOneCoordinate(const Vector3& a, const Vector3& b)
{
    return (a.x != b.x) + (a.y != b.y) + (a.z != b.z) == 1;
}

}  // namespace

TEST(Mesh, SharedCornersGiveSharedVerticesAndEdgesInOrder)
{
    Mesh m;
    const Vector3 a(0, 0, 0), b(1, 0, 0), c(0, 1, 0), d(1, 1, 0);
    m.addTriangle(a, b, c, {0.1, 0.2, 0}, {0.3, 0.4, 0}, {0.5, 0.6, 0}, 7);
    // Shares b and c with the first triangle, folded up by 90 degrees about bc.
    const Vector3 e(0.5, 0.5, 1 / std::sqrt(2.0));
    m.addTriangle(c, b, e, kNoUv, kNoUv, kNoUv, 1);

    ASSERT_EQ(m.positions.size(), 4u);
    ASSERT_EQ(m.workingPositions.size(), 4u);
    ASSERT_EQ(m.edges.size(), 5u);
    ASSERT_EQ(m.triangles.size(), 2u);
    EXPECT_EQ(m.positions[3], e);
    EXPECT_EQ(m.workingPositions[3], e);

    // First triangle: edges (c0,c2), (c1,c0), (c2,c1), each created in that direction.
    const MeshTriangle& t0 = m.triangles[0];
    EXPECT_EQ(t0.vertices[0], 0);
    EXPECT_EQ(t0.vertices[1], 1);
    EXPECT_EQ(t0.vertices[2], 2);
    EXPECT_EQ(t0.edges[0], 0);
    EXPECT_EQ(t0.edges[1], 1);
    EXPECT_EQ(t0.edges[2], 2);
    EXPECT_EQ(m.edges[0].v0, 0);
    EXPECT_EQ(m.edges[0].v1, 2);
    EXPECT_EQ(m.edges[1].v0, 1);
    EXPECT_EQ(m.edges[1].v1, 0);
    EXPECT_EQ(m.edges[2].v0, 2);
    EXPECT_EQ(m.edges[2].v1, 1);
    // Second triangle (c, b, e): edges (c,e) new, (b,c) found reversed, (e,b) new.
    const MeshTriangle& t1 = m.triangles[1];
    EXPECT_EQ(t1.vertices[0], 2);
    EXPECT_EQ(t1.vertices[1], 1);
    EXPECT_EQ(t1.vertices[2], 3);
    EXPECT_EQ(t1.edges[0], 3);
    EXPECT_EQ(t1.edges[1], 2);
    EXPECT_EQ(t1.edges[2], 4);
    EXPECT_EQ(m.edges[3].v0, 2);
    EXPECT_EQ(m.edges[3].v1, 3);
    EXPECT_EQ(m.edges[4].v0, 3);
    EXPECT_EQ(m.edges[4].v1, 1);

    // Right-hand normals of counter-clockwise corners.
    expectNear(t0.normal, {0, 0, 1}, 1e-15);
    expectNear(t1.normal, normalized(cross(b - c, e - c)), 1e-15);
    EXPECT_NEAR(length(t1.normal), 1.0, 1e-15);
    // Stored data and the bounding sphere around the corners' box midpoint.
    EXPECT_EQ(t0.smoothingGroup, 7);
    EXPECT_EQ(t0.texCoords[2], Vector3(0.5, 0.6, 0));
    expectNear(t0.centre, {0.5, 0.5, 0}, 0);
    EXPECT_EQ(t0.workingCentre, t0.centre);
    EXPECT_NEAR(t0.radius, std::sqrt(0.5), 1e-15);
    EXPECT_EQ(t0.cornerNormals[1], Vector3());

    m.computeProperties();
    // The shared edge bc has both faces; its normal bisects them.
    const MeshEdge& shared = m.edges[2];
    EXPECT_EQ(shared.faces[0], 0);
    EXPECT_EQ(shared.faces[1], 1);
    expectNear(shared.normal, normalized(t0.normal + t1.normal), 1e-15);
    EXPECT_EQ(shared.workingNormal, shared.normal);
    // Border edges have one face and its normal.
    EXPECT_EQ(m.edges[0].faces[1], -1);
    expectNear(m.edges[0].normal, t0.normal, 1e-15);
    // Two triangles, five edges, four vertices: open, so nothing to weigh.
    EXPECT_TRUE(std::isinf(m.volume));
    EXPECT_EQ(m.centreOfMass, Vector3());

    // Exact comparison: a corner one ulp away is a vertex of its own.
    Mesh n;
    tri(n, a, b, c);
    tri(n, Vector3(std::nextafter(1.0, 2.0), 0, 0), d, c);
    EXPECT_EQ(n.positions.size(), 5u);
    EXPECT_EQ(n.edges.size(), 6u);
}

TEST(Mesh, BoxCountsMassPropertiesAndConvexEdges)
{
    // Side-2 cube centred at (1, 1, 1).
    Mesh cube = makeBox({0, 0, 0}, {2, 2, 2});
    EXPECT_EQ(cube.positions.size(), 8u);
    EXPECT_EQ(cube.edges.size(), 18u);
    EXPECT_EQ(cube.triangles.size(), 12u);
    cube.computeProperties();
    EXPECT_NEAR(cube.volume, 8.0, 1e-9);
    expectNear(cube.centreOfMass, {1, 1, 1});
    EXPECT_NEAR(cube.boundingRadius, std::sqrt(3.0), 1e-9);
    expectNear(cube.boxMin, {0, 0, 0}, 0);
    expectNear(cube.boxMax, {2, 2, 2}, 0);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(cube.inertia(r, c), r == c ? 8.0 / 12.0 : 0.0, 1e-12);

    // The twelve cube edges stay convex; the six face diagonals are flat.
    int convex = 0;
    for (const MeshEdge& e : cube.edges) {
        const bool cubeEdge = differsInOneCoordinate(cube.positions[e.v0], cube.positions[e.v1]);
        EXPECT_EQ(e.convex, cubeEdge);
        EXPECT_NE(e.faces[1], -1);
        convex += e.convex;
        // Edge normals point away from the centre.
        const Vector3 mid = (cube.positions[e.v0] + cube.positions[e.v1]) * 0.5;
        EXPECT_GT(dot(e.normal, mid - cube.centreOfMass), 0.0);
    }
    EXPECT_EQ(convex, 12);

    // Unequal sides away from the origin: each axis gets the right pair of extents.
    Mesh box = makeBox({-3, 1, 2}, {-2, 3, 5});
    box.computeProperties();
    EXPECT_NEAR(box.volume, 6.0, 1e-9);
    expectNear(box.centreOfMass, {-2.5, 2, 3.5});
    EXPECT_NEAR(box.boundingRadius, std::sqrt(0.25 + 1 + 2.25), 1e-9);
    EXPECT_NEAR(box.inertia(0, 0), (4.0 + 9.0) / 12.0, 1e-12);
    EXPECT_NEAR(box.inertia(1, 1), (1.0 + 9.0) / 12.0, 1e-12);
    EXPECT_NEAR(box.inertia(2, 2), (1.0 + 4.0) / 12.0, 1e-12);
    EXPECT_EQ(box.inertia(0, 1), 0.0);
}

TEST(Mesh, TetrahedronAndDimpledCubeMassPropertiesAndConvexity)
{
    const Vector3 o(1.5, -2, 0.25);
    const double a = 2, b = 3, c = 5;
    const Vector3 p0 = o, px = o + Vector3(a, 0, 0), py = o + Vector3(0, b, 0), pz = o + Vector3(0, 0, c);
    Mesh tet;
    tri(tet, p0, py, px);
    tri(tet, p0, px, pz);
    tri(tet, p0, pz, py);
    tri(tet, px, py, pz);
    EXPECT_EQ(tet.positions.size(), 4u);
    EXPECT_EQ(tet.edges.size(), 6u);
    EXPECT_EQ(tet.triangles.size(), 4u);
    tet.computeProperties();
    EXPECT_NEAR(tet.volume, a * b * c / 6.0, 1e-9);
    expectNear(tet.centreOfMass, (p0 + px + py + pz) * 0.25);
    for (const MeshEdge& e : tet.edges)
        EXPECT_TRUE(e.convex);
    // Inertia is that of the unit-mass bounding box.
    EXPECT_NEAR(tet.inertia(0, 0), (b * b + c * c) / 12.0, 1e-12);
    EXPECT_NEAR(tet.inertia(1, 1), (a * a + c * c) / 12.0, 1e-12);
    EXPECT_NEAR(tet.inertia(2, 2), (a * a + b * b) / 12.0, 1e-12);
    double r = 0;
    for (const Vector3& p : {p0, px, py, pz})
        r = std::max(r, length(p - tet.centreOfMass));
    EXPECT_NEAR(tet.boundingRadius, r, 1e-12);

    // A unit cube minus a pyramid of height 0.5 on its top face.
    Mesh dimpled = makeDimpledCube();
    EXPECT_EQ(dimpled.positions.size(), 9u);
    EXPECT_EQ(dimpled.edges.size(), 21u);
    EXPECT_EQ(dimpled.triangles.size(), 14u);
    dimpled.computeProperties();
    EXPECT_NEAR(dimpled.volume, 5.0 / 6.0, 1e-9);
    // Pyramid centroid a quarter of its height below its base.
    const double y = (0.5 * 1.0 - 0.875 / 6.0) / (5.0 / 6.0);
    expectNear(dimpled.centreOfMass, {0.5, y, 0.5});
    // Valleys into the apex fold inward; rim and other cube edges stay convex.
    int convex = 0;
    for (const MeshEdge& e : dimpled.edges) {
        const Vector3& p = dimpled.positions[e.v0];
        const Vector3& q = dimpled.positions[e.v1];
        const bool toApex = p == Vector3(0.5, 0.5, 0.5) || q == Vector3(0.5, 0.5, 0.5);
        EXPECT_EQ(e.convex, !toApex && differsInOneCoordinate(p, q));
        convex += e.convex;
    }
    EXPECT_EQ(convex, 12);
}

TEST(Mesh, OpenSurfacesAndOverSharedEdges)
{
    const double inf = std::numeric_limits<double>::infinity();
    // A box without its lid: 10 - 17 + 8 = 1.
    Mesh open = makeBox({1, 1, 1}, {2, 3, 4}, true);
    EXPECT_EQ(open.edges.size(), 17u);
    open.computeProperties();
    EXPECT_EQ(open.volume, inf);
    EXPECT_EQ(open.centreOfMass, Vector3());
    EXPECT_EQ(open.inertia(0, 0), inf);
    EXPECT_EQ(open.inertia(1, 1), inf);
    EXPECT_EQ(open.inertia(2, 2), inf);
    EXPECT_EQ(open.inertia(0, 1), 0.0);
    // The bounds are still those of the geometry (radius taken from the origin).
    expectNear(open.boxMin, {1, 1, 1}, 0);
    expectNear(open.boxMax, {2, 3, 4}, 0);
    EXPECT_NEAR(open.boundingRadius, std::sqrt(4.0 + 9.0 + 16.0), 1e-12);

    Mesh single;
    tri(single, {1, 0, 0}, {0, 1, 0}, {0, 0, 1});
    single.computeProperties();
    EXPECT_EQ(single.volume, inf);
    EXPECT_EQ(single.centreOfMass, Vector3());

    // Three triangles on one edge.
    Mesh fan;
    tri(fan, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    tri(fan, {1, 0, 0}, {0, 0, 0}, {0, -1, 0});
    tri(fan, {0, 0, 0}, {1, 0, 0}, {0, 0, 1});
    EXPECT_EQ(fan.edges.size(), 7u);
    std::string caught;
    try {
        fan.computeProperties();
    } catch (const char* text) {
        caught = text;
    }
    EXPECT_EQ(caught, "[Mesh] To many faces per edge");
}

TEST(Mesh, TranslateAndRotateMoveTheGeometryButNotTheWorkingCopies)
{
    Mesh m = makeBox({0, 0, 0}, {2, 1, 1});
    m.computeProperties();
    const Mesh before = m;
    m.translate({1, -2, 3});
    for (size_t i = 0; i < m.positions.size(); ++i) {
        EXPECT_EQ(m.positions[i], before.positions[i] + Vector3(1, -2, 3));
        EXPECT_EQ(m.workingPositions[i], before.workingPositions[i]);
    }
    for (size_t i = 0; i < m.triangles.size(); ++i) {
        EXPECT_EQ(m.triangles[i].centre, before.triangles[i].centre + Vector3(1, -2, 3));
        EXPECT_EQ(m.triangles[i].workingCentre, before.triangles[i].workingCentre);
    }
    // Computed properties are not redone.
    EXPECT_EQ(m.centreOfMass, before.centreOfMass);

    const double quarter = std::acos(-1.0) / 2;
    m.rotateZ(quarter);
    EXPECT_EQ(m.workingPositions, before.workingPositions);
    for (size_t i = 0; i < m.positions.size(); ++i) {
        const Vector3 p = before.positions[i] + Vector3(1, -2, 3);
        expectNear(m.positions[i], {-p.y, p.x, p.z}, 1e-12);
    }
    for (const MeshTriangle& t : m.triangles) {
        // Normals turn with the corners, so they still match them.
        const Vector3& a = m.positions[t.vertices[0]];
        const Vector3& b = m.positions[t.vertices[1]];
        const Vector3& c = m.positions[t.vertices[2]];
        expectNear(t.normal, normalized(cross(c - b, a - b)), 1e-12);
        EXPECT_EQ(t.workingCentre, before.triangles[&t - &m.triangles[0]].workingCentre);
    }
    // The 2 x 1 footprint is now 1 wide in x and 2 tall in y.
    double lo[2] = {1e9, 1e9}, hi[2] = {-1e9, -1e9};
    for (const Vector3& p : m.positions) {
        lo[0] = std::min(lo[0], p.x), hi[0] = std::max(hi[0], p.x);
        lo[1] = std::min(lo[1], p.y), hi[1] = std::max(hi[1], p.y);
    }
    EXPECT_NEAR(hi[0] - lo[0], 1.0, 1e-12);
    EXPECT_NEAR(hi[1] - lo[1], 2.0, 1e-12);
}
