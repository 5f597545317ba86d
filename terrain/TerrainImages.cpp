#include "terrain/TerrainImages.h"

#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "base/Fatal.h"

namespace {

struct SurfaceFree {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFree>;

bool canOpen(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f)
        std::fclose(f);
    return f != nullptr;
}

// Loads a BMP; a missing file throws missingText, an unreadable one a
// message of the same tag.
SurfacePtr loadBmp(const std::string& path, const std::string& missingText, const std::string& unreadableText)
{
    if (!canOpen(path))
        throwFatal(missingText + " " + path + ": cannot be opened");
    SDL_RWops* rw = SDL_RWFromFile(path.c_str(), "rb");
    SurfacePtr surface(rw ? SDL_LoadBMP_RW(rw, 1) : nullptr);
    if (!surface)
        throwFatal(unreadableText + " " + path + ": not a readable BMP (" + SDL_GetError() + ")");
    return surface;
}

std::string sizeText(const SDL_Surface* s)
{
    return std::to_string(s->w) + " x " + std::to_string(s->h) + ", " +
           std::to_string(s->format->BitsPerPixel) + " bits";
}

// Rows packed without the surface's padding.
std::vector<uint8_t> packedPixels(SDL_Surface* s)
{
    std::vector<uint8_t> out(static_cast<size_t>(s->w) * s->h * 3);
    SDL_LockSurface(s);
    const uint8_t* pixels = static_cast<const uint8_t*>(s->pixels);
    for (int r = 0; r < s->h; ++r)
        std::copy(pixels + r * s->pitch, pixels + r * s->pitch + s->w * 3, out.begin() + r * s->w * 3);
    SDL_UnlockSurface(s);
    return out;
}

}  // namespace

terrain::HeightGrid loadHeightmap(const std::string& path)
{
    SurfacePtr s = loadBmp(path, "[Terrain] Heightmap file not found.", "[Terrain] Heightmap file error.");
    if (s->w != s->h)
        throwFatal("[Terrain] Heightmap size error. " + path + " is " + sizeText(s.get()) + "; it must be square.");
    if (s->w < terrain::kBlocks + 1)
        throwFatal("[Terrain] Heightmap size error. " + path + " is " + sizeText(s.get()) +
                   "; it must be at least 9 x 9.");
    if (s->format->BytesPerPixel != 3)
        throwFatal("[Terrain] Heightmap format error. " + path + " is " + sizeText(s.get()) +
                   "; it must be 24 bits per pixel.");
    terrain::HeightGrid heights{};
    SDL_LockSurface(s.get());
    const uint8_t* pixels = static_cast<const uint8_t*>(s->pixels);
    // Rows are taken at the surface's pitch, so no width shifts later rows.
    for (int r = 0; r <= terrain::kBlocks; ++r)
        for (int c = 0; c <= terrain::kBlocks; ++c)
            heights[r][c] = pixels[r * s->pitch + c * 3] * 14.0 / 255.0 - 4.8;
    SDL_UnlockSurface(s.get());
    return heights;
}

std::vector<uint8_t> loadTerrainLayers(const std::string& grassPath, const std::string& soilPath)
{
    const std::string missing = "[Terrain] Erorr loading file.";
    SurfacePtr grass = loadBmp(grassPath, missing, missing);
    SurfacePtr soil = loadBmp(soilPath, missing, missing);
    if (grass->w != soil->w || grass->h != soil->h || grass->format->BytesPerPixel != soil->format->BytesPerPixel)
        throwFatal("[Terrain] 3d texture size error. " + grassPath + " is " + sizeText(grass.get()) + ", " +
                   soilPath + " is " + sizeText(soil.get()) + "; they must match.");
    for (const auto& [s, path] : {std::make_pair(grass.get(), &grassPath), std::make_pair(soil.get(), &soilPath)})
        if (s->w != kTerrainTextureSize || s->h != kTerrainTextureSize || s->format->BytesPerPixel != 3)
            throwFatal("[Terrain] 3d texture size error. " + *path + " is " + sizeText(s) +
                       "; it must be 256 x 256, 24 bits.");
    return blendTerrainLayers(packedPixels(grass.get()), packedPixels(soil.get()));
}

std::vector<uint8_t> blendTerrainLayers(const std::vector<uint8_t>& grass, const std::vector<uint8_t>& soil)
{
    const size_t layer = grass.size();
    std::vector<uint8_t> out(layer * kTerrainLayers);
    for (int k = 0; k < kTerrainLayers; ++k) {
        const double t = k / 31.0;
        for (size_t i = 0; i < layer && i < soil.size(); ++i)
            out[k * layer + i] = static_cast<uint8_t>(std::floor(grass[i] * (1.0 - t) + soil[i] * t + 0.5));
    }
    return out;
}
