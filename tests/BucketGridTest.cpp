#include <gtest/gtest.h>

#include <algorithm>
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
    // 33 units fill i = 1..3 and (4, 4, 1..3); the ground takes every grain.
    const double deg = 3.141592653589793 / 180.0;
    struct Case {
        double alphaDegrees;
        int leaving;
        std::vector<int> perSweep;  // checked when given
    };
    const Case cases[] = {{30, 0, {}}, {60, 0, {}}, {90, 0, {}}, {120, 0, {}}, {150, 0, {}},
                          {0, 3, {}},  {180, 18, {}}, {270, 33, {13, 12, 8}}};
    for (const Case& c : cases) {
        BucketGrid g;
        for (int n = 0; n < 33; ++n)
            g.addSoil();
        int offered = 0;
        GrainOutlet any{[](const Vector3& p) { SoilGrain s; s.position = p; return s; },
                        [](const SoilGrain&) { return true; }, [&](const SoilGrain&) {
                            ++offered;
                            return true;
                        }};
        std::vector<int> leaving;
        for (int sweep = 0; sweep < 20; ++sweep) {
            const int n = sweepBucket(g, c.alphaDegrees * deg, any);
            ASSERT_EQ(g.soilCount, countState(g, BucketCell::Soil));
            if (n == 0)
                break;
            leaving.push_back(n);
        }
        if (!c.perSweep.empty()) {
            EXPECT_EQ(leaving, c.perSweep);
        }
        EXPECT_EQ(offered, c.leaving) << c.alphaDegrees;
        EXPECT_EQ(g.soilCount + offered, 33);
        EXPECT_EQ(countState(g, BucketCell::Empty) + g.soilCount, 48);
    }

    // Ground that refuses every grain: nothing leaves and nothing moves.
    BucketGrid g;
    for (int n = 0; n < 33; ++n)
        g.addSoil();
    const BucketGrid before = g;
    const auto no = [](const SoilGrain&) { return false; };
    GrainOutlet none{[](const Vector3& p) { SoilGrain s; s.position = p; return s; }, no, no};
    for (double a : {0.0, 180.0, 270.0})
        EXPECT_EQ(sweepBucket(g, a * deg, none), 0);
    for (int c = 0; c < BucketGrid::cellCount; ++c)
        EXPECT_EQ(g.cells[c].state, before.cells[c].state);

    // The bucket's own timer: a sweep every fourth step of 0.003 s.
    int due = 0;
    for (int step = 0; step < 40; ++step)
        due += g.sweepDue(0.003);
    EXPECT_EQ(due, 10);
}
