#pragma once

#include <cstdint>
#include <vector>

#include "excavator/Articulation.h"
#include "excavator/BucketGrid.h"
#include "excavator/Cylinders.h"
#include "excavator/Drives.h"
#include "excavator/Grade.h"
#include "excavator/JointHit.h"
#include "excavator/SoilCutting.h"
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
// model's pivots and the drive state. Built from "koparka.obj"; the drawing
// side makes its display lists from the same file.
class Excavator : public Object {
public:
    explicit Excavator(Terrain* terrain);

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
    void setSlewCommand(float command);
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

    Vector3 comOffset;  // composite centre of mass, model coordinates
    bool bucketInSoil = false;
    double leftTrackThrottle = 0.0, rightTrackThrottle = 0.0;
    double slewRate = 0.0;
    double monoblockRate = 0.0, bendingArmRate = 0.0, groundPlateRate = 0.0;
    int16_t slewState = Idle;
    float slewCommand = 0.0f;
    double slewInertia = 0.0;
    // Joint angles at the end of the step being tried (predict).
    double tentativeSlew = 0.0, tentativeMonoblock = 0.0, tentativeBendingArm = 0.0, tentativeGroundPlate = 0.0;
    Terrain* terrain = nullptr;
    bool terrainContact = false, cuttingContact = false;
    BucketGrid bucket;
    int64_t soilDug = 0;  // units dig has put into the bucket since construction
    // Why the joints last stopped, while hits keep stopping them.
    JointHit hit;
    // Parts (bit per ExcavatorPart) in contact with the terrain at the
    // latest detection, and set while the terrain contact code stops a part
    // that pushes into soil: what a hit ran into.
    uint32_t groundParts = 0;
    bool pushingIntoSoil = false;
    GradeTarget grade;  // set and cleared by the operator
    // The ground's soil; loose ground cuts as its loose state.
    SoilType soil;
    // The cut of the latest step: the soil's force on the cutting edge (N,
    // model frame, the slew turned out), the edge's depth (m, smoothed), the
    // busiest function's pressure over the relief; the reaction on the body
    // (world) that the next computeForces adds.
    double cutForce = 0.0, cutDepth = 0.0, hydraulicLoad = 0.0;
    bool cutLoose = false;
    BodyLoad cutReaction;
    double sinceLoaded = 1e9;  // s since the cut or a load last acted
    uint32_t leftTrackContacts = 0, rightTrackContacts = 0;
    Vector3 leftTrackPointVelocity, rightTrackPointVelocity, leftTrackTravel, rightTrackTravel;
    double leftBeltPhase = 0.0, rightBeltPhase = 0.0;

    Vector3 leftDriveWheelCentre, rightDriveWheelCentre, leftIdlerWheelCentre, rightIdlerWheelCentre;
    Vector3 monoblockServoPivot, bendingArmServoPivot, groundPlateServoPivot;
    Vector3 bendingArmBracketPivot, groundPlateBracketPivot;

    CylinderState cylinders;

private:
    void loadOutlines();
    // Belt phase and travel of one track over a step; lever in the world frame.
    void runTrack(const Vector3& lever, double dt, Vector3& pointVelocity, Vector3& travel, double& phase) const;
    void moveJoints(double dt);
    // The cut and the loads on the joints: rates as the hydraulics give them,
    // the reaction for the body, a stall as a hit.
    void loadJoints(double dt);
    bool stopHitJoints(int32_t part);
};
