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
    const float* p = surface.block(i * terrain::kBlocks + j).refs[(gx - 64 * j) * terrain::kColumns + gz - 64 * i]->position;
    out = Vector3(p[0], p[1], p[2]);
    return true;
}

}  // namespace

GroundShading::GroundShading(const Vector3& sun_)
    : sun(sun_), blocks(kCount), seen(kCount, 0), stale(kCount, true)
{
}

void GroundShading::follow(const std::vector<uint32_t>& revisions)
{
    const int n = std::min(kCount, static_cast<int>(revisions.size()));
    for (int b = 0; b < n; ++b) {
        if (revisions[b] == seen[b])
            continue;
        seen[b] = revisions[b];
        // A change near a border shades the neighbour's columns too.
        const int i = b / terrain::kBlocks, j = b % terrain::kBlocks;
        for (int di = -1; di <= 1; ++di)
            for (int dj = -1; dj <= 1; ++dj)
                if (i + di >= 0 && i + di < terrain::kBlocks && j + dj >= 0 && j + dj < terrain::kBlocks)
                    stale[(i + di) * terrain::kBlocks + j + dj] = true;
    }
}

const std::vector<GroundShading::Column>& GroundShading::block(const VoxelWorld& surface, int b)
{
    if (stale[b]) {
        work(surface, b);
        stale[b] = false;
        ++blocksWorked;
    }
    return blocks[b];
}

void GroundShading::work(const VoxelWorld& surface, int b)
{
    static const int kDirections[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    std::vector<Column>& out = blocks[b];
    out.resize(terrain::kColumns * terrain::kColumns);
    for (int cx = 0; cx < terrain::kColumns; ++cx)
        for (int cz = 0; cz < terrain::kColumns; ++cz) {
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
            c.sunlit = normalLength > 0.0
                           ? static_cast<float>(std::max(0.0, dot(normal, toSun) / (normalLength * std::sqrt(dot(toSun, toSun)))))
                           : 0.0f;
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
}
