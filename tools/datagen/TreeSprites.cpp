#include "tools/datagen/TreeSprites.h"

#include <cmath>

#include "tools/datagen/Noise.h"
#include "tools/datagen/Textures.h"

namespace {

struct Sample {
    bool covered = false;
    Vector3 colour;
};

// u across (−0.5..0.5), v up (0 at the foot, 1 at the top of the image).
// Light comes from the upper left.
Sample broadleaf(double u, double v)
{
    Sample s;
    const Vector3 bark(0.33, 0.25, 0.18);
    // Trunk with two limbs into the crown.
    const double trunkHalf = 0.035 - 0.015 * v;
    if (v < 0.5 && std::fabs(u + 0.01 * std::sin(v * 9.0)) < trunkHalf) {
        s.covered = true;
        s.colour = bark * (u < 0.0 ? 1.1 : 0.8);
    }
    for (double side : {-1.0, 1.0}) {
        const double along = (v - 0.32) / 0.2;
        if (along > 0.0 && along < 1.0 && std::fabs(u - side * 0.12 * along) < 0.016) {
            s.covered = true;
            s.colour = bark * 0.9;
        }
    }
    // Crown: clumps of leaves, each a shaded ball with a ragged rim.
    static const double clumps[][3] = {{0.0, 0.70, 0.25},   {-0.20, 0.60, 0.17}, {0.20, 0.60, 0.17},
                                       {-0.14, 0.82, 0.16}, {0.15, 0.83, 0.15},  {0.0, 0.90, 0.12},
                                       {-0.28, 0.47, 0.11}, {0.27, 0.48, 0.12},  {0.02, 0.50, 0.16}};
    const double rag = fractal2(u * 28.0, v * 28.0, 0, 3, 51u) - 0.5;
    for (const auto& c : clumps) {
        const double dx = (u - c[0]) / c[2], dy = (v - c[1]) / (c[2] * 0.5);  // v spans twice the width
        const double r2 = dx * dx + dy * dy;
        if (r2 < 1.0 + 0.9 * rag) {
            const double dz = std::sqrt(std::fmax(0.0, 1.0 - r2));
            const double light = clamp01(0.45 + 0.4 * (-0.5 * dx + 0.6 * dy + 0.6 * dz));
            const double leaves = valueNoise2(u * 90.0, v * 180.0, 0, 0, 52u);
            s.covered = true;
            s.colour = mixColour(Vector3(0.10, 0.22, 0.06), Vector3(0.42, 0.60, 0.20), light * (0.75 + 0.5 * leaves));
        }
    }
    return s;
}

Sample spruce(double u, double v)
{
    Sample s;
    if (v < 0.12 && std::fabs(u) < 0.022) {
        s.covered = true;
        s.colour = Vector3(0.30, 0.21, 0.14) * (u < 0.0 ? 1.1 : 0.8);
    }
    const double base = 0.07, top = 0.99;
    if (v > base && v < top) {
        const double fromTop = (top - v) / (top - base);
        const double tier = fromTop * 8.0 - std::floor(fromTop * 8.0);  // 0 at a tier's top, 1 at its hem
        double half = 0.43 * fromTop * (0.62 + 0.38 * tier) + 0.012;
        half += 0.05 * fromTop * (fractal2(u * 30.0, v * 60.0, 0, 3, 61u) - 0.5);
        if (std::fabs(u) < half) {
            const double needles = valueNoise2(u * 120.0, v * 200.0, 0, 0, 62u);
            const double light = clamp01(0.55 - 0.9 * u + 0.35 * tier - 0.2 * std::fabs(u) / half);
            s.covered = true;
            s.colour = mixColour(Vector3(0.04, 0.13, 0.07), Vector3(0.20, 0.36, 0.18), light * (0.7 + 0.6 * needles));
        }
    }
    return s;
}

Sample pine(double u, double v)
{
    Sample s;
    const double lean = 0.03 * std::sin(v * 5.0);
    if (v < 0.72 && std::fabs(u - lean) < 0.03 - 0.012 * v) {
        s.covered = true;
        s.colour = Vector3(0.48, 0.30, 0.19) * (u < lean ? 1.1 : 0.75);
    }
    // An open, layered crown on the upper part of the stem.
    static const double layers[][3] = {{0.0, 0.86, 0.26}, {-0.08, 0.74, 0.30}, {0.10, 0.66, 0.26}, {-0.02, 0.94, 0.16}};
    const double rag = fractal2(u * 24.0, v * 24.0, 0, 4, 71u) - 0.5;
    for (const auto& l : layers) {
        const double dx = (u - l[0]) / l[2], dy = (v - l[1]) / 0.07;
        const double r2 = dx * dx + dy * dy;
        if (r2 < 1.0 + 1.2 * rag) {
            const double needles = valueNoise2(u * 100.0, v * 160.0, 0, 0, 72u);
            const double light = clamp01(0.5 + 0.35 * dy - 0.3 * dx);
            s.covered = true;
            s.colour = mixColour(Vector3(0.07, 0.16, 0.08), Vector3(0.28, 0.42, 0.20), light * (0.7 + 0.6 * needles));
        }
    }
    return s;
}

}  // namespace

Image makeTreeSprite(int kind)
{
    Sample (*shape)(double, double) = kind == 0 ? broadleaf : (kind == 1 ? spruce : pine);
    const Vector3 fringe = kind == 0 ? Vector3(0.25, 0.40, 0.12) : Vector3(0.12, 0.25, 0.12);
    Image image(treeSpriteWidth, treeSpriteHeight);
    const int n = 3;  // n × n samples per pixel give the alpha of the rim
    for (int y = 0; y < treeSpriteHeight; ++y)
        for (int x = 0; x < treeSpriteWidth; ++x) {
            Vector3 sum;
            int covered = 0;
            for (int sy = 0; sy < n; ++sy)
                for (int sx = 0; sx < n; ++sx) {
                    const double u = (x + (sx + 0.5) / n) / treeSpriteWidth - 0.5;
                    const double v = 1.0 - (y + (sy + 0.5) / n) / treeSpriteHeight;
                    const Sample s = shape(u, v);
                    if (s.covered) {
                        sum = sum + s.colour;
                        ++covered;
                    }
                }
            // Keep a clear margin so the clamped edge texels stay transparent.
            const bool margin = x < 2 || x >= treeSpriteWidth - 2 || y < 2;
            if (covered == 0 || margin)
                putColour(image, x, y, fringe, 0);
            else
                putColour(image, x, y, sum / covered, static_cast<uint8_t>((255 * covered + n * n / 2) / (n * n)));
        }
    return image;
}
