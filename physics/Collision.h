#pragma once

#include "assets/Mesh.h"
#include "math/Vector3.h"
#include "physics/PairRecord.h"

class Object;

// Contact tolerances, metres (squared where named so).
namespace contact {
constexpr double kPlaneSnap = 0.0002;      // triangle test: smaller plane distances count as 0
constexpr double kVertexFace = 0.002;      // a corner this close to a face's plane is on it
constexpr double kInsideMargin = 0.002;    // ... and may lie this far outside an edge
constexpr double kEdgeEdge = 0.0009;       // L1 gap below which two edges touch
constexpr double kDuplicate2 = 4e-6;       // a new contact this close (squared) to an old one is dropped
}  // namespace contact

// The general test of two scene objects at their predicted pose; appends
// the contacts it finds to the record.
ContactResult testPair(Object& a, Object& b, PairRecord& record);

// One triangle of each body. Corners on faces and touching edges become
// contacts; intersecting triangles with neither mean Penetrating.
ContactResult testTriangles(const MeshTriangle& ta, Mesh& ma, Object& a, const MeshTriangle& tb, Mesh& mb, Object& b,
                            PairRecord& record);

// Interval test on the line where the two planes meet; coplanar pairs are
// tested in the plane. Plane distances below kPlaneSnap count as 0.
bool trianglesIntersect(const Vector3& a0, const Vector3& a1, const Vector3& a2, const Vector3& b0, const Vector3& b1,
                        const Vector3& b2);

// True when p lies on the triangle within the vertex-face tolerances;
// distance = signed distance of p from the plane (normal by the winding).
bool vertexOnTriangle(const Vector3& p, const Vector3& t0, const Vector3& t1, const Vector3& t2, double& distance);

struct SegmentPoints {
    Vector3 onFirst, onSecond;  // closest points c1, c2
    Vector3 midpoint;
    Vector3 gap;                // c2 - c1
    bool touch = false;         // L1 length of gap below the tolerance
};
SegmentPoints closestPointsOfSegments(const Vector3& p0, const Vector3& p1, const Vector3& q0, const Vector3& q1,
                                      double tolerance);

// A contact already in the record within kDuplicate2 of p.
bool hasContactNear(const PairRecord& record, const Vector3& p);

// Unit normal of the triangle by its winding.
Vector3 triangleNormal(const Vector3& t0, const Vector3& t1, const Vector3& t2);

// True when the vertical line through p meets triangle t0 t1 t2 strictly below p.
bool pointAboveTriangle(const Vector3& p, const Vector3& t0, const Vector3& t1, const Vector3& t2);

// When the vertical line through p meets the triangle: true, and distance =
// p.y minus the y of the meeting point (negative when the triangle is above p).
bool dropOntoTriangle(const Vector3& p, const Vector3& t0, const Vector3& t1, const Vector3& t2, double& distance);

// True when p lies inside the closed surface of the mesh's working positions.
// Right for every point off the surface, whatever edges or corners lie in line with it.
bool pointInsideMesh(const Vector3& p, const Mesh& mesh);

// The boxes of two meshes (world, after predict) overlap; touching counts.
bool boxesOverlap(const Mesh& a, const Mesh& b);

// Edge-edge contact normal: across both edge directions, turned to agree
// with B's edge working normal; B's working normal itself when the edges
// are parallel. False when neither gives a direction.
bool edgeContactNormal(const Vector3& da, const Vector3& db, const Vector3& workingNormalB, Vector3& normal);
// Edge-edge depth: -|gap| when the gap (B's point minus A's) runs along the normal.
double edgeContactDepth(const Vector3& normal, const Vector3& gap);
