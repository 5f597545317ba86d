#pragma once

#include "excavator/Articulation.h"

// The machine's rated digging forces as ISO 6015 calculates them: the force
// at the bucket's cutting edge that one cylinder at the relief pressure
// gives through the linkage, tangent to the edge's arc about the pivot the
// cylinder turns (bucket: the bucket pivot; arm: the arm pivot), with no
// friction or weights, in the pose that gives the most.

// The force (N) of the bucket cylinder curling the bucket at this angle.
double bucketDiggingForce(const ArmPivots& pivots, double groundPlate, double pressure);
// The force (N) of the arm cylinder crowding the arm at these angles.
double armCrowdForce(const ArmPivots& pivots, double bendingArm, double groundPlate, double pressure);

struct RatedForces {
    double bucket = 0.0, arm = 0.0;                       // N
    double bucketAngle = 0.0, armAngle = 0.0, armBucketAngle = 0.0;  // rad, the poses found
};

// Searches each joint's range in steps of a tenth of a degree; the arm's
// force with the bucket stretched out (its edge farthest from the arm
// pivot), as makers rate it: curled in, the edge's short radius would
// multiply the force without the bucket ever cutting there.
RatedForces ratedDiggingForces(const ArmPivots& pivots, double pressure);
