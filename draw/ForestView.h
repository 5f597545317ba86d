#pragma once

#include <array>
#include <string>
#include <vector>

#include "assets/Material.h"
#include "math/Vector3.h"
#include "world/Billboard.h"

// A convex polygon in texture coordinates (s, t in 0 to 1), in fan order.
using SpriteOutline = std::vector<std::array<float, 2>>;

// The polygon of `sides` edges (at even turns, 4 or more, a multiple of 4)
// that holds every texel of a w x h alpha image (rows at t = 0 first) whose
// alpha is above 0, each widened by `margin` texels, clipped to the square:
// a sprite drawn over it leaves out most of its clear texels. Empty for an
// image with none.
SpriteOutline opaqueOutline(const std::vector<uint8_t>& alpha, int w, int h, int margin, int sides);

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
    SpriteOutline spriteOutlines[3];  // of each texture's opaque texels

private:
    void drawForest(const Forest& forest, float angle) const;
};

// The trees in list order as upright sprites of their size, turned by
// angleDegrees about y, with textures[textureIndex], each drawn over its
// texture's outline (the whole square where none is given); those wholly
// outside the current view are skipped. Needs a current GL context.
void drawTreeSprites(const std::vector<TreeSprite>& trees, const unsigned int textures[3], float angleDegrees,
                     const SpriteOutline* outlines = nullptr);
