#include "tools/datagen/Heightmap.h"

#include <algorithm>
#include <cmath>

namespace {

// Rows run from z = −88 to z = 88, columns from x = −88 to x = 88.
// The machine starts in the block of rows 3–4 and columns 4–5, which rises
// towards +x and −z; the blocks to its −x and +z side are nearly flat, for
// deep digging. Hills rise to the north and east, a basin lies to the south-west.
const int heightBytes[heightGridSize][heightGridSize] = {
    {230, 245, 215, 200, 212, 236, 246, 248, 242},
    {200, 190, 165, 151, 169, 205, 225, 235, 240},
    {160, 142, 124, 124, 142, 178, 197, 206, 215},
    {133, 115, 106, 106, 130, 167, 178, 188, 197},
    {106,  87,  78,  78,  87, 124, 142, 160, 178},
    { 97,  69,  60,  73,  76, 102, 124, 142, 160},
    {106,  40,   8,  30,  60,  87, 106, 124, 151},
    {124,  50,  10,  20,  55,  78,  97, 115, 142},
    {151, 106,  69,  69,  87,  97, 115, 133, 151},
};

}  // namespace

int heightByte(int r, int c) { return heightBytes[r][c]; }

double gridHeight(int r, int c) { return heightBytes[r][c] * 14.0 / 255.0 - 4.8; }

double groundHeight(double x, double z)
{
    const int j = std::clamp(static_cast<int>(std::floor(x / 22.0 + 4.0)), 0, 7);
    const int i = std::clamp(static_cast<int>(std::floor(z / 22.0 + 4.0)), 0, 7);
    const double u = (x - 22.0 * (j - 4)) / 22.0, v = (z - 22.0 * (i - 4)) / 22.0;
    const double h00 = gridHeight(i, j), h01 = gridHeight(i, j + 1);
    const double h10 = gridHeight(i + 1, j), h11 = gridHeight(i + 1, j + 1);
    if (u + v <= 1.0) return h00 + u * (h01 - h00) + v * (h10 - h00);
    return h11 + (1.0 - u) * (h10 - h11) + (1.0 - v) * (h01 - h11);
}

Image makeHeightmap()
{
    Image image(heightmapWidth, heightmapWidth);
    for (int r = 0; r < heightmapWidth; ++r)
        for (int c = 0; c < heightmapWidth; ++c) {
            const auto b = static_cast<uint8_t>(heightBytes[std::min(r, 8)][std::min(c, 8)]);
            image.set(c, r, b, b, b);
        }
    return image;
}
