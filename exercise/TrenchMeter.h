#pragma once

#include <cstdint>
#include <vector>

#include "exercise/Exercise.h"

class Terrain;

// Measures a trench against the ground as it was when the meter was made:
// every voxel column whose centre lies within a margin around the outline
// keeps its soil as it was, and the metrics count voxels that changed.
// Above and below are by voxel centre against the grade, which lies on a
// boundary between voxel layers.
class TrenchMeter {
public:
    static constexpr double kMargin = 3.0;  // m around the outline watched for digging outside it
    static constexpr double kOnFloor = 0.05;  // m: a column's floor this near the grade is on grade

    TrenchMeter(Terrain& terrain, const TrenchTarget& target);

    // The grade: the ground's height at the trench's centre less its depth,
    // put on the nearest boundary of voxel layers.
    double gradeLevel() const { return grade; }
    // Whether (x, z) lies inside the outline.
    bool inside(double x, double z) const;
    // The four corners of the outline on the ground, in order round it.
    void corners(double xz[4][2]) const;

    // Adds the trench's metrics (m3; the floor's worst departure from the
    // grade over the columns inside, cm; the share of those columns whose
    // floor is on grade, %) to `out`.
    void measure(Metrics& out) const;
    // Soil voxels inside the outline above the grade at the start.
    int64_t targetVoxels() const { return target; }
    int insideColumns() const;
    // The top of the highest soil over the columns inside (m, world).
    double highestFloor() const;

    // The ground along the trench's middle line (or across it, through its
    // centre), out to the watched margin, a column every voxel: its offset
    // from the centre and the top of its soil at the start and now (m).
    struct ProfilePoint {
        double offset, before, now;
    };
    std::vector<ProfilePoint> profile(bool across) const;

private:
    struct Column {
        int16_t block, x, z;
        bool inside;
        uint64_t soil;  // bit y: voxel y was soil at the start
    };
    Terrain& terrain;
    TrenchTarget t;
    double ux = 1.0, uz = 0.0;  // along the length
    double grade = 0.0;
    int64_t target = 0;
    std::vector<Column> columns;
};
