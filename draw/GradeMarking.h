#pragma once

#include <functional>

#include "math/Vector3.h"

// The target grade drawn on the ground around the cutting edge: a tinted
// band where the surface lies within kOnGrade of the grade, and a bright
// line at the grade itself, so the operator sees where to stop. GL, main
// thread, after the terrain (it lies on the depth the terrain left).
class GradeMarking {
public:
    static constexpr double kReach = 3.0;     // m around the cutting edge
    static constexpr double kSpacing = 0.34375;  // m between surface samples: the columns' spacing

    GradeMarking();
    ~GradeMarking();
    GradeMarking(const GradeMarking&) = delete;
    GradeMarking& operator=(const GradeMarking&) = delete;

    // `level`: the grade's world height; `edge`: the cutting edge's world
    // position; `surfaceAt(x, z, y)`: the ground's height at (x, z), false
    // where there is none.
    void draw(double level, const Vector3& edge, const std::function<bool(double x, double z, double& y)>& surfaceAt);

private:
    unsigned int texture = 0;
};
