#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "assets/Material.h"
#include "assets/Mesh.h"
#include "math/Vector3.h"

struct Frustum;
struct FrameSnapshot;
class GroundShading;
class VoxelWorld;

// A corner of the drawn ground: texture (s, t, r), colour, position. The
// colour is the ground's light and shade there; its alpha the share of it
// left in the machine's shadow (the ambient part).
struct GroundVertex {
    float tex[3];
    unsigned char colour[4];
    float position[3];
};

// How the ground is lit: the sun's share of each column, and the material
// as the light scales it. Without shading every corner is white.
struct GroundLight {
    GroundShading* shading = nullptr;
    float ambient[3] = {1.0f, 1.0f, 1.0f};
    float diffuse[3] = {0.0f, 0.0f, 0.0f};
};

enum GroundCover { GrassCover, SoilCover, MixedCover };

// Each block's triangles as last collected, kept while what they are made
// of stands: the surface revisions of the block and of its neighbours (fans
// take their neighbours' midpoints, border columns may be theirs), and the
// light.
struct CollectedGround {
    struct Block {
        bool valid = false;
        uint32_t revisions[9] = {};
        std::vector<GroundVertex> batches[3];
    };
    const VoxelWorld* surface = nullptr;
    Vector3 sun;
    float ambient[3] = {}, diffuse[3] = {};
    std::vector<Block> blocks;
};

// The leaves of the surface's blocks not wholly outside the view, as
// triangles into batches by the texture they need (GroundCover); no GL.
// With the surface's block revisions and a store, a block whose triangles
// cannot have changed is taken from the store instead of walked again.
void collectGround(const VoxelWorld& surface, const Frustum& view, std::vector<GroundVertex> (&batches)[3],
                   const GroundLight& light = GroundLight(), const std::vector<uint32_t>* revisions = nullptr,
                   CollectedGround* kept = nullptr);

// The ground and its loose soil as a frame draws them from a snapshot: the
// layered grass-to-soil texture, the grain's display list, the batches.
class TerrainView {
public:
    // Reads directory + "grass256.bmp" and "soil256.bmp"; `element` is the
    // grain's model ("terrainElement"); needs a current GL context.
    TerrainView(const Material& material, const Mesh& element, const std::string& directory = "data/");
    ~TerrainView();

    // Lit by the sun at `sun`, world frame (the scene's light).
    void draw(const FrameSnapshot& frame, const Vector3& sun);

    Material material;
    unsigned int elementDisplayList = 0;  // one grain of soil at the origin
    unsigned int layeredTexture = 0;      // 3D: grass (r = 0) to soil (r = 1)
    unsigned int grassTexture = 0, soilTexture = 0;  // its end layers, in 2D
    std::vector<GroundVertex> groundBatches[3];  // by GroundCover, as last collected
    CollectedGround collected;
    std::unique_ptr<GroundShading> shading;

private:
    void createLayeredTexture(const std::string& directory);
};
