#include "world/World.h"

#include <cmath>

#include "assets/ModelLoader.h"
#include "base/Fatal.h"
#include "excavator/Excavator.h"
#include "excavator/TerrainContact.h"
#include "physics/Object.h"
#include "terrain/Terrain.h"
#include "world/Billboard.h"
#include "world/FrameSnapshot.h"
#include "world/WorldState.h"

World::World(const std::string& directory)
{
    // The step visits the bodies in this order; a failed load leaves
    // nothing behind, and the caller reports it.
    models = &ModelLoader::forData(directory);
    ground = static_cast<Terrain*>(&add(BodyRole::Ground, std::make_unique<Terrain>(directory)));
    add(BodyRole::Wall, std::make_unique<Object>(models->getMesh("wall", true), HUGE_VAL));
    for (const char* name : {"rock01", "rock02", "rock03"})
        add(BodyRole::Rock, std::make_unique<Object>(models->getMesh(name, true), HUGE_VAL));
    excavator = static_cast<Excavator*>(&add(BodyRole::Machine, std::make_unique<Excavator>(ground, *models)));
    for (const char* name : {"forest01", "forest02", "forest03"})
        add(BodyRole::Forest, std::make_unique<Billboard>(models->getMesh(name, true), ground));
    simulation.hooks = machineHooks(excavator);
    soils = readSoilTable(directory + "soils.json");
    chooseSoil(soils.defaultName);
}

World::~World() = default;

Object& World::add(BodyRole role, std::unique_ptr<Object> body)
{
    Object& added = *body;
    added.index = static_cast<int32_t>(list.size());
    owned.push_back({role, std::move(body)});
    list.push_back(&added);
    pairs.addBody();
    return added;
}

Object& World::addScenery(std::unique_ptr<Object> body) { return add(BodyRole::Scenery, std::move(body)); }

std::vector<Object*> World::bodiesOf(BodyRole role) const
{
    std::vector<Object*> found;
    for (const Body& b : owned)
        if (b.role == role)
            found.push_back(b.object.get());
    return found;
}

BodyRole World::roleOf(const Object& body) const { return owned[body.index].role; }

bool World::chooseSoil(const std::string& name)
{
    const SoilType* soil = findSoil(soils, name);
    if (!soil || !excavator)
        return false;
    excavator->soil = *soil;
    return true;
}

const std::vector<Contact>& World::contacts(const Object& a, const Object& b) const
{
    return a.index < b.index ? pairs.record(a.index, b.index).contacts : pairs.record(b.index, a.index).contacts;
}

void World::setCommand(const MachineCommand& command)
{
    if (excavator)
        excavator->setCommand(command);
}

void World::simulate(double step)
{
    lastStep = simulation.step(step);
    work.update({excavator->soilDug, excavator->bucket.soilCount, excavator->bucketInSoil, excavator->slewRate}, step);
    ++stepCount;
    simulatedSeconds += step;
}

WorldState World::save() const
{
    WorldState state;
    for (const Object* body : list)
        state.bodies.push_back(saveBody(*body));
    state.machine = *excavator;
    state.terrain = ground->save();
    state.lastStep = lastStep;
    state.work = work;
    state.stepCount = stepCount;
    state.simulatedSeconds = simulatedSeconds;
    return state;
}

void World::restore(const WorldState& state)
{
    if (state.bodies.size() != list.size())
        throwFatal("[World] A state saved with " + std::to_string(state.bodies.size()) +
                   " bodies cannot be restored into a world of " + std::to_string(list.size()) + ".");
    for (size_t k = 0; k < list.size(); ++k)
        restoreBody(*list[k], state.bodies[k]);
    static_cast<ExcavatorState&>(*excavator) = state.machine;
    ground->restore(state.terrain);
    // Each step finds its contacts afresh; none from before the restore stay.
    for (PairRecord& record : pairs.all())
        record.clear();
    lastStep = state.lastStep;
    work = state.work;
    stepCount = state.stepCount;
    simulatedSeconds = state.simulatedSeconds;
}
