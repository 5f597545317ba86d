#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>

#include "TestShapes.h"
#include "math/Frustum.h"
#include "draw/TerrainView.h"
#include "terrain/Terrain.h"

using namespace terrain;

namespace {

SoilGrain grainAt(const Vector3& p)
{
    SoilGrain g;
    g.position = p;
    return g;
}

}  // namespace

TEST(TerrainGround, BlockMeshesAreTheImmovableCollisionSurface)
{
    const HeightGrid H = hillyGrid();
    Terrain t(H);
    EXPECT_TRUE(t.isStatic() && t.mass == HUGE_VAL);
    ASSERT_EQ(t.meshCount, 64u);
    for (int b = 0; b < 64; ++b) {
        const Mesh& m = t.meshes[b];
        const int i = b / 8, j = b % 8;
        ASSERT_TRUE(m.index == b && m.triangles.size() == 2u) << b;
        EXPECT_TRUE(m.triangles[0].normal.y > 0.0 && m.triangles[1].normal.y > 0.0);
        // P00, P10, P01: the first triangle starts at the block's -x -z corner.
        EXPECT_EQ(m.positions[m.triangles[0].vertices[0]], Vector3((j - 4) * 22.0, H[i][j], (i - 4) * 22.0));
        const double low = std::min({H[i][j], H[i][j + 1], H[i + 1][j], H[i + 1][j + 1]});
        EXPECT_DOUBLE_EQ(m.boxMin.y, low - 10.0);
    }
    // A border edge carries the normalised sum of the face normals on its two sides.
    int stitched = 0;
    for (int b = 0; b < 64; ++b)
        for (int nb : {b + 1, b + 8}) {
            if (nb >= 64 || (nb == b + 1 && b % 8 == 7))
                continue;
            const Mesh &a = t.meshes[b], &c = t.meshes[nb];
            for (const MeshTriangle& ta : a.triangles)
                for (const MeshTriangle& tc : c.triangles)
                    for (int ea : ta.edges)
                        for (int ec : tc.edges) {
                            const MeshEdge &x = a.edges[ea], &y = c.edges[ec];
                            const Vector3 &x0 = a.positions[x.v0], &x1 = a.positions[x.v1];
                            const Vector3 &y0 = c.positions[y.v0], &y1 = c.positions[y.v1];
                            if ((x0 != y0 || x1 != y1) && (x0 != y1 || x1 != y0))
                                continue;
                            ++stitched;
                            expectNear(x.normal, normalized(ta.normal + tc.normal), 1e-12);
                            EXPECT_TRUE(x.normal == y.normal && x.workingNormal == y.normal && x.convex == y.convex);
                        }
        }
    EXPECT_EQ(stitched, 2 * 7 * 8);
    // Flat ground: the border edges are flat, hence not convex.
    Terrain flat(flatGrid(1.0));
    EXPECT_FALSE(flat.meshes[0].edges[flat.meshes[0].triangles[1].edges[2]].convex);
}

TEST(TerrainGround, DrawnGroundTilesTheTerrainOnceFacingUpInTheTextureItsCornersNeed)
{
    Terrain t(hillyGrid());
    // A soil patch refined down to the leaves, as digging leaves it.
    for (int cx = 10; cx < 20; ++cx)
        for (int cz = 10; cz < 20; ++cz) {
            t.refineAround(27, cx, cz);
            t.columnAt(27, cx, cz).soil = true;
        }
    const auto collect = [&t](double reach) {
        double clip[16] = {};
        clip[0] = clip[5] = clip[10] = 1.0 / reach;  // sees |x|, |y|, |z| <= reach
        clip[15] = 1.0;
        std::vector<GroundVertex> batches[3];
        collectGround(t.world, Frustum(clip), batches);
        double area = 0.0;
        for (int cover = GrassCover; cover <= MixedCover; ++cover) {
            const std::vector<GroundVertex>& batch = batches[cover];
            EXPECT_EQ(batch.size() % 3, 0u);
            bool grass = false, soil = false;
            for (size_t k = 0; k + 2 < batch.size(); k += 3) {
                Vector3 p[3];
                for (int c = 0; c < 3; ++c) {
                    p[c] = Vector3(batch[k + c].position[0], batch[k + c].position[1], batch[k + c].position[2]);
                    (batch[k + c].tex[2] == 0.0f ? grass : soil) = true;
                }
                const double up = cross(p[1] - p[0], p[2] - p[0]).y;  // twice the area seen from above
                EXPECT_GT(up, 0.0) << "a fan turned away from the sky, cover " << cover;
                area += 0.5 * up;
            }
            EXPECT_TRUE(cover == GrassCover ? grass && !soil
                        : cover == SoilCover ? soil && !grass
                                                      : grass && soil)
                << cover;
        }
        return area;
    };
    EXPECT_NEAR(collect(200.0), 176.0 * 176.0, 1e-6);
    // A view 30 m across sends only the blocks it reaches.
    EXPECT_LT(collect(15.0), 16 * 22.0 * 22.0 + 1e-6);

    // Kept blocks give what a fresh walk gives, also after a change on the
    // border of a neighbour, which moves on only the neighbour's revision.
    double all[16] = {};
    all[0] = all[5] = all[10] = 1.0 / 200.0;
    all[15] = 1.0;
    CollectedGround kept;
    const auto keptAsFresh = [&] {
        std::vector<uint32_t> revisions;
        for (int b = 0; b < 64; ++b)
            revisions.push_back(t.world.surfaceRevision(b));
        std::vector<GroundVertex> fresh[3], stored[3];
        collectGround(t.world, Frustum(all), fresh);
        collectGround(t.world, Frustum(all), stored, GroundLight(), &revisions, &kept);
        for (int cover = GrassCover; cover <= MixedCover; ++cover)
            if (fresh[cover].size() != stored[cover].size() ||
                std::memcmp(fresh[cover].data(), stored[cover].data(), fresh[cover].size() * sizeof(GroundVertex)))
                return false;
        return true;
    };
    EXPECT_TRUE(keptAsFresh());
    for (int cz = 10; cz < 14; ++cz) {
        t.refineAround(28, 0, cz);
        t.columnAt(28, 0, cz).soil = true;
        t.world.markSurface(28, 0, cz);
    }
    EXPECT_TRUE(keptAsFresh());
}

TEST(TerrainGround, SurfaceDistanceBelowMeetsTheInitialGroundOnly)
{
    Terrain t(flatGrid(2.0));
    // Inside, on a block's diagonal, and within half a voxel before a block border, where the voxel
    // grid already counts the next block; below the ground and off the terrain.
    const std::pair<Vector3, double> cases[] = {
        {{5.0, 10.0, -7.0}, 8.0}, {{-80.0, 10.0, 80.0}, 8.0}, {{11.0, 10.0, 11.0}, 8.0}, {{-0.1, 10.0, 7.0}, 8.0},
        {{3.0, 1.0, 3.0}, 0.0},   {{100.0, 10.0, 0.0}, 0.0},  {{0.0, 10.0, -95.0}, 0.0}, {{87.9, 10.0, -80.0}, 0.0}};
    for (const auto& [p, want] : cases)
        EXPECT_DOUBLE_EQ(t.surfaceDistanceBelow(p), want) << p.x << " " << p.z;
    t.voxelAt(36, 10, 30, 10) = 1;  // dug voxels do not change it
    EXPECT_DOUBLE_EQ(t.surfaceDistanceBelow(t.voxelCentre(36, 10, 0, 10)), t.voxelCentre(36, 10, 0, 10).y - 2.0);

    const HeightGrid H = hillyGrid();
    Terrain s(H);
    // Block 36 (corner at the origin), inside its second triangle.
    const double u = 0.75, v = 0.5;
    const double ground = H[5][5] + (1 - u) * (H[5][4] - H[5][5]) + (1 - v) * (H[4][5] - H[5][5]);
    EXPECT_NEAR(s.surfaceDistanceBelow(Vector3(22 * u, 10.0, 22 * v)), 10.0 - ground, 1e-12);
}

TEST(TerrainGround, GrainFallsFasterThenSettlesAndRaisesTheGround)
{
    Terrain t(flatGrid(2.0));
    const int b = 36, x = 20, z = 30;  // the top air layer is 27
    const Vector3 start = t.voxelCentre(b, x, 10, z);
    ASSERT_TRUE(t.dropGrain(grainAt(start)));
    // Taken: the same cell, also in another block; a soil voxel; air held by something else; off the terrain.
    t.voxelAt(b, x, 12, z) = 3;
    for (const Vector3& p : {start, t.voxelCentre(9, x, 10, z), t.voxelCentre(b, x, 40, z), t.voxelCentre(b, x, 12, z),
                             Vector3(120.0, 5.0, 0.0)})
        EXPECT_FALSE(t.canDropGrain(grainAt(p)) || t.dropGrain(grainAt(p))) << p.x << " " << p.y << " " << p.z;
    t.voxelAt(b, x, 12, z) = 1;

    const float groundBefore = t.columnAt(b, x, z).position[1];
    double lastSpeed = 0.0, lastY = start.y;
    for (int steps = 0; t.grainCount() > 0 && steps < 5000; ++steps) {
        const SoilGrain& g = t.grains.front();
        EXPECT_TRUE(g.position.y <= lastY && -g.velocity.y >= lastSpeed) << steps;
        lastSpeed = -g.velocity.y;
        lastY = g.position.y;
        t.settleGrains(0.003);
    }
    ASSERT_EQ(t.grainCount(), 0u);
    EXPECT_GT(lastSpeed, 5.0);
    // It landed in the top air layer over column (x, z): that voxel is soil now, the column one voxel
    // higher, drawn as soil with its neighbours, in detail, their normals tilted away from it.
    EXPECT_TRUE((t.voxelAt(b, x, 27, z) & 3) == 0 && t.voxelAt(b, x, 26, z) == 1);
    EXPECT_FLOAT_EQ(t.columnAt(b, x, z).position[1], groundBefore + static_cast<float>(kVoxel));
    for (int cx = x - 1; cx <= x + 2; ++cx)
        for (int cz = z - 1; cz <= z + 1; ++cz)
            EXPECT_EQ(t.columnAt(b, cx, cz).soil, cx <= x + 1) << cx << "," << cz;
    EXPECT_TRUE(t.world.node(t.world.blockNode(b)).split);
    EXPECT_TRUE(t.columnAt(b, x + 1, z).normal[0] > 0.0f && t.columnAt(b, x - 1, z).normal[0] < 0.0f);
}

TEST(TerrainGround, GrainOnAPillarSlidesMinusXFirstThenAroundAndAcrossBlocks)
{
    // A one-voxel pillar on the ground (top air layer is 27): the grain slides one voxel
    // down to -x; with -x blocked the next choice is +z, then +x. From column 0 of block 28
    // it slides into the last column of block 27.
    const struct {
        int b, x, z, blockX, blockZ, toB, toX, toZ;
    } cases[] = {{27, 30, 30, 0, 0, 27, 29, 30}, {27, 30, 30, 1, 0, 27, 30, 31}, {27, 30, 30, 1, 1, 27, 31, 30},
                 {28, 0, 5, 0, 0, 27, 63, 5}};
    for (const auto& c : cases) {
        Terrain u(flatGrid(2.0));
        u.voxelAt(c.b, c.x, 27, c.z) = u.voxelAt(c.b, c.x, 26, c.z) = 0;
        if (c.blockX)
            u.voxelAt(c.b, c.x - 1, 26, c.z) = 0;
        if (c.blockZ)
            u.voxelAt(c.b, c.x, 26, c.z + 1) = 0;
        ASSERT_TRUE(u.dropGrain(grainAt(u.voxelCentre(c.b, c.x, 25, c.z))));
        for (int k = 0; k < 400 && u.grainCount() > 0; ++k)
            u.settleGrains(0.003);
        ASSERT_EQ(u.grainCount(), 0u);
        EXPECT_EQ(u.voxelAt(c.toB, c.toX, 27, c.toZ) & 3, 0) << c.toX << "," << c.toZ;
        EXPECT_TRUE(u.columnAt(c.toB, c.toX, c.toZ).soil);
    }
}
