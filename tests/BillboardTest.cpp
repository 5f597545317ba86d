#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "GLContext.h"
#include "TestShapes.h"
#include "assets/ModelLoader.h"
#include "draw/ForestView.h"
#include "world/Billboard.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainImages.h"

namespace {

// A closed box in world coordinates, as a forest volume.
Mesh box(const Vector3& lo, const Vector3& hi)
{
    Mesh m = makeBox(lo, hi);
    m.computeProperties();
    return m;
}

void expectSpaced(const std::vector<TreeSprite>& trees)
{
    for (size_t i = 0; i < trees.size(); ++i)
        for (size_t j = i + 1; j < trees.size(); ++j) {
            // Spacing is measured from the candidate at height 10 to the planted foot.
            const Vector3 d = Vector3(trees[j].position.x, 10.0, trees[j].position.z) - trees[i].position;
            EXPECT_GE(dot(d, d), 12.0) << i << " " << j;
        }
}

}  // namespace

TEST(Billboard, PlantsTheTargetCountOnTheGroundInsideTheForest)
{
    Terrain ground(flatGrid(9.0));
    // 30 x 40 ground: 1200 / 48.4 = 24.8, so 25 trees.
    const Mesh forest = box(Vector3(10, 9.5, -40), Vector3(40, 10.5, 0));
    const std::vector<TreeSprite> trees = plantTrees(forest, ground);
    ASSERT_EQ(trees.size(), 25u);
    for (const TreeSprite& t : trees)
        EXPECT_TRUE(t.position.x > 10.0 && t.position.x < 40.0 && t.position.z > -40.0 && t.position.z < 0.0 &&
                    std::fabs(t.position.y - 8.85) < 1e-9 && t.size >= 10.0f && t.size <= 12.0f);
    expectSpaced(trees);
    // The same forest every time, whatever ran in between.
    std::rand();
    const std::vector<TreeSprite> again = plantTrees(forest, ground);
    ASSERT_EQ(again.size(), trees.size());
    for (size_t i = 0; i < trees.size(); ++i)
        EXPECT_TRUE(again[i].position == trees[i].position && again[i].textureIndex == trees[i].textureIndex &&
                    again[i].size == trees[i].size) << i;
    // Off the terrain no trees; half off, every tree on the ground. An open volume has an unbounded
    // target: all attempts run and only the spacing limits the count (ground close under the candidates).
    Terrain high(flatGrid(9.85));
    EXPECT_TRUE(plantTrees(box(Vector3(100, 9, 100), Vector3(130, 11, 130)), high).empty());
    for (const TreeSprite& t : plantTrees(box(Vector3(70, 9, -20), Vector3(110, 11, 20)), high))
        EXPECT_LT(t.position.x, 88.0);
    Mesh open = makeBox(Vector3(-20, 9, -20), Vector3(20, 11, 20), false);
    open.computeProperties();
    const std::vector<TreeSprite> spaced = plantTrees(open, high);
    EXPECT_TRUE(spaced.size() > 50u && spaced.size() < 140u) << spaced.size();
    expectSpaced(spaced);
}

TEST(Billboard, TreesSortFarthestFromTheEyeFirst)
{
    std::vector<TreeSprite> trees(5);
    for (int k = 0; k < 5; ++k)
        trees[k].position = Vector3((k * 3) % 5 * 3.0 - 6.0, 0, 0);  // -6, 3, -3, 6, 0
    for (double side : {-1.0, 1.0}) {
        sortFarthestFirst(trees, Vector3(20 * side, 0, side));
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(trees[k].position.x, side * (-6.0 + 3.0 * k));
    }
}

TEST(Billboard, GeneratedForestsAreFullAndStandOnTheGround)
{
    const ModelLoader& loader = ModelLoader::forData();
    Terrain ground(loadHeightmap("data/hm02.bmp"));
    for (const char* name : {"forest01", "forest02", "forest03"}) {
        Mesh forest = loader.getMesh(name, true);
        forest.computeProperties();
        const double target = forest.volume / (forest.boxMax.y - forest.boxMin.y) * 10.0 / 484.0;
        const std::vector<TreeSprite> trees = plantTrees(forest, ground);
        EXPECT_EQ(trees.size(), static_cast<size_t>(std::ceil(target))) << name;
        for (const TreeSprite& t : trees) {
            const double under = t.position.y + 0.15;  // the ground; the slab leaves the machine room under it
            EXPECT_NEAR(ground.surfaceDistanceBelow(Vector3(t.position.x, 10.0, t.position.z)), 10.0 - under, 1e-9);
            EXPECT_LT(under, forest.boxMin.y - 4.5) << name;
            EXPECT_GE(std::hypot(t.position.x - 3.12, t.position.z + 2.13), 30.0) << name << " too near the start";
        }
    }
}

// Culling must never drop a sprite that shows: one 10-unit tree 10 ahead of
// the eye, seen whole, with only its crown in view (foot below the view) and
// with only its right part in view (foot beside it); behind the eye nothing.
TEST(Billboard, SpritesPartlyInViewAreStillDrawn)
{
    ASSERT_TRUE(ensureGLContext()) << SDL_GetError();
    glViewport(0, 0, 64, 64);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, 1.0, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    for (GLenum off : {GL_TEXTURE_2D, GL_LIGHTING, GL_DEPTH_TEST, GL_CULL_FACE, GL_BLEND})
        glDisable(off);
    glColor4f(1, 1, 1, 1);
    glClearColor(0, 0, 0, 1);
    std::vector<TreeSprite> trees{{Vector3(0, 0, -10), 0, 10.0f}};
    const unsigned int textures[3] = {0, 0, 0};
    // Looking along -z from each eye: whole, crown only, right edge only, behind the eye.
    const std::pair<Vector3, bool> cases[] = {
        {{0, 5, 0}, true}, {{0, 9, 0}, true}, {{7.5, 5, 0}, true}, {{0, 5, -20}, false}};
    for (const auto& [eye, shows] : cases) {
        glLoadIdentity();
        gluLookAt(eye.x, eye.y, eye.z, eye.x, eye.y, eye.z - 10, 0, 1, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        drawTreeSprites(trees, textures, 180.0f);
        glFinish();
        std::vector<uint8_t> px(64 * 64 * 3);
        glReadPixels(0, 0, 64, 64, GL_RGB, GL_UNSIGNED_BYTE, px.data());
        int lit = 0;
        for (size_t k = 0; k < px.size(); k += 3)
            lit += px[k] > 128;
        EXPECT_EQ(lit > 0, shows) << eye.x << " " << eye.y << " " << eye.z << ": " << lit << " pixels";
    }
}

// A sprite's outline must hold every texel that shows, widened by the
// margin, and stay within the square, turning as the square's corners do:
// a disc, one corner texel, a full image; none for a clear image.
TEST(Billboard, SpriteOutlineHoldsEveryOpaqueTexel)
{
    const int w = 32, h = 64, margin = 2;
    const auto disc = [](int x, int y) { return (x - 12) * (x - 12) + (y - 40) * (y - 40) < 64; };
    const struct {
        bool (*shows)(int, int);
        double largestArea;
    } cases[] = {{+disc, 0.2}, {[](int x, int y) { return x == 31 && y == 0; }, 0.01},
                 {[](int, int) { return true; }, 1.0}, {[](int, int) { return false; }, 0.0}};
    for (const auto& c : cases) {
        std::vector<uint8_t> alpha(w * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                alpha[y * w + x] = c.shows(x, y) ? 200 : 0;
        const SpriteOutline outline = opaqueOutline(alpha, w, h, margin, 12);
        if (c.largestArea == 0.0) {
            EXPECT_TRUE(outline.empty());
            continue;
        }
        ASSERT_EQ(outline.size(), 12u);
        double area = 0.0;  // signed: negative turns as the square does
        for (size_t k = 0; k < outline.size(); ++k) {
            const auto &p = outline[k], &q = outline[(k + 1) % outline.size()];
            EXPECT_TRUE(p[0] >= 0.0f && p[0] <= 1.0f && p[1] >= 0.0f && p[1] <= 1.0f);
            area += 0.5 * (p[0] * q[1] - q[0] * p[1]);
        }
        EXPECT_LT(area, 0.0);
        EXPECT_LE(-area, c.largestArea + 1e-6);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (!c.shows(x, y))
                    continue;
                // Each widened corner right of every edge (as the square turns) or on it.
                for (int corner = 0; corner < 4; ++corner) {
                    const double s = std::clamp(double(corner % 2 ? x + 1 + margin : x - margin) / w, 0.0, 1.0);
                    const double t = std::clamp(double(corner / 2 ? y + 1 + margin : y - margin) / h, 0.0, 1.0);
                    for (size_t k = 0; k < outline.size(); ++k) {
                        const auto &p = outline[k], &q = outline[(k + 1) % outline.size()];
                        EXPECT_LE((q[0] - p[0]) * (t - p[1]) - (q[1] - p[1]) * (s - p[0]), 1e-5) << x << " " << y;
                    }
                }
            }
    }
}
