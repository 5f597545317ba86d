#include "tools/scenario/ExerciseOperators.h"

#include <algorithm>
#include <cmath>

#include "excavator/Excavator.h"
#include "excavator/Cutting.h"
#include "excavator/Grade.h"
#include "exercise/ExerciseObjects.h"
#include "exercise/ExerciseRun.h"
#include "math/Quaternion.h"
#include "tools/scenario/CycleOperator.h"
#include "world/World.h"

namespace {

// No lever: a place in a set of levers left empty.
constexpr Lever kNoLever{Drive::Slewing, 0.0f};
constexpr double kBiteBucket = 1.5;  // rad: the bucket's angle as the reference operator's bite begins

// The cutting edge's middle in the machine's frame: x along its tracks
// from the slewing axis, y up from its origin (m).
Vector3 edgeInMachine(const Excavator& e)
{
    Vector3 a, b;
    cuttingEdgeEnds(e, a, b);
    return rotate((a + b) * 0.5 - e.position, conjugate(e.orientation));
}

// The boom's (0), arm's (1) or bucket's (2) angle.
double jointAngle(const Excavator& e, int j)
{
    return j == 0 ? e.monoblockAngle() : j == 1 ? e.bendingArmAngle() : e.groundPlateAngle();
}

// The rate the lever gives its arm joint now.
double leverRate(const Excavator& e, const Lever& k) { return e.armRate(k.drive, k.deflection); }

// The cutting edge's middle in the world at the given joint angles.
Vector3 edgeAt(const Excavator& e, const JointAngles& angles)
{
    const Mesh& plate = e.meshes[GroundPlate];
    const MeshEdge& lip = plate.edges[cutting::edgeIndex];
    const PartTransform t(GroundPlate, plate.referencePoint, armPivots(e.meshes), angles);
    return e.modelToWorld((t.point(plate.positions[lip.v0]) + t.point(plate.positions[lip.v1])) * 0.5);
}

// The reference trench digger: bites along the trench from its far end to
// its near end with the cutting edge held just above the grade, lifts, dumps
// a quarter turn to the left and comes back, until the exercise ends. It
// watches the cutting edge and the grade only, as an operator with grade
// guidance would.
struct TrenchDigger {
    enum Stage { Settle, Reach, Lower, Drag, Lift, SwingOut, Dump, SwingBack } stage = Settle;
    double stageTime = 0.0;
    int passes = 0;
    std::vector<Lever> choice;  // the keys held while lowering and dragging
    double sinceChoice = 0.0;
    LeverHand hand;

    const Excavator* machine = nullptr;
    int lane = 0;      // a wide area is dug in lanes a bucket wide, side by side
    int lastLoad = 0;  // units in the bucket as the last pass ended
    int cabCrossings = 0, crossings = 0;  // the scripted swings over a truck's cab, and those made
    double startPose[3] = {};  // the boom's, arm's and bucket's angles as the machine settled
    bool posed = false;        // back in that pose

    void go(Stage s)
    {
        if (s == Lift && machine)
            lastLoad = machine->bucket.soilCount;
        stage = s;
        stageTime = 0.0;
    }

    // The bucket's pitch (boom, arm and bucket angles together) decides
    // which way its soil falls: at a quarter turn "down" in the bucket is
    // its back, away from the open front, so the load is carried so.
    double pitchHeld = M_PI / 2;
    static double pitch(const Excavator& e) { return e.monoblockAngle() + e.bendingArmAngle() + e.groundPlateAngle(); }
    void holdLoad(const Excavator& e)
    {
        if (pitch(e) > pitchHeld + 0.05)
            hand.want({kBucketPlus});
        else if (pitch(e) < pitchHeld - 0.05)
            hand.want({kBucketMinus});
    }

    void operator()(ScenarioRun& run)
    {
        Excavator& e = *run.world.excavator;
        if (!run.exercise || run.exercise->ended()) {
            hand.apply(e);
            return;
        }
        const TrenchTarget& t = run.exercise->exercise.trench;
        const int lanes = std::max(1, static_cast<int>(std::lround(t.width / 1.03)));
        const double offset = (lane + 0.5) * t.width / lanes - t.width / 2;
        const double r = t.headingDegrees * M_PI / 180.0;
        const Vector3 laneMiddle(t.x + offset * std::sin(r), 0.0, t.z + offset * std::cos(r));
        const Vector3 centre = rotate(laneMiddle - e.position, conjugate(e.orientation));
        // The drag runs 10 cm past the near end: only an edge that runs under
        // the floor's last voxels slices them off.
        const double farEnd = centre.x + t.length / 2 + 1.0, nearEnd = centre.x - t.length / 2 - 0.1;
        const Vector3 edge = edgeInMachine(e);
        machine = &e;
        const double above = heightAboveGrade(e, e.grade);
        const double slew = std::remainder(e.slewAngle(), 2 * M_PI);
        // The slewing angle that puts the arm over the trench's middle line.
        const double line = std::atan2(-centre.z, centre.x);
        Vector3 ea, eb;
        cuttingEdgeEnds(e, ea, eb);
        const Vector3 edgeWorld = (ea + eb) * 0.5;
        // Where it dumps: the hopper's or the truck body's middle, over its rim.
        const bool toHopper = run.exercise->hopper != nullptr;
        const ExerciseRun& x = *run.exercise;
        const bool toTruck = !x.truckParts.empty();
        const double dumpX = toTruck ? x.truckShape.bodyX : x.exercise.hopper.x;
        const double dumpZ = toTruck ? x.truckShape.bodyZ : x.exercise.hopper.z;
        const Vector3 hopperLocal = rotate(Vector3(dumpX, 0.0, dumpZ) - e.position, conjugate(e.orientation));
        const double hopperSlew = std::atan2(-hopperLocal.z, hopperLocal.x);
        const double hopperRadius = std::hypot(hopperLocal.x, hopperLocal.z);
        double hopperTop = 0.0;
        if (toTruck)
            hopperTop = x.truckShape.rimY;
        else if (toHopper)
            hopperTop = initialGround(run.world.terrain(), dumpX, dumpZ) + x.exercise.hopper.wallHeight;
        stageTime += ScenarioRun::kStep;
        switch (stage) {
        case Settle:
            for (int j = 0; j < 3; ++j)
                startPose[j] = jointAngle(e, j);
            if (run.time > 1.5)
                go(SwingBack);
            break;
        case Reach: {  // the boom up, the arm out and the bucket set open, clear of the ground
            if (above < t.depth + 1.0 || e.hit.cause != HitCause::None)
                hand.want({kBoomPlus});
            if (e.hit.cause == HitCause::None) {
                if (edge.x < farEnd)
                    hand.want({kArmPlus});
                // The bucket set open at the angle it bites at: opened further,
                // the edge meets the ground heel first and holds no soil.
                if (stageTime > 0.5 && std::fabs(e.groundPlateAngle() - kBiteBucket) > 0.03)
                    hand.want({e.groundPlateAngle() < kBiteBucket ? kBucketMinus : kBucketPlus});
            }
            // As far out as the arm goes, if that is short of the far end.
            if (above >= t.depth + 0.5 && (edge.x >= farEnd || stageTime > 6.0) &&
                std::fabs(e.groundPlateAngle() - kBiteBucket) <= 0.03)
                go(Lower);
            break;
        }
        case Lower:  // down to just above the grade, the lip first
        case Drag: { // then along it towards the machine until the near end or a full bucket
            // The load watched: where the ground is too hard for the bite,
            // the edge eases up rather than drive the arm into its relief.
            const double down = e.hydraulicLoad > kEaseLoad ? 0.5 : std::clamp(-(above - 0.08) * 4.0, -1.0, 0.5);
            const Vector3 wanted(stage == Lower ? -0.1 : -0.6, down, 0.0);
            // Chosen anew every 0.05 s: the drives take a moment to follow a key.
            if (sinceChoice <= 0.0) {
                choice = bestLevers(e, wanted, above < t.depth + 0.2, true);
                sinceChoice = 0.05;
            }
            sinceChoice -= ScenarioRun::kStep;
            for (Lever k : choice)
                hand.want({k});
            if (e.hit.cause != HitCause::None)
                choice = {kBoomPlus};
            if (stage == Lower && above < 0.08)
                go(Drag);
            if (edge.x <= nearEnd && stage == Lower)
                go(Lift);  // came down too near: lift and try again
            if (stage == Drag && (edge.x <= nearEnd || e.bucket.soilCount >= cutting::fullBucket - 2))
                go(Lift);
            break;
        }
        case Lift:
            // For the hopper the bucket is curled first, then lifted: raised
            // open, it pours its load back beside the dig area. Where the
            // bank stops the curl, the boom alone lifts it clear.
            if (toHopper && e.hit.cause != HitCause::None)
                hand.want({kBoomPlus});
            else {
                if (!toHopper || pitch(e) < pitchHeld + 0.5)
                    hand.want({kBoomPlus});
                holdLoad(e);
            }
            if (above > 1.0)
                go(SwingOut);
            break;
        case SwingOut: {
            holdLoad(e);
            if (!toHopper) {
                if (slewTo(e, 1.5, 0.05, hand))
                    go(Dump);
                break;
            }
            if (toTruck && crossings < cabCrossings) {
                // Scripted faults: high over the cab, past it and back, and again.
                const TruckShape& c = x.truckShape;
                const Vector3 cabLocal = rotate(Vector3(c.cabX, 0.0, c.cabZ) - e.position, conjugate(e.orientation));
                const double to = crossings % 2 ? hopperSlew : std::atan2(-cabLocal.z, cabLocal.x) + 0.5;
                if (edgeWorld.y < c.cabTopY + 1.5)  // the bucket's heel hangs a metre below its edge
                    hand.want({kBoomPlus});
                else if (slewTo(e, to, 0.02, hand))
                    ++crossings;
                break;
            }
            // Over the hopper's middle, the whole bucket above its walls but
            // not far: reaching out with the arm raises it, so the boom comes
            // down again as it does.
            const bool still = slewTo(e, hopperSlew, 0.01, hand);
            double high = 1e30;
            for (const Vector3& v : e.meshes[GroundPlate].workingPositions)
                high = std::min(high, v.y - hopperTop);
            if (high < 0.6)
                hand.want({kBoomPlus});
            else if (high > 1.1 && std::fabs(slew - hopperSlew) < 0.3)
                hand.want({kBoomMinus});
            if (std::fabs(slew - hopperSlew) < 0.3) {
                // The edge held a metre short of the middle: the opening
                // bucket swings its lip out over 2 m while the load leaves.
                const double radial = std::hypot(edge.x, edge.z) + 1.0;
                if (radial < hopperRadius - 0.15)
                    hand.want({kArmPlus});
                else if (radial > hopperRadius + 0.15)
                    hand.want({kArmMinus});
                else if (still && high > 0.5 && high < 1.2)
                    go(Dump);
            }
            break;
        }
        case Dump:
            // Beside the trench, the arm reaches out until the bucket is empty.
            if (toHopper && e.hit.cause != HitCause::None)
                hand.want({kBoomPlus});  // the opening bucket's lip met the rim
            else
                hand.want({kBucketMinus});
            if (!toHopper && stageTime > 0.2 && (stageTime < 0.7 || e.bucket.soilCount > 0))
                hand.want({kArmPlus});
            if (toHopper ? stageTime > 1.4 : stageTime > 1.0 && (e.bucket.soilCount == 0 || stageTime > 3.0))
                go(SwingBack);
            break;
        case SwingBack:  // back onto the trench's line, and still
            // From the hopper the arm goes back to the pose the first reach
            // began from on the way: from the pose the dump leaves, the reach
            // ends short and the next bite starts so open that the lift pours
            // much of its load out. The boom comes down last, clear of the
            // hopper and with the arm in, else the bucket meets the ground.
            if (toHopper && e.hit.cause != HitCause::None)
                hand.want({kBoomPlus});
            else if (toHopper) {
                const bool clear = std::fabs(slew - hopperSlew) > 0.6;
                bool placed = true;
                for (int j = 2; j >= 0; --j) {
                    const Lever up[] = {kBoomPlus, kArmPlus, kBucketPlus}, down[] = {kBoomMinus, kArmMinus, kBucketMinus};
                    const double off = jointAngle(e, j) - startPose[j];
                    const Lever k = (off < 0) == (leverRate(e, up[j]) > 0) ? up[j] : down[j];
                    if (std::fabs(off) > 0.03 && clear && (j > 0 || placed))
                        hand.want({k});
                    placed &= std::fabs(off) <= 0.03;
                }
                posed = placed;
            }
            // (A joint that cannot get there holds it up 10 s at most.)
            if (slewTo(e, line, 0.004, hand) && (posed || !toHopper || stageTime > 10.0)) {
                ++passes;
                go(Reach);
            }
            // On to the next lane once a pass brings little.
            if (stageTime == ScenarioRun::kStep && passes > 0 && lastLoad < cutting::fullBucket / 3) {
                lane = (lane + 1) % lanes;
                lastLoad = cutting::fullBucket;
            }
            break;
        }
        hand.apply(e);
    }
};

// Every set of boom, arm and bucket keys, at most one of each pair (the
// arm's from `arms`), handed to `visit` with the joint rates it gives and
// the set's keys as a list.
template <class Visit>
void forEachLeverSet(const Excavator& e, const std::vector<Lever>& arms, Visit visit)
{
    const Lever none = kNoLever;
    for (Lever b : {none, kBoomPlus, kBoomMinus})
        for (Lever a : arms)
            for (Lever g : {none, kBucketPlus, kBucketMinus}) {
                JointAngles r;
                std::vector<Lever> set;
                if (b != none) {
                    r.monoblock = leverRate(e, b);
                    set.push_back(b);
                }
                if (a != none) {
                    r.bendingArm = leverRate(e, a);
                    set.push_back(a);
                }
                if (g != none) {
                    r.groundPlate = leverRate(e, g);
                    set.push_back(g);
                }
                visit(r, set);
            }
}

// The joint angles `rates` move `now` to in dt.
JointAngles movedBy(JointAngles now, const JointAngles& rates, double dt)
{
    now.monoblock += rates.monoblock * dt;
    now.bendingArm += rates.bendingArm * dt;
    now.groundPlate += rates.groundPlate * dt;
    return now;
}

// Of the boom, arm, bucket and slewing keys (at most one of each pair), the
// set that brings the cutting edge nearest `target` (world) fastest, with
// little motion across; none when no set brings it nearer.
std::vector<Lever> leversToward(const Excavator& e, const Vector3& target, const std::vector<Lever>& stuck = {})
{
    const JointAngles now = jointAngles(e.meshes);
    const Vector3 here = edgeAt(e, now), towards = normalized(target - here);
    constexpr double dt = 0.01;
    double best = 0.05;  // m/s: a set must bring the edge nearer at least this fast
    std::vector<Lever> chosen;
    forEachLeverSet(e, {kNoLever, kArmPlus, kArmMinus}, [&](const JointAngles& r, const std::vector<Lever>& set) {
        for (Lever k : set)
            if (std::find(stuck.begin(), stuck.end(), k) != stuck.end())
                return;
        // The speed towards the target, less half the speed across.
        const Vector3 v = (edgeAt(e, movedBy(now, r, dt)) - here) / dt;
        const double along = dot(v, towards);
        const double c = along - 0.5 * length(v - towards * along);
        if (c > best) {
            best = c;
            chosen = set;
        }
    });
    return chosen;
}

// The reference course runner: for each post in turn, the bucket up clear
// of the posts, the upper structure slewed to face the post, the bucket
// opened until its cutting edge is its lowest point (else its back rests on
// the post first), the edge brought over the post's top and let down onto it
// with the bucket held at that angle.
struct PostToucher {
    enum Stage { Settle, Raise, Slew, Tilt, Over, Down } stage = Settle;
    double stageTime = 0.0, sinceChoice = 0.0;
    size_t post = 0;
    std::vector<Lever> choice, stuck;
    Vector3 lastEdge;
    LeverHand hand;

    void go(Stage s)
    {
        stage = s;
        stageTime = sinceChoice = 0.0;
    }

    void operator()(ScenarioRun& run)
    {
        Excavator& e = *run.world.excavator;
        const ExerciseRun& x = *run.exercise;
        if (x.ended() || x.nextPost >= x.posts.size()) {
            hand.apply(e);
            return;
        }
        if (x.nextPost != post) {  // touched: on to the next
            post = x.nextPost;
            go(Raise);
        }
        const MarkerPost& p = x.exercise.precision.posts[post];
        const Vector3 top(p.x, x.postTops[post], p.z);
        const Vector3 local = rotate(top - e.position, conjugate(e.orientation));
        const double slew = std::remainder(e.slewAngle(), 2 * M_PI), aim = std::atan2(-local.z, local.x);
        Vector3 a, b;
        cuttingEdgeEnds(e, a, b);
        const Vector3 edge = (a + b) * 0.5;
        stageTime += ScenarioRun::kStep;
        switch (stage) {
        case Settle:
            if (run.time > 1.5)
                go(Raise);
            break;
        case Raise:  // clear of every post before slewing
            if (edge.y < top.y + 2.2 && stageTime < 4.0)
                hand.want({kBoomPlus});
            else
                go(Slew);
            break;
        case Slew:
            if (slewTo(e, aim, 0.003, hand))
                go(Tilt);
            break;
        case Tilt: {
            double lowest = 1e30;
            for (const Vector3& v : e.meshes[GroundPlate].workingPositions)
                lowest = std::min(lowest, v.y);
            if (std::min(a.y, b.y) > lowest + 0.01 && stageTime < 3.0)
                hand.want({kBucketMinus});
            else
                go(Over);
            break;
        }
        case Over:
        case Down: {
            const Vector3 goal = stage == Over ? top + Vector3(0.0, 0.3, 0.0) : top;
            if (sinceChoice <= 0.0) {
                // Keys that moved nothing (a joint at its stop) are left out a while.
                if (!choice.empty() && length(edge - lastEdge) < 0.005)
                    stuck.insert(stuck.end(), choice.begin(), choice.end());
                else if (stuck.size() > 4 || choice.empty() || length(edge - lastEdge) > 0.02)
                    stuck.clear();
                lastEdge = edge;
                std::vector<Lever> held = stuck;  // the bucket keeps its angle
                held.insert(held.end(), {kBucketPlus, kBucketMinus});
                choice = leversToward(e, goal, held);
                sinceChoice = length(edge - goal) > 0.5 ? 0.15 : 0.03;
            }
            sinceChoice -= ScenarioRun::kStep;
            for (Lever k : choice)
                hand.want({k});
            if (stage == Over && length(edge - goal) < 0.1)
                go(Down);
            if (std::fabs(slew - aim) > 0.02)
                go(Slew);
            break;
        }
        }
        hand.apply(e);
    }
};

// The trench digger for the trench and the hopper, the post toucher for the course.
struct ReferenceOperator {
    TrenchDigger digger;
    PostToucher toucher;
    explicit ReferenceOperator(int cabCrossings = 0) { digger.cabCrossings = cabCrossings; }
    void operator()(ScenarioRun& run)
    {
        if (run.exercise && !run.exercise->posts.empty())
            toucher(run);
        else
            digger(run);
    }
};

}  // namespace

std::vector<Lever> bestLevers(const Excavator& e, const Vector3& wanted, bool cut, bool pullIn)
{
    const std::vector<Lever> arms =
        pullIn ? std::vector<Lever>{kArmMinus} : std::vector<Lever>{kNoLever, kArmPlus, kArmMinus};
    const JointAngles now = jointAngles(e.meshes);
    const Vector3 here = edgeAt(e, now);
    constexpr double dt = 0.01;
    double best = 1e30;
    std::vector<Lever> chosen;
    forEachLeverSet(e, arms, [&](const JointAngles& r, const std::vector<Lever>& set) {
        if (cut && !inCuttingWindow(attackAngle(tipVelocityInBucket(armPivots(e.meshes), now, r))))
            return;
        const Vector3 v = rotate((edgeAt(e, movedBy(now, r, dt)) - here) / dt, conjugate(e.orientation));
        // By direction: the keys give fixed speeds.
        const Vector3 flat(v.x, v.y, 0.0);
        if (length(flat) < 1e-6)
            return;
        const double cost = -dot(flat / length(flat), wanted / length(wanted));
        if (cost < best) {
            best = cost;
            chosen = set;
        }
    });
    return chosen;
}

const std::vector<ExerciseOperator>& exerciseOperators()
{
    static const std::vector<ExerciseOperator> table = {
        {"idle", "touches nothing: the time runs out", {"idle", "", nullptr, {}, 1e9}},
        {"cycles", "the cycle scenario's bite and dump, every 21 s",
         {"cycles", "", nullptr, {}, 1e9, CycleOperator(true, 21.0)}},
        {"reference", "digs the trench (or the hopper's or the truck's dig area) along its grade, dumping a quarter "
                      "turn to the left (or into the hopper or the truck's body); touches the posts' tops in turn",
         {"reference", "", nullptr, {}, 1e9, ReferenceOperator()}},
        {"cab-passes", "as the reference, but the first load of a truck swung over its cab and back twice (4 passes)",
         {"cab-passes", "", nullptr, {}, 1e9, ReferenceOperator(4)}},
    };
    return table;
}

const ExerciseOperator* findExerciseOperator(const std::string& name)
{
    for (const ExerciseOperator& o : exerciseOperators())
        if (name == o.name)
            return &o;
    return nullptr;
}
