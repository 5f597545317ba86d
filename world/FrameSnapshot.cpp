#include "world/FrameSnapshot.h"

#include "excavator/Excavator.h"
#include "excavator/Grade.h"
#include "terrain/Terrain.h"
#include "terrain/VoxelWorld.h"
#include "world/World.h"

FrameSnapshot::FrameSnapshot() = default;
FrameSnapshot::~FrameSnapshot() = default;

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
}

void copyGround(const Terrain& ground, int64_t step, FrameSnapshot& out)
{
    {
        std::lock_guard<std::mutex> lock(ground.mutex);
        out.grains.clear();
        for (const SoilGrain& g : ground.grains)
            out.grains.push_back(g.position);
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
