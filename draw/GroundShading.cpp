#include "draw/GroundShading.h"

#include <algorithm>
#include <cmath>

#include "terrain/VoxelWorld.h"

namespace {

constexpr int kReach = 6;  // columns searched for a horizon, about 2 m
constexpr int kCount = terrain::kBlocks * terrain::kBlocks;

// Column (cx, cz) of block b, counted on into the neighbour blocks; false
// off the terrain.
bool columnPosition(const VoxelWorld& surface, int b, int cx, int cz, Vector3& out)
{
    constexpr int kLast = 64 * terrain::kBlocks;
    const int gx = (b % terrain::kBlocks) * 64 + cx, gz = (b / terrain::kBlocks) * 64 + cz;
    if (gx < 0 || gz < 0 || gx > kLast || gz > kLast)
        return false;
    const int j = std::min(gx / 64, terrain::kBlocks - 1), i = std::min(gz / 64, terrain::kBlocks - 1);
    const VoxelBlock& block = surface.block(i * terrain::kBlocks + j);
    const float* p = block.refs[(gx - 64 * j) * terrain::kColumns + gz - 64 * i]->position;
    out = Vector3(p[0], p[1], p[2]);
    return true;
}

}  // namespace

GroundShading::GroundShading(const Vector3& sun_) : sun(sun_), blocks(kCount), seen(kCount, 0) {}

void GroundShading::mark(int gx, int gz)
{
    // A column's shading reads its neighbours up to kReach away.
    constexpr int r = kReach + 1;
    for (int i = std::max(0, (gz - r) / 64 - 1); i <= std::min(terrain::kBlocks - 1, (gz + r) / 64); ++i)
        for (int j = std::max(0, (gx - r) / 64 - 1); j <= std::min(terrain::kBlocks - 1, (gx + r) / 64); ++j) {
            const int low[2] = {std::max(0, gx - r - 64 * j), std::max(0, gz - r - 64 * i)};
            const int high[2] = {std::min(64, gx + r - 64 * j), std::min(64, gz + r - 64 * i)};
            if (low[0] > high[0] || low[1] > high[1])
                continue;
            Block& block = blocks[i * terrain::kBlocks + j];
            const bool none = block.low[0] > block.high[0];
            for (int k = 0; k < 2; ++k) {
                block.low[k] = none ? low[k] : std::min(block.low[k], low[k]);
                block.high[k] = none ? high[k] : std::max(block.high[k], high[k]);
            }
        }
}

void GroundShading::follow(const VoxelWorld& surface, const std::vector<uint32_t>& revisions)
{
    const int n = std::min(kCount, static_cast<int>(revisions.size()));
    for (int b = 0; b < n; ++b) {
        Block& block = blocks[b];
        if (!block.heights.empty() && revisions[b] == seen[b])
            continue;
        seen[b] = revisions[b];
        const bool first = block.heights.empty();
        block.heights.resize(terrain::kColumns * terrain::kColumns);
        for (int k = 0; k < terrain::kColumns * terrain::kColumns; ++k) {
            const float y = surface.block(b).refs[k]->position[1];
            if (!first && y != block.heights[k])
                mark((b % terrain::kBlocks) * 64 + k / terrain::kColumns,
                     (b / terrain::kBlocks) * 64 + k % terrain::kColumns);
            block.heights[k] = y;
        }
    }
}

const std::vector<GroundShading::Column>& GroundShading::block(const VoxelWorld& surface, int b)
{
    static const int kDirections[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    Block& block = blocks[b];
    std::vector<Column>& out = block.columns;
    out.resize(terrain::kColumns * terrain::kColumns);
    for (int cx = block.low[0]; cx <= block.high[0]; ++cx)
        for (int cz = block.low[1]; cz <= block.high[1]; ++cz) {
            ++columnsWorked;
            Vector3 p;
            columnPosition(surface, b, cx, cz, p);
            // Central differences over the neighbours' true spacing; one-sided
            // at the terrain's edge.
            Vector3 xl = p, xh = p, zl = p, zh = p;
            columnPosition(surface, b, cx - 1, cz, xl);
            columnPosition(surface, b, cx + 1, cz, xh);
            columnPosition(surface, b, cx, cz - 1, zl);
            columnPosition(surface, b, cx, cz + 1, zh);
            Vector3 normal = cross(zh - zl, xh - xl);
            if (normal.y < 0.0)
                normal = -normal;
            const double normalLength = std::sqrt(dot(normal, normal));
            const Vector3 toSun = sun - p;
            Column& c = out[cx * terrain::kColumns + cz];
            const double facing = dot(normal, toSun) / (normalLength * std::sqrt(dot(toSun, toSun)));
            c.sunlit = normalLength > 0.0 ? static_cast<float>(std::max(0.0, facing)) : 0.0f;
            // The sky hidden by the neighbours: the sine of the highest
            // horizon over the column's own slope in each of eight
            // directions, averaged; an even slope hides nothing.
            const Vector3 up = normalLength > 0.0 ? normal / normalLength : Vector3(0.0, 1.0, 0.0);
            double hidden = 0.0;
            for (const auto& d : kDirections) {
                double steepest = 0.0;
                for (int k = 1; k <= kReach; ++k) {
                    Vector3 q;
                    if (!columnPosition(surface, b, cx + k * d[0], cz + k * d[1], q))
                        break;
                    const Vector3 to = q - p;
                    const double distance = std::sqrt(dot(to, to));
                    if (distance > 0.0)
                        steepest = std::max(steepest, dot(to, up) / distance);
                }
                hidden += steepest;
            }
            c.open = static_cast<float>(1.0 - hidden / 8.0);
        }
    block.low[0] = block.low[1] = 1;
    block.high[0] = block.high[1] = 0;
    return out;
}
