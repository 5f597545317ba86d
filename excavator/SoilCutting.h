#pragma once

#include <string>

// The force soil puts against a flat blade cutting it: the fundamental
// earthmoving equation in Reece's form (weight, cohesion, adhesion and
// surcharge terms with their N-factors, plus the inertia of the moving
// wedge), the soil failing on the wedge that needs the least force.
// Angles in radians, lengths in metres, stresses in Pa, densities in kg/m3.

// One state of a soil (in the bank, or dug and dumped).
struct SoilState {
    double density = 0.0;       // bulk, kg/m3
    double cohesion = 0.0;      // c, Pa
    double friction = 0.0;      // internal friction angle phi
    double toolFriction = 0.0;  // soil-steel friction angle delta
    double adhesion = 0.0;      // c_a, Pa
};

// A soil type: its bank state and its loose (dug, dumped, settled) state.
struct SoilType {
    std::string name;
    SoilState bank, loose;
};

// The cut: the blade's width, the edge's depth below the surface, its rake
// (blade to surface through the uncut soil; pi/2 upright), its speed and
// the surcharge (weight per area of loose soil on the wedge).
struct CutGeometry {
    double width = 0.0, depth = 0.0, rake = 0.0, speed = 0.0, surcharge = 0.0;
};

struct NFactors {
    double weight = 0.0, cohesion = 0.0, adhesion = 0.0, surcharge = 0.0;
    bool physical = false;  // false where the wedge cannot form (rake+beta+phi+delta >= pi)
};

// The N-factors of a wedge whose failure plane leaves the surface at beta.
NFactors nFactors(double rake, double beta, double friction, double toolFriction);

// The resultant P (N) on the blade for a failure angle, inertia included;
// infinite where the wedge cannot form.
double wedgeForce(const SoilState& soil, const CutGeometry& cut, double beta);

// The failure angle of least P.
double failureAngle(const SoilState& soil, const CutGeometry& cut);

// The force on the blade: along the motion against it (horizontal, >= 0
// for a real cut) and across it into the soil (vertical, down positive).
struct CutForce {
    double horizontal = 0.0, vertical = 0.0;
    double beta = 0.0;  // the failure angle taken
};

// Rake is clamped to [15, 90] degrees, where the model holds; no depth or
// width gives no force.
CutForce cuttingForce(const SoilState& soil, const CutGeometry& cut);
