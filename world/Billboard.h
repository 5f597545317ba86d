#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "math/Vector3.h"
#include "physics/Object.h"

class Mesh;
class Terrain;

struct TreeSprite {
    Vector3 position;          // foot of the tree
    int16_t textureIndex = 0;  // 0, 1 or 2
    float size = 0.0f;         // width and height
};

// One forest: the closed volume of a model group, filled with trees that
// the drawing side shows as camera-facing sprites. Immovable scenery
// (kind 0) that no force moves.
class Billboard : public Object {
public:
    Billboard(const Mesh& forest, Terrain* terrain);

    void computeForces() override {}

    Terrain* terrain;
    std::vector<TreeSprite> trees;  // in planting order
};

// Trees standing on the terrain's initial ground inside a forest's closed
// volume (world-frame working positions), at least sqrt(12) apart; the same
// forest every time for the same mesh and ground.
std::vector<TreeSprite> plantTrees(const Mesh& forest, const Terrain& terrain);

// Farthest from the eye first (squared distances, strictly farther moves up).
void sortFarthestFirst(std::vector<TreeSprite>& trees, const Vector3& eye);
