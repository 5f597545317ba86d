#include "exercise/HopperMeter.h"

#include <cmath>

#include "terrain/Terrain.h"
#include "terrain/VoxelWorld.h"

namespace {
using namespace terrain;
bool soilAt(Terrain& terrain, int b, int x, int y, int z) { return (terrain.voxelAt(b, x, y, z) & 1) == 0; }
}  // namespace

bool inRectangle(double x, double z, double cx, double cz, double headingDegrees, double length, double width,
                 double margin)
{
    const double r = headingDegrees * M_PI / 180.0, ux = std::cos(r), uz = -std::sin(r);
    const double dx = x - cx, dz = z - cz;
    return std::fabs(dx * ux + dz * uz) < length / 2 + margin && std::fabs(-dx * uz + dz * ux) < width / 2 + margin;
}

HopperMeter::HopperMeter(Terrain& terrain_, const HopperTarget& hopper, const TrenchTarget& dig, int bed_)
    : terrain(terrain_), h(hopper), bed(bed_)
{
    const double r = h.headingDegrees * M_PI / 180.0;
    ux = std::cos(r);
    uz = -std::sin(r);
    const double reach = std::hypot(h.length, h.width) / 2 + kMargin;
    for (int b = 0; b < kBlocks * kBlocks; ++b)
        for (int x = 0; x < kVoxelsX; ++x)
            for (int z = 0; z < kVoxelsZ; ++z) {
                const Vector3 c = terrain.voxelCentre(b, x, 0, z);
                if (std::fabs(c.x - h.x) > reach || std::fabs(c.z - h.z) > reach ||
                    !inRectangle(c.x, c.z, h.x, h.z, h.headingDegrees, h.length, h.width, kMargin) ||
                    inRectangle(c.x, c.z, dig.x, dig.z, dig.headingDegrees, dig.length, dig.width))
                    continue;
                Column col{static_cast<int16_t>(b), static_cast<int16_t>(x), static_cast<int16_t>(z),
                           inside(c.x, c.z), 0};
                for (int y = 0; y < kVoxelsY; ++y)
                    if (soilAt(terrain, b, x, y, z))
                        col.soil |= uint64_t(1) << y;
                columns.push_back(col);
            }
}

bool HopperMeter::inside(double x, double z) const
{
    return inRectangle(x, z, h.x, h.z, h.headingDegrees, h.length, h.width);
}

void HopperMeter::corners(double xz[4][2]) const
{
    const int signs[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int i = 0; i < 4; ++i) {
        const double a = signs[i][0] * h.length / 2, w = signs[i][1] * h.width / 2;
        xz[i][0] = h.x + a * ux - w * uz;
        xz[i][1] = h.z + a * uz + w * ux;
    }
}

void HopperMeter::count(int64_t& delivered, int64_t& spilled) const
{
    delivered = spilled = 0;
    for (const Column& c : columns)
        for (int y = 0; y < kVoxelsY; ++y) {
            const bool gained = !((c.soil >> y) & 1) && soilAt(terrain, c.block, c.x, y, c.z);
            (c.inside && bed < 0 ? delivered : spilled) += gained;
        }
    if (bed >= 0)
        delivered = terrain.soilInBed(static_cast<size_t>(bed));
}

void HopperMeter::measure(Metrics& out) const
{
    int64_t delivered = 0, spilled = 0;
    count(delivered, spilled);
    const double v = kVoxel * kVoxel * kVoxel;
    out["delivered_m3"] = delivered * v;
    out["spill_m3"] = spilled * v;
    out["spill_pct"] = delivered + spilled > 0 ? 100.0 * spilled / (delivered + spilled) : 0.0;
}
