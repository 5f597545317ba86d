#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "TestShapes.h"
#include "excavator/SoilLedger.h"
#include "terrain/Terrain.h"

using namespace terrain;

namespace {

SoilGrain grainAt(const Vector3& p, const Vector3& velocity = Vector3())
{
    SoilGrain g;
    g.position = p;
    g.velocity = velocity;
    return g;
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
        size_t loose = 0;  // grains left at the end
    };
    const Case cases[] = {
        {"two grains landing in one cell",
         [&](Terrain& t) {
             EXPECT_TRUE(t.dropGrain(grainAt(t.voxelCentre(b, x, 27, z))));
             EXPECT_FALSE(t.dropGrain(grainAt(t.voxelCentre(b, x, 27, z)))) << "one grain a cell when dropped";
             t.grains.push_back(grainAt(t.voxelCentre(b, x, 27, z)));  // but two may fall into one
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
        {"onto columns full to the top: it stays a grain",
         [&](Terrain& t) {
             for (int cx = x - 1; cx <= x + 1; ++cx)
                 for (int cz = z - 1; cz <= z + 1; ++cz)
                     for (int y = 0; y < kVoxelsY; ++y)
                         t.world.setVoxel(b, cx, y, cz, true);
             EXPECT_TRUE(t.dropGrain(grainAt(t.voxelCentre(b, x, -1, z))));
         },
         0, 9 * 28, 0, 1},
        {"with no finite speed: refused",
         [&](Terrain& t) {
             EXPECT_FALSE(t.dropGrain(grainAt(t.voxelCentre(b, x, 20, z), Vector3(0.0, NAN, 0.0))));
         },
         0, 0, 0},
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
        for (int step = 0; t.grainCount() > c.loose && step < 5000; ++step) {
            t.settleGrains(0.003);
            for (const SoilGrain& g : t.grains) {
                int16_t cell[3];
                t.voxelCoordsAt(t.blockIndexAt(g.position), g.position, cell[0], cell[1], cell[2]);
                ASSERT_TRUE(std::equal(cell, cell + 3, g.cell));  // cell and position agree
            }
        }
        for (int step = 0; step < 100; ++step)
            t.settleGrains(0.003);
        EXPECT_EQ(t.grainCount(), c.loose);
        EXPECT_EQ(soilLedger(t, {}).ground, recountSoil(t, {}).ground);
        EXPECT_EQ(soilLedger(t, {}).total(), total);
        EXPECT_EQ(t.soilVoxelCount() - ground, c.ground);
        EXPECT_EQ(t.soilGone(), c.gone);
        EXPECT_FLOAT_EQ(t.columnAt(b, x, z).position[1] - column, static_cast<float>(c.columnRise * kVoxel));
    }
}
