#pragma once

// The arm's hydraulic system: the three cylinders with their relief
// pressure and valves, and one pump whose flow and power are limited. Joint
// rates follow the command while the load allows, fall as the pressure the
// load needs nears the relief, and stop past it.

struct Cylinder {
    double bore = 0.0, rod = 0.0;  // m
    int count = 1;                 // cylinders side by side
    double flow = 0.0;             // m3/s: the most its valve passes
};

namespace hydraulics {
// A 20-25 t crawler excavator's system; bores as its class has them, rods
// 0.7 of the bore. The arm's is a size below the usual 140 mm: its lever on
// our arm (up to 0.98 m/rad) is long, and 140 mm would crowd harder than
// any machine of the class. Boom and arm take both pumps' flow, the bucket
// one pump's.
constexpr double pumpFlow = 429.0 / 60000.0;    // m3/s, two pumps
constexpr Cylinder boom{0.120, 0.085, 2, pumpFlow}, arm{0.130, 0.090, 1, pumpFlow},
    bucket{0.120, 0.085, 1, pumpFlow / 2.0};
constexpr double reliefPressure = 35.0e6;       // Pa, the implements
constexpr double enginePower = 121.0e3;         // W, net
constexpr double pumpEfficiency = 0.85;
// The relief starts to open here, as a share of its setting.
constexpr double crackingShare = 0.9;
// The slewing and track motors keep the limits their drives apply
// (slewTorque, trackTraction in Drives.h) and do not draw on the pump.
}  // namespace hydraulics

double pistonArea(const Cylinder& c);
double annulusArea(const Cylinder& c);

// Pin-to-pin lengths of the boom, arm and bucket cylinders (m), and their
// rates of change with their own joint's angle (m/rad), for joint angles in
// radians.
struct CylinderFigures {
    double boom = 0.0, arm = 0.0, bucket = 0.0;
};
CylinderFigures cylinderLengths(double monoblock, double bendingArm, double groundPlate);
CylinderFigures cylinderLevers(double monoblock, double bendingArm, double groundPlate);

// What one function is asked: its joint rate (rad/s), its cylinder's lever
// dL/dtheta (m/rad) and the torque its load puts on the joint (N·m, positive
// along a rising angle).
struct FunctionDemand {
    double rate = 0.0, lever = 0.0, loadTorque = 0.0;
    Cylinder cylinder;
};

struct FunctionSupply {
    double rate = 0.0;      // rad/s given
    double force = 0.0;     // N the cylinder holds, positive pushing
    double pressure = 0.0;  // Pa on the side that holds it
    bool stalled = false;   // the load needs more than the relief allows
};

struct HydraulicSupply {
    FunctionSupply boom, arm, bucket;
    double load = 0.0;  // the busiest function's pressure over the relief
};

// The three functions served by the shared pump.
HydraulicSupply supplyFunctions(const FunctionDemand& boom, const FunctionDemand& arm, const FunctionDemand& bucket);
