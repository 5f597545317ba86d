#include "excavator/BucketSoil.h"
#include "excavator/Excavator.h"
#include "terrain/Terrain.h"

void Excavator::settleBucketSoil(double dt)
{
    if (!bucket.sweepDue(dt) || !terrain)
        return;
    const JointAngles angles = jointAngles(meshes);
    const PartTransform toModel(GroundPlate, meshes[GroundPlate].referencePoint, armPivots(meshes), angles);
    GrainOutlet outlet;
    outlet.grainAt = [&](const Vector3& cellPosition) {
        SoilGrain g;
        g.position = modelToWorld(toModel.point(cellPosition));
        Vector3 v;
        // Soil leaves the bucket much slower than the bucket itself moves.
        g.velocity = 0.2 * pointVelocity(v, g.position, GroundPlate);
        return g;
    };
    outlet.canDrop = [this](const SoilGrain& g) { return terrain->canDropGrain(g); };
    outlet.drop = [this](const SoilGrain& g) { return terrain->dropGrain(g); };
    // The slew turns about the vertical and the machine's tilt is ignored:
    // only the arm's pitch decides which way is down in the bucket.
    sweepBucket(bucket, angles.monoblock + angles.bendingArm + angles.groundPlate, outlet);
}
