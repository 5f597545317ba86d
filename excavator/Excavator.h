#pragma once

#include <cstdint>

#include "math/Vector3.h"
#include "physics/Object.h"

class Terrain;

enum ExcavatorPart : int32_t {
    RightTrack = 0,
    LeftTrack = 1,
    Platform = 2,
    Bodywork = 3,
    Monoblock = 4,
    BendingArm = 5,
    GroundPlate = 6,
};

// The machine: one rigid body of seven articulated collision outlines
// (meshes[0..6], pivot in referencePoint, joint angle in angle), the drawn
// model and the drive state. (Contract; filled in by the excavator's own sources.)
class Excavator : public Object {
public:
    explicit Excavator(Terrain* terrain);

    Vector3 comOffset;  // composite centre of mass, model coordinates
    double leftTrackThrottle = 0.0, rightTrackThrottle = 0.0;
    double slewRate = 0.0;
    double monoblockRate = 0.0, bendingArmRate = 0.0, groundPlateRate = 0.0;
    Terrain* terrain = nullptr;
};
