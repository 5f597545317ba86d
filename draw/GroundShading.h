#pragma once

#include <cstdint>
#include <vector>

#include "math/Vector3.h"

class VoxelWorld;

// Light and shade of the drawn ground, per column of a block (65 x 65,
// cx * 65 + cz): how squarely the sun meets it, from the normal of its
// neighbours' positions, and how much of the sky its neighbours hide. Kept
// per block; when the surface changes, only the columns within reach of the
// columns that moved are worked out again. No GL.
class GroundShading {
public:
    struct Column {
        float sunlit = 1.0f;  // max(0, normal . towards the sun)
        float open = 1.0f;    // 1 on open ground, less in hollows and at wall feet
    };

    explicit GroundShading(const Vector3& sun);

    // The surface with its block revisions as now copied: in the blocks
    // that moved on, the columns whose height changed mark those around
    // them (across block borders) to be worked out again when next asked for.
    void follow(const VoxelWorld& surface, const std::vector<uint32_t>& revisions);
    // Block b's columns, the marked ones worked out now.
    const std::vector<Column>& block(const VoxelWorld& surface, int b);

    Vector3 sun;
    long columnsWorked = 0;  // since built

private:
    struct Block {
        std::vector<Column> columns;
        std::vector<float> heights;  // as last followed; empty before
        int low[2] = {0, 0}, high[2] = {64, 64};  // marked columns (cx, cz); none when low > high
    };
    void mark(int gx, int gz);

    std::vector<Block> blocks;
    std::vector<uint32_t> seen;
};
