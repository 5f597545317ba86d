#pragma once

#include "physics/PairRecord.h"

class Excavator;
class Terrain;
class Mesh;

// The (terrain, machine) pair: each terrain block against each part
// outline, the terrain as body A. Ends with the digging flag updates.
ContactResult testExcavatorTerrain(Excavator& excavator, Terrain& terrain, PairRecord& record);

// One block against one part; Penetrating at the first penetrating triangle pair.
ContactResult testPartAgainstBlock(Excavator& excavator, Mesh& part, Terrain& terrain, Mesh& block,
                                   PairRecord& record);

struct SimulationHooks;
// What the step needs of a scene with this machine: its terrain pair test,
// the machine as the body lifted on giving up, its sliding on driven tracks.
SimulationHooks machineHooks(Excavator* machine);
