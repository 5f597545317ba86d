#include "world/Billboard.h"

#include <cmath>
#include <cstdint>
#include <utility>

#include "physics/Collision.h"
#include "terrain/Terrain.h"

namespace {

// The draws of the C library's rand() after srand(seed) (its additive
// feedback generator), from a state of each planting's own: worlds built at
// once on several threads plant the same trees.
class Draws {
public:
    explicit Draws(uint32_t seed)
    {
        r[0] = seed;
        for (int k = 1; k < 31; ++k)
            r[k] = static_cast<uint32_t>(16807 * static_cast<int64_t>(r[k - 1]) % 2147483647);
        for (int k = 31; k < 34; ++k)
            r[k] = r[k - 31];
        for (int k = 34; k < 344; ++k)
            next();
    }
    uint32_t next()
    {
        const uint32_t v = r[(i + 3) % 34] + r[(i + 31) % 34];
        r[i] = v;
        i = (i + 1) % 34;
        return v >> 1;
    }
    // The placement's formulas expect draws in 0..32767.
    double draw15() { return next() % 32768; }

private:
    uint32_t r[34];
    int i = 0;
};

double distance2(const Vector3& a, const Vector3& b)
{
    const Vector3 d = a - b;
    return dot(d, d);
}

}  // namespace

std::vector<TreeSprite> plantTrees(const Mesh& forest, const Terrain& terrain)
{
    Draws random(18);
    // Ten trees per block's area (22 x 22) of the forest's ground.
    const double target = forest.volume / (forest.boxMax.y - forest.boxMin.y) * 10.0 / 484.0;
    std::vector<TreeSprite> trees;
    for (int attempt = 0; attempt < 5000 && trees.size() < target; ++attempt) {
        const double x = random.draw15() * (forest.boxMax.x - forest.boxMin.x) / 32767.0 + forest.boxMin.x;
        const double z = random.draw15() * (forest.boxMax.z - forest.boxMin.z) / 32767.0 + forest.boxMin.z;
        const Vector3 candidate(x, 10.0, z);
        bool crowded = false;
        for (const TreeSprite& t : trees)
            crowded = crowded || distance2(candidate, t.position) < 12.0;
        if (crowded || !pointInsideMesh(candidate, forest))
            continue;
        const double d = terrain.surfaceDistanceBelow(candidate);
        if (d == 0.0)
            continue;
        TreeSprite tree;
        // Planted a little into the ground.
        tree.position = Vector3(x, 10.0 - (d + 0.15), z);
        if (random.draw15() > 27851.95)
            tree.textureIndex = 0;
        else
            tree.textureIndex = random.draw15() > 16383.5 ? 2 : 1;
        tree.size = static_cast<float>(2.0 * random.draw15() / 32767.0 + 10.0);
        trees.push_back(tree);
    }
    return trees;
}

Billboard::Billboard(const Mesh& forest, Terrain* terrain_) : Object(forest, HUGE_VAL), terrain(terrain_)
{
    trees = plantTrees(meshes[0], *terrain);
}

void sortFarthestFirst(std::vector<TreeSprite>& trees, const Vector3& eye)
{
    for (size_t i = 0; i < trees.size(); ++i)
        for (size_t j = i + 1; j < trees.size(); ++j)
            if (distance2(trees[j].position, eye) > distance2(trees[i].position, eye))
                std::swap(trees[i], trees[j]);
}
