#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "math/Vector3.h"

// The terrain's headless core: voxel blocks, surface columns and the
// restricted quadtree that draws them. No SDL or GL in here.

namespace terrain {
constexpr int kBlocks = 8;                 // blocks per side
constexpr double kBlockSize = 22.0;
constexpr double kVoxel = 0.34375;         // 22 / 64
constexpr double kInvVoxel = 32.0 / 11.0;  // 1 / kVoxel
constexpr int kVoxelsX = 64, kVoxelsY = 46, kVoxelsZ = 64;
constexpr int kColumns = 65;               // column references per side
// One unit in the last place below 9.4875: keeps the top layer's centre
// just under the snapped grid line.
constexpr double kVoxelTop = 9.487499999999999;
constexpr int kBlockLevel = 3;
constexpr int kLeafLevel = 8;
constexpr int kNodeCount = 87381;          // (4^9 - 1) / 3
constexpr double kHalfVoxel = 0.171875;
// Set on soil that settled from loose grains: it cuts as dug soil does.
constexpr uint8_t kLooseVoxel = 4;

// Heightmap grid points 0..kBlocks in each direction, [row][column].
using HeightGrid = std::array<std::array<double, kBlocks + 1>, kBlocks + 1>;

// Corner points P00, P01, P10, P11 of block (i, j).
std::array<Vector3, 4> blockCorners(const HeightGrid& heights, int i, int j);
}  // namespace terrain

struct TerrainColumn {
    float position[3] = {0, 0, 0};
    float normal[3] = {0, 0, 0};
    bool soil = false;
};

struct QuadNode {
    uint8_t x = 0;     // corner column within the block
    uint8_t z = 0;
    uint8_t size = 0;  // side in columns, 64 for block nodes, 0 above them
    bool split = false;
};

struct VoxelBlock {
    // (x * 46 + y) * 64 + z; y counts down from the top. Bit 0 set = air.
    std::vector<uint8_t> voxels;
    std::vector<TerrainColumn> columns;   // own records, cx * 64 + cz
    std::vector<TerrainColumn*> refs;     // 65 x 65, cx * 65 + cz, borders shared
    Vector3 origin;                       // centre x, z; top layer y
};

enum QuadSide { MinusX = 0, PlusX = 1, MinusZ = 2, PlusZ = 3 };

// What digging and settling change in a block.
struct BlockContents {
    std::vector<uint8_t> voxels;
    std::vector<TerrainColumn> columns;  // its own records
};

// The voxel world's changes since it was built: the blocks changed (whole),
// the far edges' columns and the quadtree (both whole, as they are small).
struct VoxelWorldState {
    std::vector<std::pair<int, BlockContents>> blocks;  // by block index, ascending
    std::vector<TerrainColumn> edgeX, edgeZ;
    TerrainColumn corner;
    std::vector<QuadNode> nodes;
    int64_t soilVoxels = 0;
};

class VoxelWorld {
public:
    // Without voxels: a surface only, as the drawing side keeps a copy of it.
    explicit VoxelWorld(bool withVoxels = true);
    VoxelWorld(const VoxelWorld&) = delete;
    VoxelWorld& operator=(const VoxelWorld&) = delete;

    // Origins, voxels, columns and normals from the heightmap's grid points.
    void build(const terrain::HeightGrid& heights);

    // kBlocks * kBlocks for a point off the terrain.
    int16_t blockIndexAt(const Vector3& p) const;
    bool validBlock(int b) const { return b >= 0 && b < terrain::kBlocks * terrain::kBlocks; }
    void voxelCoordsAt(int b, const Vector3& p, int16_t& x, int16_t& y, int16_t& z) const;
    Vector3 voxelCentre(int b, int x, int y, int z) const;
    // Crosses one block per axis. Outside the stored voxels it hands out a
    // scratch byte: air above the top layer, soil below the bottom and off
    // the terrain; writes to it are lost.
    uint8_t& voxelAt(int b, int x, int y, int z);
    // The same lookup, but nullptr where voxelAt would hand out scratch.
    uint8_t* storedVoxel(int b, int x, int y, int z);
    // Makes a stored voxel soil (00) or free (01), not loose, and keeps
    // soilVoxels in step; false, and nothing changes, outside the stored voxels.
    bool setVoxel(int b, int x, int y, int z, bool soil);
    // Soil voxels by a scan of every block: the check of soilVoxels.
    int64_t countSoilVoxels() const;
    // Crosses into neighbour blocks; off the terrain: the corner record.
    TerrainColumn& columnAt(int b, int cx, int cz);
    Vector3 columnNormal(int b, int cx, int cz);

    // A change of the column (b, cx, cz) (position, normal or soil flag):
    // its block's surface revision moves on, so the drawn copy takes it up.
    void markSurface(int b, int cx, int cz);
    // The column (b, cx, cz) to be changed: its block is kept as built
    // first (for restore) and its surface marked.
    TerrainColumn& changeColumn(int b, int cx, int cz);

    // The changes since the build, and back to them: blocks neither holds
    // changed go back to how they were built. Restored blocks' revisions
    // move on, so the drawn copy takes them up.
    VoxelWorldState save() const;
    void restore(const VoxelWorldState& state);
    // Blocks that differ from the build now.
    int changedBlocks() const;
    uint32_t surfaceRevision(int b) const { return revisions[b]; }
    // Brings this surface (columns, quadtree) up to `from` in the blocks
    // whose revision differs from `seen`, which it updates; returns how
    // many blocks it copied. Voxels are not copied.
    int copySurface(const VoxelWorld& from, std::vector<uint32_t>& seen);

    // Restricted quadtree.
    void refineAround(int b, int cx, int cz);
    void forceSplit(int node, int level);
    // The same-level node on that side, or 0 at the terrain's edge.
    int neighbour(int node, int level, QuadSide side) const;
    int blockNode(int b) const;
    static int levelOf(int node);
    static int firstNodeOfLevel(int level);
    // Columns (cx, cz) of the fan that draws unsplit node n, in fan order;
    // returns the count (6 to 10).
    int fanColumns(int node, int level, int out[10][2]) const;

    const VoxelBlock& block(int b) const { return blocks[b]; }
    VoxelBlock& block(int b) { return blocks[b]; }
    const QuadNode& node(int n) const { return nodes[n]; }

    int16_t blocksPerSide = terrain::kBlocks;
    int blockLevel = terrain::kBlockLevel;
    int leafLevel = terrain::kLeafLevel;
    int nodeCount = terrain::kNodeCount;
    // Stored voxels with bit 0 clear, counted at build and kept by setVoxel;
    // writes through voxelAt bypass it.
    int64_t soilVoxels = 0;

private:
    int stepBlock(int b, int di, int dj) const;  // -1 when off the terrain
    // The block that column (cx, cz) of block b falls in, crossing one block
    // at most, with (cx, cz) made its own; -1 off the terrain.
    int columnBlock(int b, int& cx, int& cz) const;
    TerrainColumn* globalColumn(int gx, int gz);
    uint8_t* findVoxel(int b, int x, int y, int z, bool& aboveTop, int* owner = nullptr);

    void markNode(int node);
    // The block whose own records hold column (b, cx, cz); -1 off the terrain.
    int columnOwner(int b, int cx, int cz) const;
    // Keeps block b as built before its first change.
    void keepBuilt(int b);
    void putContents(int b, const BlockContents& contents);

    std::vector<QuadNode> nodes;  // 1..nodeCount; 0 unused
    std::vector<uint32_t> revisions;  // per block: moves on with every surface change
    std::vector<VoxelBlock> blocks;
    std::vector<TerrainColumn> edgeX;  // far x edge, by global z column
    std::vector<TerrainColumn> edgeZ;  // far z edge, by global x column
    TerrainColumn corner;
    uint8_t scratch = 0;
    // Per block: the contents as built, kept from its first change on
    // (null before), and whether it differs from them now.
    std::vector<std::unique_ptr<BlockContents>> built;
    std::vector<uint8_t> changed;
};
