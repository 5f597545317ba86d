// The generated images, read the way the program reads them (SDL's BMP loader).
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace {

const std::string dataDir = std::string(KELVARRO_BINARY_DIR) + "/data/";

using Surface = std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)>;

Surface load(const std::string& name)
{
    return Surface(SDL_LoadBMP((dataDir + name).c_str()), SDL_FreeSurface);
}

const uint8_t* pixel(const SDL_Surface* s, int x, int y)
{
    return static_cast<const uint8_t*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
}

}  // namespace

// The terrain reads only the 9 × 9 grid at byte offset (r · width + c) · 3,
// blue first; the start pose needs four of those corners.
TEST(DataImages, HeightmapFitsTheTerrainReaderAndTheStartPose)
{
    Surface hm = load("hm02.bmp");
    ASSERT_TRUE(hm) << SDL_GetError();
    EXPECT_EQ(hm->format->BitsPerPixel, 24);
    EXPECT_TRUE(hm->w == hm->h && hm->w >= 12) << hm->w << " x " << hm->h;
    EXPECT_EQ(hm->w % 4, 0) << "rows read width·3 apart must match the padded rows";
    const auto* bytes = static_cast<const uint8_t*>(hm->pixels);
    auto height = [&](int r, int c) { return bytes[(r * hm->w + c) * 3] * 14.0 / 255.0 - 4.8; };
    // The first camera view from (9, 9, 0): on the z = 0 edge of block 36.
    const double under = height(4, 4) + 9.0 / 22.0 * (height(4, 5) - height(4, 4));
    EXPECT_LT(under, 7.0);
    // A landscape, not a plane: hills and a basin of several metres, below the forest slabs at y = 10.
    double low = 1e9, high = -1e9;
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 9; ++c) {
            low = std::fmin(low, height(r, c));
            high = std::fmax(high, height(r, c));
        }
    EXPECT_TRUE(low < -2.0 && high > 6.0 && high < 9.0) << low << " " << high;
}

// The sprite path uploads the surface's bytes as BGRA: the fourth byte is alpha.
TEST(DataImages, TreeSpritesAreClearAroundAndSolidInside)
{
    for (const char* name : {"tree01.bmp", "tree02.bmp", "tree03.bmp"}) {
        Surface s = load(name);
        ASSERT_TRUE(s) << name;
        ASSERT_EQ(s->format->BitsPerPixel, 32) << name;
        int opaque = 0, clear = 0;
        for (int y = 0; y < s->h; ++y)
            for (int x = 0; x < s->w; ++x) {
                const uint8_t alpha = pixel(s.get(), x, y)[3];
                opaque += alpha == 255;
                clear += alpha == 0;
                EXPECT_TRUE(alpha == 0 || (x > 0 && x < s->w - 1 && y > 0)) << name << " rim at " << x << "," << y;
            }
        const double area = double(s->w) * s->h;
        EXPECT_TRUE(opaque / area > 0.12 && clear / area > 0.3) << name << " " << opaque << " " << clear;
        // The tree stands on the bottom row, at the sprite's centre.
        EXPECT_EQ(pixel(s.get(), s->w / 2, s->h - 1)[3], 255) << name;
    }
}

namespace {

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(DataImages, GeneratorGivesTheSameBytesOnEveryRun)
{
    const std::string base = std::string(KELVARRO_BINARY_DIR) + "/determinism-";
    for (const char* run : {"a", "b"}) {
        const std::string command = std::string(KELVARRO_DATAGEN) + " " + base + run + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(base + "a")) {
        const std::string name = entry.path().filename().string(), a = fileBytes(entry.path().string());
        EXPECT_EQ(a, fileBytes(base + "b/" + name)) << name;
        EXPECT_EQ(a, fileBytes(dataDir + name)) << name << " differs from the data/ the build made";
        ++files;
    }
    EXPECT_GE(files, 19);
    std::filesystem::remove_all(base + "a");
    std::filesystem::remove_all(base + "b");
}
