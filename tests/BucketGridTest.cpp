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

TEST(BucketGrid, SoilFillsFromTheBackAndTopUntilFull)
{
    BucketGrid g;
    for (int n = 0; n < 4; ++n)
        g.addSoil();
    for (const auto& at : {std::vector<int>{1, 3, 1}, {1, 3, 3}, {1, 2, 1}})
        EXPECT_EQ(g.cell(at[0], at[1], at[2]).state, BucketCell::Soil) << at[0] << at[1] << at[2];
    // Soil can only ever be inside, so a settling cell's neighbours all exist.
    for (int n = 0; n < 45; ++n)
        g.addSoil();
    EXPECT_EQ(g.soilCount, 48);
    for (int i = 0; i < BucketGrid::sizeI; ++i)
        for (int j = 0; j < BucketGrid::sizeJ; ++j)
            for (int k = 0; k < BucketGrid::sizeK; ++k) {
                const bool inside = i >= 1 && i <= 5 && j >= 1 && j <= 4 && k >= 1 && k <= 3;
                EXPECT_TRUE(inside || g.cell(i, j, k).state != BucketCell::Soil) << i << j << k;
            }
    EXPECT_EQ(countState(g, BucketCell::Soil), 48);
    EXPECT_EQ(countState(g, BucketCell::Empty), 0);
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
