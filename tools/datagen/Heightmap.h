#pragma once
#include "tools/datagen/BmpWriter.h"

// The 9 × 9 grid of block corners the terrain reads from the heightmap:
// grid (r, c) is the point x = 22(c − 4), z = 22(r − 4).
constexpr int heightGridSize = 9;
constexpr int heightmapWidth = 16;  // square; 16 × 3 bytes per row needs no padding

int heightByte(int r, int c);
double gridHeight(int r, int c);  // byte × 14 / 255 − 4.8
// The ground the terrain builds at (x, z): the two triangles of the block,
// split along the diagonal from (x0, z0 + 22) to (x0 + 22, z0).
double groundHeight(double x, double z);

// Grey image: the grid in pixels (r, c), r, c = 0..8 (row 0 on top), the
// rest repeating the nearest grid pixel.
Image makeHeightmap();
