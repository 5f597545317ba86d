#include "excavator/Excavator.h"

#include <algorithm>

#include "assets/ModelLoader.h"
#include "math/Quaternion.h"

namespace {

struct PartConstants {
    const char* group;
    Vector3 pivot;
    double mass;
};

const PartConstants partConstants[7] = {
    {"rightTrackOutline", {0.0, 0.0, 1.213}, 3150.0},  {"leftTrackOutline", {0.0, 0.0, -1.213}, 3150.0},
    {"platformOutline", {0.0, 0.0, 0.0}, 1630.0},      {"bodyworkOutline", {0.0, 1.193, 0.0}, 11850.0},
    {"monoblockOutline", {0.219, 1.95, -0.05}, 1760.0}, {"bendingArmOutline", {6.365, 1.268, -0.05}, 1210.0},
    {"groundPlateOutline", {3.938, 0.42, -0.05}, 790.0},
};

// The bodywork outline is a plain box; its real mass sits lower, further
// back and off to the right of it.
const Vector3 bodyworkMassShift(0.85, 0.45, -0.176918);

}  // namespace

Excavator::Excavator(Terrain* terrain_, const ModelLoader& models) : Object(3)
{
    loadOutlines(models);
    radius = 10.0;
    updateMassProperties();
    position += comOffset;
    inverseInertiaWorld = inverseInertiaBody;

    leftDriveWheelCentre = {-1.85, 0.392, -1.212};
    rightDriveWheelCentre = {-1.85, 0.392, 1.212};
    leftIdlerWheelCentre = {1.85, 0.392, -1.212};
    rightIdlerWheelCentre = {1.85, 0.392, 1.212};
    monoblockServoPivot = {0.956, 1.352, -0.05};
    bendingArmServoPivot = {3.738, 2.932, -0.05};
    groundPlateServoPivot = {6.312, 0.536, -0.05};
    bendingArmBracketPivot = {4.304, 0.471, -0.05};
    groundPlateBracketPivot = {3.474, 0.461, -0.05};
    cylinders = restCylinderState();

    restitution = 0.11;
    friction = 0.2;
    terrain = terrain_;

    // Start above the resting place on the terrain, in the pose it lands in.
    position = Vector3(2.960465691653823, 1.736324901646625, -2.0480864588497214);
    orientation = Quaternion(0.997323552336158, 0.05416578483646846, -0.020215566915592953, 0.04475634662165232);
    position.y += 10.0;
}

void Excavator::loadOutlines(const ModelLoader& loader)
{
    meshes = new Mesh[7];
    meshCount = 7;
    for (int i = 0; i < 7; ++i) {
        const PartConstants& part = partConstants[i];
        Mesh& m = meshes[i];
        m = loader.getMesh(part.group, false);
        m.computeProperties();
        if (i == Bodywork)
            m.centreOfMass -= bodyworkMassShift;
        if (i != Platform) {
            m.referencePoint = part.pivot;
            if (i >= Bodywork)
                m.angle = 0.0;
            // Positions become pivot-relative; the centre of mass stays in
            // the model frame.
            m.translate(-part.pivot);
        }
        m.mass = part.mass;
        m.index = i;
    }
}

void Excavator::updateMassProperties()
{
    const MassProperties p = composeMassProperties(meshes);
    mass = p.mass;
    comOffset = p.centreOfMass;
    inertiaBody = p.inertia;
    inverseInertiaBody = inverse(inertiaBody);
    slewInertia = p.slewInertia;
}

void Excavator::updateCylinders()
{
    updateServos(cylinders, monoblockAngle(), bendingArmAngle());
    updateLinkage();
}

void Excavator::updateLinkage()
{
    // The linkage formula's fixed lengths describe a bucket turned back a
    // little from ours; fed the corrected angle, the rod eye and both
    // bracket ends meet at one point over the whole range.
    ::updateLinkage(cylinders, groundPlateAngle() + linkageAngleCorrection);
}

Vector3 Excavator::modelToWorld(const Vector3& model) const
{
    return rotate(model - comOffset, orientation) + position;
}

void Excavator::predict(double dt)
{
    if (isStatic())
        return;
    predictedPosition = position + integrateStep(velocity, dt);
    predictedOrientation = integrateOrientation(orientation, angularVelocity, dt);
    normalize(predictedOrientation);

    tentativeSlew = slewAngle() + slewRate * dt;
    tentativeMonoblock = monoblockAngle() + monoblockRate * dt;
    tentativeBendingArm = bendingArmAngle() + bendingArmRate * dt;
    tentativeGroundPlate = groundPlateAngle() + groundPlateRate * dt;
    const JointAngles angles{tentativeSlew, tentativeMonoblock, tentativeBendingArm, tentativeGroundPlate};
    const ArmPivots pivots = armPivots(meshes);

    for (uint32_t i = 0; i < meshCount; ++i) {
        Mesh& m = meshes[i];
        const PartTransform t(static_cast<int>(i), m.referencePoint, pivots, angles);
        auto toWorld = [&](const Vector3& v) {
            return rotate(t.point(v) - comOffset, predictedOrientation) + predictedPosition;
        };
        if (m.workingPositions.size() != m.positions.size())
            m.workingPositions.resize(m.positions.size());
        for (size_t v = 0; v < m.positions.size(); ++v) {
            const Vector3 w = toWorld(m.positions[v]);
            m.workingPositions[v] = w;
            if (v == 0) {
                m.boxMin = w;
                m.boxMax = w;
            } else {
                m.boxMin = {std::min(m.boxMin.x, w.x), std::min(m.boxMin.y, w.y), std::min(m.boxMin.z, w.z)};
                m.boxMax = {std::max(m.boxMax.x, w.x), std::max(m.boxMax.y, w.y), std::max(m.boxMax.z, w.z)};
            }
        }
        for (MeshTriangle& tri : m.triangles)
            tri.workingCentre = toWorld(tri.centre);
        for (MeshEdge& e : m.edges)
            e.workingNormal = rotate(t.direction(e.normal), predictedOrientation);
    }
}

Vector3& Excavator::pointVelocity(Vector3& out, const Vector3& point, int32_t part)
{
    out = velocity + cross(angularVelocity, point - position);
    if (part >= Bodywork && part <= GroundPlate) {
        const Vector3 b = rotate(point - position, conjugate(orientation)) + comOffset;
        const Vector3 u = jointVelocity(part, b, armPivots(meshes), jointAngles(meshes), jointRates());
        out += rotate(u, orientation);
    }
    return out;
}
