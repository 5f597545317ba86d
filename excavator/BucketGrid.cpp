#include "excavator/BucketGrid.h"

namespace {

// The bucket's inside by layer i: rows j lo..hi hold Empty cells at k 1..3.
struct Layer {
    int emptyLow, emptyHigh;
};
constexpr Layer insideRows[BucketGrid::sizeI] = {{1, 0}, {2, 3}, {1, 4}, {1, 4}, {2, 4}, {2, 4}, {1, 0}};

BucketCell::State initialState(int i, int j, int k)
{
    if (i == 6)
        return BucketCell::Spill;  // the open front
    const bool side = k == 0 || k == 4;
    if (i == 5 && j == 5)
        return BucketCell::Spill;  // over the lip
    if (!side && j >= insideRows[i].emptyLow && j <= insideRows[i].emptyHigh)
        return BucketCell::Empty;
    // Beside the front of the inside the side walls are cut away.
    if (side && ((i == 4 && j >= 2 && j <= 3) || (i == 5 && j >= 2 && j <= 4)))
        return BucketCell::Spill;
    return BucketCell::Wall;
}

}  // namespace

BucketGrid::BucketGrid()
{
    for (int i = 0; i < sizeI; ++i) {
        for (int j = 0; j < sizeJ; ++j) {
            for (int k = 0; k < sizeK; ++k) {
                Vector3 p(0.268155 * i - 0.833, 0.222657 * j + 0.183571, 0.281153 * k - 0.46286);
                // The bucket narrows towards its lip and its back is curved.
                if (k == 1 && i > 3)
                    p.z += 0.03 * i;
                else if (k == 2)
                    p.x += 0.1;
                else if (k == 3 && i > 3)
                    p.z -= 0.03 * i;
                if (i == 1 && j == 3) {
                    p.x += 0.0689928;
                    p.y -= 0.128429;
                } else if (i == 2 && j == 4) {
                    p.x += 0.0549928;
                    p.y -= 0.166429;
                } else if (i == 3 && j == 4) {
                    p.x += 0.0459928;
                    p.y -= 0.0634292;
                }
                BucketCell& c = cell(i, j, k);
                c.position = p;
                c.state = initialState(i, j, k);
            }
        }
    }
}

bool BucketGrid::hasRoom() const
{
    for (const BucketCell& c : cells)
        if (c.state == BucketCell::Empty)
            return true;
    return false;
}

void BucketGrid::addSoil()
{
    for (int i = 0; i < sizeI; ++i) {
        for (int j = sizeJ - 1; j >= 0; --j) {
            for (int k = 0; k < sizeK; ++k) {
                BucketCell& c = cell(i, j, k);
                if (c.state == BucketCell::Empty) {
                    c.state = BucketCell::Soil;
                    ++soilCount;
                    return;
                }
            }
        }
    }
}

bool BucketGrid::sweepDue(double dt)
{
    settleTimer += dt;
    if (settleTimer <= 0.01)
        return false;
    settleTimer = 0.0;
    return true;
}
