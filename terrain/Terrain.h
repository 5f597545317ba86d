#pragma once

#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <vector>

#include "assets/Material.h"
#include "physics/Object.h"
#include "terrain/SoilBed.h"
#include "terrain/SoilGrain.h"
#include "terrain/VoxelWorld.h"

// The ground's state besides its built shape: what a world saves of it.
struct TerrainState {
    VoxelWorldState voxels;
    std::vector<SoilGrain> grains;
    int64_t grainsGone = 0;
    std::vector<SoilBed> beds;
    bool cutThisStep = false, touchedThisStep = false, digging = false;
};

// The diggable ground: 8 x 8 block meshes for the physics, a voxel world
// that digging and dumping change, and the surface columns drawn through a
// restricted quadtree. Immovable (kind 2).
class Terrain : public Object {
public:
    // Reads directory + "hm02.bmp".
    explicit Terrain(const std::string& directory = "data/");
    // The ground alone, from given grid heights: meshes, voxels, columns and
    // the grain list, without files.
    explicit Terrain(const terrain::HeightGrid& heights);
    ~Terrain() override;

    void integrateState(double dt) override;  // settles the loose grains

    // Lookups on the voxel world.
    int16_t blockIndexAt(const Vector3& p) const { return world.blockIndexAt(p); }
    void voxelCoordsAt(int b, const Vector3& p, int16_t& x, int16_t& y, int16_t& z) const
    {
        world.voxelCoordsAt(b, p, x, y, z);
    }
    Vector3 voxelCentre(int b, int x, int y, int z) const { return world.voxelCentre(b, x, y, z); }
    uint8_t& voxelAt(int b, int x, int y, int z) { return world.voxelAt(b, x, y, z); }
    TerrainColumn& columnAt(int b, int cx, int cz) { return world.columnAt(b, cx, cz); }
    Vector3 columnNormal(int b, int cx, int cz) { return world.columnNormal(b, cx, cz); }
    void refineAround(int b, int cx, int cz) { world.refineAround(b, cx, cz); }
    void forceSplit(int node, int level) { world.forceSplit(node, level); }

    // Loose soil. dropGrain takes the grain over when its voxel is free and
    // no other grain holds that cell; canDropGrain asks the same.
    bool dropGrain(SoilGrain grain);
    bool canDropGrain(SoilGrain grain);
    // Lets every grain fall, slide or settle into a voxel. Grains that leave
    // the terrain are counted as gone; one that finds no air in its column
    // to settle into stays a grain where it is.
    void settleGrains(double dt);
    size_t grainCount() const;
    int64_t soilGone() const;

    // Raised floors (a truck's body) that catch falling grains: a grain
    // whose path crosses a bed's soil from above becomes a unit of it. A
    // set-up adds them before the first step; the index names one.
    size_t addBed(const SoilBed& bed);
    int64_t soilInBed(size_t which) const;
    int64_t soilInBeds() const;

    // Digging: makes the soil voxel free, lowers its column by one voxel and
    // marks it as soil, refines and renormals around it. False, and nothing
    // changes, unless the stored voxel is soil.
    bool removeSoilVoxel(int b, int x, int y, int z);
    // Soil voxels in the ground, kept up to date as they change.
    int64_t soilVoxelCount() const { return world.soilVoxels; }

    // The voxels and columns changed since the build, the loose grains and
    // the digging flags; restore puts them back, the rest as built.
    TerrainState save() const;
    void restore(const TerrainState& state);

    // Distance from p straight down to the initial ground surface; 0.0 off
    // the terrain or with no ground below.
    double surfaceDistanceBelow(const Vector3& p) const;

    Material material;
    VoxelWorld world;
    std::list<SoilGrain> grains;    // guarded by mutex
    int64_t grainsGone = 0;         // guarded by mutex; grains that left the terrain's edge
    std::vector<SoilBed> beds;      // written under mutex
    mutable std::mutex mutex;
    bool cutThisStep = false;
    bool touchedThisStep = false;
    bool digging = false;

private:
    void buildGround(const terrain::HeightGrid& heights);
    void stitchBlockBorders();
    // True when the grain's voxel is free and no grain holds that cell;
    // gives the cell.
    bool grainFits(const SoilGrain& grain, int16_t cell[3]);
    // Inside a bed's walls, between its floor and its rim or soil's top:
    // where soil heaped against the walls outside cannot slide.
    bool withinWalls(const Vector3& p) const;
    enum class BedLanding { Missed, Landed, Spilled };
    // The grain's path to `candidate` through a bed's soil: its unit joins
    // the bed, or slides off its edge and the grain goes on from there.
    BedLanding landInBed(SoilGrain& g, const Vector3& candidate);
    // One step of one grain; false once it has settled or gone.
    bool stepGrain(SoilGrain& g, double dt);
    void placeGrain(SoilGrain& g, const Vector3& p) const;
    // Into the first air voxel at or above (x, y, z); false when there is none.
    bool settleGrain(int b, int x, int y, int z);
    // The column's height moved by dy: its normals and those around it
    // follow, the quadtree refines there, and the drawn copy takes it up.
    void moveColumn(int b, int x, int z, float dy);
};
