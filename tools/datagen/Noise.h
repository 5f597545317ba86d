#pragma once
#include <cstdint>

#include "math/Vector3.h"

// Deterministic noise for the generated images and shapes: integer hashing
// only, so every run and every machine gives the same bytes.

// Small xorshift generator with a fixed seed; our own uniform mapping.
class Random {
public:
    explicit Random(uint64_t seed) : state(seed ? seed : 0x9E3779B97F4A7C15ull) {}
    uint64_t next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }  // [0, 1)
    double range(double lo, double hi) { return lo + (hi - lo) * uniform(); }

private:
    uint64_t state;
};

double hashUnit(int x, int y, int z, uint32_t seed);  // [0, 1) per lattice point

// Value noise in [0, 1] on a lattice of unit cells; the 2D form repeats every
// periodX cells along x and periodY along y (for tileable textures; 0: never).
double valueNoise2(double x, double y, int periodX, int periodY, uint32_t seed);
double valueNoise3(const Vector3& p, uint32_t seed);

// Sums of octaves, each doubling the frequency and halving the weight; in [0, 1].
double fractal2(double x, double y, int period, int octaves, uint32_t seed);
double fractal3(const Vector3& p, int octaves, uint32_t seed);

double clamp01(double v);
double smoothstep(double edge0, double edge1, double v);
