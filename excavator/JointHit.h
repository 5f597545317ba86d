#pragma once

#include <cstdint>
#include <string>

#include "excavator/Articulation.h"

// What a part ran into when a hit stopped the joints that carry it.
enum class HitTouch : int32_t { Ground = 1, Soil = 2, Obstacle = 3 };

// Why nothing moves, as the operator would be told. The numbers are the
// runner's trace column.
enum class HitCause : int32_t {
    None = 0,
    BucketNotCutting = 1,  // the bucket on the ground, moving at no cutting angle
    OnGround = 2,          // a part of the arm pressed onto the ground
    IntoSoil = 3,          // a part pushing into soil it may not take
    Obstacle = 4,          // a part against the wall, a rock or a tree
    CutTooDeep = 5,        // the cut needs more than the relief allows
    SlopeTooSteep = 6,     // the slope pulls the tracks harder than their motors hold
};

// The latest hit that stopped joints: plain data, read by the overlay and
// the runner. It holds while hits keep stopping the joints (key repeat sets
// the rates again and again) and clears kHitHold after the last.
struct JointHit {
    static constexpr double kHitHold = 0.25;  // s

    HitCause cause = HitCause::None;
    int32_t part = -1;    // ExcavatorPart
    HitTouch touched = HitTouch::Ground;
    double attack = 0.0;  // rad: the cutting edge's attack angle (BucketNotCutting)
    double age = 0.0;     // s since it last stopped joints
};

// The hit of `part` on `touched` that stopped joints moving at `rates` (the
// rates before they were stopped).
JointHit classifyHit(int32_t part, HitTouch touched, const ArmPivots& pivots, const JointAngles& angles,
                     const JointAngles& rates);
// Ages a hit by dt; it clears once no hit has held for kHitHold.
void ageHit(JointHit& hit, double dt);
// The operator's text: which part touches what, and what would free it;
// empty for no hit.
std::string hitReason(const JointHit& hit);
