#include <gtest/gtest.h>

#include <algorithm>

#include "excavator/BucketGrid.h"

namespace {
int countState(const BucketGrid& g, int state)
{
    return static_cast<int>(std::count_if(std::begin(g.cells), std::end(g.cells),
                                          [state](const BucketCell& c) { return c.state == state; }));
}
}  // namespace

TEST(BucketGrid, CellsDescribeTheBucketsInside)
{
    const BucketGrid g;
    EXPECT_EQ(countState(g, BucketCell::Empty), 48);
    EXPECT_EQ(countState(g, BucketCell::Wall), 117);
    EXPECT_EQ(countState(g, BucketCell::Spill), 45);
    EXPECT_EQ(g.soilCount, 0);

    // The inside, in the model frame at zero angles (ground plate pivot added).
    const Vector3 pivot(3.938, 0.42, -0.05);
    Vector3 lo(1e9, 1e9, 1e9), hi(-1e9, -1e9, -1e9);
    for (int i = 0; i < 7; ++i)
        for (int j = 0; j < 6; ++j)
            for (int k = 0; k < 5; ++k) {
                const BucketCell& c = g.cell(i, j, k);
                EXPECT_EQ(&c, &g.cells[(i * 6 + j) * 5 + k]);
                if (c.state != BucketCell::Empty)
                    continue;
                // Soil can only ever be inside, so every neighbour exists.
                EXPECT_TRUE(i >= 1 && i <= 5 && j >= 1 && j <= 4 && k >= 1 && k <= 3);
                const Vector3 p = c.position + pivot;
                lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
                hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
            }
    EXPECT_NEAR(lo.x, 3.373, 1e-3);
    EXPECT_NEAR(hi.x, 4.546, 1e-3);
    EXPECT_NEAR(lo.y, 0.826, 1e-3);
    EXPECT_NEAR(hi.y, 1.494, 1e-3);
    EXPECT_NEAR(lo.z, -0.232, 1e-3);
    EXPECT_NEAR(hi.z, 0.331, 1e-3);
    // The open side: the whole front layer and the front of the side walls.
    for (int j = 0; j < 6; ++j)
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(g.cell(6, j, k).state, BucketCell::Spill);
    EXPECT_EQ(g.cell(4, 2, 0).state, BucketCell::Spill);
    EXPECT_EQ(g.cell(4, 4, 4).state, BucketCell::Wall);
}

TEST(BucketGrid, SoilFillsFromTheBackAndTopUntilFull)
{
    BucketGrid g;
    g.addSoil();
    EXPECT_EQ(g.cell(1, 3, 1).state, BucketCell::Soil);
    g.addSoil();
    g.addSoil();
    g.addSoil();
    EXPECT_EQ(g.cell(1, 3, 3).state, BucketCell::Soil);
    EXPECT_EQ(g.cell(1, 2, 1).state, BucketCell::Soil);
    EXPECT_EQ(g.soilCount, 4);
    for (int n = 0; n < 44; ++n)
        g.addSoil();
    EXPECT_EQ(g.soilCount, 48);
    EXPECT_EQ(countState(g, BucketCell::Soil), 48);
    EXPECT_EQ(countState(g, BucketCell::Empty), 0);
    g.addSoil();
    EXPECT_EQ(g.soilCount, 48);
    EXPECT_EQ(countState(g, BucketCell::Wall), 117);
    EXPECT_EQ(countState(g, BucketCell::Spill), 45);
}
