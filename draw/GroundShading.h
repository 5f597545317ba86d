#pragma once

#include <cstdint>
#include <vector>

#include "math/Vector3.h"

class VoxelWorld;

// Light and shade of the drawn ground, per column of a block (65 x 65,
// cx * 65 + cz): how squarely the sun meets it, from the normal of its
// neighbours' positions, and how much of the sky its neighbours hide. Kept
// per block and worked out again only for the blocks whose surface, or a
// neighbour's, has changed since; no GL.
class GroundShading {
public:
    struct Column {
        float sunlit = 1.0f;  // max(0, normal . towards the sun)
        float open = 1.0f;    // 1 on open ground, less in hollows and at wall feet
    };

    explicit GroundShading(const Vector3& sun);

    // The surface's block revisions as now copied: blocks that moved on,
    // and their neighbours, are worked out again when next asked for.
    void follow(const std::vector<uint32_t>& revisions);
    // Block b's columns, worked out now if stale.
    const std::vector<Column>& block(const VoxelWorld& surface, int b);

    Vector3 sun;
    long blocksWorked = 0;  // since built

private:
    void work(const VoxelWorld& surface, int b);

    std::vector<std::vector<Column>> blocks;
    std::vector<uint32_t> seen;
    std::vector<bool> stale;
};
