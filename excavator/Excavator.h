#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "assets/ModelLoader.h"
#include "excavator/Articulation.h"
#include "excavator/BucketGrid.h"
#include "excavator/Cylinders.h"
#include "excavator/Drives.h"
#include "excavator/ExcavatorState.h"
#include "excavator/Grade.h"
#include "excavator/JointHit.h"
#include "excavator/MachineCommand.h"
#include "math/Vector3.h"
#include "physics/Object.h"

class Terrain;

enum ExcavatorPart : int32_t {
    RightTrack = 0,
    LeftTrack = 1,
    Platform = 2,
    Bodywork = 3,
    Monoblock = 4,
    BendingArm = 5,
    GroundPlate = 6,
};

// The machine: one rigid body of seven articulated collision outlines
// (meshes[0..6], pivot in referencePoint, joint angle in angle), the drawn
// model's pivots and the drive state (ExcavatorState, all it keeps besides
// the body). Built from "koparka.obj"; the drawing
// side makes its display lists from the same file.
class Excavator : public Object, public ExcavatorState {
public:
    // Its outlines come from `models` ("koparka.obj").
    explicit Excavator(Terrain* terrain, const ModelLoader& models = ModelLoader::forData());

    // Track traction and braking, drag and weight.
    void computeForces() override;
    void predict(double dt) override;
    Vector3& pointVelocity(Vector3& out, const Vector3& point, int32_t part) override;
    // Pose, belts, joints within their limits, slewing, mass properties.
    void integrateState(double dt) override;
    // A hit on a moving part stops the joints carrying it and is dropped.
    void applyCollisionImpulse(const Vector3& impulse, const Vector3& lever, int32_t part) override;
    // The same, and counts the resting contacts of each track.
    void applyContactImpulse(const Vector3& impulse, const Vector3& lever, int32_t part) override;

    // Mass, comOffset, inertia and slewInertia from the current joint
    // angles; leaves position and inverseInertiaWorld to the caller.
    void updateMassProperties();
    // Cylinder and bucket link poses from the current joint angles.
    void updateCylinders();
    void updateLinkage();
    void setSlewCommand(float deflection);
    // Gives one drive its deflection: an arm joint's rate is taken from its
    // angle now and held until the drive is given again (as a key's repeat
    // or the next axis reading does), not recomputed every step.
    void setDrive(Drive drive, float deflection);
    // When set, every drive given is appended in order: what a recorder of
    // scripted levers turns into events (a slewing drive's state depends on
    // each one given, not only the last).
    std::vector<std::pair<Drive, float>>* givenDrives = nullptr;
    // The rate an arm joint's drive (monoblock, bending arm, ground plate)
    // would be given at that deflection now; 0 for the other drives.
    double armRate(Drive drive, float deflection) const;
    // Gives all six, in Drive's order.
    void setCommand(const MachineCommand& given);
    // Every 0.01 s of simulated time: one settling sweep of the bucket's
    // soil, spilling over the open side onto the terrain.
    void settleBucketSoil(double dt);

    // Joint angles (radians), kept in the outlines of parts 3 to 6.
    double slewAngle() const { return meshes[Bodywork].angle; }
    double monoblockAngle() const { return meshes[Monoblock].angle; }
    double bendingArmAngle() const { return meshes[BendingArm].angle; }
    double groundPlateAngle() const { return meshes[GroundPlate].angle; }
    JointAngles jointRates() const { return {slewRate, monoblockRate, bendingArmRate, groundPlateRate}; }

    // A model-frame point to the world, as the body stands now.
    Vector3 modelToWorld(const Vector3& model) const;

    Terrain* terrain = nullptr;

private:
    void loadOutlines(const ModelLoader& models);
    // Belt phase and travel of one track over a step; lever in the world frame.
    void runTrack(const Vector3& lever, double dt, Vector3& pointVelocity, Vector3& travel, double& phase) const;
    void moveJoints(double dt);
    // The cut and the loads on the joints: rates as the hydraulics give them,
    // the reaction for the body, a stall as a hit.
    void loadJoints(double dt);
    // What the edge slices off while the joints move at `rates` for dt.
    void sliceSoil(const JointAngles& rates, double dt);
    bool stopHitJoints(int32_t part);
};
