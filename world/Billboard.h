#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/KeyboardListener.h"
#include "math/Vector3.h"
#include "physics/Object.h"

struct Viewpoint;
class Mesh;
class Terrain;

struct TreeSprite {
    Vector3 position;          // foot of the tree
    int16_t textureIndex = 0;  // 0, 1 or 2
    float size = 0.0f;         // width and height
};

// One forest: the closed volume of a model group, filled with trees drawn
// as camera-facing sprites, farthest first. Immovable scenery (kind 0).
// Its owner registers it for keys and removes it before deleting it.
class Billboard : public Object, public KeyboardListener {
public:
    // Loads directory + "tree01.bmp" .. "tree03.bmp"; needs a GL context.
    Billboard(const std::string& groupName, const Viewpoint* camera, Terrain* terrain, const std::string& directory = "data/");

    void computeForces() override;  // sorts the trees when the view moved
    void draw() override;
    void keyPressed(const SDL_Event*) override {}
    void keyReleased(const SDL_Event*) override {}

    void sortTrees();

    const Viewpoint* camera;
    Terrain* terrain;
    unsigned int spriteTextures[3] = {0, 0, 0};
    std::vector<TreeSprite> trees;
};

// Trees standing on the terrain's initial ground inside a forest's closed
// volume (world-frame working positions), at least sqrt(12) apart; the same
// forest every time for the same mesh and ground.
std::vector<TreeSprite> plantTrees(const Mesh& forest, const Terrain& terrain);

// The trees in list order as upright sprites of their size, turned by
// angleDegrees about y, with textures[textureIndex]; those wholly outside the
// current view are skipped. Needs a current GL context.
void drawTreeSprites(const std::vector<TreeSprite>& trees, const unsigned int textures[3], float angleDegrees);

// Farthest from the eye first (squared distances, strictly farther moves up).
void sortFarthestFirst(std::vector<TreeSprite>& trees, const Vector3& eye);
