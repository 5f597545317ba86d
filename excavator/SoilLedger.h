#pragma once

#include <cstdint>
#include <vector>

class Excavator;
class Terrain;

// All the soil of a world, in units of one voxel. Digging, carrying,
// spilling and settling only move units between the five places, so the
// total stays what it was at the start.
struct SoilLedger {
    int64_t ground = 0;   // soil voxels in the terrain
    int64_t loose = 0;    // grains falling or sliding over it
    int64_t gone = 0;     // grains that left the terrain's edge
    int64_t buckets = 0;  // units in the machines' buckets
    int64_t beds = 0;     // units resting on raised floors (a truck's body)
    int64_t total() const { return ground + loose + gone + buckets + beds; }
};

// From the counts kept as soil changes hands: cheap enough for every step.
SoilLedger soilLedger(const Terrain& terrain, const std::vector<const Excavator*>& machines);
// By scanning every voxel and bucket cell: the check of the kept counts.
SoilLedger recountSoil(const Terrain& terrain, const std::vector<const Excavator*>& machines);
