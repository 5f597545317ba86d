#include "exercise/TrenchMeter.h"

#include <algorithm>
#include <cmath>

#include "terrain/Terrain.h"
#include "terrain/VoxelWorld.h"

namespace {

using namespace terrain;

constexpr double kVolume = kVoxel * kVoxel * kVoxel;
// The boundaries between voxel layers: centres lie at kVoxelTop + n kVoxel.
constexpr double kLayerBoundary = kVoxelTop + kHalfVoxel;

bool soilAt(Terrain& terrain, int b, int x, int y, int z) { return (terrain.voxelAt(b, x, y, z) & 1) == 0; }

}  // namespace

TrenchMeter::TrenchMeter(Terrain& terrain_, const TrenchTarget& target_) : terrain(terrain_), t(target_)
{
    const double h = t.headingDegrees * M_PI / 180.0;
    ux = std::cos(h);
    uz = -std::sin(h);
    const double ground = 1000.0 - terrain.surfaceDistanceBelow(Vector3(t.x, 1000.0, t.z));
    grade = kLayerBoundary + std::round((ground - t.depth - kLayerBoundary) / kVoxel) * kVoxel;
    const double reach = std::hypot(t.length, t.width) / 2 + kMargin;
    for (int b = 0; b < kBlocks * kBlocks; ++b)
        for (int x = 0; x < kVoxelsX; ++x)
            for (int z = 0; z < kVoxelsZ; ++z) {
                const Vector3 c = terrain.voxelCentre(b, x, 0, z);
                if (std::fabs(c.x - t.x) > reach || std::fabs(c.z - t.z) > reach)
                    continue;
                const double dx = c.x - t.x, dz = c.z - t.z;
                const double along = dx * ux + dz * uz, across = -dx * uz + dz * ux;
                if (std::fabs(along) > t.length / 2 + kMargin || std::fabs(across) > t.width / 2 + kMargin)
                    continue;
                Column col{static_cast<int16_t>(b), static_cast<int16_t>(x), static_cast<int16_t>(z),
                           inside(c.x, c.z), 0};
                for (int y = 0; y < kVoxelsY; ++y)
                    if (soilAt(terrain, b, x, y, z)) {
                        col.soil |= uint64_t(1) << y;
                        if (col.inside && terrain.voxelCentre(b, x, y, z).y > grade)
                            ++target;
                    }
                columns.push_back(col);
            }
}

bool TrenchMeter::inside(double x, double z) const
{
    const double dx = x - t.x, dz = z - t.z;
    return std::fabs(dx * ux + dz * uz) < t.length / 2 && std::fabs(-dx * uz + dz * ux) < t.width / 2;
}

void TrenchMeter::corners(double xz[4][2]) const
{
    const int signs[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int i = 0; i < 4; ++i) {
        const double a = signs[i][0] * t.length / 2, w = signs[i][1] * t.width / 2;
        xz[i][0] = t.x + a * ux - w * uz;
        xz[i][1] = t.z + a * uz + w * ux;
    }
}

int TrenchMeter::insideColumns() const
{
    return static_cast<int>(std::count_if(columns.begin(), columns.end(), [](const Column& c) { return c.inside; }));
}

double TrenchMeter::highestFloor() const
{
    double top = -1e30;
    for (const Column& c : columns)
        if (c.inside)
            for (int y = 0; y < kVoxelsY; ++y)
                if (soilAt(terrain, c.block, c.x, y, c.z)) {
                    top = std::max(top, terrain.voxelCentre(c.block, c.x, y, c.z).y + kHalfVoxel);
                    break;  // y counts down from the top
                }
    return top;
}

std::vector<TrenchMeter::ProfilePoint> TrenchMeter::profile(bool across) const
{
    std::vector<ProfilePoint> points;
    const double half = (across ? t.width : t.length) / 2 + kMargin;
    const double dx = across ? -uz : ux, dz = across ? ux : uz;
    for (double s = -std::floor(half / kVoxel) * kVoxel; s <= half; s += kVoxel) {
        const double x = t.x + s * dx, z = t.z + s * dz;
        const Column* nearest = nullptr;
        double best = 1e30;
        for (const Column& c : columns) {
            const Vector3 centre = terrain.voxelCentre(c.block, c.x, 0, c.z);
            const double d = std::hypot(centre.x - x, centre.z - z);
            if (d < best) {
                best = d;
                nearest = &c;
            }
        }
        if (!nearest || best > kVoxel)
            continue;
        ProfilePoint p{s, -1e30, -1e30};
        // y counts down from the top: the first soil is the top.
        for (int y = kVoxelsY - 1; y >= 0; --y) {
            const double top = terrain.voxelCentre(nearest->block, nearest->x, y, nearest->z).y + kHalfVoxel;
            if ((nearest->soil >> y) & 1)
                p.before = top;
            if (soilAt(terrain, nearest->block, nearest->x, y, nearest->z))
                p.now = top;
        }
        if (p.before > -1e29 && p.now > -1e29)
            points.push_back(p);
    }
    return points;
}

void TrenchMeter::measure(Metrics& out) const
{
    int64_t dug = 0, left = 0, over = 0, outside = 0;
    double worstFloor = 0.0;
    int onGrade = 0, insideCount = 0;
    for (const Column& c : columns) {
        double floorTop = -1e30;
        for (int y = 0; y < kVoxelsY; ++y) {
            const bool was = (c.soil >> y) & 1;
            const bool now = soilAt(terrain, c.block, c.x, y, c.z);
            const double centre = terrain.voxelCentre(c.block, c.x, y, c.z).y;
            if (now)
                floorTop = std::max(floorTop, centre + kHalfVoxel);
            if (!c.inside) {
                outside += was && !now;
                continue;
            }
            if (centre > grade) {
                dug += was && !now;
                left += now;
            } else {
                over += was && !now;
            }
        }
        if (c.inside) {
            worstFloor = std::max(worstFloor, std::fabs(floorTop - grade));
            onGrade += std::fabs(floorTop - grade) <= kOnFloor;
            ++insideCount;
        }
    }
    out["dug_to_grade_m3"] = dug * kVolume;
    out["left_above_grade_m3"] = left * kVolume;
    out["overdig_m3"] = over * kVolume;
    out["dug_outside_m3"] = outside * kVolume;
    out["floor_error_cm"] = worstFloor * 100.0;
    out["floor_on_grade_pct"] = insideCount ? 100.0 * onGrade / insideCount : 0.0;
}
