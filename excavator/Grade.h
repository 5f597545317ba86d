#pragma once

#include "excavator/Articulation.h"
#include "math/Vector3.h"

class Excavator;

// A target grade as a grade-control system sets it: a horizontal plane at a
// world height, through the cutting edge where it was when set.
struct GradeTarget {
    bool set = false;
    double level = 0.0;  // world y, m
};

// Within this of the grade (m) the cutting edge counts as on grade.
constexpr double kOnGrade = 0.03;

enum class GradeBand { Below = -1, OnGrade = 0, Above = 1 };

// The two ends of the bucket's cutting edge (the outline's edge 31, the one
// digging tests) in the world, at the joint angles and pose of now.
void cuttingEdgeEnds(const Excavator& e, Vector3& a, Vector3& b);
// The same at other joint angles, the pose of now.
void cuttingEdgeEndsAt(const Excavator& e, const JointAngles& angles, Vector3& a, Vector3& b);
// World height of the cutting edge: its lower end, the one that cuts deepest.
double cuttingEdgeLevel(const Excavator& e);
// Signed height (m) of the cutting edge above the grade; 0 with none set.
double heightAboveGrade(const Excavator& e, const GradeTarget& grade);
GradeBand gradeBand(double height);

// A grade through the cutting edge where it is now.
GradeTarget gradeAtCuttingEdge(const Excavator& e);
