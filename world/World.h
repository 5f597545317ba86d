#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "excavator/SoilTable.h"
#include "excavator/WorkMeter.h"
#include "physics/PairRecord.h"
#include "physics/Simulation.h"

class Excavator;
class Object;
class Terrain;
struct FrameSnapshot;

// Everything the step reads or writes, built from the data folder with no
// window, no GL context and no SDL video: the objects in a fixed order
// (their index is their place in the list), one pair record per pair, the
// simulation and the work meter. The drawing side builds its own textures
// and display lists from it afterwards.
class World {
public:
    // Reads "scene.obj", "koparka.obj", the heightmap and "soils.json" from
    // `directory`; the ground is of the file's default soil.
    explicit World(const std::string& directory = "data/");
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // One fixed step; then the work meter and the step count.
    void simulate(double step);
    // Copies what a frame draws; the caller holds whatever keeps the step
    // out meanwhile.
    void snapshot(FrameSnapshot& out) const;

    Terrain& terrain() const;
    // A static body added after construction (an exercise's hopper or
    // posts): it joins the end of the list and the pairs are made anew.
    // Before the drawing side is built from the world.
    void addScenery(Object* object);
    // Makes the ground of the named soil; false, and nothing changes, for
    // a name the soils file does not hold.
    bool chooseSoil(const std::string& name);

    std::vector<Object*> objects;  // owned
    PairRecord* pairRecords = nullptr;
    int pairCount = 0;
    Excavator* excavator = nullptr;  // also in objects
    Simulation* simulation = nullptr;
    StepReport lastStep;             // what the latest simulate did
    WorkMeter work;                  // fed by every simulate
    SoilTable soils;
    int64_t stepCount = 0;           // steps taken
    double simulatedSeconds = 0.0;   // their sum of nominal steps

private:
    void add(Object* object);
    void makePairs();
    void release();
};
