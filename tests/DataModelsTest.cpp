// The generated models, read through the program's own loader and meshes,
// checked against the terrain they stand on and the rules of the physics.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "GLContext.h"
#include "TestShapes.h"
#include "assets/Mesh.h"
#include "assets/ModelLoader.h"
#include "assets/TextureLoader.h"
#include "physics/Collision.h"
#include "world/TerrainImages.h"
#include "world/VoxelWorld.h"

namespace {

const std::string dataDir = std::string(KELVARRO_BINARY_DIR) + "/data/";
const char* const closedSceneGroups[] = {"wall",     "rock01",   "rock02",   "rock03",
                                         "forest01", "forest02", "forest03", "terrainElement"};

ModelLoader& loaderWith(const char* file)
{
    ModelLoader& loader = ModelLoader::getInstance();
    loader.reset();
    loader.directory = dataDir;
    loader.loadFile(file);
    return loader;
}

Mesh sceneMesh(const std::string& name)
{
    Mesh mesh = loaderWith("scene.obj").getMesh(name, true);
    mesh.computeProperties();
    return mesh;
}

// The ground the terrain builds from the heightmap: two triangles per block,
// split along the diagonal from (x0, z0 + 22) to (x0 + 22, z0).
struct Ground {
    terrain::HeightGrid h = loadHeightmap(dataDir + "hm02.bmp");
    double at(double x, double z) const
    {
        const int j = std::min(7, std::max(0, static_cast<int>(std::floor(x / 22.0 + 4.0))));
        const int i = std::min(7, std::max(0, static_cast<int>(std::floor(z / 22.0 + 4.0))));
        const double u = x / 22.0 + 4.0 - j, v = z / 22.0 + 4.0 - i;
        if (u + v <= 1.0) return h[i][j] + u * (h[i][j + 1] - h[i][j]) + v * (h[i + 1][j] - h[i][j]);
        return h[i + 1][j + 1] + (1 - u) * (h[i + 1][j] - h[i + 1][j + 1]) + (1 - v) * (h[i][j + 1] - h[i + 1][j + 1]);
    }
};

}  // namespace

TEST(DataModels, SceneGroupsAreClosedOutwardSurfacesWithMaterials)
{
    for (const char* name : closedSceneGroups) {
        const Mesh mesh = sceneMesh(name);  // a third face on an edge would throw here
        ASSERT_GE(mesh.triangles.size(), 4u) << name;
        expectClosedSolid(mesh, name);
        EXPECT_FALSE(mesh.material.name.empty()) << name;
        EXPECT_GT(mesh.material.diffuse[0] + mesh.material.diffuse[1] + mesh.material.diffuse[2], 0.5f) << name;
        EXPECT_EQ(mesh.material.diffuse[3], 1.0f) << name;
    }
    // Rocks are nearly convex: most of their non-flat edges fold outwards.
    for (const char* name : {"rock01", "rock02", "rock03"}) {
        const Mesh mesh = sceneMesh(name);
        int convex = 0;
        for (const MeshEdge& e : mesh.edges) convex += e.convex;
        EXPECT_GT(convex, 0.7 * static_cast<double>(mesh.edges.size())) << name;
    }
}

// Mesh textures must exist and load through the program's texture loader,
// the sprites through its sprite path.
TEST(DataModels, EveryNamedTextureLoads)
{
    ASSERT_TRUE(ensureGLContext());
    std::set<std::string> textures;
    for (const char* file : {"scene.obj", "koparka.obj"}) {
        if (!std::filesystem::exists(dataDir + file)) continue;
        for (const Material& m : loaderWith(file).getMaterials())
            if (!m.textureFile.empty()) textures.insert(m.textureFile);
    }
    EXPECT_GE(textures.size(), 3u);
    for (const char* face : {"bk", "dn", "ft", "lf", "rt", "up"}) textures.insert(std::string("sky_") + face + ".bmp");
    for (const std::string& t : textures) {
        try {
            EXPECT_NE(TextureLoader::loadTexture(t, dataDir), 0u) << t;
        } catch (const char* message) {
            ADD_FAILURE() << message;
        }
    }
    for (const char* tree : {"tree01.bmp", "tree02.bmp", "tree03.bmp"}) {
        try {
            EXPECT_NE(TextureLoader::loadSpriteTexture(dataDir + tree), 0u) << tree;
        } catch (const char* message) {
            ADD_FAILURE() << message;
        }
    }
}

// The wall and rocks are immovable: they must sit in the ground, not on a
// ledge of air, and out of the machine's reach where it starts.
TEST(DataModels, WallAndRocksAreGroundedAndClearOfTheStart)
{
    const Ground ground;
    for (const char* name : {"wall", "rock01", "rock02", "rock03"}) {
        const Mesh mesh = sceneMesh(name);
        const double low = mesh.boxMin.y, high = mesh.boxMax.y;
        std::vector<bool> inFoot(mesh.positions.size());
        int foot = 0;
        double tallest = -1e9;
        for (size_t i = 0; i < mesh.positions.size(); ++i) {
            const Vector3& p = mesh.positions[i];
            EXPECT_GE(std::hypot(p.x - 3.12, p.z + 2.13), 8.6) << name << " vertex " << i;
            tallest = std::fmax(tallest, p.y - ground.at(p.x, p.z));
            if (p.y < low + 0.1 * (high - low)) {
                inFoot[i] = true;
                ++foot;
                EXPECT_LE(p.y, ground.at(p.x, p.z) - 0.2) << name << " foot vertex " << i << " not buried";
            }
        }
        EXPECT_GE(foot, 3) << name;
        EXPECT_GT(tallest, 0.8) << name << " hardly shows above the ground";
        // Along the edges of the foot too, not only at its corners.
        for (const MeshEdge& e : mesh.edges) {
            if (!inFoot[e.v0] || !inFoot[e.v1]) continue;
            for (double f : {0.25, 0.5, 0.75}) {
                const Vector3 p = mesh.positions[e.v0] + (mesh.positions[e.v1] - mesh.positions[e.v0]) * f;
                EXPECT_LE(p.y, ground.at(p.x, p.z) - 0.2) << name << " foot edge " << e.v0 << "-" << e.v1;
            }
        }
    }
}

// Trees are planted at (x, 10, z) inside a forest: the plane y = 10 must lie
// inside the volume wherever the volume is, and the slab must leave room for
// the machine underneath.
TEST(DataModels, ForestsHoldTheTreePlaneOverTheirFootprint)
{
    const Ground ground;
    for (const char* name : {"forest01", "forest02", "forest03"}) {
        const Mesh mesh = sceneMesh(name);
        EXPECT_LE(std::fmax(std::fabs(mesh.boxMin.x), std::fabs(mesh.boxMax.x)), 87.8) << name;
        EXPECT_LE(std::fmax(std::fabs(mesh.boxMin.z), std::fabs(mesh.boxMax.z)), 87.8) << name;
        EXPECT_LT(mesh.boxMin.y, 10.0);
        EXPECT_GT(mesh.boxMax.y, 10.0);
        const double target = mesh.volume / (mesh.boxMax.y - mesh.boxMin.y) * 10.0 / 484.0;
        EXPECT_GE(target, 10.0) << name;
        int footprint = 0;
        for (double x = mesh.boxMin.x + 0.37; x < mesh.boxMax.x; x += 1.0)
            for (double z = mesh.boxMin.z + 0.41; z < mesh.boxMax.z; z += 1.0) {
                bool over = false;
                double d;
                for (const MeshTriangle& t : mesh.triangles)
                    over = over || dropOntoTriangle(Vector3(x, 20.0, z), mesh.positions[t.vertices[0]],
                                                    mesh.positions[t.vertices[1]], mesh.positions[t.vertices[2]], d);
                if (!over) continue;
                ++footprint;
                EXPECT_TRUE(pointInsideMesh(Vector3(x, 10.0, z), mesh)) << name << " at " << x << ", " << z;
                EXPECT_LT(ground.at(x, z), mesh.boxMin.y - 4.5) << name << ": too little room under the slab";
                EXPECT_GE(std::hypot(x - 3.12, z + 2.13), 30.0) << name << " too near the start";
            }
        EXPECT_GT(footprint * 1.0, 0.8 * target * 48.4) << name << ": footprint and volume disagree";
    }
}

// Each block's voxels reach 46 layers down from above its highest corner, so
// a steep block holds little soil under its low side. Around the start the
// arm digs down to 6 m below the tracks: the blocks it reaches must keep
// soil well under their surface, and the flat block beside the start most.
TEST(DataModels, WorkAreaKeepsSoilDeepUnderTheSurface)
{
    const Ground ground;
    VoxelWorld world;
    world.build(ground.h);
    auto soilDepth = [&](double x, double z) {
        const int b = world.blockIndexAt(Vector3(x, 0.0, z));
        const double bottom = world.block(b).origin.y - (terrain::kVoxelsY - 0.5) * terrain::kVoxel;
        return ground.at(x, z) - bottom;
    };
    EXPECT_GT(soilDepth(-6.0, 6.0), 5.0);  // the flat block on the −x, +z side
    // Within the arm's reach (10 m) of the slew axis, outside the start block.
    for (double a = 0.0; a < 6.283; a += 0.3) {
        const double x = 3.12 + 9.0 * std::cos(a), z = -2.13 + 9.0 * std::sin(a);
        const int b = world.blockIndexAt(Vector3(x, 0.0, z));
        if (b == 28) continue;  // its corners are fixed by the start pose
        EXPECT_GT(soilDepth(x, z), 3.0) << "at " << x << ", " << z << " in block " << b;
    }
}
