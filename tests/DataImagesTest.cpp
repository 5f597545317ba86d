// The generated images, read the way the program reads them (SDL's BMP loader).
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
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

// Mean absolute byte difference between two pixels' colour bytes.
double difference(const uint8_t* a, const uint8_t* b)
{
    return (std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2])) / 3.0;
}

}  // namespace

// The terrain reads only the 9 × 9 grid at byte offset (r · width + c) · 3,
// blue first; the start pose needs four of those corners.
TEST(DataImages, HeightmapFitsTheTerrainReaderAndTheStartPose)
{
    Surface hm = load("hm02.bmp");
    ASSERT_TRUE(hm) << SDL_GetError();
    EXPECT_EQ(hm->format->BitsPerPixel, 24);
    EXPECT_EQ(hm->w, hm->h);
    EXPECT_GE(hm->w, 12);
    EXPECT_EQ(hm->w % 4, 0) << "rows read width·3 apart must match the padded rows";
    const auto* bytes = static_cast<const uint8_t*>(hm->pixels);
    auto grid = [&](int r, int c) { return bytes[(r * hm->w + c) * 3]; };
    auto height = [&](int r, int c) { return grid(r, c) * 14.0 / 255.0 - 4.8; };
    // The first camera view from (9, 9, 0): on the z = 0 edge of block 36.
    const double under = height(4, 4) + 9.0 / 22.0 * (height(4, 5) - height(4, 4));
    EXPECT_LT(under, 7.0);
    // A landscape, not a plane: hills and a basin of several metres.
    double low = 1e9, high = -1e9;
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 9; ++c) {
            low = std::fmin(low, height(r, c));
            high = std::fmax(high, height(r, c));
        }
    EXPECT_LT(low, -2.0);
    EXPECT_GT(high, 6.0);
    EXPECT_LT(high, 9.0) << "forest slabs at y = 10 must stay above every hill";
}

// Each face's corners as the sky box puts them: position of (s, t) = (0, 0),
// (1, 0) and (0, 1) on the cube of half side 1; t = 0 is the image's top row.
struct SkyFace {
    const char* name;
    double o[3], s1[3], t1[3];
};
const SkyFace skyFaces[6] = {
    {"sky_ft.bmp", {-1, 1, -1}, {1, 1, -1}, {-1, -1, -1}}, {"sky_rt.bmp", {-1, 1, 1}, {-1, 1, -1}, {-1, -1, 1}},
    {"sky_bk.bmp", {1, 1, 1}, {-1, 1, 1}, {1, -1, 1}},     {"sky_lf.bmp", {1, 1, -1}, {1, 1, 1}, {1, -1, -1}},
    {"sky_dn.bmp", {-1, -1, -1}, {1, -1, -1}, {-1, -1, 1}}, {"sky_up.bmp", {1, 1, 1}, {1, 1, -1}, {-1, 1, 1}},
};

// Walks every edge of the cube: each border pixel is compared with the pixel
// across the edge on the neighbouring face. A face turned or mirrored the
// wrong way shows as large jumps (sky against ground, cloud against blue).
TEST(DataImages, SkyFacesJoinAtEveryEdgeAndStandUpright)
{
    Surface faces[6] = {load(skyFaces[0].name), load(skyFaces[1].name), load(skyFaces[2].name),
                        load(skyFaces[3].name), load(skyFaces[4].name), load(skyFaces[5].name)};
    for (int f = 0; f < 6; ++f) {
        ASSERT_TRUE(faces[f]) << skyFaces[f].name;
        EXPECT_EQ(faces[f]->format->BitsPerPixel, 24);
        EXPECT_EQ(faces[f]->w, faces[f]->h);
        EXPECT_EQ(faces[f]->w, faces[0]->w);
    }
    const int n = faces[0]->w;
    auto point = [&](int f, double s, double t, double p[3]) {
        for (int k = 0; k < 3; ++k)
            p[k] = skyFaces[f].o[k] + s * (skyFaces[f].s1[k] - skyFaces[f].o[k]) + t * (skyFaces[f].t1[k] - skyFaces[f].o[k]);
    };
    auto faceOf = [&](const double p[3], double& s, double& t) {
        for (int g = 0; g < 6; ++g) {
            double o[3], ds[3], dt[3];
            for (int k = 0; k < 3; ++k) {
                o[k] = skyFaces[g].o[k];
                ds[k] = skyFaces[g].s1[k] - o[k];
                dt[k] = skyFaces[g].t1[k] - o[k];
            }
            double ps = 0, pt = 0, onPlane = 0;
            for (int k = 0; k < 3; ++k) {
                ps += (p[k] - o[k]) * ds[k] / 4.0;
                pt += (p[k] - o[k]) * dt[k] / 4.0;
                if (ds[k] == 0 && dt[k] == 0) onPlane = std::fabs(p[k] - o[k]);
            }
            if (onPlane < 1e-9 && ps > 0 && ps < 1 && pt > 0 && pt < 1) {
                s = ps;
                t = pt;
                return g;
            }
        }
        return -1;
    };
    double seam = 0.0, inside = 0.0;
    int count = 0;
    for (int f = 0; f < 6; ++f)
        for (int i = 0; i < n; ++i)
            for (int side = 0; side < 4; ++side) {
                const int x = side == 0 ? 0 : side == 1 ? n - 1 : i, y = side == 2 ? 0 : side == 3 ? n - 1 : i;
                double p[3];
                point(f, (x + 0.5) / n, (y + 0.5) / n, p);
                // Push the point over the edge: the coordinate at the rim goes to the
                // next face's plane, the face's own axis a half pixel inwards.
                int rim = -1, axis = -1;
                for (int k = 0; k < 3; ++k) {
                    double o = skyFaces[f].o[k], a = skyFaces[f].s1[k], b = skyFaces[f].t1[k];
                    if (o == a && o == b) axis = k;
                    else if (std::fabs(std::fabs(p[k]) - (1.0 - 1.0 / n)) < 1e-9 && rim < 0) rim = k;
                }
                ASSERT_GE(axis, 0);
                ASSERT_GE(rim, 0);
                p[rim] = p[rim] > 0 ? 1.0 : -1.0;
                p[axis] *= 1.0 - 1.0 / n;
                double s = 0.0, t = 0.0;
                const int g = faceOf(p, s, t);
                ASSERT_GE(g, 0);
                const uint8_t* a = pixel(faces[f].get(), x, y);
                const uint8_t* b = pixel(faces[g].get(), static_cast<int>(s * n), static_cast<int>(t * n));
                seam += difference(a, b);
                const int ix = x == 0 ? 1 : x == n - 1 ? n - 2 : x, iy = y == 0 ? 1 : y == n - 1 ? n - 2 : y;
                inside += difference(a, pixel(faces[f].get(), ix, iy));
                ++count;
            }
    EXPECT_LT(seam / count, 2.0 * inside / count + 1.0) << "mean step across the cube's edges";

    // Upright: blue sky along the top row of each side face, land along the bottom.
    for (int f = 0; f < 4; ++f) {
        double topBlue = 0, bottomBlue = 0;
        for (int x = 0; x < n; ++x) {
            const uint8_t* top = pixel(faces[f].get(), x, 0);
            const uint8_t* bottom = pixel(faces[f].get(), x, n - 1);
            topBlue += top[0] - top[2];  // blue minus red
            bottomBlue += bottom[0] - bottom[2];
        }
        EXPECT_GT(topBlue / n, 30.0) << skyFaces[f].name;
        EXPECT_LT(bottomBlue / n, 0.0) << skyFaces[f].name;
    }
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
                if (x == 0 || x == s->w - 1 || y == 0) {
                    EXPECT_EQ(alpha, 0) << name << " rim at " << x << "," << y;
                }
            }
        const double area = double(s->w) * s->h;
        EXPECT_GT(opaque / area, 0.12) << name;
        EXPECT_GT(clear / area, 0.3) << name;
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
    for (const char* name : {"scene.obj", "scene.mtl", "hm02.bmp", "grass256.bmp", "soil256.bmp", "sky_bk.bmp",
                             "sky_dn.bmp", "sky_ft.bmp", "sky_lf.bmp", "sky_rt.bmp", "sky_up.bmp", "tree01.bmp",
                             "tree02.bmp", "tree03.bmp", "koparka.obj", "koparka.mtl"}) {
        const std::string a = fileBytes(base + "a/" + name), b = fileBytes(base + "b/" + name);
        const std::string built = fileBytes(dataDir + name);
        EXPECT_EQ(a, b) << name;
        EXPECT_EQ(a, built) << name << " differs from the data/ the build made";
        files += !a.empty();
    }
    EXPECT_GE(files, 14);
    std::system(("rm -rf " + base + "a " + base + "b").c_str());
}
