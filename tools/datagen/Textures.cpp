#include "tools/datagen/Textures.h"

#include <cmath>

#include "tools/datagen/Noise.h"

namespace {

constexpr int textureSize = 256;

// Distance from (x, y) to the nearest feature point of a tileable grid of
// cells (cellSize pixels each), and that point's own random value.
void nearestFeature(double x, double y, int cellSize, uint32_t seed, double& distance, double& value)
{
    const int cells = textureSize / cellSize;
    const int cx = static_cast<int>(std::floor(x / cellSize)), cy = static_cast<int>(std::floor(y / cellSize));
    distance = 1e9;
    value = 0.0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int gx = cx + dx, gy = cy + dy;
            const int wx = ((gx % cells) + cells) % cells, wy = ((gy % cells) + cells) % cells;
            const double px = (gx + hashUnit(wx, wy, 1, seed)) * cellSize;
            const double py = (gy + hashUnit(wx, wy, 2, seed)) * cellSize;
            const double d = std::hypot(x - px, y - py);
            if (d < distance) {
                distance = d;
                value = hashUnit(wx, wy, 3, seed);
            }
        }
}

}  // namespace

void putColour(Image& image, int x, int y, const Vector3& rgb, uint8_t alpha)
{
    auto byte = [](double v) { return static_cast<uint8_t>(std::lround(clamp01(v) * 255.0)); };
    image.set(x, y, byte(rgb.x), byte(rgb.y), byte(rgb.z), alpha);
}

Vector3 mixColour(const Vector3& a, const Vector3& b, double t) { return a + (b - a) * t; }

Image makeGrassTexture()
{
    Image image(textureSize, textureSize);
    const Vector3 dark(0.20, 0.33, 0.10), light(0.42, 0.56, 0.20), dry(0.55, 0.52, 0.28);
    for (int y = 0; y < textureSize; ++y)
        for (int x = 0; x < textureSize; ++x) {
            const double patches = fractal2(x / 64.0, y / 64.0, 4, 3, 1u);
            // Blades: noise stretched along y, bent by a slow periodic warp, in two layers.
            const double bend = 8.0 * fractal2(x / 32.0, y / 32.0, 8, 2, 5u);
            const double blades = valueNoise2((x + bend) / 2.0, y / 8.0, 128, 32, 2u) * 0.5 +
                                  valueNoise2((x - bend) / 1.0, y / 4.0, 256, 64, 3u) * 0.5;
            Vector3 c = mixColour(dark, light, clamp01(0.3 + 0.8 * (blades - 0.5) + 0.3 * (patches - 0.5)));
            c = mixColour(c, dry, 0.12 * smoothstep(0.62, 0.8, fractal2(x / 32.0, y / 32.0, 8, 2, 4u)));
            putColour(image, x, y, c);
        }
    return image;
}

Image makeSoilTexture()
{
    Image image(textureSize, textureSize);
    const Vector3 earth(0.42, 0.30, 0.19), damp(0.28, 0.19, 0.11), stone(0.62, 0.58, 0.52);
    for (int y = 0; y < textureSize; ++y)
        for (int x = 0; x < textureSize; ++x) {
            const double clumps = fractal2(x / 32.0, y / 32.0, 8, 4, 11u);
            const double grain = valueNoise2(x / 2.0, y / 2.0, 128, 128, 12u);
            Vector3 c = mixColour(damp, earth, clamp01(0.2 + 1.2 * (clumps - 0.3)));
            c = c * (0.88 + 0.24 * grain);
            double d, v;
            nearestFeature(x, y, 16, 13u, d, v);
            const double pebble = v > 0.8 ? 1.0 - smoothstep(0.8 + 6.0 * (v - 0.8), 1.8 + 6.0 * (v - 0.8), d) : 0.0;
            c = mixColour(c, mixColour(earth, stone, 0.6) * (0.75 + 0.5 * grain), pebble);
            putColour(image, x, y, c);
        }
    return image;
}

Image makeRockTexture()
{
    Image image(textureSize, textureSize);
    const Vector3 grey(0.66, 0.65, 0.62), warm(0.70, 0.64, 0.56), darkGrain(0.22, 0.22, 0.23), lightGrain(0.85, 0.84, 0.82);
    for (int y = 0; y < textureSize; ++y)
        for (int x = 0; x < textureSize; ++x) {
            const double tone = fractal2(x / 64.0, y / 64.0, 4, 4, 21u);
            Vector3 c = mixColour(grey, warm, tone) * (0.8 + 0.4 * tone);
            const double g = valueNoise2(x / 2.0, y / 2.0, 128, 128, 22u);
            if (g > 0.82) c = mixColour(c, darkGrain, (g - 0.82) * 4.0);
            if (g < 0.12) c = mixColour(c, lightGrain, (0.12 - g) * 5.0);
            const double vein = std::fabs(fractal2(x / 32.0, y / 32.0, 8, 3, 23u) - 0.5);
            c = mixColour(c, lightGrain, 0.18 * (1.0 - smoothstep(0.0, 0.01, vein)));
            putColour(image, x, y, c);
        }
    return image;
}

Image makeConcreteTexture()
{
    Image image(textureSize, textureSize);
    const Vector3 base(0.68, 0.67, 0.64);
    for (int y = 0; y < textureSize; ++y)
        for (int x = 0; x < textureSize; ++x) {
            const double stain = fractal2(x / 64.0, y / 64.0, 4, 4, 31u);
            const double fine = valueNoise2(x / 1.0, y / 1.0, 256, 256, 32u);
            Vector3 c = base * (0.82 + 0.22 * stain + 0.08 * fine);
            if (fine > 0.93) c = c * 0.6;  // air pores
            // Board marks of the formwork every 64 rows.
            const int row = y % 64;
            if (row == 0 || row == 63) c = c * 0.8;
            putColour(image, x, y, c);
        }
    return image;
}
