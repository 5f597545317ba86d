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

// The kept ground count agrees with a scan, and the total is unchanged.
void expectBalanced(const Terrain& t, int64_t total)
{
    EXPECT_EQ(soilLedger(t, {}).ground, recountSoil(t, {}).ground);
    EXPECT_EQ(soilLedger(t, {}).total(), total);
}

}  // namespace

TEST(Soil, GrainsNeverVanishNorSettleIntoSoil)
{
    const int b = 36, x = 20, z = 30;  // flat ground at 2.0: the top air layer is 27
    struct Case {
        const char* name;
        std::function<void(Terrain&)> setUp;
        int columnRise;  // at (x, z), in voxels
        int64_t ground, gone;
    };
    const Case cases[] = {
        {"two grains landing in one cell",
         [&](Terrain& t) {
             t.grains.push_back(grainAt(t.voxelCentre(b, x, 27, z)));
             t.grains.push_back(grainAt(t.voxelCentre(b, x, 27, z)));
         },
         2, 2, 0},
        {"thrown sideways against an overhang",
         [&](Terrain& t) {
             for (int y = 15; y <= 20; ++y)
                 t.world.setVoxel(b, x + 1, y, z, true);
             t.dropGrain(grainAt(t.voxelCentre(b, x, 20, z), Vector3(60.0, 0.0, 0.0)));
         },
         1, 7, 0},
        {"thrown off the terrain",
         [&](Terrain& t) { t.dropGrain(grainAt(t.voxelCentre(7, 63, 20, 10), Vector3(1000.0, 0.0, 0.0))); }, 0, 0,
         1},
        {"dug", [&](Terrain& t) { EXPECT_TRUE(t.removeSoilVoxel(b, x, 28, z) && !t.removeSoilVoxel(b, x, 28, z)); },
         -1, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Terrain t(flatGrid(2.0));
        const int64_t ground = t.soilVoxelCount();
        const float column = t.columnAt(b, x, z).position[1];
        c.setUp(t);
        const int64_t total = soilLedger(t, {}).total();
        for (int step = 0; t.grainCount() > 0 && step < 5000; ++step) {
            t.settleGrains(0.003);
            for (const SoilGrain& g : t.grains) {
                int16_t cell[3];
                t.voxelCoordsAt(t.blockIndexAt(g.position), g.position, cell[0], cell[1], cell[2]);
                ASSERT_TRUE(std::equal(cell, cell + 3, g.cell));  // cell and position agree
            }
        }
        EXPECT_EQ(t.grainCount(), 0u);
        expectBalanced(t, total);
        EXPECT_EQ(t.soilVoxelCount() - ground, c.ground);
        EXPECT_EQ(t.soilGone(), c.gone);
        EXPECT_FLOAT_EQ(t.columnAt(b, x, z).position[1] - column, static_cast<float>(c.columnRise * kVoxel));
    }
}

TEST(Soil, DumpedBucketRaisesTheGroundByWholeVoxels)
{
    Terrain t(flatGrid(2.0));
    std::vector<float> before;
    for (int n = 0; n < 64 * 64; ++n)
        before.push_back(t.columnAt(36, n / 64, n % 64).position[1]);
    BucketGrid g;
    for (int n = 0; n < 33; ++n)
        g.addSoil();
    const int64_t total = soilLedger(t, {}).total() + g.soilCount;
    // The bucket turned over (270 degrees), its pivot 4 m above block 36.
    const double alpha = 1.5 * 3.141592653589793;
    GrainOutlet ground{[&](const Vector3& p) { return grainAt(rotateAboutZ(p, alpha) + Vector3(8.0, 6.0, 8.0)); },
                       [&](const SoilGrain& s) { return t.canDropGrain(s); },
                       [&](const SoilGrain& s) { return t.dropGrain(s); }};
    for (int step = 0; step < 2000 && (g.soilCount > 0 || t.grainCount() > 0); ++step) {
        if (g.sweepDue(0.003))
            sweepBucket(g, alpha, ground);
        t.settleGrains(0.003);
        ASSERT_EQ(soilLedger(t, {}).total() + g.soilCount, total);
    }
    EXPECT_EQ(g.soilCount + t.grainCount(), 0u);
    expectBalanced(t, total);
    double risen = 0.0;
    for (int n = 0; n < 64 * 64; ++n) {
        const double rise = (t.columnAt(36, n / 64, n % 64).position[1] - before[n]) / kVoxel;
        EXPECT_NEAR(rise, std::round(rise), 1e-4);
        risen += rise;
    }
    EXPECT_NEAR(risen, 33.0, 1e-3);
}
