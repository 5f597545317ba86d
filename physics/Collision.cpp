#include "physics/Collision.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "physics/Object.h"

namespace {

double component(const Vector3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

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

double snap(double d) { return std::fabs(d) < contact::kPlaneSnap ? 0.0 : d; }

// Interval of one triangle on the intersection line, from projected
// corners v and plane distances d of the other triangle's plane. False when
// the triangle lies in that plane.
bool interval(const double v[3], const double d[3], double out[2])
{
    auto isect = [&](int lone, int o1, int o2) {
        out[0] = v[lone] + (v[o1] - v[lone]) * d[lone] / (d[lone] - d[o1]);
        out[1] = v[lone] + (v[o2] - v[lone]) * d[lone] / (d[lone] - d[o2]);
        if (out[0] > out[1])
            std::swap(out[0], out[1]);
    };
    if (d[0] * d[1] > 0.0)
        isect(2, 0, 1);
    else if (d[0] * d[2] > 0.0)
        isect(1, 0, 2);
    else if (d[1] * d[2] > 0.0 || d[0] != 0.0)
        isect(0, 1, 2);
    else if (d[1] != 0.0)
        isect(1, 0, 2);
    else if (d[2] != 0.0)
        isect(2, 0, 1);
    else
        return false;
    return true;
}

struct Flat {
    double x, y;
};

bool edgesCross2d(const Flat& v0, const Flat& v1, const Flat& u0, const Flat& u1)
{
    const double ax = v1.x - v0.x, ay = v1.y - v0.y;
    const double bx = u0.x - u1.x, by = u0.y - u1.y;
    const double cx = v0.x - u0.x, cy = v0.y - u0.y;
    const double f = ay * bx - ax * by, d = by * cx - bx * cy;
    if ((f > 0 && d >= 0 && d <= f) || (f < 0 && d <= 0 && d >= f)) {
        const double e = ax * cy - ay * cx;
        return f > 0 ? (e >= 0 && e <= f) : (e <= 0 && e >= f);
    }
    return false;
}

bool pointInTriangle2d(const Flat& p, const Flat u[3])
{
    double s[3];
    for (int k = 0; k < 3; ++k) {
        const Flat& a = u[k];
        const Flat& b = u[(k + 1) % 3];
        s[k] = (b.y - a.y) * (p.x - a.x) - (b.x - a.x) * (p.y - a.y);
    }
    return s[0] * s[1] > 0.0 && s[0] * s[2] > 0.0;
}

// Both triangles in one plane of normal n: overlap of their projections
// onto the coordinate plane that n is most nearly perpendicular to.
bool coplanarIntersect(const Vector3& n, const Vector3 a[3], const Vector3 b[3])
{
    const double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    int i0 = 0, i1 = 1;
    if (ax > ay)
        ax > az ? (i0 = 1, i1 = 2) : (i0 = 0, i1 = 1);
    else
        az > ay ? (i0 = 0, i1 = 1) : (i0 = 0, i1 = 2);
    Flat fa[3], fb[3];
    for (int k = 0; k < 3; ++k) {
        fa[k] = {component(a[k], i0), component(a[k], i1)};
        fb[k] = {component(b[k], i0), component(b[k], i1)};
    }
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (edgesCross2d(fa[i], fa[(i + 1) % 3], fb[j], fb[(j + 1) % 3]))
                return true;
    return pointInTriangle2d(fa[0], fb) || pointInTriangle2d(fb[0], fa);
}

// Point of segment x + u d nearest to y; u unclamped on request.
Vector3 nearestOnSegment(const Vector3& x, const Vector3& d, const Vector3& y, double tol, bool clamp = true)
{
    const double dd = dot(d, d);
    if (dd < tol)
        return x;
    double u = dot(y - x, d) / dd;
    if (clamp)
        u = std::clamp(u, 0.0, 1.0);
    return x + u * d;
}

bool inUnit(double u) { return u >= 0.0 && u <= 1.0; }

// Ray from the origin along d against triangle (a, b, c) given relative to
// the ray's start: 1 crossing, 0 none, -1 too close to an edge, a corner or
// the start to tell.
int rayCrossing(const Vector3& d, const Vector3& a, const Vector3& b, const Vector3& c)
{
    const double scale = dot(a, a) + dot(b, b) + dot(c, c);
    const double eps = 1e-12 * scale;
    const double s0 = dot(d, cross(a, b)), s1 = dot(d, cross(b, c)), s2 = dot(d, cross(c, a));
    const bool pos = s0 > eps || s1 > eps || s2 > eps, neg = s0 < -eps || s1 < -eps || s2 < -eps;
    if (pos && neg)
        return 0;  // the line misses the triangle
    if (std::fabs(s0) <= eps || std::fabs(s1) <= eps || std::fabs(s2) <= eps)
        return -1;  // through an edge or a corner, or in the plane
    const Vector3 n = cross(b - a, c - a);
    const double along = dot(n, a) / dot(n, d);  // distance to the plane along d
    if (std::fabs(dot(n, a)) <= 1e-12 * length(n) * std::sqrt(scale))
        return -1;  // the start lies on the surface
    return along > 0.0 ? 1 : 0;
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
    // Parity of one ray that passes cleanly between the edges; a ray that
    // grazes an edge or corner is thrown away for the next direction.
    static const Vector3 directions[] = {{-1, 0, 0},
                                         {0, -1, 0},
                                         {0, 0, -1},
                                         {0.5773, 0.6181, -0.5338},
                                         {-0.2871, 0.8364, 0.4669},
                                         {0.7919, -0.3127, 0.5244},
                                         {-0.6410, -0.4793, -0.5994}};
    if (mesh.triangles.empty())
        return false;
    int votes = 0, rays = 0;
    for (const Vector3& d : directions) {
        bool odd = false, clean = true;
        for (const MeshTriangle& t : mesh.triangles) {
            const int r = rayCrossing(d, mesh.workingPositions[t.vertices[0]] - p,
                                      mesh.workingPositions[t.vertices[1]] - p, mesh.workingPositions[t.vertices[2]] - p);
            if (r < 0) {
                clean = false;
                break;
            }
            odd ^= r == 1;
        }
        if (clean)
            return odd;
        // Kept in case every direction grazes (a point on the surface).
        votes += odd;
        ++rays;
    }
    return 2 * votes > rays;
}

bool trianglesIntersect(const Vector3& a0, const Vector3& a1, const Vector3& a2, const Vector3& b0, const Vector3& b1,
                        const Vector3& b2)
{
    const Vector3 a[3] = {a0, a1, a2}, b[3] = {b0, b1, b2};
    const Vector3 n1 = cross(a1 - a0, a2 - a0);
    const double d1 = -dot(n1, a0);
    const double db[3] = {snap(dot(n1, b0) + d1), snap(dot(n1, b1) + d1), snap(dot(n1, b2) + d1)};
    if (db[0] * db[1] > 0.0 && db[0] * db[2] > 0.0)
        return false;
    const Vector3 n2 = cross(b1 - b0, b2 - b0);
    const double d2 = -dot(n2, b0);
    const double da[3] = {snap(dot(n2, a0) + d2), snap(dot(n2, a1) + d2), snap(dot(n2, a2) + d2)};
    if (da[0] * da[1] > 0.0 && da[0] * da[2] > 0.0)
        return false;

    const Vector3 line = cross(n1, n2);
    const double lx = std::fabs(line.x), ly = std::fabs(line.y), lz = std::fabs(line.z);
    int axis = 0;
    if (ly > lx)
        axis = 1;
    if (lz > std::max(lx, ly))
        axis = 2;
    const double pa[3] = {component(a0, axis), component(a1, axis), component(a2, axis)};
    const double pb[3] = {component(b0, axis), component(b1, axis), component(b2, axis)};
    double ia[2], ib[2];
    if (!interval(pa, da, ia) || !interval(pb, db, ib))
        return coplanarIntersect(n1, a, b);
    return !(ia[1] < ib[0] || ib[1] < ia[0]);
}

Vector3 triangleNormal(const Vector3& t0, const Vector3& t1, const Vector3& t2)
{
    return normalized(cross(t1 - t0, t2 - t0));
}

bool vertexOnTriangle(const Vector3& p, const Vector3& t0, const Vector3& t1, const Vector3& t2, double& distance)
{
    const Vector3 n = triangleNormal(t0, t1, t2);
    distance = dot(n, p - t0);
    if (!(std::fabs(distance) < contact::kVertexFace))
        return false;  // also a degenerate triangle's NaN
    const Vector3 s[3] = {t0, t1, t2};
    for (int k = 0; k < 3; ++k)
        if (!(dot(cross(n, s[(k + 1) % 3] - s[k]), p - s[k]) > -contact::kInsideMargin))
            return false;
    return true;
}

SegmentPoints closestPointsOfSegments(const Vector3& p0, const Vector3& p1, const Vector3& q0, const Vector3& q1,
                                      double tol)
{
    const Vector3 d1 = p1 - p0, d2 = q1 - q0;
    const double a = dot(d1, d1), e = dot(d2, d2);
    Vector3 c1, c2;
    if (a < tol * tol) {
        c1 = p0;
        c2 = nearestOnSegment(q0, d2, c1, tol);
    } else if (e < tol * tol) {
        c2 = q0;
        c1 = nearestOnSegment(p0, d1, c2, tol);
    } else {
        const double b = -dot(d1, d2), den = a * e - b * b, f = dot(q0 - p0, d1);
        // den = a e sin^2 of the angle between the edges: parallel only within
        // about 0.05 degrees, whatever their length.
        if (std::fabs(den) < tol * tol * a * e) {
            double u0 = dot(q0 - p0, d1) / a, u1 = dot(q1 - p0, d1) / a;
            if (u0 < 0.0 && u1 < 0.0) {
                c1 = p0;
                c2 = u0 > u1 ? q0 : q1;
            } else if (u0 > 1.0 && u1 > 1.0) {
                c1 = p1;
                c2 = u0 < u1 ? q0 : q1;
            } else {
                const double lo = std::clamp(std::min(u0, u1), 0.0, 1.0), hi = std::clamp(std::max(u0, u1), 0.0, 1.0);
                // Along the overlap the gap to the other line changes linearly:
                // take its shortest, so a crossing away from the middle is found;
                // the middle when it hardly changes (truly parallel edges).
                const auto gapAt = [&](double u) {
                    const Vector3 c = p0 + u * d1;
                    return nearestOnSegment(q0, d2, c, tol, false) - c;
                };
                const Vector3 g0 = gapAt(lo), dg = gapAt(hi) - g0;
                const double w = dot(dg, dg);
                const double k = w > 1e-6 * tol * tol ? std::clamp(-dot(g0, dg) / w, 0.0, 1.0) : 0.5;
                c1 = p0 + (lo + k * (hi - lo)) * d1;
                c2 = nearestOnSegment(q0, d2, c1, tol, false);
            }
        } else {
            const double t = (dot(p0 - q0, d2) * a - f * b) / den;
            const double s = (f - t * b) / a;
            if (inUnit(s) && inUnit(t)) {
                c1 = p0 + s * d1;
                c2 = q0 + t * d2;
            } else if (inUnit(s)) {
                c2 = q0 + std::clamp(t, 0.0, 1.0) * d2;
                c1 = nearestOnSegment(p0, d1, c2, tol);
            } else if (inUnit(t)) {
                c1 = p0 + std::clamp(s, 0.0, 1.0) * d1;
                c2 = nearestOnSegment(q0, d2, c1, tol);
            } else {
                c1 = p0 + std::clamp(s, 0.0, 1.0) * d1;
                const double u = dot(c1 - q0, d2) / e;
                if (!inUnit(u)) {
                    c2 = q0 + std::clamp(u, 0.0, 1.0) * d2;
                    c1 = nearestOnSegment(p0, d1, c2, tol);
                }
                c2 = nearestOnSegment(q0, d2, c1, tol);
            }
        }
    }
    SegmentPoints r;
    r.onFirst = c1;
    r.onSecond = c2;
    r.midpoint = (c1 + c2) / 2.0;
    r.gap = c2 - c1;
    r.touch = std::fabs(r.gap.x) + std::fabs(r.gap.y) + std::fabs(r.gap.z) < tol;
    return r;
}

bool hasContactNear(const PairRecord& record, const Vector3& p)
{
    for (const Contact& c : record.contacts) {
        const Vector3 d = c.point - p;
        if (dot(d, d) < contact::kDuplicate2)
            return true;
    }
    return false;
}

bool boxesOverlap(const Mesh& a, const Mesh& b)
{
    return b.boxMin.x <= a.boxMax.x && b.boxMax.x >= a.boxMin.x && b.boxMin.y <= a.boxMax.y &&
           b.boxMax.y >= a.boxMin.y && b.boxMin.z <= a.boxMax.z && b.boxMax.z >= a.boxMin.z;
}

bool edgeContactNormal(const Vector3& da, const Vector3& db, const Vector3& workingNormalB, Vector3& normal)
{
    normal = cross(da, db);
    const double l = length(normal);
    if (l > 1e-12 * length(da) * length(db)) {
        normal = normal / l;
        if (dot(normal, workingNormalB) < 0.0)
            normal = -normal;
        return true;
    }
    const double lb = length(workingNormalB);
    if (!(lb > 0.0))
        return false;
    normal = workingNormalB / lb;
    return true;
}

double edgeContactDepth(const Vector3& normal, const Vector3& gap)
{
    const double g = length(gap);
    return g > 0.0 && dot(normal, gap) / g > 0.0 ? -g : g;
}

ContactResult testTriangles(const MeshTriangle& ta, Mesh& ma, Object& a, const MeshTriangle& tb, Mesh& mb, Object& b,
                            PairRecord& record)
{
    if (length(ta.workingCentre - tb.workingCentre) > ta.radius + tb.radius)
        return NoContact;
    const Vector3 pa[3] = {ma.workingPositions[ta.vertices[0]], ma.workingPositions[ta.vertices[1]],
                           ma.workingPositions[ta.vertices[2]]};
    const Vector3 pb[3] = {mb.workingPositions[tb.vertices[0]], mb.workingPositions[tb.vertices[1]],
                           mb.workingPositions[tb.vertices[2]]};
    if (!trianglesIntersect(pa[0], pa[1], pa[2], pb[0], pb[1], pb[2]))
        return NoContact;

    bool found = false;
    // Corners of either triangle on the other's face.
    auto corners = [&](const Vector3 own[3], const Vector3 other[3], Object& owner, Object& otherBody, Mesh& ownMesh,
                       Mesh& otherMesh) {
        for (int k = 0; k < 3; ++k) {
            double distance = 0.0;
            if (!vertexOnTriangle(own[k], other[0], other[1], other[2], distance))
                continue;
            found = true;
            if (hasContactNear(record, own[k]))
                continue;
            Contact c;
            c.bodyA = &owner;
            c.bodyB = &otherBody;
            c.point = own[k];
            c.normal = triangleNormal(other[0], other[1], other[2]);
            c.depth = distance;
            c.meshA = &ownMesh;
            c.meshB = &otherMesh;
            record.contacts.push_back(c);
        }
    };
    corners(pa, pb, a, b, ma, mb);
    corners(pb, pa, b, a, mb, ma);

    for (int i = 0; i < 3; ++i) {
        const MeshEdge& ea = ma.edges[ta.edges[i]];
        const Vector3 &a0 = ma.workingPositions[ea.v0], &a1 = ma.workingPositions[ea.v1];
        for (int j = 0; j < 3; ++j) {
            const MeshEdge& eb = mb.edges[tb.edges[j]];
            const Vector3 &b0 = mb.workingPositions[eb.v0], &b1 = mb.workingPositions[eb.v1];
            const SegmentPoints s = closestPointsOfSegments(a0, a1, b0, b1, contact::kEdgeEdge);
            if (!s.touch)
                continue;
            found = true;
            Contact c;
            if (!ea.convex || !eb.convex || hasContactNear(record, s.midpoint) ||
                !edgeContactNormal(a1 - a0, b1 - b0, eb.workingNormal, c.normal))
                continue;
            c.bodyA = &a;
            c.bodyB = &b;
            c.point = s.midpoint;
            c.depth = edgeContactDepth(c.normal, s.gap);
            c.meshA = &ma;
            c.meshB = &mb;
            record.contacts.push_back(c);
        }
    }
    return found ? Touching : Penetrating;
}

ContactResult testPair(Object& a, Object& b, PairRecord& record)
{
    if (a.isStatic() && b.isStatic())
        return NoContact;
    const Vector3 d = a.predictedPosition - b.predictedPosition;
    const double reach = a.radius + b.radius;
    if (!(dot(d, d) < reach * reach))
        return NoContact;
    bool touching = false;
    for (uint32_t i = 0; i < a.meshCount; ++i)
        for (uint32_t j = 0; j < b.meshCount; ++j) {
            Mesh& ma = a.meshes[i];
            Mesh& mb = b.meshes[j];
            if (!boxesOverlap(ma, mb))
                continue;
            for (const MeshTriangle& ta : ma.triangles)
                for (const MeshTriangle& tb : mb.triangles) {
                    const ContactResult r = testTriangles(ta, ma, a, tb, mb, b, record);
                    if (r == Penetrating)
                        return Penetrating;
                    touching |= r == Touching;
                }
        }
    return touching ? Touching : NoContact;
}
