// The generated models, read through the program's own loader and meshes,
// checked against the terrain they stand on and the rules of the physics.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "TestShapes.h"
#include "assets/ModelLoader.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainImages.h"

namespace {

const std::string dataDir = std::string(KELVARRO_BINARY_DIR) + "/data/";

const ModelLoader& loaderWith(const char* file)
{
    static ModelLoader loader;
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

// The ground the terrain builds from the heightmap, as the program measures it.
struct Ground {
    terrain::HeightGrid h = loadHeightmap(dataDir + "hm02.bmp");
    Terrain land{h};
    double at(double x, double z) const { return 100.0 - land.surfaceDistanceBelow(Vector3(x, 100.0, z)); }
};

}  // namespace

TEST(DataModels, SceneGroupsAreClosedOutwardSurfacesWithMaterials)
{
    for (const char* name : {"wall", "rock01", "rock02", "rock03", "forest01", "forest02", "forest03", "terrainElement"}) {
        const Mesh mesh = sceneMesh(name);  // a third face on an edge would throw here
        expectClosedSolid(mesh, name);
        EXPECT_GT(mesh.material.diffuse[0] + mesh.material.diffuse[1] + mesh.material.diffuse[2], 0.5f) << name;
        EXPECT_EQ(mesh.material.diffuse[3], 1.0f) << name;
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
        const auto inFoot = [&](int i) { return mesh.positions[i].y < low + 0.1 * (high - low); };
        double tallest = -1e9;
        for (const Vector3& p : mesh.positions) {
            EXPECT_GE(std::hypot(p.x - 3.12, p.z + 2.13), 8.6) << name << " at " << p.x << ", " << p.z;
            tallest = std::fmax(tallest, p.y - ground.at(p.x, p.z));
        }
        EXPECT_GT(tallest, 0.8) << name << " hardly shows above the ground";
        // The foot is buried along its edges, not only at its corners.
        for (const MeshEdge& e : mesh.edges)
            for (double f : {0.0, 0.5})
                if (inFoot(e.v0) && inFoot(e.v1)) {
                    const Vector3 p = mesh.positions[e.v0] + (mesh.positions[e.v1] - mesh.positions[e.v0]) * f;
                    EXPECT_LE(p.y, ground.at(p.x, p.z) - 0.2) << name << " foot edge " << e.v0 << "-" << e.v1;
                }
    }
}

// Each block's voxels reach 46 layers down from above its highest corner, so
// a steep block holds little soil under its low side. Around the start the
// arm digs down to 6 m below the tracks: the blocks it reaches must keep
// soil well under their surface, and the flat block beside the start most.
// The heightmap is a landscape, not a plane: hills and a basin of several metres, below the forest slabs at
// y = 10; the first camera view from (9, 9, 0) sees over the ground.
TEST(DataModels, StartGroundKeepsSoilDeepUnderTheSurface)
{
    const Ground ground;
    const VoxelWorld& world = ground.land.world;
    double low = 1e9, high = -1e9;
    for (const auto& row : ground.h)
        for (double y : row) {
            low = std::fmin(low, y);
            high = std::fmax(high, y);
        }
    EXPECT_TRUE(low < -2.0 && high > 6.0 && high < 9.0) << low << " " << high;
    EXPECT_LT(ground.at(9.0, 0.0), 7.0);
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
