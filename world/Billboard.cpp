#include "world/Billboard.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>
#include <utility>

#include "world/Viewpoint.h"
#include "assets/TextureLoader.h"
#include "physics/Collision.h"
#include "world/Terrain.h"
#include "world/ViewFrustum.h"

namespace {

// The placement's formulas expect draws in 0..32767.
double draw15() { return std::rand() % 32768; }

double distance2(const Vector3& a, const Vector3& b)
{
    const Vector3 d = a - b;
    return dot(d, d);
}

}  // namespace

std::vector<TreeSprite> plantTrees(const Mesh& forest, const Terrain& terrain)
{
    std::srand(18);
    // Ten trees per block's area (22 x 22) of the forest's ground.
    const double target = forest.volume / (forest.boxMax.y - forest.boxMin.y) * 10.0 / 484.0;
    std::vector<TreeSprite> trees;
    for (int attempt = 0; attempt < 5000 && trees.size() < target; ++attempt) {
        const double x = draw15() * (forest.boxMax.x - forest.boxMin.x) / 32767.0 + forest.boxMin.x;
        const double z = draw15() * (forest.boxMax.z - forest.boxMin.z) / 32767.0 + forest.boxMin.z;
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
        if (draw15() > 27851.95)
            tree.textureIndex = 0;
        else
            tree.textureIndex = draw15() > 16383.5 ? 2 : 1;
        tree.size = static_cast<float>(2.0 * draw15() / 32767.0 + 10.0);
        trees.push_back(tree);
    }
    return trees;
}

Billboard::Billboard(const std::string& groupName, const Viewpoint* camera_, Terrain* terrain_, const std::string& directory)
    : Object(groupName, HUGE_VAL), camera(camera_), terrain(terrain_)
{
    for (int k = 0; k < 3; ++k) {
        spriteTextures[k] = TextureLoader::loadSpriteTexture(directory + "tree0" + std::to_string(k + 1) + ".bmp");
        // One mipmap level per fragment, as for the sky: the seams do not
        // show on foliage, and a forest's overlapping sprites fetch half as much.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    }
    trees = plantTrees(meshes[0], *terrain);
    // In drawing order from the start: the first frame may clear the view's
    // change before any step has sorted them.
    sortFarthestFirst(trees, camera->eye);
}

void Billboard::computeForces() { sortTrees(); }

void Billboard::sortTrees()
{
    if (camera->viewChanged)
        sortFarthestFirst(trees, camera->eye);
}

void sortFarthestFirst(std::vector<TreeSprite>& trees, const Vector3& eye)
{
    for (size_t i = 0; i < trees.size(); ++i)
        for (size_t j = i + 1; j < trees.size(); ++j)
            if (distance2(trees[j].position, eye) > distance2(trees[i].position, eye))
                std::swap(trees[i], trees[j]);
}

void drawTreeSprites(const std::vector<TreeSprite>& trees, const unsigned int textures[3], float angleDegrees)
{
    // Every sprite turns by the same angle about y: its right half-width and
    // its normal are one pair of directions for all of them, so the corners
    // are found here and a run of trees with one texture is one batch.
    const double a = angleDegrees / 57.29577951308232;
    const float c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
    const Frustum view = currentViewFrustum();
    unsigned int bound = 0;
    bool open = false;
    for (const TreeSprite& t : trees) {
        const double half = 0.5 * t.size;
        const Vector3& p = t.position;
        // Wholly out of view (behind the eye, most of them): not sent.
        if (view.boxOutside(Vector3(p.x - half, p.y, p.z - half), Vector3(p.x + half, p.y + t.size, p.z + half)))
            continue;
        if (!open || textures[t.textureIndex] != bound) {
            if (open)
                glEnd();
            bound = textures[t.textureIndex];
            glBindTexture(GL_TEXTURE_2D, bound);
            glBegin(GL_TRIANGLES);
            glNormal3f(-s, 0.0f, -c);
            open = true;
        }
        const float x = static_cast<float>(p.x), y = static_cast<float>(p.y), z = static_cast<float>(p.z);
        const float rx = 0.5f * t.size * c, rz = -0.5f * t.size * s, top = y + t.size;
        // The strip's two triangles: right top, right foot, left top; left top, right foot, left foot.
        const float corners[6][5] = {{0, 0, x + rx, top, z + rz}, {0, 1, x + rx, y, z + rz},
                                     {1, 0, x - rx, top, z - rz}, {1, 0, x - rx, top, z - rz},
                                     {0, 1, x + rx, y, z + rz},   {1, 1, x - rx, y, z - rz}};
        for (const auto& v : corners) {
            glTexCoord2f(v[0], v[1]);
            glVertex3f(v[2], v[3], v[4]);
        }
    }
    if (open)
        glEnd();
}

void Billboard::draw()
{
    const float angle = static_cast<float>(camera->yaw * 57.29577951308232 + 180.0);
    const Material& m = meshes[0].material;
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, m.ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, m.diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, m.specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m.shininess);
    glPushMatrix();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    // Wholly clear texels would blend to nothing: dropping them spares the
    // blend over most of each sprite's square.
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.0f);
    drawTreeSprites(trees, spriteTextures, angle);
    glDisable(GL_ALPHA_TEST);
    // Blending stays on for what follows.
    glDepthMask(GL_TRUE);
    glPopMatrix();
}
