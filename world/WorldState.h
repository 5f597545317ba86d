#pragma once

#include <cstdint>
#include <vector>

#include "excavator/ExcavatorState.h"
#include "excavator/WorkMeter.h"
#include "physics/BodyState.h"
#include "physics/Simulation.h"
#include "terrain/Terrain.h"

// A world's dynamic state as a plain value: every body's motion (the
// machine's outlines too), the machine's drives and soil, the ground's
// changes since it was built, the meter and the clock. It holds no
// pointer into the world, so any world built from the same data with the
// same bodies can take it. The shared meshes of data/ are not in it.
struct WorldState {
    std::vector<BodyState> bodies;  // by index in the step's order
    ExcavatorState machine;
    TerrainState terrain;
    StepReport lastStep;
    WorkMeter work;
    int64_t stepCount = 0;
    double simulatedSeconds = 0.0;
};
