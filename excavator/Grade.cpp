#include "excavator/Grade.h"

#include <algorithm>

#include "excavator/Cutting.h"
#include "excavator/Excavator.h"

void cuttingEdgeEnds(const Excavator& e, Vector3& a, Vector3& b)
{
    cuttingEdgeEndsAt(e, jointAngles(e.meshes), a, b);
}

void cuttingEdgeEndsAt(const Excavator& e, const JointAngles& angles, Vector3& a, Vector3& b)
{
    const Mesh& plate = e.meshes[GroundPlate];
    const MeshEdge& lip = plate.edges[cutting::edgeIndex];
    const PartTransform t(GroundPlate, plate.referencePoint, armPivots(e.meshes), angles);
    a = e.modelToWorld(t.point(plate.positions[lip.v0]));
    b = e.modelToWorld(t.point(plate.positions[lip.v1]));
}

double cuttingEdgeLevel(const Excavator& e)
{
    Vector3 a, b;
    cuttingEdgeEnds(e, a, b);
    return std::min(a.y, b.y);
}

double heightAboveGrade(const Excavator& e, const GradeTarget& grade)
{
    return grade.set ? cuttingEdgeLevel(e) - grade.level : 0.0;
}

GradeBand gradeBand(double height)
{
    if (height > kOnGrade)
        return GradeBand::Above;
    if (height < -kOnGrade)
        return GradeBand::Below;
    return GradeBand::OnGrade;
}

GradeTarget gradeAtCuttingEdge(const Excavator& e) { return {true, cuttingEdgeLevel(e)}; }
