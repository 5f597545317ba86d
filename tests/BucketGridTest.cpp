#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "excavator/BucketGrid.h"
#include "excavator/BucketSoil.h"

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

TEST(BucketGrid, SweepsSpillOnlyWhatTheOpenSideLetsOut)
{
    // 33 units fill i = 1..3 and (4, 4, 1..3); the ground takes every grain,
    // or (last row) none.
    struct Case {
        double alphaDegrees;
        bool groundTakes;
        std::vector<int> leavingPerSweep;  // until a sweep lets none out
    };
    const Case cases[] = {{30, true, {}},     {90, true, {}},      {150, true, {}},
                          {0, true, {2, 1}},  {180, true, {9, 6, 3}}, {270, true, {13, 12, 8}},
                          {270, false, {}}};
    for (const Case& c : cases) {
        BucketGrid g;
        for (int n = 0; n < 33; ++n)
            g.addSoil();
        const BucketGrid full = g;
        const auto answer = [&](const SoilGrain&) { return c.groundTakes; };
        const GrainOutlet ground{[](const Vector3& p) { SoilGrain s; s.position = p; return s; }, answer, answer};
        std::vector<int> leaving;
        for (int n; leaving.size() < 20 && (n = sweepBucket(g, c.alphaDegrees * 3.141592653589793 / 180.0, ground));)
            leaving.push_back(n);
        EXPECT_EQ(leaving, c.leavingPerSweep) << c.alphaDegrees;
        EXPECT_EQ(g.soilCount, countState(g, BucketCell::Soil));
        EXPECT_EQ(g.soilCount + std::accumulate(leaving.begin(), leaving.end(), 0), 33);
        for (int k = 0; !c.groundTakes && k < BucketGrid::cellCount; ++k)
            EXPECT_EQ(g.cells[k].state, full.cells[k].state);  // refused soil neither leaves nor moves
    }
}
