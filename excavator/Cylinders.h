#pragma once

// Where the hydraulic cylinders and the two bucket links of the drawn model
// stand for given joint angles. The physics never sees these pieces; they
// only keep the drawing consistent with the joints. Angles in degrees, as the
// drawing turns each piece about z from its loaded (upright) position;
// extensions in metres along the piece's own y.
struct CylinderState {
    double monoblockServoExtension = 0.0;
    double monoblockServoAngle = -55.134;
    double bendingArmServoExtension = 0.0;
    double bendingArmServoAngle = -114.141;
    double groundPlateServoExtension = 0.0;
    double groundPlateServoAngle = -79.631;
    double bendingArmBracketAngle = -47.619;
    double groundPlateBracketAngle = 48.759;
};

// The pose the pieces are modelled in (the values above).
CylinderState restCylinderState();

// All eight values from the monoblock, bending arm and ground plate angles
// (radians): updateServos, then updateLinkage.
void updateCylinders(CylinderState& state, double monoblock, double bendingArm, double groundPlate);

// The boom and arm cylinders alone.
void updateServos(CylinderState& state, double monoblock, double bendingArm);

// The ground plate part of updateCylinders: its cylinder and both brackets.
void updateLinkage(CylinderState& state, double groundPlate);

// The linkage's constants close the four-bar for a bucket turned back by
// this much (rad); the fixed points of the model close it at the true angle.
constexpr double linkageAngleCorrection = 0.058071;

// The joint angular rate (rad/s) that moves the joint's hydraulic cylinder
// at speed u (m/s), from the joint's current angle (rad). Where the linkage
// is singular (a zero denominator, or no real solution) the rate is 0: the
// joint holds rather than receive inf or NaN.
double monoblockRateFor(double angle, double u);
double bendingArmRateFor(double angle, double u);
double groundPlateRateFor(double angle, double u);
