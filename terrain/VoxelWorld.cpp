#include "terrain/VoxelWorld.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/Fatal.h"
#include "physics/Collision.h"

using namespace terrain;

namespace {

constexpr int kBlockCount = kBlocks * kBlocks;
constexpr int kGlobalColumns = kBlocks * 64;  // per side, without the far edge

// NaN (from a non-finite point) becomes the lowest index: off every block.
int16_t toShort(double v)
{
    return std::isnan(v) ? INT16_MIN : static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
}

// Morton order within a level: bit 0 of each child number is x, bit 1 is z.
int interleave(int gx, int gz)
{
    int m = 0;
    for (int bit = 0; bit < 16; ++bit)
        m |= ((gx >> bit) & 1) << (2 * bit) | ((gz >> bit) & 1) << (2 * bit + 1);
    return m;
}

void deinterleave(int m, int& gx, int& gz)
{
    gx = gz = 0;
    for (int bit = 0; bit < 16; ++bit) {
        gx |= ((m >> (2 * bit)) & 1) << bit;
        gz |= ((m >> (2 * bit + 1)) & 1) << bit;
    }
}

// The block's quadtree nodes: one contiguous run (first, count) on each
// level from the block's own node down to the leaves.
std::array<std::pair<int, int>, kLeafLevel - kBlockLevel + 1> subtreeRuns(int b)
{
    std::array<std::pair<int, int>, kLeafLevel - kBlockLevel + 1> runs;
    const int m = interleave(b % kBlocks, b / kBlocks);
    for (int level = kBlockLevel, count = 1; level <= kLeafLevel; ++level, count *= 4)
        runs[level - kBlockLevel] = {VoxelWorld::firstNodeOfLevel(level) + m * count, count};
    return runs;
}

}  // namespace

std::array<Vector3, 4> terrain::blockCorners(const HeightGrid& heights, int i, int j)
{
    const double x0 = (j - kBlocks / 2) * kBlockSize, x1 = x0 + kBlockSize;
    const double z0 = (i - kBlocks / 2) * kBlockSize, z1 = z0 + kBlockSize;
    return {Vector3(x0, heights[i][j], z0), Vector3(x1, heights[i][j + 1], z0), Vector3(x0, heights[i + 1][j], z1),
            Vector3(x1, heights[i + 1][j + 1], z1)};
}

int VoxelWorld::firstNodeOfLevel(int level)
{
    return ((1 << (2 * level)) - 1) / 3 + 1;
}

int VoxelWorld::levelOf(int node)
{
    int level = 0;
    while (firstNodeOfLevel(level + 1) <= node)
        ++level;
    return level;
}

VoxelWorld::VoxelWorld(bool withVoxels)
    : nodes(kNodeCount + 1), revisions(kBlockCount, 0), blocks(kBlockCount), edgeX(kGlobalColumns),
      edgeZ(kGlobalColumns), built(kBlockCount), changed(kBlockCount, 0)
{
    for (VoxelBlock& vb : blocks) {
        // Soil (0) everywhere until build() marks the air above the ground.
        if (withVoxels)
            vb.voxels.assign(kVoxelsX * kVoxelsY * kVoxelsZ, 0);
        vb.columns.resize(64 * 64);
        vb.refs.resize(kColumns * kColumns);
    }
    for (int b = 0; b < kBlockCount; ++b) {
        const int i = b / kBlocks, j = b % kBlocks;
        for (int cx = 0; cx < kColumns; ++cx)
            for (int cz = 0; cz < kColumns; ++cz)
                blocks[b].refs[cx * kColumns + cz] = globalColumn(j * 64 + cx, i * 64 + cz);
    }
    // Node corners by the child rule; nodes above the blocks carry no corner.
    for (int level = kBlockLevel; level <= kLeafLevel; ++level) {
        const int first = firstNodeOfLevel(level), count = 1 << (2 * level);
        const int size = 64 >> (level - kBlockLevel);
        for (int m = 0; m < count; ++m) {
            int gx, gz;
            deinterleave(m, gx, gz);
            QuadNode& q = nodes[first + m];
            q.size = static_cast<uint8_t>(size);
            q.x = static_cast<uint8_t>((gx * size) % 64);
            q.z = static_cast<uint8_t>((gz * size) % 64);
        }
    }
}

TerrainColumn* VoxelWorld::globalColumn(int gx, int gz)
{
    if (gx < kGlobalColumns && gz < kGlobalColumns)
        return &blocks[(gz / 64) * kBlocks + gx / 64].columns[(gx % 64) * 64 + gz % 64];
    if (gz < kGlobalColumns)
        return &edgeX[gz];
    if (gx < kGlobalColumns)
        return &edgeZ[gx];
    return &corner;
}

void VoxelWorld::build(const HeightGrid& heights)
{
    soilVoxels = 0;
    for (int b = 0; b < kBlockCount; ++b) {
        built[b].reset();
        changed[b] = 0;
    }
    for (uint32_t& r : revisions)
        ++r;
    for (int b = 0; b < kBlockCount; ++b) {
        const int i = b / kBlocks, j = b % kBlocks;
        const std::array<Vector3, 4> P = blockCorners(heights, i, j);
        const Vector3 tri[2][3] = {{P[0], P[2], P[1]}, {P[2], P[3], P[1]}};
        VoxelBlock& vb = blocks[b];
        const double top = std::max(std::max(P[0].y, P[1].y), std::max(P[2].y, P[3].y));
        vb.origin = Vector3((j - kBlocks / 2 + 0.5) * kBlockSize, std::floor(top / kVoxel + 0.5) * kVoxel + kVoxelTop,
                            (i - kBlocks / 2 + 0.5) * kBlockSize);

        auto above = [&](int x, int y, int z) {
            const Vector3 c = voxelCentre(b, x, y, z);
            return pointAboveTriangle(c, tri[0][0], tri[0][1], tri[0][2]) ||
                   pointAboveTriangle(c, tri[1][0], tri[1][1], tri[1][2]);
        };
        for (int x = 0; x < kVoxelsX; ++x)
            for (int z = 0; z < kVoxelsZ; ++z) {
                // A column is air down to the ground and soil below it: the
                // first soil voxel is found by halving, not by testing all.
                int lo = 0, hi = kVoxelsY;
                while (lo < hi) {
                    const int mid = (lo + hi) / 2;
                    if (above(x, mid, z))
                        lo = mid + 1;
                    else
                        hi = mid;
                }
                for (int y = 0; y < kVoxelsY; ++y)
                    vb.voxels[(x * kVoxelsY + y) * kVoxelsZ + z] = y < lo ? 1 : 0;
                soilVoxels += kVoxelsY - lo;
            }

        for (int cx = 0; cx < kColumns; ++cx)
            for (int cz = 0; cz < kColumns; ++cz) {
                Vector3 p(vb.origin.x + cx * kVoxel - 11.0, vb.origin.y, vb.origin.z + cz * kVoxel - 11.0);
                // The second triangle starts from the point the first lowered.
                for (const auto& t : tri) {
                    double drop;
                    if (dropOntoTriangle(p, t[0], t[1], t[2], drop))
                        p.y -= drop;
                }
                TerrainColumn& col = *vb.refs[cx * kColumns + cz];
                col.position[0] = static_cast<float>(p.x);
                col.position[1] = static_cast<float>(p.y);
                col.position[2] = static_cast<float>(p.z);
            }
    }
    for (int b = 0; b < kBlockCount; ++b)
        for (int cx = 0; cx < kColumns; ++cx)
            for (int cz = 0; cz < kColumns; ++cz) {
                const Vector3 n = columnNormal(b, cx, cz);
                TerrainColumn& col = *blocks[b].refs[cx * kColumns + cz];
                col.normal[0] = static_cast<float>(n.x);
                col.normal[1] = static_cast<float>(n.y);
                col.normal[2] = static_cast<float>(n.z);
            }
}

int16_t VoxelWorld::blockIndexAt(const Vector3& p) const
{
    const double i = std::floor((p.z + kHalfVoxel) / kBlockSize + kBlocks / 2);
    const double j = std::floor((p.x + kHalfVoxel) / kBlockSize + kBlocks / 2);
    // NaN fails both comparisons and counts as off the terrain too.
    if (!(i >= 0 && i < kBlocks && j >= 0 && j < kBlocks))
        return kBlockCount;
    return static_cast<int16_t>(i * kBlocks + j);
}

void VoxelWorld::voxelCoordsAt(int b, const Vector3& p, int16_t& x, int16_t& y, int16_t& z) const
{
    if (!validBlock(b)) {
        x = y = z = 0;
        return;
    }
    const Vector3& o = blocks[b].origin;
    x = toShort(std::floor((p.x - o.x + 11.0) * kInvVoxel + 0.5));
    y = toShort(std::floor((o.y - p.y) * kInvVoxel + 0.5));
    z = toShort(std::floor((p.z - o.z + 11.0) * kInvVoxel + 0.5));
}

Vector3 VoxelWorld::voxelCentre(int b, int x, int y, int z) const
{
    const Vector3& o = blocks[validBlock(b) ? b : 0].origin;
    return {o.x + x * kVoxel - 11.0, o.y - y * kVoxel, o.z + z * kVoxel - 11.0};
}

int VoxelWorld::stepBlock(int b, int di, int dj) const
{
    if (!validBlock(b))
        return -1;
    const int i = b / kBlocks + di, j = b % kBlocks + dj;
    if (i < 0 || i >= kBlocks || j < 0 || j >= kBlocks)
        return -1;
    return i * kBlocks + j;
}

uint8_t* VoxelWorld::findVoxel(int b, int x, int y, int z, bool& aboveTop, int* owner)
{
    aboveTop = false;
    const int dj = x < 0 ? -1 : (x > 63 ? 1 : 0);
    const int di = z < 0 ? -1 : (z > 63 ? 1 : 0);
    const int nb = stepBlock(b, di, dj);
    x -= dj * 64;
    z -= di * 64;
    if (nb < 0 || x < 0 || x > 63 || z < 0 || z > 63)
        return nullptr;
    if (nb != b) {
        y -= static_cast<int>(std::floor((blocks[b].origin.y - blocks[nb].origin.y) / kVoxel + 0.5));
        y = std::max(y, 0);
    }
    if (y < 0 || y >= kVoxelsY) {
        aboveTop = y < 0;
        return nullptr;
    }
    if (owner)
        *owner = nb;
    return &blocks[nb].voxels[(x * kVoxelsY + y) * kVoxelsZ + z];
}

uint8_t& VoxelWorld::voxelAt(int b, int x, int y, int z)
{
    bool aboveTop;
    uint8_t* v = findVoxel(b, x, y, z, aboveTop);
    if (v)
        return *v;
    scratch = aboveTop ? 1 : 0;
    return scratch;
}

uint8_t* VoxelWorld::storedVoxel(int b, int x, int y, int z)
{
    bool aboveTop;
    return findVoxel(b, x, y, z, aboveTop);
}

bool VoxelWorld::setVoxel(int b, int x, int y, int z, bool soil)
{
    bool aboveTop;
    int owner = -1;
    uint8_t* v = findVoxel(b, x, y, z, aboveTop, &owner);
    if (!v)
        return false;
    keepBuilt(owner);
    const bool wasSoil = (*v & 1) == 0;
    // Both low bits are written: soil 00, free 01; the loose mark goes.
    *v = static_cast<uint8_t>((*v & ~(3u | terrain::kLooseVoxel)) | (soil ? 0u : 1u));
    soilVoxels += (soil ? 1 : 0) - (wasSoil ? 1 : 0);
    return true;
}

int64_t VoxelWorld::countSoilVoxels() const
{
    int64_t n = 0;
    for (const VoxelBlock& vb : blocks)
        n += std::count_if(vb.voxels.begin(), vb.voxels.end(), [](uint8_t v) { return (v & 1) == 0; });
    return n;
}

int VoxelWorld::columnBlock(int b, int& cx, int& cz) const
{
    const int dj = cx < 0 ? -1 : (cx > 64 ? 1 : 0);
    const int di = cz < 0 ? -1 : (cz > 64 ? 1 : 0);
    cx -= dj * 64;
    cz -= di * 64;
    return stepBlock(b, di, dj);
}

TerrainColumn& VoxelWorld::columnAt(int b, int cx, int cz)
{
    const int nb = columnBlock(b, cx, cz);
    if (nb < 0 || cx < 0 || cx > 64 || cz < 0 || cz > 64)
        return corner;
    return *blocks[nb].refs[cx * kColumns + cz];
}

Vector3 VoxelWorld::columnNormal(int b, int cx, int cz)
{
    if (cx == 0 || cz == 0)
        return {0.0, 1.0, 0.0};
    const auto y = [&](int x, int z) { return static_cast<double>(columnAt(b, x, z).position[1]); };
    Vector3 n(y(cx - 1, cz) - y(cx + 1, cz), 2.0, y(cx, cz - 1) - y(cx, cz + 1));
    return normalize(n);
}

int VoxelWorld::blockNode(int b) const
{
    return firstNodeOfLevel(kBlockLevel) + interleave(b % kBlocks, b / kBlocks);
}

int VoxelWorld::neighbour(int node, int level, QuadSide side) const
{
    const int first = firstNodeOfLevel(level), side_count = 1 << level;
    int gx, gz;
    deinterleave(node - first, gx, gz);
    gx += side == MinusX ? -1 : (side == PlusX ? 1 : 0);
    gz += side == MinusZ ? -1 : (side == PlusZ ? 1 : 0);
    if (gx < 0 || gx >= side_count || gz < 0 || gz >= side_count)
        return 0;
    return first + interleave(gx, gz);
}

void VoxelWorld::forceSplit(int node, int level)
{
    if (level <= kBlockLevel)
        return;
    const int parent = (node + 2) / 4;
    if (parent == 0 || nodes[parent].split)
        return;
    nodes[parent].split = true;
    markNode(parent);
    forceSplit(parent, level - 1);
    for (QuadSide side : {MinusX, PlusX, MinusZ, PlusZ}) {
        const int q = neighbour(parent, level - 1, side);
        if (q != 0 && !nodes[q].split)
            forceSplit(q, level - 1);
    }
}

void VoxelWorld::refineAround(int b, int cx, int cz)
{
    if (!validBlock(b) || cx < 0 || cx > 64 || cz < 0 || cz > 64)
        return;
    const int gx = (b % kBlocks) * 64 + cx, gz = (b / kBlocks) * 64 + cz;
    const int leavesPerSide = 1 << kLeafLevel;
    // The far edge's columns belong to the last leaf.
    const int lx = std::min(gx == 0 ? 0 : (gx - 1) / 2, leavesPerSide - 1);
    const int lz = std::min(gz == 0 ? 0 : (gz - 1) / 2, leavesPerSide - 1);
    const int leaf = firstNodeOfLevel(kLeafLevel) + interleave(lx, lz);
    forceSplit(leaf, kLeafLevel);
    const bool evenX = gx != 0 && gx % 2 == 0, evenZ = gz != 0 && gz % 2 == 0;
    const int px = evenX ? neighbour(leaf, kLeafLevel, PlusX) : 0;
    const int pz = evenZ ? neighbour(leaf, kLeafLevel, PlusZ) : 0;
    if (px)
        forceSplit(px, kLeafLevel);
    if (pz)
        forceSplit(pz, kLeafLevel);
    if (evenX && evenZ && pz) {
        const int diagonal = neighbour(pz, kLeafLevel, PlusX);
        if (diagonal)
            forceSplit(diagonal, kLeafLevel);
    }
}

int VoxelWorld::fanColumns(int n, int level, int out[10][2]) const
{
    const QuadNode& q = nodes[n];
    const int x = q.x, z = q.z, s = q.size, m = s / 2;
    int count = 0;
    const auto put = [&](int cx, int cz) {
        out[count][0] = cx;
        out[count][1] = cz;
        ++count;
    };
    const auto splitSide = [&](QuadSide side) {
        const int nb = neighbour(n, level, side);
        return nb != 0 && nodes[nb].split;
    };
    put(x + m, z + m);
    put(x, z);
    if (splitSide(MinusX))
        put(x, z + m);
    put(x, z + s);
    if (splitSide(PlusZ))
        put(x + m, z + s);
    put(x + s, z + s);
    if (splitSide(PlusX))
        put(x + s, z + m);
    put(x + s, z);
    if (splitSide(MinusZ))
        put(x + m, z);
    put(x, z);
    return count;
}

void VoxelWorld::markNode(int node)
{
    const int level = levelOf(node);
    if (level < kBlockLevel)
        return;
    int gx, gz;
    deinterleave((node - firstNodeOfLevel(level)) >> (2 * (level - kBlockLevel)), gx, gz);
    ++revisions[gz * kBlocks + gx];
}

int VoxelWorld::columnOwner(int b, int cx, int cz) const
{
    const int nb = columnBlock(b, cx, cz);
    if (nb < 0)
        return -1;
    // The column's record lives in the block whose own columns hold it; a
    // record of the far edges goes with the last block along that edge.
    const int gx = std::min((nb % kBlocks) * 64 + cx, kGlobalColumns - 1);
    const int gz = std::min((nb / kBlocks) * 64 + cz, kGlobalColumns - 1);
    return (gz / 64) * kBlocks + gx / 64;
}

void VoxelWorld::markSurface(int b, int cx, int cz)
{
    const int owner = columnOwner(b, cx, cz);
    if (owner >= 0)
        ++revisions[owner];
}

TerrainColumn& VoxelWorld::changeColumn(int b, int cx, int cz)
{
    const int owner = columnOwner(b, cx, cz);
    if (owner >= 0) {
        keepBuilt(owner);
        ++revisions[owner];
    }
    return columnAt(b, cx, cz);
}

void VoxelWorld::keepBuilt(int b)
{
    if (!built[b])
        built[b] = std::make_unique<BlockContents>(BlockContents{blocks[b].voxels, blocks[b].columns});
    changed[b] = 1;
}

void VoxelWorld::putContents(int b, const BlockContents& contents)
{
    std::copy(contents.voxels.begin(), contents.voxels.end(), blocks[b].voxels.begin());
    std::copy(contents.columns.begin(), contents.columns.end(), blocks[b].columns.begin());
    ++revisions[b];
}

int VoxelWorld::changedBlocks() const { return static_cast<int>(std::count(changed.begin(), changed.end(), 1)); }

VoxelWorldState VoxelWorld::save() const
{
    VoxelWorldState state;
    for (int b = 0; b < kBlockCount; ++b)
        if (changed[b])
            state.blocks.push_back({b, BlockContents{blocks[b].voxels, blocks[b].columns}});
    state.edgeX = edgeX;
    state.edgeZ = edgeZ;
    state.corner = corner;
    state.nodes = nodes;
    state.soilVoxels = soilVoxels;
    return state;
}

void VoxelWorld::restore(const VoxelWorldState& state)
{
    if (state.nodes.size() != nodes.size() || state.edgeX.size() != edgeX.size() || state.edgeZ.size() != edgeZ.size())
        throwFatal("[VoxelWorld] A saved state of another terrain cannot be restored.");
    size_t next = 0;
    for (int b = 0; b < kBlockCount; ++b) {
        if (next < state.blocks.size() && state.blocks[next].first == b) {
            keepBuilt(b);
            putContents(b, state.blocks[next++].second);
        } else if (changed[b]) {
            putContents(b, *built[b]);
            changed[b] = 0;
        }
        const auto same = [](const QuadNode& p, const QuadNode& q) {
            return p.x == q.x && p.z == q.z && p.size == q.size && p.split == q.split;
        };
        for (const auto& [first, count] : subtreeRuns(b))
            if (!std::equal(nodes.begin() + first, nodes.begin() + first + count, state.nodes.begin() + first, same)) {
                ++revisions[b];
                break;
            }
    }
    nodes = state.nodes;
    edgeX = state.edgeX;
    edgeZ = state.edgeZ;
    corner = state.corner;
    soilVoxels = state.soilVoxels;
}

int VoxelWorld::copySurface(const VoxelWorld& from, std::vector<uint32_t>& seen)
{
    int copied = 0;
    for (int b = 0; b < kBlockCount; ++b) {
        if (seen[b] == from.revisions[b])
            continue;
        seen[b] = from.revisions[b];
        ++copied;
        blocks[b].origin = from.blocks[b].origin;
        std::copy(from.blocks[b].columns.begin(), from.blocks[b].columns.end(), blocks[b].columns.begin());
        for (const auto& [first, count] : subtreeRuns(b))
            std::copy(from.nodes.begin() + first, from.nodes.begin() + first + count, nodes.begin() + first);
    }
    if (copied > 0) {
        edgeX = from.edgeX;
        edgeZ = from.edgeZ;
        corner = from.corner;
    }
    return copied;
}
