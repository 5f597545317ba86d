#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <utility>

#include "assets/Mesh.h"
#include "physics/Object.h"
#include "terrain/VoxelWorld.h"

inline void expectNear(const Vector3& a, const Vector3& b, double tol = 1e-12, const std::string& what = "")
{
    EXPECT_TRUE(std::fabs(a.x - b.x) <= tol && std::fabs(a.y - b.y) <= tol && std::fabs(a.z - b.z) <= tol)
        << what << " (" << a.x << ", " << a.y << ", " << a.z << ") vs (" << b.x << ", " << b.y << ", " << b.z << ")";
}

inline terrain::HeightGrid flatGrid(double height)
{
    terrain::HeightGrid h;
    for (auto& row : h) row.fill(height);
    return h;
}

// A hilly grid with distinct heights at every grid point.
inline terrain::HeightGrid hillyGrid()
{
    terrain::HeightGrid h;
    for (int r = 0; r <= 8; ++r)
        for (int c = 0; c <= 8; ++c)
            h[r][c] = ((r * 37 + c * 91) % 256) * 14.0 / 255.0 - 4.8;
    return h;
}

// A closed, consistently turned surface (each edge once in each direction,
// Euler characteristic 2) whose faces point outwards. computeProperties done.
inline void expectClosedSolid(const Mesh& mesh, const std::string& name)
{
    EXPECT_EQ(mesh.triangles.size() + mesh.positions.size(), mesh.edges.size() + 2) << name;
    std::set<std::pair<int, int>> directed;
    for (const MeshTriangle& t : mesh.triangles)
        for (int k = 0; k < 3; ++k)
            EXPECT_TRUE(directed.insert({t.vertices[k], t.vertices[(k + 1) % 3]}).second)
                << name << ": edge " << t.vertices[k] << "-" << t.vertices[(k + 1) % 3] << " used twice the same way";
    for (const auto& e : directed)
        EXPECT_TRUE(directed.count({e.second, e.first})) << name << ": edge " << e.first << "-" << e.second << " open";
    EXPECT_TRUE(mesh.volume > 0.0 && std::isfinite(mesh.volume)) << name << " turned inside out or open";
}

inline void addTri(Mesh& m, const Vector3& a, const Vector3& b, const Vector3& c) { m.addTriangle(a, b, c, {}, {}, {}, 0); }

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
        const auto q = [&](int k) { return c(faces[f][k][0], faces[f][k][1], faces[f][k][2]); };
        addTri(m, q(0), q(1), q(2));
        addTri(m, q(0), q(2), q(3));
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

// A box body, immovable (kind 0) or of unit density and the given mass,
// placed as the model constructor places a scenery piece, its collision
// geometry where it stands.
struct BoxBody : Object {
    BoxBody(int32_t kind_, const Vector3& lo, const Vector3& hi, double mass_ = HUGE_VAL) : Object(kind_)
    {
        meshCount = 1;
        meshes = new Mesh[1];
        meshes[0] = makeBox(lo, hi);
        meshes[0].computeProperties();
        position = predictedPosition = meshes[0].centreOfMass;
        meshes[0].translate(-position);
        meshes[0].workingPositions = meshes[0].positions;
        for (Vector3& w : meshes[0].workingPositions)
            w += position;
        radius = meshes[0].boundingRadius;
        mass = mass_;
        if (kind_ != 0) {
            inertiaBody = meshes[0].inertia * mass;
            inverseInertiaBody = inverseInertiaWorld = inverse(inertiaBody);
        }
        predict(0.0);
    }
};
