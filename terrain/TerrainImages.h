#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "terrain/VoxelWorld.h"

// The terrain's image files, read with SDL only (no GL), so that the
// checks run headless.

// Heights of grid points (0..8, 0..8) of a square 24-bit heightmap of at
// least 9 x 9 pixels: blue byte x 14 / 255 - 4.8. Throws a tagged message
// naming the file and the fault.
terrain::HeightGrid loadHeightmap(const std::string& path);

// The 32 layers of the terrain texture, 256 x 256 BGR each, layer 0 pure
// grass and layer 31 pure soil. Both images must be 256 x 256, 24 bits.
std::vector<uint8_t> loadTerrainLayers(const std::string& grassPath, const std::string& soilPath);

// Layer k is grass x (1 - k/31) + soil x k/31, byte by byte, rounded.
std::vector<uint8_t> blendTerrainLayers(const std::vector<uint8_t>& grass, const std::vector<uint8_t>& soil);

constexpr int kTerrainTextureSize = 256;
constexpr int kTerrainLayers = 32;
