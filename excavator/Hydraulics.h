#pragma once

// The machine's hydraulic system: the arm's three cylinders with their
// relief pressure and valves, the slewing and track motors, and one pump
// whose flow and power are limited. Joint rates follow the command while the
// load allows, fall as the pressure the load needs nears the relief, and
// stop past it.

struct Cylinder {
    double bore = 0.0, rod = 0.0;  // m
    int count = 1;                 // cylinders side by side
    double flow = 0.0;             // m3/s: the most its valve passes
};

// A motor with its gearing, seen at its output: it gives its relief
// pressure times its displacement as torque (slewing) or pull (a track).
struct Motor {
    double displacement = 0.0;  // m3 per radian of the upper structure, or per metre of track
    double relief = 0.0;        // Pa
    double flow = 0.0;          // m3/s: the most its valve passes
};
constexpr double motorLimit(const Motor& m) { return m.relief * m.displacement; }

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
// The motors' reliefs are the class's swing and travel settings. The swing
// motor gives 72 kN·m and, at its valve's flow, 1.099 rad/s (10.5 rpm);
// each track motor pulls 100 kN (200 kN at the drawbar) and takes one
// pump's flow, 1.23 m/s (4.4 km/h) on level ground.
constexpr double swingRelief = 26.8e6, travelRelief = 34.3e6;  // Pa
constexpr double swingTorque = 72.0e3, trackPull = 100.0e3;    // N·m, N
constexpr Motor slew{swingTorque / swingRelief, swingRelief, 1.099 * swingTorque / swingRelief},
    track{trackPull / travelRelief, travelRelief, pumpFlow / 2.0};
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

// What a motor is asked: the share of its valve's flow the lever opens, the
// torque (or pull) it drives its output with, and what its load holds
// against it.
struct MotorDemand {
    double opening = 0.0;  // 0..1
    double drive = 0.0, hold = 0.0;
    Motor motor;
};

struct MotorSupply {
    double share = 0.0;     // of the flow its opening asks, given
    double pressure = 0.0;  // Pa
    bool stalled = false;   // the load alone needs more than the relief allows
};

struct MotorDemands {
    MotorDemand slew, left, right;
};

struct HydraulicSupply {
    FunctionSupply boom, arm, bucket;
    MotorSupply slew, left, right;
    double load = 0.0;  // the busiest function's pressure over its relief
};

// The arm's functions and the motors served by the shared pump.
HydraulicSupply supplyFunctions(const FunctionDemand& boom, const FunctionDemand& arm, const FunctionDemand& bucket,
                                const MotorDemands& motors = {});
