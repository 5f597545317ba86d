#include "excavator/BucketSoil.h"

#include <cmath>

namespace {

int roundHalfUp(double v) { return static_cast<int>(std::floor(v + 0.5)); }

// Cells off the grid count as wall.
BucketCell* cellOrNull(BucketGrid& grid, int i, int j, int k)
{
    if (i < 0 || i >= BucketGrid::sizeI || j < 0 || j >= BucketGrid::sizeJ || k < 0 || k >= BucketGrid::sizeK)
        return nullptr;
    return &grid.cell(i, j, k);
}

bool isState(const BucketCell* c, int state) { return c && c->state == state; }

}  // namespace

SweepOffsets sweepOffsets(double alpha)
{
    const double c = std::cos(alpha), s = std::sin(alpha), h = 0.707106781;
    return {{-roundHalfUp(s), roundHalfUp(-c)},
            {roundHalfUp(-h * (c + s)), roundHalfUp(h * (s - c))},
            {-roundHalfUp(h * (s - c)), -roundHalfUp(h * (c + s))}};
}

int sweepBucket(BucketGrid& grid, double alpha, const GrainOutlet& outlet)
{
    const SweepOffsets o = sweepOffsets(alpha);
    int left = 0;
    for (int i = 0; i < BucketGrid::sizeI; ++i)
        for (int j = 0; j < BucketGrid::sizeJ; ++j)
            for (int k = 0; k < BucketGrid::sizeK; ++k) {
                BucketCell& cell = grid.cell(i, j, k);
                if (cell.state != BucketCell::Soil)
                    continue;
                const int iD = i + o.down[0], jD = j + o.down[1];
                BucketCell* around[5] = {cellOrNull(grid, iD, jD, k),
                                         cellOrNull(grid, i + o.first[0], j + o.first[1], k),
                                         cellOrNull(grid, i + o.second[0], j + o.second[1], k),
                                         cellOrNull(grid, iD, jD, k + 1), cellOrNull(grid, iD, jD, k - 1)};
                bool atSpill = false;
                for (const BucketCell* n : around)
                    atSpill = atSpill || isState(n, BucketCell::Spill);
                if (atSpill) {
                    // Refused grains stay in the bucket.
                    if (outlet.drop(outlet.grainAt(cell.position))) {
                        cell.state = BucketCell::Empty;
                        --grid.soilCount;
                        ++left;
                    }
                    continue;
                }
                for (BucketCell* n : around)
                    if (isState(n, BucketCell::Empty) && outlet.canDrop(outlet.grainAt(n->position))) {
                        cell.state = BucketCell::Empty;
                        n->state = BucketCell::Soil;
                        break;
                    }
            }
    return left;
}
