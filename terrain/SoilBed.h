#pragma once

#include <cstdint>
#include <vector>

#include "math/Vector3.h"

// Soil resting on a raised floor between walls (a truck's body): the floor
// is a rectangle of cells about one voxel wide, each holding whole units of
// soil (a voxel's volume each), so the soil's account stays exact. A heap
// keeps no steeper than the soil's repose, as closely as whole units allow.
struct SoilBed {
    double x = 0.0, z = 0.0;        // the floor's middle
    double headingDegrees = 0.0;    // as the machine's: its length along it
    double length = 0.0, width = 0.0;
    double floorY = 0.0, rimY = 0.0;
    double repose = 0.0;            // radians
    int cellsAlong = 0, cellsAcross = 0;
    std::vector<int32_t> units;     // along * cellsAcross + across
};

// An empty bed of that outline, its cells as near one voxel wide as divide it.
SoilBed makeSoilBed(double x, double z, double headingDegrees, double length, double width, double floorY,
                    double rimY, double repose);

// The height a unit adds to a cell: a voxel's volume over the cell's area.
double bedUnitHeight(const SoilBed& bed);
// The cell over which (x, z) lies, or -1 outside the floor.
int bedCellAt(const SoilBed& bed, double x, double z);
// The top of the soil in a cell, the floor's where it holds none.
double bedSurface(const SoilBed& bed, int cell);
// The cell's middle on the floor, in the world.
Vector3 bedCellMiddle(const SoilBed& bed, int cell);
int64_t bedUnits(const SoilBed& bed);

// A unit lands on the cell and slides, cell by cell, while the heap is
// steeper than the repose somewhere ahead of it. True when it comes to rest
// in the bed; false when it slides over an edge above the rim, with
// `spill` where it leaves the bed (just past the wall, at the soil's top).
bool addBedUnit(SoilBed& bed, int cell, Vector3& spill);
