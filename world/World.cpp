#include "world/World.h"

#include <cmath>

#include "assets/ModelLoader.h"
#include "excavator/Excavator.h"
#include "excavator/TerrainContact.h"
#include "physics/Object.h"
#include "world/Billboard.h"
#include "world/FrameSnapshot.h"
#include "world/Terrain.h"

World::World(const std::string& directory)
{
    try {
        ModelLoader::getInstance().loadFile("scene.obj");
        Terrain* ground = new Terrain(directory);
        add(ground);
        for (const char* name : {"wall", "rock01", "rock02", "rock03"})
            add(new Object(name, HUGE_VAL));
        excavator = new Excavator(ground);
        add(excavator);
        for (const char* name : {"forest01", "forest02", "forest03"})
            add(new Billboard(name, ground));
        makePairs();
        soils = readSoilTable(directory + "soils.json");
        chooseSoil(soils.defaultName);
    } catch (...) {
        // A failed load leaves nothing behind; the caller reports it.
        release();
        throw;
    }
}

World::~World() { release(); }

void World::makePairs()
{
    delete simulation;
    simulation = nullptr;
    delete[] pairRecords;
    const int n = static_cast<int>(objects.size());
    pairCount = n * (n - 1) / 2;
    pairRecords = new PairRecord[pairCount];
    simulation = new Simulation(objects, pairRecords, pairCount);
    simulation->hooks = machineHooks(excavator);
}

void World::addScenery(Object* object)
{
    add(object);
    makePairs();
}

bool World::chooseSoil(const std::string& name)
{
    const SoilType* soil = findSoil(soils, name);
    if (!soil || !excavator)
        return false;
    excavator->soil = *soil;
    return true;
}

Terrain& World::terrain() const { return *static_cast<Terrain*>(objects[0]); }

void World::add(Object* object)
{
    object->index = static_cast<int32_t>(objects.size());
    objects.push_back(object);
}

void World::release()
{
    for (Object* o : objects)
        delete o;
    objects.clear();
    excavator = nullptr;
    delete simulation;
    simulation = nullptr;
    delete[] pairRecords;
    pairRecords = nullptr;
    pairCount = 0;
}

void World::simulate(double step)
{
    if (simulation)
        lastStep = simulation->step(step);
    if (excavator)
        work.update({excavator->soilDug, excavator->bucket.soilCount, excavator->bucketInSoil, excavator->slewRate},
                    step);
    ++stepCount;
    simulatedSeconds += step;
}
