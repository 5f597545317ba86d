#pragma once

#include <functional>

#include "excavator/BucketGrid.h"
#include "terrain/SoilGrain.h"

// What a sweep of the bucket's soil needs of the world: the loose grain a
// cell would become, and the ground's two answers about such a grain.
struct GrainOutlet {
    std::function<SoilGrain(const Vector3& cellPosition)> grainAt;
    std::function<bool(const SoilGrain&)> canDrop;  // would the ground take it?
    std::function<bool(const SoilGrain&)> drop;     // hands it over when true
};

// Cell steps (di, dj) "down" and along the two lower diagonals of a bucket
// pitched by alpha (radians) against the body.
struct SweepOffsets {
    int down[2], first[2], second[2];
};
SweepOffsets sweepOffsets(double alpha);

// One settling sweep in storage order: a unit next to a Spill cell goes to
// the ground if it takes it; any other unit moves to the first Empty cell
// below it whose place the ground leaves open. Returns the units that left.
int sweepBucket(BucketGrid& grid, double alpha, const GrainOutlet& outlet);
