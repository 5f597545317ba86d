#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "TestShapes.h"
#include "excavator/BucketSoil.h"
#include "excavator/SoilLedger.h"
#include "world/Terrain.h"

using namespace terrain;

namespace {

SoilGrain grainAt(const Vector3& p, const Vector3& velocity = Vector3())
{
    SoilGrain g;
    g.position = p;
    g.velocity = velocity;
    return g;
}

// Settles every grain, checking on the way that each grain's cell is the
// voxel its position lies in; returns the steps taken.
int settleAll(Terrain& t)
{
    int steps = 0;
    for (; t.grainCount() > 0 && steps < 5000; ++steps) {
        t.settleGrains(0.003);
        for (const SoilGrain& g : t.grains) {
            int16_t x, y, z;
            t.voxelCoordsAt(t.blockIndexAt(g.position), g.position, x, y, z);
            EXPECT_TRUE(g.cell[0] == x && g.cell[1] == y && g.cell[2] == z) << "step " << steps;
        }
    }
    EXPECT_EQ(t.grainCount(), 0u);
    return steps;
}

void expectBalanced(const Terrain& t, int64_t startTotal)
{
    const SoilLedger kept = soilLedger(t, {}), counted = recountSoil(t, {});
    EXPECT_EQ(kept.ground, counted.ground);
    EXPECT_EQ(kept.total(), startTotal);
}

}  // namespace

TEST(Soil, GrainsNeverVanishNorSettleIntoSoil)
{
    // Flat ground at 2.0: the top air layer over it is 27.
    const int b = 36, x = 20, z = 30;
    struct Case {
        const char* name;
        std::function<void(Terrain&)> setUp;
        double columnRise;  // at (x, z), in voxels
        int64_t ground, gone;
    };
    const Case cases[] = {
        {"two grains in one cell",
         [&](Terrain& t) {
             // Grains may share a cell while falling; here they land together.
             t.grains.push_back(grainAt(t.voxelCentre(b, x, 27, z)));
             t.grains.push_back(grainAt(t.voxelCentre(b, x, 27, z)));
         },
         2, 2, 0},
        {"thrown sideways against an overhang",
         [&](Terrain& t) {
             // Soil hanging in the air beside the grain, air under it.
             for (int y = 15; y <= 20; ++y)
                 t.world.setVoxel(b, x + 1, y, z, true);
             ASSERT_TRUE(t.dropGrain(grainAt(t.voxelCentre(b, x, 20, z), Vector3(60.0, 0.0, 0.0))));
         },
         1, 7, 0},
        {"thrown off the terrain",
         [&](Terrain& t) {
             ASSERT_TRUE(t.dropGrain(grainAt(t.voxelCentre(7, 63, 20, 10), Vector3(1000.0, 0.0, 0.0))));
         },
         0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Terrain t(flatGrid(2.0));
        const int64_t ground = t.soilVoxelCount();
        const float column = t.columnAt(b, x, z).position[1];
        c.setUp(t);
        const int64_t total = soilLedger(t, {}).total();
        settleAll(t);
        expectBalanced(t, total);
        EXPECT_EQ(t.soilVoxelCount() - ground, c.ground);
        EXPECT_EQ(t.soilGone(), c.gone);
        EXPECT_FLOAT_EQ(t.columnAt(b, x, z).position[1] - column, static_cast<float>(c.columnRise * kVoxel));
    }
}

TEST(Soil, DiggingTakesOneVoxelAndLowersItsColumn)
{
    Terrain t(flatGrid(2.0));
    const int b = 36, x = 10, z = 12;
    const float column = t.columnAt(b, x, z).position[1];
    const int64_t total = soilLedger(t, {}).total();
    EXPECT_FALSE(t.removeSoilVoxel(b, x, 27, z));  // air
    EXPECT_TRUE(t.removeSoilVoxel(b, x, 28, z));
    EXPECT_FALSE(t.removeSoilVoxel(b, x, 28, z));  // already taken
    EXPECT_FALSE(t.removeSoilVoxel(b, x, 46, z));  // below the stored layers
    EXPECT_EQ(t.voxelAt(b, x, 28, z), 1);
    EXPECT_FLOAT_EQ(t.columnAt(b, x, z).position[1], column - static_cast<float>(kVoxel));
    EXPECT_TRUE(t.columnAt(b, x, z).soil);
    EXPECT_LT(t.columnAt(b, x + 1, z).normal[0], 0.0f);  // tilted towards the hole
    expectBalanced(t, total - 1);
}

TEST(Soil, DumpedBucketRaisesTheGroundByWholeVoxels)
{
    Terrain t(flatGrid(2.0));
    std::vector<float> before;
    for (int cx = 0; cx <= 64; ++cx)
        for (int cz = 0; cz <= 64; ++cz)
            before.push_back(t.columnAt(36, cx, cz).position[1]);
    BucketGrid g;
    for (int n = 0; n < 33; ++n)
        g.addSoil();
    const int64_t total = soilLedger(t, {}).total() + g.soilCount;
    // The bucket turned by 270 degrees, its pivot 4 m over block 36.
    const double alpha = 1.5 * 3.141592653589793;
    GrainOutlet ground{[&](const Vector3& p) {
                           return grainAt(rotateAboutZ(p, alpha) + Vector3(8.0, 6.0, 8.0));
                       },
                       [&](const SoilGrain& s) { return t.canDropGrain(s); },
                       [&](const SoilGrain& s) { return t.dropGrain(s); }};
    for (int step = 0; step < 2000 && (g.soilCount > 0 || t.grainCount() > 0); ++step) {
        if (g.sweepDue(0.003))
            sweepBucket(g, alpha, ground);
        t.settleGrains(0.003);
        ASSERT_EQ(soilLedger(t, {}).total() + g.soilCount, total);
    }
    EXPECT_EQ(g.soilCount, 0);
    EXPECT_EQ(t.grainCount(), 0u);
    expectBalanced(t, total);
    double risen = 0.0;
    for (int cx = 0, n = 0; cx <= 64; ++cx)
        for (int cz = 0; cz <= 64; ++cz, ++n) {
            const double rise = (t.columnAt(36, cx, cz).position[1] - before[n]) / kVoxel;
            EXPECT_NEAR(rise, std::round(rise), 1e-4) << cx << "," << cz;
            EXPECT_GE(rise, 0.0);
            // The far border columns belong to the neighbours too; count each once.
            if (cx < 64 && cz < 64)
                risen += rise;
        }
    EXPECT_NEAR(risen, 33.0, 1e-3);
}
