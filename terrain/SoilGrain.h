#pragma once

#include <cstdint>

#include "math/Vector3.h"

// A loose unit of soil handed from the bucket to the terrain, which lets it
// fall, slide and settle into a voxel.
struct SoilGrain {
    int32_t state = 0;  // the bucket's own, carried unchanged
    Vector3 position;
    int16_t cell[3] = {0, 0, 0};  // voxel (x, y, z) in its block, set by the terrain
    Vector3 velocity;
};
