#pragma once

#include <cstdint>
#include <vector>

#include "assets/Material.h"
#include "math/Matrix3.h"
#include "math/Vector3.h"

struct MeshEdge {
    int32_t v0 = 0, v1 = 0;  // first and second vertex index
    Vector3 normal;
    Vector3 workingNormal;   // world-frame copy written by the physics
    bool convex = true;
    int32_t faces[2] = {-1, -1};  // adjacent triangles, -1 where there is none
};

struct MeshTriangle {
    int32_t vertices[3] = {0, 0, 0};
    int32_t edges[3] = {0, 0, 0};  // (c0,c2), (c1,c0), (c2,c1)
    Vector3 normal;
    Vector3 cornerNormals[3];
    Vector3 texCoords[3];
    int32_t smoothingGroup = 0;
    Vector3 centre;         // bounding-sphere centre
    Vector3 workingCentre;  // world-frame copy written by the physics
    double radius = 0.0;
};

// Triangle geometry with shared vertices and edges and mass properties.
// Copies are deep.
class Mesh {
public:
    Mesh() = default;
    virtual ~Mesh() = default;
    Mesh(const Mesh&) = default;
    Mesh& operator=(const Mesh&) = default;

    void addTriangle(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& t0, const Vector3& t1,
                     const Vector3& t2, int32_t smoothingGroup);
    // Volume, centre of mass, bounds, unit-mass box inertia, adjacency and
    // convexity. Throws "[Mesh] To many faces per edge".
    void computeProperties();
    void translate(const Vector3& offset);
    void rotateZ(double angle);
    // Every triangle corner as s, t, normal, position (GL_T2F_N3F_V3F).
    static constexpr size_t kCornerFloats = 8;
    std::vector<float> cornerArray() const;

    int32_t index = 0;  // part or block number
    std::vector<Vector3> positions;
    std::vector<Vector3> workingPositions;
    std::vector<MeshEdge> edges;
    std::vector<MeshTriangle> triangles;
    Material material;
    Vector3 referencePoint;  // pivot, for the users
    double angle = 0.0;      // joint angle, for the users
    Vector3 centreOfMass;
    Vector3 bodyCentreOfMass;  // written by the users
    Vector3 boxMin, boxMax;
    double boundingRadius = 0.0;
    double volume = 0.0;
    double mass = 0.0;
    Matrix3 inertia;
};
