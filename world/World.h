#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "excavator/MachineCommand.h"
#include "excavator/SoilTable.h"
#include "excavator/WorkMeter.h"
#include "physics/PairTable.h"
#include "physics/Simulation.h"

class Excavator;
class ModelLoader;
class Object;
class Terrain;
struct FrameSnapshot;
struct WorldState;

// What a body is in the world.
enum class BodyRole { Ground, Wall, Rock, Machine, Forest, Scenery };

// Everything the step reads or writes, built from the data folder with no
// window, no GL context and no SDL video: the bodies by role (the world owns
// them), one pair record per pair, the simulation and the work meter. The
// drawing side builds its own textures and display lists from it afterwards.
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
    // Between steps: every drive of the machine takes its deflection, an
    // arm joint's rate from its angle now (as a key press would give it).
    void setCommand(const MachineCommand& command);
    // Copies what a frame draws; the caller holds whatever keeps the step
    // out meanwhile.
    void snapshot(FrameSnapshot& out) const;

    Terrain& terrain() const { return *ground; }
    const Object& wall() const { return *bodiesOf(BodyRole::Wall).front(); }
    // The bodies of a role, in the order they joined.
    std::vector<Object*> bodiesOf(BodyRole role) const;
    BodyRole roleOf(const Object& body) const;
    // Every body in the order the step visits them; a body's index is its
    // place here.
    const std::vector<Object*>& bodies() const { return list; }
    // What the latest step found touching between two bodies.
    const std::vector<Contact>& contacts(const Object& a, const Object& b) const;
    // Makes the ground of the named soil; false, and nothing changes, for
    // a name the soils file does not hold.
    bool chooseSoil(const std::string& name);

    // Everything the step reads or changes, as a value, and back: stepping
    // on from a restored state gives the trace the world gave from the
    // state when it was saved. Restoring the state saved after building
    // (and adding scenery) resets the world. A state of a world with other
    // bodies is refused with a tagged message.
    WorldState save() const;
    void restore(const WorldState& state);

    // A static body added after construction (an exercise's hopper or
    // posts): it joins the end of the step's order with its own pairs.
    // Before the drawing side is built from the world.
    Object& addScenery(std::unique_ptr<Object> body);

    Excavator* excavator = nullptr;  // the machine, one of the bodies
    const ModelLoader* models = nullptr;  // shared, read-only: what the drawing side builds from
    StepReport lastStep;             // what the latest simulate did
    WorkMeter work;                  // fed by every simulate
    SoilTable soils;
    int64_t stepCount = 0;           // steps taken
    double simulatedSeconds = 0.0;   // their sum of nominal steps

private:
    struct Body {
        BodyRole role;
        std::unique_ptr<Object> object;
    };
    Object& add(BodyRole role, std::unique_ptr<Object> body);

    std::vector<Body> owned;   // in the step's order
    std::vector<Object*> list;  // the same, as the simulation takes them
    Terrain* ground = nullptr;
    PairTable pairs;
    Simulation simulation{list, pairs};
};
