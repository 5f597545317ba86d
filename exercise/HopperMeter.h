#pragma once

#include <cstdint>
#include <vector>

#include "exercise/Exercise.h"

class Terrain;

// Soil brought to the hopper: voxels that were free when the meter was
// made and hold soil now, inside the hopper's footprint (delivered) or
// round it (spilled), leaving out the dig area. Measuring a body with a
// bed of the terrain's (a truck's), the soil in the bed is delivered and
// all that settled on the ground round it and under it spilled.
class HopperMeter {
public:
    static constexpr double kMargin = 4.0;  // m round the hopper where soil counts as spilled

    HopperMeter(Terrain& terrain, const HopperTarget& hopper, const TrenchTarget& digArea, int bed = -1);

    bool inside(double x, double z) const;
    void corners(double xz[4][2]) const;
    // Delivered and spilled soil (m3) into `out`.
    void measure(Metrics& out) const;
    // The same in voxels.
    void count(int64_t& delivered, int64_t& spilled) const;

private:
    struct Column {
        int16_t block, x, z;
        bool inside;
        uint64_t soil;  // bit y: voxel y was soil at the start
    };
    Terrain& terrain;
    HopperTarget h;
    int bed;  // the terrain's bed that takes the delivered soil, or -1
    double ux = 1.0, uz = 0.0;
    std::vector<Column> columns;
};

// Whether (x, z) lies in the rectangle round (cx, cz), its length along the
// heading (degrees, as the machine's), enlarged by `margin` on every side.
bool inRectangle(double x, double z, double cx, double cz, double headingDegrees, double length, double width,
                 double margin = 0.0);
