#include "assets/Mesh.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/Fatal.h"

namespace {

// Index of the position exactly equal to p, appended when new.
int32_t findOrAddVertex(Mesh& mesh, const Vector3& p)
{
    for (size_t i = 0; i < mesh.positions.size(); ++i)
        if (mesh.positions[i] == p)
            return static_cast<int32_t>(i);
    mesh.positions.push_back(p);
    mesh.workingPositions.push_back(p);
    return static_cast<int32_t>(mesh.positions.size() - 1);
}

// Index of the edge joining positions a and b in either order, created
// (from a to b) when new. Positions are unique, so indices stand for them.
int32_t findOrAddEdge(Mesh& mesh, int32_t a, int32_t b)
{
    for (size_t i = 0; i < mesh.edges.size(); ++i) {
        const MeshEdge& e = mesh.edges[i];
        if ((e.v0 == a && e.v1 == b) || (e.v0 == b && e.v1 == a))
            return static_cast<int32_t>(i);
    }
    MeshEdge e;
    e.v0 = a;
    e.v1 = b;
    mesh.edges.push_back(e);
    return static_cast<int32_t>(mesh.edges.size() - 1);
}

}  // namespace

void Mesh::addTriangle(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& t0, const Vector3& t1,
                       const Vector3& t2, int32_t smoothingGroup)
{
    MeshTriangle t;
    const int32_t i0 = findOrAddVertex(*this, p0);
    const int32_t i1 = findOrAddVertex(*this, p1);
    const int32_t i2 = findOrAddVertex(*this, p2);
    t.vertices[0] = i0;
    t.vertices[1] = i1;
    t.vertices[2] = i2;
    t.edges[0] = findOrAddEdge(*this, i0, i2);
    t.edges[1] = findOrAddEdge(*this, i1, i0);
    t.edges[2] = findOrAddEdge(*this, i2, i1);

    // A zero-area triangle gets a non-finite normal; meshes are expected to have none.
    t.normal = cross(p2 - p1, p0 - p1);
    normalize(t.normal);

    t.texCoords[0] = t0;
    t.texCoords[1] = t1;
    t.texCoords[2] = t2;
    t.smoothingGroup = smoothingGroup;

    const Vector3 lo(std::min({p0.x, p1.x, p2.x}), std::min({p0.y, p1.y, p2.y}), std::min({p0.z, p1.z, p2.z}));
    const Vector3 hi(std::max({p0.x, p1.x, p2.x}), std::max({p0.y, p1.y, p2.y}), std::max({p0.z, p1.z, p2.z}));
    t.centre = (lo + hi) * 0.5;
    t.radius = std::max({length(p0 - t.centre), length(p1 - t.centre), length(p2 - t.centre)});
    t.workingCentre = t.centre;

    triangles.push_back(t);
}

void Mesh::computeProperties()
{
    const double inf = std::numeric_limits<double>::infinity();

    // Signed tetrahedra against the origin.
    volume = 0.0;
    Vector3 weighted;
    for (const MeshTriangle& t : triangles) {
        const Vector3& a = positions[t.vertices[0]];
        const Vector3& b = positions[t.vertices[1]];
        const Vector3& c = positions[t.vertices[2]];
        const double v = dot(a, cross(b, c)) / 6.0;
        volume += v;
        weighted += (a + b + c) * 0.25 * v;
    }
    centreOfMass = weighted / volume;

    // Euler characteristic of a closed surface of genus 0.
    const bool closed = static_cast<long>(triangles.size()) - static_cast<long>(edges.size()) +
                            static_cast<long>(positions.size()) ==
                        2;
    if (!closed) {
        centreOfMass = Vector3();
        volume = inf;
    }

    boundingRadius = 0.0;
    for (const Vector3& p : positions)
        boundingRadius = std::max(boundingRadius, length(p - centreOfMass));

    if (!workingPositions.empty()) {
        boxMin = boxMax = workingPositions[0];
        for (const Vector3& p : workingPositions) {
            boxMin = Vector3(std::min(boxMin.x, p.x), std::min(boxMin.y, p.y), std::min(boxMin.z, p.z));
            boxMax = Vector3(std::max(boxMax.x, p.x), std::max(boxMax.y, p.y), std::max(boxMax.z, p.z));
        }
    }

    // Unit-mass solid box of the bounding box's extents.
    if (closed) {
        const double dx = std::fabs(boxMax.x - boxMin.x);
        const double dy = std::fabs(boxMax.y - boxMin.y);
        const double dz = std::fabs(boxMax.z - boxMin.z);
        inertia = Matrix3::diagonal((dy * dy + dz * dz) / 12.0, (dx * dx + dz * dz) / 12.0, (dx * dx + dy * dy) / 12.0);
    } else {
        inertia = Matrix3::diagonal(inf, inf, inf);
    }

    // Adjacency: the one or two faces of every edge.
    for (size_t e = 0; e < edges.size(); ++e) {
        MeshEdge& edge = edges[e];
        int found = 0;
        Vector3 sum;
        edge.faces[0] = edge.faces[1] = -1;
        for (size_t i = 0; i < triangles.size(); ++i) {
            const MeshTriangle& t = triangles[i];
            const int32_t ei = static_cast<int32_t>(e);
            if (t.edges[0] != ei && t.edges[1] != ei && t.edges[2] != ei)
                continue;
            if (found == 2)
                throwFatal("[Mesh] To many faces per edge");
            edge.faces[found++] = static_cast<int32_t>(i);
            sum += t.normal;
        }
        edge.normal = sum;
        normalize(edge.normal);
        edge.workingNormal = edge.normal;
    }

    // An edge stays convex only where the surface folds outward; flat edges are not convex.
    for (size_t i = 0; i < triangles.size(); ++i) {
        const MeshTriangle& ti = triangles[i];
        for (size_t j = i + 1; j < triangles.size(); ++j) {
            const MeshTriangle& tj = triangles[j];
            for (int a = 0; a < 3; ++a)
                for (int b = 0; b < 3; ++b) {
                    if (ti.edges[a] != tj.edges[b])
                        continue;
                    MeshEdge& edge = edges[ti.edges[a]];
                    const Vector3 d = workingPositions[edge.v0] - workingPositions[edge.v1];
                    if (dot(cross(ti.normal, d) + cross(d, tj.normal), edge.workingNormal) >= 0.0)
                        edge.convex = false;
                }
        }
    }
}

void Mesh::translate(const Vector3& offset)
{
    for (Vector3& p : positions)
        p += offset;
    for (MeshTriangle& t : triangles)
        t.centre += offset;
}

std::vector<float> Mesh::cornerArray() const
{
    std::vector<float> out;
    out.reserve(triangles.size() * 3 * kCornerFloats);
    for (const MeshTriangle& t : triangles)
        for (int k = 0; k < 3; ++k) {
            const Vector3 &uv = t.texCoords[k], &n = t.cornerNormals[k], &p = positions[t.vertices[k]];
            for (double v : {uv.x, uv.y, n.x, n.y, n.z, p.x, p.y, p.z})
                out.push_back(static_cast<float>(v));
        }
    return out;
}

void Mesh::rotateZ(double a)
{
    const double c = std::cos(a), s = std::sin(a);
    auto rot = [c, s](Vector3& v) { v = Vector3(v.x * c - v.y * s, v.y * c + v.x * s, v.z); };
    for (Vector3& p : positions)
        rot(p);
    // Normals turn with the geometry so that lighting and contacts stay consistent.
    for (MeshTriangle& t : triangles) {
        rot(t.centre);
        rot(t.normal);
        for (Vector3& n : t.cornerNormals)
            rot(n);
    }
    for (MeshEdge& e : edges)
        rot(e.normal);
}
