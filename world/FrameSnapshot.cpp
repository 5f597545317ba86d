#include "world/FrameSnapshot.h"

#include <algorithm>
#include <cmath>

#include "excavator/Excavator.h"
#include "excavator/Grade.h"
#include "terrain/Terrain.h"
#include "terrain/VoxelWorld.h"
#include "world/World.h"

FrameSnapshot::FrameSnapshot() = default;
FrameSnapshot::~FrameSnapshot() = default;

namespace {

FunctionActivity functionActivity(const Excavator& e, Drive drive, double angle, double rate, const JointLimit& limit)
{
    FunctionActivity f;
    const double asked = e.armRate(drive, e.command[drive]);
    if (asked == 0.0)
        return f;
    f.share = std::min(std::fabs(rate) / std::fabs(asked), 1.0);
    // Joint limits stand for the cylinders' ends.
    const bool atEnd = limitedRate(angle, asked, limit) == 0.0;
    f.held = atEnd || (e.hit.cause != HitCause::None && rate == 0.0);
    return f;
}

}  // namespace

void copyActivity(const Excavator& e, MachineActivity& out)
{
    out.command = e.command;
    out.boom = functionActivity(e, Drive::Monoblock, e.monoblockAngle(), e.monoblockRate, monoblockLimit);
    out.arm = functionActivity(e, Drive::BendingArm, e.bendingArmAngle(), e.bendingArmRate, bendingArmLimit);
    out.bucket = functionActivity(e, Drive::GroundPlate, e.groundPlateAngle(), e.groundPlateRate, groundPlateLimit);
    out.slewRate = e.slewRate;
    out.slewBraking = e.slewState == Braking;
    out.hydraulicLoad = e.hydraulicLoad;
    out.cutForce = e.cutForce;
    out.trackSpeed = std::max(length(e.leftTrackPointVelocity), length(e.rightTrackPointVelocity));
}

void copyPose(const Excavator& e, int64_t step, ExcavatorPose& out)
{
    out.step = step;
    out.position = e.position;
    out.orientation = e.orientation;
    out.comOffset = e.comOffset;
    out.slew = e.slewAngle();
    out.monoblock = e.monoblockAngle();
    out.bendingArm = e.bendingArmAngle();
    out.groundPlate = e.groundPlateAngle();
    out.cylinders = e.cylinders;
    out.leftBeltPhase = e.leftBeltPhase;
    out.rightBeltPhase = e.rightBeltPhase;
    out.tracksTouched = e.leftTrackContacts + e.rightTrackContacts != 0;
    out.bucketSoil.clear();
    for (const BucketCell& cell : e.bucket.cells)
        if (cell.state == BucketCell::Soil)
            out.bucketSoil.push_back(cell.position);
    copyActivity(e, out.activity);
}

void copyGround(const Terrain& ground, int64_t step, FrameSnapshot& out)
{
    {
        std::lock_guard<std::mutex> lock(ground.mutex);
        out.grains.clear();
        for (const SoilGrain& g : ground.grains)
            out.grains.push_back(g.position);
        out.beds = ground.beds;
    }
    out.grainsStep = step;
    if (!out.surface) {
        out.surface = std::make_unique<VoxelWorld>(false);
        out.surfaceRevisions.assign(terrain::kBlocks * terrain::kBlocks, UINT32_MAX);
    }
    out.blocksCopied = out.surface->copySurface(ground.world, out.surfaceRevisions);
    out.surfaceStep = step;
}

void World::snapshot(FrameSnapshot& out) const
{
    out.step = stepCount;
    out.time = simulatedSeconds;
    out.grade = GradeMark();
    if (excavator) {
        copyPose(*excavator, stepCount, out.machine);
        if (excavator->grade.set) {
            Vector3 a, b;
            cuttingEdgeEnds(*excavator, a, b);
            out.grade = GradeMark{true, excavator->grade.level, (a + b) * 0.5};
        }
    }
    copyGround(terrain(), stepCount, out);
    out.work = work;
    out.workStep = stepCount;
}
