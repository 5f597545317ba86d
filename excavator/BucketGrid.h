#pragma once

#include <cstdint>

#include "math/Vector3.h"

// One cell of the bucket's soil grid: its centre in the ground plate's
// frame (relative to the ground plate pivot, before the joint rotations)
// and what it holds.
struct BucketCell {
    enum State : int16_t { Empty = 0, Soil = 1, Wall = 2, Spill = 3 };

    Vector3 position;
    int16_t state = Wall;
};

// The soil the bucket carries: 7 × 6 × 5 cells (i along the bucket's x,
// j along its y, k across), stored i, then j, then k. Only the inside
// (i 1..5, j 1..4, k 1..3) ever holds soil; Spill cells lie beyond the
// open side, where soil leaves the bucket.
class BucketGrid {
public:
    static constexpr int sizeI = 7, sizeJ = 6, sizeK = 5;
    static constexpr int cellCount = sizeI * sizeJ * sizeK;

    BucketGrid();

    static int flatIndex(int i, int j, int k) { return (i * sizeJ + j) * sizeK + k; }
    BucketCell& cell(int i, int j, int k) { return cells[flatIndex(i, j, k)]; }
    const BucketCell& cell(int i, int j, int k) const { return cells[flatIndex(i, j, k)]; }

    // One unit of soil into the first Empty cell, from the back (low i) and
    // within a layer from the top (high j) down; nothing when full.
    void addSoil();
    // An Empty cell is left for one more unit.
    bool hasRoom() const;
    // Adds dt to the bucket's own settling timer; true (and the timer
    // restarts) once more than 0.01 s has gathered.
    bool sweepDue(double dt);

    int32_t soilCount = 0;
    double settleTimer = 0.0;  // s since the last settling sweep
    BucketCell cells[cellCount];
};
