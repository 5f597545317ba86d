#include "terrain/SoilBed.h"

#include <algorithm>
#include <cmath>

#include "terrain/VoxelWorld.h"

namespace {

constexpr int kOver = -2;  // past the bed's edge
constexpr int kDirections[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};

double cellAlong(const SoilBed& bed) { return bed.length / bed.cellsAlong; }
double cellAcross(const SoilBed& bed) { return bed.width / bed.cellsAcross; }

// The bed's frame: along its heading, and across it to the left.
void axes(const SoilBed& bed, double& ux, double& uz)
{
    const double r = bed.headingDegrees * M_PI / 180.0;
    ux = std::cos(r);
    uz = -std::sin(r);
}

// Where a unit put on top of `cell` goes next: one cell towards the
// drop that most exceeds what the repose allows within the bed (the wall's
// top stands beside the edge cells, beyond it nothing: kOver), or -1 where
// it may rest. A unit is about as tall as a cell is wide, so the heap rises
// in steps of one unit, as many cells apart as the repose asks: over m
// cells a drop of m cells' rise at the repose, to the nearest unit, and
// never less than one.
int nextCell(const SoilBed& bed, int cell, int& direction)
{
    const int i = cell / bed.cellsAcross, j = cell % bed.cellsAcross;
    const double unit = bedUnitHeight(bed), top = bedSurface(bed, cell) + unit, tanRepose = std::tan(bed.repose);
    const double spacing[2] = {cellAlong(bed), cellAcross(bed)};
    const auto inside = [&](int a, int c) { return a >= 0 && a < bed.cellsAlong && c >= 0 && c < bed.cellsAcross; };
    double worst = 1e-9;  // the excess over the allowed drop
    int best = -1;
    for (int k = 0; k < 4; ++k) {
        const int di = kDirections[k][0], dj = kDirections[k][1];
        for (int m = 1;; ++m) {
            const bool out = !inside(i + m * di, j + m * dj);
            const double below = out ? bed.rimY : bedSurface(bed, (i + m * di) * bed.cellsAcross + j + m * dj);
            const double allowed = unit * std::max(1.0, std::round(m * spacing[k / 2] * tanRepose / unit));
            if (top - below - allowed > worst) {
                worst = top - below - allowed;
                best = m == 1 && out ? kOver : (i + di) * bed.cellsAcross + j + dj;
                direction = k;
            }
            if (out)
                break;
        }
    }
    return best;
}

}  // namespace

SoilBed makeSoilBed(double x, double z, double headingDegrees, double length, double width, double floorY,
                    double rimY, double repose)
{
    SoilBed bed;
    bed.x = x;
    bed.z = z;
    bed.headingDegrees = headingDegrees;
    bed.length = length;
    bed.width = width;
    bed.floorY = floorY;
    bed.rimY = rimY;
    bed.repose = repose;
    bed.cellsAlong = std::max(1, static_cast<int>(std::lround(length / terrain::kVoxel)));
    bed.cellsAcross = std::max(1, static_cast<int>(std::lround(width / terrain::kVoxel)));
    bed.units.assign(static_cast<size_t>(bed.cellsAlong) * bed.cellsAcross, 0);
    return bed;
}

double bedUnitHeight(const SoilBed& bed)
{
    return terrain::kVoxel * terrain::kVoxel * terrain::kVoxel / (cellAlong(bed) * cellAcross(bed));
}

int bedCellAt(const SoilBed& bed, double x, double z)
{
    double ux, uz;
    axes(bed, ux, uz);
    const double dx = x - bed.x, dz = z - bed.z;
    const double a = (dx * ux + dz * uz + bed.length / 2) / cellAlong(bed);
    const double c = (-dx * uz + dz * ux + bed.width / 2) / cellAcross(bed);
    if (!(a >= 0.0 && a < bed.cellsAlong && c >= 0.0 && c < bed.cellsAcross))
        return -1;
    return static_cast<int>(a) * bed.cellsAcross + static_cast<int>(c);
}

double bedSurface(const SoilBed& bed, int cell) { return bed.floorY + bed.units[cell] * bedUnitHeight(bed); }

Vector3 bedCellMiddle(const SoilBed& bed, int cell)
{
    double ux, uz;
    axes(bed, ux, uz);
    const double a = -bed.length / 2 + (cell / bed.cellsAcross + 0.5) * cellAlong(bed);
    const double c = -bed.width / 2 + (cell % bed.cellsAcross + 0.5) * cellAcross(bed);
    return Vector3(bed.x + a * ux - c * uz, bed.floorY, bed.z + a * uz + c * ux);
}

int64_t bedUnits(const SoilBed& bed)
{
    int64_t n = 0;
    for (int32_t u : bed.units)
        n += u;
    return n;
}

bool addBedUnit(SoilBed& bed, int cell, Vector3& spill)
{
    // Every move is level or down (a higher neighbour would itself stand
    // too steep over the drop); the cap only guards against two level
    // cells handing a unit back and forth.
    for (size_t moves = 0; moves < 4 * bed.units.size(); ++moves) {
        int direction = 0;
        const int next = nextCell(bed, cell, direction);
        if (next == -1)
            break;
        if (next == kOver) {
            double ux, uz;
            axes(bed, ux, uz);
            const double a = kDirections[direction][0], c = kDirections[direction][1];
            const double out = (a != 0.0 ? cellAlong(bed) : cellAcross(bed)) / 2 + terrain::kHalfVoxel;
            spill = bedCellMiddle(bed, cell) + Vector3(a * ux - c * uz, 0.0, a * uz + c * ux) * out;
            spill.y = bedSurface(bed, cell) + bedUnitHeight(bed) / 2;
            return false;
        }
        cell = next;
    }
    ++bed.units[cell];
    return true;
}
