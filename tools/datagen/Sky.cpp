#include "tools/datagen/Sky.h"

#include <cmath>

#include "base/Fatal.h"
#include "tools/datagen/Noise.h"
#include "tools/datagen/Textures.h"

const char* const skyFaceNames[6] = {"bk", "dn", "ft", "lf", "rt", "up"};

Vector3 skyDirection(const std::string& face, double s, double t)
{
    const double a = 2.0 * s - 1.0, b = 1.0 - 2.0 * t;
    if (face == "ft") return {a, b, -1.0};
    if (face == "bk") return {-a, b, 1.0};
    if (face == "rt") return {-1.0, b, -a};
    if (face == "lf") return {1.0, b, a};
    if (face == "dn") return {a, -1.0, -b};
    if (face == "up") return {b, 1.0, -a};
    throwFatal("[datagen] No sky face \"" + face + "\".");
}

Vector3 skyColour(const Vector3& d)
{
    const Vector3 sun = normalized(Vector3(-30.0, 300.0, -300.0));  // where the scene's light stands
    const Vector3 zenith(0.18, 0.38, 0.74), horizon(0.70, 0.80, 0.90);
    const double up = d.y;
    const double sunDot = std::fmax(0.0, dot(d, sun));

    // A far range of hills: its ridge height follows the compass direction.
    const double flat = std::fmax(std::hypot(d.x, d.z), 1e-9);
    const double azimuthX = d.x / flat, azimuthZ = d.z / flat;
    const double ridge = 0.025 + 0.07 * fractal3(Vector3(azimuthX * 2.5, azimuthZ * 2.5, 0.5), 5, 41u);
    // Below the ridge: the hills, fading into the haze with distance; below
    // the horizon: land. The ridge line is blended over about a pixel, so it
    // shows no stair steps when magnified.
    Vector3 ground;
    const double edge = 0.003;
    if (up < ridge + edge) {
        const Vector3 farHills(0.45, 0.53, 0.55), nearLand(0.33, 0.40, 0.27), haze(0.66, 0.74, 0.80);
        if (up >= 0.0) {
            const double shade = fractal3(Vector3(azimuthX * 40.0, azimuthZ * 40.0, up * 60.0), 4, 42u);
            ground = mixColour(farHills * (0.85 + 0.3 * shade), haze, 0.45 * std::fmin(1.0, up / ridge));
        } else {
            const double depth = smoothstep(0.0, 0.35, -up);
            const double fields = fractal3(d / std::fabs(up) * 0.6, 4, 43u);
            ground = mixColour(mixColour(haze, farHills, 0.5), nearLand * (0.85 + 0.3 * fields), depth);
        }
        if (up < ridge - edge) return ground;
    }
    Vector3 c = mixColour(horizon, zenith, std::pow(clamp01(up), 0.55));
    c = c + Vector3(1.0, 0.95, 0.8) * (0.35 * std::pow(sunDot, 12.0) + 0.6 * std::pow(sunDot, 400.0));

    // Clouds on a plane above the land, thinning towards the horizon.
    const Vector3 onPlane = Vector3(d.x / up, 0.0, d.z / up) * 0.9;  // up > ridge − edge > 0 here
    const double cover = fractal3(onPlane + Vector3(0.0, 0.3, 0.0), 6, 44u);
    const double density = smoothstep(0.48, 0.72, cover) * smoothstep(0.0, 0.25, up);
    const double lit = 0.78 + 0.22 * fractal3(onPlane * 2.0 + Vector3(5.0, 0.1, 0.0), 3, 45u);
    const Vector3 cloud = Vector3(1.0, 1.0, 1.0) * lit + Vector3(0.2, 0.18, 0.1) * std::pow(sunDot, 6.0);
    c = mixColour(c, cloud, 0.92 * density);
    return up < ridge + edge ? mixColour(ground, c, smoothstep(ridge - edge, ridge + edge, up)) : c;
}

Image makeSkyFace(const std::string& face, int size)
{
    Image image(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const Vector3 d = normalized(skyDirection(face, (x + 0.5) / size, (y + 0.5) / size));
            putColour(image, x, y, skyColour(d));
        }
    return image;
}
