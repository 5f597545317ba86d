#include "excavator/JointHit.h"

#include <cmath>
#include <cstdio>

#include "excavator/Cutting.h"

namespace {

constexpr double kDegrees = 57.29577951308232;

const char* partName(int32_t part)
{
    static const char* const names[] = {"Right track", "Left track", "Platform", "Upper structure",
                                        "Boom",        "Arm",        "Bucket"};
    return part >= 0 && part < 7 ? names[part] : "Machine";
}

}  // namespace

JointHit classifyHit(int32_t part, HitTouch touched, const ArmPivots& pivots, const JointAngles& angles,
                     const JointAngles& rates)
{
    JointHit hit;
    hit.part = part;
    hit.touched = touched;
    if (part == 6 && touched != HitTouch::Obstacle) {
        // The bucket cuts only when its edge leads; anything else is a push.
        const double attack = attackAngle(tipVelocityInBucket(pivots, angles, rates));
        if (std::isfinite(attack) && !inCuttingWindow(attack)) {
            hit.cause = HitCause::BucketNotCutting;
            hit.attack = attack;
            return hit;
        }
    }
    hit.cause = touched == HitTouch::Ground ? HitCause::OnGround
                : touched == HitTouch::Soil ? HitCause::IntoSoil
                                            : HitCause::Obstacle;
    return hit;
}

void ageHit(JointHit& hit, double dt)
{
    if (hit.cause == HitCause::None)
        return;
    hit.age += dt;
    if (hit.age > JointHit::kHitHold)
        hit = JointHit();
}

std::string hitReason(const JointHit& hit)
{
    char text[160];
    const char* part = partName(hit.part);
    switch (hit.cause) {
    case HitCause::None: return "";
    case HitCause::BucketNotCutting:
        std::snprintf(text, sizeof text,
                      "Bucket %s, not at a cutting angle (attack %.1f\xc2\xb0, cuts below %.0f\xc2\xb0): "
                      "open it with l to cut",
                      hit.touched == HitTouch::Soil ? "in the soil" : "on the ground", hit.attack * kDegrees,
                      cutting::windowLow * kDegrees);
        return text;
    case HitCause::OnGround: std::snprintf(text, sizeof text, "%s on the ground: raise the boom (k)", part); return text;
    case HitCause::IntoSoil:
        std::snprintf(text, sizeof text, "%s pushes into soil it cannot take: raise the boom (k)", part);
        return text;
    case HitCause::Obstacle:
        std::snprintf(text, sizeof text, "%s against an obstacle: raise the boom (k) or swing away", part);
        return text;
    case HitCause::CutTooDeep: return "the cut is too deep for this ground: raise the boom or open the bucket";
    case HitCause::SlopeTooSteep: return "the slope is too steep for the tracks: let go of them and lower the bucket";
    }
    return "";
}
