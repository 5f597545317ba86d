#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "TestFiles.h"
#include "TestShapes.h"
#include "terrain/TerrainImages.h"
#include "terrain/VoxelWorld.h"

using namespace terrain;

namespace {

// Bitmap whose pixel (r, c), r from the top, has the blue byte blue(r, c).
void writeBmp(const std::string& path, int width, int height, int bits, const std::function<uint8_t(int, int)>& blue)
{
    std::vector<uint8_t> px;
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) {
            const uint8_t v = blue(r, c);
            px.insert(px.end(), {v, static_cast<uint8_t>(255 - v), static_cast<uint8_t>(v ^ 0x55)});
            if (bits == 32)
                px.push_back(255);
        }
    testfiles::writeBytes(path, testfiles::bmpBytes(width, height, bits, px));
}

// The surface of block (i, j) at world (x, z), from the two triangles.
double surfaceAt(const HeightGrid& H, int i, int j, double x, double z)
{
    const double u = (x - (j - 4) * 22.0) / 22.0, v = (z - (i - 4) * 22.0) / 22.0;
    if (u + v <= 1.0)
        return H[i][j] + u * (H[i][j + 1] - H[i][j]) + v * (H[i + 1][j] - H[i][j]);
    return H[i + 1][j + 1] + (1 - u) * (H[i + 1][j] - H[i + 1][j + 1]) + (1 - v) * (H[i][j + 1] - H[i + 1][j + 1]);
}

}  // namespace

TEST(TerrainImages, HeightmapsAndLayersReadOrStopWithTheFileAndFault)
{
    const std::string dir = testfiles::scratchDir("terrain_images");
    const auto byte = [](int r, int c) { return static_cast<uint8_t>(r * 20 + c); };
    // 9 x 9 has 27-byte rows padded to 28 in the file: later rows must not drift.
    writeBmp(dir + "hm.bmp", 9, 9, 24, byte);
    const HeightGrid h = loadHeightmap(dir + "hm.bmp");
    for (int r = 0; r <= 8; ++r)
        for (int c = 0; c <= 8; ++c)
            EXPECT_DOUBLE_EQ(h[r][c], byte(r, c) * 14.0 / 255.0 - 4.8) << r << "," << c;
    // Too narrow, 32 bits, cut inside the pixel rows, cut inside the header.
    const struct {
        const char* file;
        int width, height, bits, cutTo;
        std::string fault;
    } cases[] = {{"wide.bmp", 9, 8, 24, 0, "Heightmap size error. "},
                 {"deep.bmp", 256, 256, 32, 0, "Heightmap format error. "},
                 {"cut.bmp", 16, 16, 24, 400, "Heightmap file error. "},
                 {"header.bmp", 16, 16, 24, 30, "Heightmap file error. "}};
    for (const auto& c : cases) {
        writeBmp(dir + c.file, c.width, c.height, c.bits, byte);
        if (c.cutTo > 0)
            std::filesystem::resize_file(dir + c.file, c.cutTo);
        const std::string text = testfiles::fatalText([&] { loadHeightmap(dir + c.file); });
        EXPECT_EQ(text.rfind("[Terrain] " + c.fault + dir + c.file + (c.cutTo ? ": not a readable BMP" : ""), 0), 0u)
            << text;
    }
    EXPECT_EQ(testfiles::fatalText([&] { loadHeightmap(dir + "missing.bmp"); }),
              "[Terrain] Heightmap file not found. " + dir + "missing.bmp: cannot be opened");

    // The 3D texture's layers: both images 256 x 256 at 24 bits (the blend is seen drawn in the GL test).
    writeBmp(dir + "grass.bmp", 256, 256, 24, byte);
    writeBmp(dir + "soil.bmp", 256, 256, 24, byte);
    EXPECT_EQ(loadTerrainLayers(dir + "grass.bmp", dir + "soil.bmp").size(), 256u * 256u * 3u * 32u);
    writeBmp(dir + "half.bmp", 128, 128, 24, byte);
    for (const auto& [a, b] : {std::pair{"grass.bmp", "half.bmp"}, std::pair{"deep.bmp", "soil.bmp"}})
        EXPECT_EQ(testfiles::fatalText([&] { loadTerrainLayers(dir + a, dir + b); }).rfind("[Terrain] 3d texture size error.", 0), 0u)
            << a << " " << b;
    EXPECT_EQ(testfiles::fatalText([&] { loadTerrainLayers(dir + "grass.bmp", dir + "nope.bmp"); }),
              "[Terrain] Erorr loading file. " + dir + "nope.bmp: cannot be opened");
}

TEST(VoxelWorld, HillyGroundFollowsBothTrianglesOfEveryBlock)
{
    VoxelWorld world;
    const HeightGrid H = hillyGrid();
    world.build(H);
    for (int b = 0; b < 64; ++b) {
        const int i = b / 8, j = b % 8;
        const double top = std::max({H[i][j], H[i][j + 1], H[i + 1][j], H[i + 1][j + 1]});
        EXPECT_EQ(world.block(b).origin.y, std::floor(top / kVoxel + 0.5) * kVoxel + kVoxelTop) << b;
        // Columns on both triangles and on the shared diagonal (cx + cz = 64).
        for (int cx = 0; cx <= 64; cx += 4)
            for (int cz = 0; cz <= 64; cz += 4) {
                const TerrainColumn& c = world.columnAt(b, cx, cz);
                EXPECT_NEAR(c.position[1], surfaceAt(H, i, j, c.position[0], c.position[2]), 2e-5)
                    << b << " " << cx << "," << cz;
            }
        // Every voxel clearly above the surface is air, every one clearly below is soil.
        for (int x = 0; x < 64; x += 3)
            for (int z = 0; z < 64; z += 5)
                for (int y = 0; y < 46; ++y) {
                    const Vector3 p = world.voxelCentre(b, x, y, z);
                    const double s = surfaceAt(H, i, j, p.x, p.z);
                    if (std::abs(p.y - s) > 1e-9) {
                        ASSERT_EQ(world.voxelAt(b, x, y, z), p.y > s ? 1 : 0) << b << " " << x << "," << y << "," << z;
                    }
                }
    }
}

TEST(VoxelWorld, LookupsAcrossBlockBordersAndOffTheTerrain)
{
    VoxelWorld world;
    const HeightGrid H = hillyGrid();
    world.build(H);

    // Half a voxel shift: just on the -x side of a border still maps to the +x block.
    EXPECT_EQ((std::array<int, 4>{world.blockIndexAt({0, 0, 0}), world.blockIndexAt({-0.1, 0, 5}), world.blockIndexAt({-0.2, 0, 5}),
                                  world.blockIndexAt({87.8, 3, 87.8})}),
              (std::array<int, 4>{36, 36, 35, 63}));
    // Off the +x edge of row 0 is not block 8 of row 1; and the other sides.
    for (const Vector3& p : {Vector3(87.9, 0, -80), Vector3(-88.2, 0, 0), Vector3(0, 0, 88), Vector3(0, 0, -90),
                             Vector3(1e30, 0, 0), Vector3(NAN, 0, 0), Vector3(0, 0, -INFINITY)})
        EXPECT_EQ(world.blockIndexAt(p), 64) << p.x << " " << p.z;

    // voxelCoordsAt inverts voxelCentre, also a shade off the centre.
    std::mt19937 rng(5);
    for (int k = 0; k < 200; ++k) {
        const int b = rng() % 64, x = rng() % 64, y = rng() % 46, z = rng() % 64;
        const Vector3 c = world.voxelCentre(b, x, y, z) + Vector3(0.17, -0.17, -0.17);
        int16_t v[3];
        world.voxelCoordsAt(b, c, v[0], v[1], v[2]);
        ASSERT_EQ((std::array<int, 4>{v[0], v[1], v[2], world.blockIndexAt(c - Vector3(0.17, -0.17, -0.17))}), (std::array<int, 4>{x, y, z, b}));
    }
    int16_t vx, vy, vz;
    // A non-finite point is off the terrain: its coordinates reach no stored voxel.
    for (double bad : {NAN, INFINITY, -INFINITY}) {
        world.voxelCoordsAt(36, Vector3(bad, bad, bad), vx, vy, vz);
        EXPECT_EQ(&world.voxelAt(36, vx, vy, vz), &world.voxelAt(64, 0, 0, 0)) << bad;
    }

    // Crossing to the -x, +x, -z and +z neighbours with the tops' difference in layers.
    const auto shift = [&](int from, int to) {
        return static_cast<int>(std::floor((world.block(from).origin.y - world.block(to).origin.y) / kVoxel + 0.5));
    };
    const int b = 27;
    ASSERT_NE(shift(b, 26), 0);
    for (int y : {10, 20, 30}) {
        EXPECT_EQ(&world.voxelAt(b, -1, y, 7), &world.voxelAt(26, 63, std::max(0, y - shift(b, 26)), 7));
        EXPECT_EQ(&world.voxelAt(b, 64, y, 7), &world.voxelAt(28, 0, std::max(0, y - shift(b, 28)), 7));
        EXPECT_EQ(&world.voxelAt(b, 7, y, -1), &world.voxelAt(19, 7, std::max(0, y - shift(b, 19)), 63));
        EXPECT_EQ(&world.voxelAt(b, 7, y, 64), &world.voxelAt(35, 7, std::max(0, y - shift(b, 35)), 0));
    }
    // Off the terrain or the stored layers: soil below and outside, air above; writes are lost.
    const std::vector<uint8_t> before = world.block(0).voxels;
    for (auto [bb, x, y, z] : {std::array<int, 4>{0, -1, 10, 5}, {7, 64, 10, 5}, {63, 5, 10, 64}, {0, 5, 46, 5},
                               {0, -65, 10, 5}, {64, 5, 10, 5}, {-1, 5, 10, 5}}) {
        uint8_t& v = world.voxelAt(bb, x, y, z);
        EXPECT_EQ(v, 0) << bb << " " << x << "," << y << "," << z;
        v = 1;
    }
    EXPECT_TRUE(world.voxelAt(0, 5, -1, 5) == 1 && world.voxelAt(0, 5, 46, 5) == 0 && world.block(0).voxels == before);

    // Border columns are one record for both blocks; the far corner takes every lookup off the terrain.
    EXPECT_EQ(&world.columnAt(9, 64, 13), &world.columnAt(10, 0, 13));
    EXPECT_EQ(&world.columnAt(9, 65, 70), &world.columnAt(18, 1, 6));
    TerrainColumn* corner = &world.columnAt(63, 64, 64);
    for (auto [bb, cx, cz] : {std::array<int, 3>{0, -1, 5}, {7, 65, 5}, {64, 0, 0}})
        EXPECT_EQ(&world.columnAt(bb, cx, cz), corner) << bb << " " << cx << "," << cz;
    // The far edge columns were written with the ground's height.
    EXPECT_NEAR(world.columnAt(7, 64, 32).position[1], (H[0][8] + H[1][8]) / 2, 2e-5);
    EXPECT_NEAR(corner->position[1], H[8][8], 2e-5);
}
