#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "excavator/Cylinders.h"
#include "excavator/MachineCommand.h"
#include "excavator/WorkMeter.h"
#include "math/Quaternion.h"
#include "math/Vector3.h"
#include "terrain/SoilBed.h"

class Excavator;
class Terrain;
class VoxelWorld;

// One arm function as its sound follows it.
struct FunctionActivity {
    double share = 0.0;  // its rate over the rate its deflection asks (0..1; 0 when not asked)
    bool held = false;   // asked, but at its end or stopped by a hit: its oil goes over the relief
};

// What the machine is doing, as its sound follows it: the operator's
// deflections and what the drives make of them.
struct MachineActivity {
    MachineCommand command;
    FunctionActivity boom, arm, bucket;
    double slewRate = 0.0;  // rad/s
    bool slewBraking = false;
    double hydraulicLoad = 0.0;  // the busiest function's pressure over the relief
    double cutForce = 0.0;       // N on the cutting edge
    double trackSpeed = 0.0;     // m/s, the faster track over the ground
};

// The machine as a frame draws it and the camera follows it.
struct ExcavatorPose {
    int64_t step = -1;  // the world's step count when copied
    Vector3 position;
    Quaternion orientation;
    Vector3 comOffset;
    double slew = 0.0, monoblock = 0.0, bendingArm = 0.0, groundPlate = 0.0;
    CylinderState cylinders;
    double leftBeltPhase = 0.0, rightBeltPhase = 0.0;
    bool tracksTouched = false;       // either track has rested on something
    std::vector<Vector3> bucketSoil;  // soil cells, in the ground plate's frame
    MachineActivity activity;
};

// Where the frame is seen from: the camera's view as it was copied.
struct ViewPose {
    Vector3 eye, center, up{0.0, 1.0, 0.0};
    double pitch = 0.0, yaw = 0.0;  // radians, as the camera derives them
};

// A set target grade, where the frame marks it on the ground.
struct GradeMark {
    bool set = false;
    double level = 0.0;  // world y of the grade
    Vector3 edge;        // the cutting edge's middle, world
};

// What one frame draws, copied from the world between two steps so that
// drawing needs no lock. Every part carries the step it was copied after,
// so a frame that mixed two steps would show.
struct FrameSnapshot {
    FrameSnapshot();
    ~FrameSnapshot();
    FrameSnapshot(const FrameSnapshot&) = delete;
    FrameSnapshot& operator=(const FrameSnapshot&) = delete;

    int64_t step = -1;
    double time = 0.0;  // simulated seconds
    ExcavatorPose machine;
    int64_t grainsStep = -1;
    std::vector<Vector3> grains;  // loose soil
    std::vector<SoilBed> beds;    // soil in a truck's body, as the grains' step left it
    // The drawn ground: a copy of the terrain's surface (columns and
    // quadtree, no voxels), brought up to date block by block.
    std::unique_ptr<VoxelWorld> surface;
    std::vector<uint32_t> surfaceRevisions;  // per block, as last copied
    int64_t surfaceStep = -1;
    int blocksCopied = 0;  // by the latest snapshot
    int64_t workStep = -1;
    WorkMeter work;
    GradeMark grade;
    ViewPose view;  // filled by the viewer's side, with the rest
};

// What the machine is doing now, for its sound.
void copyActivity(const Excavator& machine, MachineActivity& out);
// The machine's pose as drawn (its activity too), after `step` steps.
void copyPose(const Excavator& machine, int64_t step, ExcavatorPose& out);
// The grains, the beds and the changed blocks of the ground's surface, after `step`
// steps; the caller keeps the ground's step out meanwhile.
void copyGround(const Terrain& ground, int64_t step, FrameSnapshot& out);
