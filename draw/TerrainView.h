#pragma once

#include <string>
#include <vector>

#include "assets/Material.h"
#include "assets/Mesh.h"
#include "math/Vector3.h"

struct Frustum;
struct FrameSnapshot;
class VoxelWorld;

// A corner of the drawn ground: texture (s, t, r), normal, position.
struct GroundVertex {
    float tex[3];
    float normal[3];
    float position[3];
};

enum GroundCover { GrassCover, SoilCover, MixedCover };

// The leaves of the surface's blocks not wholly outside the view, as
// triangles into batches by the texture they need (GroundCover); no GL.
void collectGround(const VoxelWorld& surface, const Frustum& view, std::vector<GroundVertex> (&batches)[3]);

// The ground and its loose soil as a frame draws them from a snapshot: the
// layered grass-to-soil texture, the grain's display list, the batches.
class TerrainView {
public:
    // Reads directory + "grass256.bmp" and "soil256.bmp"; `element` is the
    // grain's model ("terrainElement"); needs a current GL context.
    TerrainView(const Material& material, const Mesh& element, const std::string& directory = "data/");

    void draw(const FrameSnapshot& frame);

    Material material;
    unsigned int elementDisplayList = 0;  // one grain of soil at the origin
    unsigned int layeredTexture = 0;      // 3D: grass (r = 0) to soil (r = 1)
    unsigned int grassTexture = 0, soilTexture = 0;  // its end layers, in 2D
    std::vector<GroundVertex> groundBatches[3];  // by GroundCover, as last collected

private:
    void createLayeredTexture(const std::string& directory);
};
