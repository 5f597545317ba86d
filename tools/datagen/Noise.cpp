#include "tools/datagen/Noise.h"

#include <cmath>

namespace {

uint32_t mix(uint32_t h)
{
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

double fade(double t) { return t * t * (3.0 - 2.0 * t); }

int wrap(int i, int period) { return period > 0 ? ((i % period) + period) % period : i; }

}  // namespace

double hashUnit(int x, int y, int z, uint32_t seed)
{
    uint32_t h = mix(seed ^ 0x68E31DA4u);
    h = mix(h ^ static_cast<uint32_t>(x));
    h = mix(h ^ static_cast<uint32_t>(y) * 0x1B873593u);
    h = mix(h ^ static_cast<uint32_t>(z) * 0xCC9E2D51u);
    return (h >> 8) * (1.0 / 16777216.0);
}

double valueNoise2(double x, double y, int periodX, int periodY, uint32_t seed)
{
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const double u = fade(x - fx), v = fade(y - fy);
    const int x0 = wrap(ix, periodX), x1 = wrap(ix + 1, periodX);
    const int y0 = wrap(iy, periodY), y1 = wrap(iy + 1, periodY);
    const double a = hashUnit(x0, y0, 0, seed), b = hashUnit(x1, y0, 0, seed);
    const double c = hashUnit(x0, y1, 0, seed), d = hashUnit(x1, y1, 0, seed);
    return (a + (b - a) * u) * (1.0 - v) + (c + (d - c) * u) * v;
}

double valueNoise3(const Vector3& p, uint32_t seed)
{
    const double fx = std::floor(p.x), fy = std::floor(p.y), fz = std::floor(p.z);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy), iz = static_cast<int>(fz);
    const double u = fade(p.x - fx), v = fade(p.y - fy), w = fade(p.z - fz);
    double layer[2];
    for (int k = 0; k < 2; ++k) {
        const double a = hashUnit(ix, iy, iz + k, seed), b = hashUnit(ix + 1, iy, iz + k, seed);
        const double c = hashUnit(ix, iy + 1, iz + k, seed), d = hashUnit(ix + 1, iy + 1, iz + k, seed);
        layer[k] = (a + (b - a) * u) * (1.0 - v) + (c + (d - c) * u) * v;
    }
    return layer[0] + (layer[1] - layer[0]) * w;
}

double fractal2(double x, double y, int period, int octaves, uint32_t seed)
{
    double sum = 0.0, weight = 1.0, total = 0.0, scale = 1.0;
    for (int o = 0; o < octaves; ++o) {
        const int p = period * static_cast<int>(scale);
        sum += weight * valueNoise2(x * scale, y * scale, p, p, seed + 101u * o);
        total += weight;
        weight *= 0.5;
        scale *= 2.0;
    }
    return sum / total;
}

double fractal3(const Vector3& p, int octaves, uint32_t seed)
{
    double sum = 0.0, weight = 1.0, total = 0.0, scale = 1.0;
    for (int o = 0; o < octaves; ++o) {
        sum += weight * valueNoise3(p * scale, seed + 101u * o);
        total += weight;
        weight *= 0.5;
        scale *= 2.0;
    }
    return sum / total;
}

double clamp01(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }

double smoothstep(double edge0, double edge1, double v)
{
    const double t = clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3.0 - 2.0 * t);
}
