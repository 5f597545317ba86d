#pragma once
#include <array>
#include <functional>
#include <vector>

#include "math/Vector3.h"
#include "tools/datagen/ObjWriter.h"

// A closed triangle surface by indices, so that shared corners are one point
// and come out of the writer as one vertex.
struct Shell {
    std::vector<Vector3> points;
    std::vector<std::array<int, 3>> faces;  // counter-clockwise from outside

    int addPoint(const Vector3& p)
    {
        points.push_back(p);
        return static_cast<int>(points.size()) - 1;
    }
    void addTriangle(int a, int b, int c) { faces.push_back({a, b, c}); }
    void addQuad(int a, int b, int c, int d)
    {
        addTriangle(a, b, c);
        addTriangle(a, c, d);
    }
};

double signedVolume(const Shell& shell);
Vector3 shellMin(const Shell& shell);
Vector3 shellMax(const Shell& shell);

// Sphere-like shell from a twice-refined icosahedron; radius(direction) gives
// the distance of each point from the centre along its unit direction.
Shell makeBlob(int refinements, const std::function<double(const Vector3&)>& radius);

// Prism between two heights over a closed outline (x, z) given counter-clockwise
// seen from above; the caps are fans about the outline's centre.
Shell makePrism(const std::vector<std::array<double, 2>>& outline, double yBottom, double yTop);

// Writes the shell's faces with box-mapped texture coordinates: each face is
// projected along the axis its normal is closest to, one repeat per uvSize units.
void writeShell(ObjWriter& writer, const Shell& shell, double uvSize);
