#pragma once

#include <string>
#include <vector>

#include "assets/Material.h"
#include "math/Vector3.h"
#include "world/Billboard.h"

// The forests' trees as camera-facing sprites, farthest first, blended.
// Built once a GL context exists, from the forests of the world; the trees
// never move, so the view keeps its own copy and sorts it for the eye.
class ForestView {
public:
    // Loads directory + "tree01.bmp" .. "tree03.bmp".
    ForestView(const std::vector<const Billboard*>& forests, const std::string& directory = "data/");

    // Every forest, sorted for `eye`, each sprite turned to face a view of `yaw`.
    void draw(const Vector3& eye, double yaw);

    struct Forest {
        Material material;
        std::vector<TreeSprite> trees;
        Vector3 sortedFor;
        bool sorted = false;
    };
    std::vector<Forest> forests;
    unsigned int spriteTextures[3] = {0, 0, 0};

private:
    void drawForest(const Forest& forest, float angle) const;
};

// The trees in list order as upright sprites of their size, turned by
// angleDegrees about y, with textures[textureIndex]; those wholly outside the
// current view are skipped. Needs a current GL context.
void drawTreeSprites(const std::vector<TreeSprite>& trees, const unsigned int textures[3], float angleDegrees);
