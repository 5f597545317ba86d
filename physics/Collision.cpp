#include "physics/Collision.h"

namespace {

// Point of the triangle's plane straight above or below p (p itself for a
// vertical plane), if it lies within the triangle give or take 0.001.
bool verticalMeet(const Vector3& p, const Vector3& t0, const Vector3& t1, const Vector3& t2, Vector3& q)
{
    const Vector3 n = cross(t1 - t0, t2 - t0);
    q = p;
    if (n.y != 0.0)
        q.y = p.y + dot(n, p - t0) / -n.y;
    return dot(cross(n, t1 - t0), q - t0) >= -0.001 && dot(cross(n, t2 - t1), q - t1) >= -0.001 &&
           dot(cross(n, t0 - t2), q - t2) >= -0.001;
}

double component(const Vector3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

// Parity of the crossings of the ray from p towards minus the given axis.
bool oddCrossings(const Vector3& p, const Mesh& mesh, int axis)
{
    bool odd = false;
    for (const MeshTriangle& t : mesh.triangles) {
        const Vector3& t0 = mesh.workingPositions[t.vertices[0]];
        const Vector3& t1 = mesh.workingPositions[t.vertices[1]];
        const Vector3& t2 = mesh.workingPositions[t.vertices[2]];
        const Vector3 n = cross(t1 - t0, t2 - t0);
        const double na = component(n, axis);
        if (na == 0.0)
            continue;
        const double s = dot(n, p - t0) / na;
        if (!(s > 0.0))
            continue;
        Vector3 q = p;
        if (axis == 0)
            q.x -= s;
        else if (axis == 1)
            q.y -= s;
        else
            q.z -= s;
        if (dot(cross(n, t1 - t0), q - t0) >= 0.0 && dot(cross(n, t2 - t1), q - t1) >= -0.001 &&
            dot(cross(n, t0 - t2), q - t2) >= -0.001)
            odd = !odd;
    }
    return odd;
}

}  // namespace

bool pointAboveTriangle(const Vector3& p, const Vector3& t0, const Vector3& t1, const Vector3& t2)
{
    Vector3 q;
    return verticalMeet(p, t0, t1, t2, q) && q.y < p.y;
}

bool dropOntoTriangle(const Vector3& p, const Vector3& t0, const Vector3& t1, const Vector3& t2, double& distance)
{
    Vector3 q;
    if (!verticalMeet(p, t0, t1, t2, q))
        return false;
    distance = p.y - q.y;
    return true;
}

bool pointInsideMesh(const Vector3& p, const Mesh& mesh)
{
    // Three rays must agree, which keeps a ray grazing an edge from deciding alone.
    return oddCrossings(p, mesh, 0) && oddCrossings(p, mesh, 1) && oddCrossings(p, mesh, 2);
}
