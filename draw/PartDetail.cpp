#include "draw/PartDetail.h"

#include <algorithm>
#include <cmath>

#include "assets/Mesh.h"

namespace {

// Distance from p to the triangle abc (closest point by its region).
double distanceToTriangle(const Vector3& p, const Vector3& a, const Vector3& b, const Vector3& c)
{
    const Vector3 ab = b - a, ac = c - a, ap = p - a;
    const double d1 = dot(ab, ap), d2 = dot(ac, ap);
    if (d1 <= 0.0 && d2 <= 0.0)
        return length(ap);
    const Vector3 bp = p - b;
    const double d3 = dot(ab, bp), d4 = dot(ac, bp);
    if (d3 >= 0.0 && d4 <= d3)
        return length(bp);
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0 && d1 >= 0.0 && d3 <= 0.0)
        return length(ap - ab * (d1 / (d1 - d3)));
    const Vector3 cp = p - c;
    const double d5 = dot(ab, cp), d6 = dot(ac, cp);
    if (d6 >= 0.0 && d5 <= d6)
        return length(cp);
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0 && d2 >= 0.0 && d6 <= 0.0)
        return length(ap - ac * (d2 / (d2 - d6)));
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0.0 && d4 - d3 >= 0.0 && d5 - d6 >= 0.0)
        return length(bp - (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6))));
    const double denominator = 1.0 / (va + vb + vc);
    return length(ap - ab * (vb * denominator) - ac * (vc * denominator));
}

double farthestCorner(const Mesh& from, const Mesh& to)
{
    double farthest = 0.0;
    for (const Vector3& p : from.positions) {
        double nearest = 1e300;
        for (const MeshTriangle& t : to.triangles)
            nearest = std::min(nearest, distanceToTriangle(p, to.positions[t.vertices[0]],
                                                           to.positions[t.vertices[1]], to.positions[t.vertices[2]]));
        farthest = std::max(farthest, nearest);
    }
    return farthest;
}

}  // namespace

double surfaceGap(const Mesh& a, const Mesh& b) { return std::max(farthestCorner(a, b), farthestCorner(b, a)); }

int detailLevel(const DetailedPart& part, const float modelview[16], const Lens& lens)
{
    const float* m = modelview;
    const float* p = lens.projection;
    const Vector3& c = part.centre;
    const Vector3 e(m[0] * c.x + m[4] * c.y + m[8] * c.z + m[12], m[1] * c.x + m[5] * c.y + m[9] * c.z + m[13],
                    m[2] * c.x + m[6] * c.y + m[10] * c.z + m[14]);
    // Clip coordinates x, y and w of the centre; w falls fastest towards the
    // eye along (p[3], p[7], p[11]), and the ball's nearest point has the
    // smallest w. A step d there moves the window's x by (rowX - ndcX rowW) d
    // over w, half the width to a unit: off the axis w's change moves it too.
    const Vector3 rowX(p[0], p[4], p[8]), rowY(p[1], p[5], p[9]), rowW(p[3], p[7], p[11]);
    const double x = dot(rowX, e) + p[12], y = dot(rowY, e) + p[13], w = dot(rowW, e) + p[15];
    const double nearest = w - part.radius * length(rowW);
    if (!(nearest > 1e-6))
        return 0;
    const double ndcX = std::clamp(x / w, -1.0, 1.0), ndcY = std::clamp(y / w, -1.0, 1.0);
    const double pixelsPerMetre =
        std::max(0.5 * lens.width * length(rowX - rowW * ndcX), 0.5 * lens.height * length(rowY - rowW * ndcY)) /
        nearest;
    int level = 0;
    for (int k = 1; k < DetailedPart::kLevels; ++k)
        if (part.gaps[k] * pixelsPerMetre < lens.tolerance)
            level = k;
    return level;
}
