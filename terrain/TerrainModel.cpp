#include "base/Log.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainImages.h"

// Kept apart so that a terrain built from given heights needs no files.
Terrain::Terrain(const std::string& directory) : Object(2)
{
    logMessage("[Terrain] Creating terrain.");
    buildGround(loadHeightmap(directory + "hm02.bmp"));
    stitchBlockBorders();
}
