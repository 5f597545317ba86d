#include <SDL.h>

#include "base/Log.h"
#include "assets/ModelLoader.h"
#include "world/Terrain.h"
#include "world/TerrainImages.h"

// Kept apart so that a terrain built from given heights needs neither the
// files, the model loader nor a GL context.
Terrain::Terrain(const std::string& directory) : Object(2)
{
    logMessage("[Terrain] Creating terrain.");
    buildGround(loadHeightmap(directory + "hm02.bmp"));
    Mesh element = ModelLoader::getInstance().getMesh("terrainElement", true);
    elementDisplayList = element.buildDisplayList();
    createLayeredTexture(directory);
    stitchBlockBorders();
    // Last, so that a failed load above leaves nothing behind.
    mutex = SDL_CreateMutex();
}
