#include <gtest/gtest.h>

#include <vector>

#include "TestShapes.h"
#include "draw/GroundShading.h"
#include "terrain/Terrain.h"

// A trench 1 m deep dug across a block of flat ground, the sun to its -z
// side: the wall facing +z gets no sun, the one facing the sun more than the
// flat ground, the floor sees less sky, and the ground far off is as it
// was. Only the columns around the trench are worked out again.
TEST(GroundShading, TrenchWallsAndFloorAgainstFlatGroundWorkedOutAgainOnlyAroundTheChange)
{
    Terrain t(flatGrid(1.0));
    VoxelWorld& w = t.world;
    GroundShading shading(Vector3(-30.0, 300.0, -300.0));
    std::vector<uint32_t> revisions(64);
    const auto follow = [&] {
        for (int b = 0; b < 64; ++b)
            revisions[b] = w.surfaceRevision(b);
        shading.follow(w, revisions);
        for (int b = 0; b < 64; ++b)
            shading.block(w, b);
    };
    follow();
    EXPECT_EQ(shading.columnsWorked, 64 * 65 * 65);
    const int b = 27;  // inside, neighbours all round
    const auto at = [&](int cx, int cz) { return shading.block(w, b)[cx * 65 + cz]; };
    const GroundShading::Column flat = at(32, 32), far = at(5, 5);
    EXPECT_FLOAT_EQ(flat.open, 1.0f);
    EXPECT_NEAR(flat.sunlit, 0.70, 0.02);  // the sun 45 degrees up

    for (int cx = 20; cx <= 44; ++cx)
        for (int cz = 30; cz <= 33; ++cz)
            w.changeColumn(b, cx, cz).position[1] -= 1.0f;
    follow();
    // The trench's 100 columns and those within reach of them, no more.
    EXPECT_GT(shading.columnsWorked - 64 * 65 * 65, 100);
    EXPECT_LT(shading.columnsWorked - 64 * 65 * 65, 1000);
    EXPECT_LT(at(32, 30).sunlit, 0.05f);       // the wall turned from the sun
    EXPECT_GT(at(32, 33).sunlit, flat.sunlit);  // the wall facing it
    EXPECT_LT(at(32, 31).open, 0.6f);           // the floor between the walls
    EXPECT_LT(at(32, 31).open, at(32, 29).open);
    EXPECT_FLOAT_EQ(at(5, 5).open, far.open);
    EXPECT_FLOAT_EQ(at(5, 5).sunlit, far.sunlit);
    // A bump on the border with the +x block shades that block's columns too.
    w.changeColumn(b, 64, 10).position[1] += 1.0f;
    follow();
    EXPECT_LT(shading.block(w, b + 1)[3 * 65 + 10].open, 0.95f);
}
