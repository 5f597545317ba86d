#pragma once

#include <vector>

#include "excavator/WorkMeter.h"
#include "physics/PairRecord.h"
#include "physics/Simulation.h"

class Camera;
class Excavator;
class Object;
class Skybox;

// Owns the world and draws it: the objects in a fixed order (their index is
// their place in the list), the camera, the sky and one pair record per
// pair of objects for the simulation step.
class Scene {
public:
    // Reads "scene.obj" and everything the world needs from "data/".
    Scene();
    virtual ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Main thread: one frame, then the buffer swap.
    void render();
    // Simulation thread: one fixed step.
    void simulate(double step);

    std::vector<Object*> objects;  // owned
    PairRecord* pairRecords = nullptr;
    int pairCount = 0;
    Camera* camera = nullptr;
    Skybox* skybox = nullptr;
    Excavator* excavator = nullptr;  // also in objects; null until the machine is built
    Simulation* simulation = nullptr;
    StepReport lastStep;             // what the latest simulate did
    WorkMeter work;                  // fed by every simulate

private:
    void add(Object* object);
    void release();
};
