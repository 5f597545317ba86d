#include "tools/datagen/Truck.h"

#include <cmath>
#include <utility>

#include "tools/datagen/Shell.h"

namespace {

// A box from `lo` to `hi`, its faces wound outwards.
Shell box(const Vector3& lo, const Vector3& hi)
{
    return makePrism({{lo.x, lo.z}, {hi.x, lo.z}, {hi.x, hi.z}, {lo.x, hi.z}}, lo.y, hi.y);
}

// A wheel of eight flats round a horizontal axle across the truck.
Shell wheel(double x, double z, double radius, double width)
{
    std::vector<std::array<double, 2>> outline;
    for (int k = 0; k < 8; ++k) {
        const double a = (k + 0.5) * M_PI / 4;
        outline.push_back({radius * std::cos(a), radius * std::sin(a)});
    }
    Shell s = makePrism(outline, -width / 2, width / 2);
    // Stood up: the prism's height becomes the axle (z), its outline's second axis the height (y).
    for (Vector3& p : s.points)
        p = Vector3(x + p.x, radius - 0.1 + p.z, z + p.y);
    if (signedVolume(s) < 0.0)
        for (auto& f : s.faces)
            std::swap(f[1], f[2]);
    return s;
}

}  // namespace

void buildTruck(ObjWriter& w)
{
    w.addMaterial({"truckPaint", {0.55, 0.42, 0.08}, {1.0, 0.8, 0.2}, {0.25, 0.25, 0.25}, 1.0, 30.0,
                   "concrete256.bmp"});
    w.addMaterial({"truckCabPaint", {0.32, 0.32, 0.32}, {0.86, 0.86, 0.84}, {0.3, 0.3, 0.3}, 1.0, 40.0,
                   "concrete256.bmp"});
    w.addMaterial({"truckFrame", {0.12, 0.12, 0.12}, {0.26, 0.26, 0.27}, {0.1, 0.1, 0.1}, 1.0, 10.0,
                   "concrete256.bmp"});

    // The body: 3.6 m by 2.2, its floor 0.95 m up, its rim 1.7 m up.
    constexpr double x0 = -2.0, x1 = 1.6, half = 1.1, floor0 = 0.95, floor1 = 1.1, rim = 1.7, wall = 0.08;
    w.beginGroup("truckBed", "truckPaint", 1);
    writeShell(w, box({x0, floor0, -half}, {x1, floor1 - 0.001, half}), 1.0);
    writeShell(w, box({x0, floor1, -half}, {x0 + wall, rim, half}), 1.0);
    writeShell(w, box({x1 - wall, floor1, -half}, {x1, rim, half}), 1.0);
    for (int s : {-1, 1}) {
        const double inner = s * (half - wall), outer = s * half;
        writeShell(w, box({x0 + wall + 0.001, floor1, std::fmin(inner, outer)},
                          {x1 - wall - 0.001, rim, std::fmax(inner, outer)}),
                   1.0);
    }

    // The cab ahead of the body, its roof 2.05 m up: a site truck's, low
    // enough for the bucket to be swung over it (the fault the exercise counts).
    w.beginGroup("truckCab", "truckCabPaint", 1);
    writeShell(w, box({1.8, 0.86, -1.0}, {3.4, 1.75, 1.0}), 1.0);
    writeShell(w, box({1.85, 1.75, -0.95}, {3.2, 2.05, 0.95}), 1.0);

    // The frame under both and four wheels, sunk 0.1 m into the ground.
    w.beginGroup("truckChassis", "truckFrame", 1);
    writeShell(w, box({-1.9, 0.5, -0.55}, {3.3, 0.85, 0.55}), 1.0);
    for (double x : {-1.0, 2.5})
        for (double z : {-0.85, 0.85})
            writeShell(w, wheel(x, z, 0.5, 0.32), 1.0);
}
