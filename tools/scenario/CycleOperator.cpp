#include "tools/scenario/CycleOperator.h"

#include <algorithm>
#include <cmath>

#include "excavator/Cutting.h"
#include "excavator/Excavator.h"
#include "tools/scenario/ExerciseOperators.h"
#include "world/World.h"

namespace {

constexpr double kLanded = 1.5;       // s: the machine has settled on its tracks
// The bite's depth (m below the ground) is chosen for the ground: the
// operator reads the cut's force over the edge's depth as the ground's
// hardness (kN per m, over kHardnessLag s) and bites as deep as gives
// kWorkingForce, within kShallowest to kDeepest.
constexpr double kFirstDepth = 0.45, kShallowest = 0.2, kDeepest = 0.7;
constexpr double kWorkingForce = 27.0, kHardnessLag = 0.3;
constexpr double kStrokeEnd = 0.3;    // rad: the arm crowded in this far, the bite is over
constexpr double kCarried = -0.2;     // rad: the bucket curled back this far holds its load
constexpr int kFull = cutting::fullBucket - 2;  // units: full enough to lift
constexpr double kLongestBite = 9.0;  // s
constexpr double kTurn = 6.283185307179586;

// The pose the bite starts from (rad): the boom up, the arm out and the
// bucket open; from there the boom is let down until the bucket meets the
// ground.
constexpr double kRaisedBoom = 0.5, kReachedArm = 1.53, kOpenBucket = 1.79, kNear = 0.03;
constexpr double kLongestApproach = 12.0;  // s

// Pushes `raise` or `lower` towards `target`; true when within kNear of it.
bool toward(LeverHand& hand, double angle, double target, const Lever& raise, const Lever& lower)
{
    if (std::fabs(angle - target) <= kNear)
        return true;
    hand.want({angle < target ? raise : lower});
    return false;
}

}  // namespace

void CycleOperator::go(Stage s)
{
    stage = s;
    stageTime = 0.0;
}

bool slewTo(const Excavator& e, double mark, double within, LeverHand& hand)
{
    const double left = mark - std::remainder(e.slewAngle(), kTurn);
    const double stopping = e.slewRate * e.slewRate * e.slewInertia / (2.0 * slewTorque);
    if (std::fabs(left) > stopping + within && e.slewRate * left >= 0.0) {
        hand.want({left > 0.0 ? kSlewPlus : kSlewMinus});
        return false;
    }
    return e.slewState == Idle && std::fabs(left) <= within;
}

void CycleOperator::operator()(ScenarioRun& run)
{
    Excavator& e = *run.world.excavator;
    stageTime += ScenarioRun::kStep;
    switch (stage) {
    case Wait:
        if (run.time >= kLanded && run.time >= begun + period) {
            begun = run.time;
            go(ToBite);
        }
        break;
    case ToBite:
        if (slewTo(e, digAt, 0.02, hand))
            go(Approach);
        break;
    case Approach: {
        // The boom first, clear of the ground; the arm and bucket then, the
        // boom let down once they are set.
        bool set = raised || toward(hand, e.monoblockAngle(), kRaisedBoom, kBoomPlus, kBoomMinus);
        raised = raised || set;
        if (raised) {
            set = toward(hand, e.bendingArmAngle(), kReachedArm, kArmPlus, kArmMinus);
            set = toward(hand, e.groundPlateAngle(), kOpenBucket, kBucketMinus, kBucketPlus) && set;
        }
        if (set && (e.bucketInSoil || e.hit.cause != HitCause::None || stageTime > kLongestApproach)) {
            raised = false;
            biteDepth = kFirstDepth;
            hardness = 0.0;
            go(Bite);
        } else if (set) {
            hand.want({kBoomMinus});
        }
        break;
    }
    case Bite: {
        // Drawn in at the working depth at a cutting angle; the edge eases up
        // where the load nears the relief.
        if (e.cutForce > 0.0 && e.cutDepth > 0.1) {
            const double h = e.cutForce / 1000.0 / e.cutDepth;
            hardness = hardness <= 0.0 ? h : hardness + (h - hardness) * ScenarioRun::kStep / kHardnessLag;
            biteDepth = std::clamp(kWorkingForce / hardness, kShallowest, kDeepest);
        }
        const double up = e.hydraulicLoad > kEaseLoad ? 0.5 : std::clamp((e.cutDepth - biteDepth) * 4.0, -0.5, 0.5);
        const Vector3 wanted(-0.6, up, 0.0);
        if (sinceChoice <= 0.0) {
            choice = bestLevers(e, wanted, true, true);
            sinceChoice = 0.05;
        }
        sinceChoice -= ScenarioRun::kStep;
        // Stalled, the arm is let go and the bucket curls out as the boom lifts.
        if (e.hit.cause == HitCause::CutTooDeep)
            choice = {kBoomPlus, kBucketPlus};
        for (const Lever& k : choice)
            hand.want({k});
        // The arm pressed onto the ground ends the bite as the stroke's end does.
        if (e.bucket.soilCount >= kFull || e.bendingArmAngle() < kStrokeEnd || stageTime > kLongestBite ||
            e.hit.cause == HitCause::OnGround)
            go(Curl);
        break;
    }
    case Curl:  // the bucket curled back to hold its load, lifting; stalled, it curls alone
        if (e.hit.cause != HitCause::CutTooDeep)
            hand.want({kBoomPlus});
        // Pressed onto the ground or into soil it may not take, the bucket is
        // lifted clear before it curls on.
        if (e.groundPlateAngle() > kCarried) {
            if (e.hit.cause != HitCause::OnGround && e.hit.cause != HitCause::IntoSoil)
                hand.want({kBucketPlus});
        } else if (stageTime > 1.6)
            go(SwingOut);
        break;
    case SwingOut:
        if (stageTime < 1.3)
            hand.want({kBoomPlus});
        if (slewTo(e, dumpAt, 0.02, hand))
            go(Dump);
        break;
    case Dump:
        hand.want({kBucketMinus});
        if (stageTime > 0.2 && stageTime < 1.1)
            hand.want({kArmPlus});
        if (stageTime > 1.3)
            go(SwingBack);
        break;
    case SwingBack:
        if (slewTo(e, digAt, 0.02, hand))
            go(repeat ? Wait : Done);
        break;
    case Done:
        break;
    }
    hand.apply(e);
}
