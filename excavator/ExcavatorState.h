#pragma once

#include <cstdint>

#include "excavator/BucketGrid.h"
#include "excavator/Cylinders.h"
#include "excavator/Drives.h"
#include "excavator/Grade.h"
#include "excavator/JointHit.h"
#include "excavator/MachineCommand.h"
#include "excavator/SoilCutting.h"
#include "math/Vector3.h"

// Everything the machine keeps besides its rigid body and outlines: drives,
// joint rates, the bucket's soil, contacts, hits and the drawn model's
// pivots. Plain data, so that a saved world copies it whole: a field the
// machine adds here is saved with it.
struct ExcavatorState {
    Vector3 comOffset;  // composite centre of mass, model coordinates
    bool bucketInSoil = false;
    MachineCommand command;  // the deflections last given
    double leftTrackThrottle = 0.0, rightTrackThrottle = 0.0;
    double slewRate = 0.0;
    double monoblockRate = 0.0, bendingArmRate = 0.0, groundPlateRate = 0.0;
    int16_t slewState = Idle;
    float slewCommand = 0.0f;
    double slewInertia = 0.0;
    // The slewing rate and the tracks' speed at full command, as the pump's
    // share of the latest step gives them.
    double slewRateGiven = slewFullRate, trackSpeedGiven = trackFullSpeed;
    // Joint angles at the end of the step being tried (predict).
    double tentativeSlew = 0.0, tentativeMonoblock = 0.0, tentativeBendingArm = 0.0, tentativeGroundPlate = 0.0;
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
    // Soil the edge has sliced off (its width times its depth along its
    // path, in units) that the bucket has yet to take in.
    double cutOwed = 0.0;
    BodyLoad cutReaction;
    double sinceLoaded = 1e9;  // s since the cut or a load last acted
    uint32_t leftTrackContacts = 0, rightTrackContacts = 0;
    Vector3 leftTrackPointVelocity, rightTrackPointVelocity, leftTrackTravel, rightTrackTravel;
    double leftBeltPhase = 0.0, rightBeltPhase = 0.0;

    Vector3 leftDriveWheelCentre, rightDriveWheelCentre, leftIdlerWheelCentre, rightIdlerWheelCentre;
    Vector3 monoblockServoPivot, bendingArmServoPivot, groundPlateServoPivot;
    Vector3 bendingArmBracketPivot, groundPlateBracketPivot;

    CylinderState cylinders;
};
