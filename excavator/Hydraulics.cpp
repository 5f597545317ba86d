#include "excavator/Hydraulics.h"

#include <algorithm>
#include <cmath>

#include "excavator/Cylinders.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kStep = 1e-5;  // rad, for the levers' central differences

// One function's share of the pump: its flow and power, and the shares of
// the commanded rate its valve and the relief let through.
struct Flow {
    double flow = 0.0, power = 0.0, valve = 1.0, relief = 1.0;  // m3/s, W
};

FunctionSupply hold(const FunctionDemand& d, Flow& f)
{
    FunctionSupply s;
    if (!std::isfinite(d.lever) || std::fabs(d.lever) < 1e-6 || !std::isfinite(d.loadTorque))
        return s;
    // Virtual work: the cylinder's force over its stroke balances the load.
    s.force = -d.loadTorque / d.lever;
    s.pressure = std::fabs(s.force) / (s.force >= 0.0 ? pistonArea(d.cylinder) : annulusArea(d.cylinder));
    const double speed = d.rate * d.lever;  // m/s, positive extending
    f.flow = std::fabs(speed) * (speed >= 0.0 ? pistonArea(d.cylinder) : annulusArea(d.cylinder));
    if (f.flow > d.cylinder.flow) {
        f.valve = d.cylinder.flow / f.flow;
        f.flow = d.cylinder.flow;
    }
    // Only a cylinder driving against its load needs the pressure from the
    // pump; one the load pulls along is only refilled.
    if (s.force * speed > 0.0) {
        f.power = s.pressure * f.flow;
        const double open = (1.0 - s.pressure / hydraulics::reliefPressure) / (1.0 - hydraulics::crackingShare);
        f.relief = std::clamp(open, 0.0, 1.0);
        s.stalled = s.pressure >= hydraulics::reliefPressure;
    }
    return s;
}

}  // namespace

double pistonArea(const Cylinder& c) { return c.count * kPi * c.bore * c.bore / 4.0; }
double annulusArea(const Cylinder& c) { return c.count * kPi * (c.bore * c.bore - c.rod * c.rod) / 4.0; }

CylinderFigures cylinderLengths(double monoblock, double bendingArm, double groundPlate)
{
    CylinderState s;
    updateServos(s, monoblock, bendingArm);
    updateLinkage(s, groundPlate + linkageAngleCorrection);
    // Extensions count from the modelled lengths; the bucket cylinder's
    // grows as its pins close.
    return {s.monoblockServoExtension + 2.33023, s.bendingArmServoExtension + 3.95387,
            2.46003 - s.groundPlateServoExtension};
}

CylinderFigures cylinderLevers(double monoblock, double bendingArm, double groundPlate)
{
    const CylinderFigures up = cylinderLengths(monoblock + kStep, bendingArm + kStep, groundPlate + kStep);
    const CylinderFigures down = cylinderLengths(monoblock - kStep, bendingArm - kStep, groundPlate - kStep);
    return {(up.boom - down.boom) / (2 * kStep), (up.arm - down.arm) / (2 * kStep),
            (up.bucket - down.bucket) / (2 * kStep)};
}

HydraulicSupply supplyFunctions(const FunctionDemand& boom, const FunctionDemand& arm, const FunctionDemand& bucket,
                                const MotorDemands& motors)
{
    const FunctionDemand* demand[3] = {&boom, &arm, &bucket};
    Flow flow[3];
    HydraulicSupply out;
    FunctionSupply* supply[3] = {&out.boom, &out.arm, &out.bucket};
    double totalFlow = 0.0, pumpPressure = 0.0;
    for (int i = 0; i < 3; ++i) {
        *supply[i] = hold(*demand[i], flow[i]);
        totalFlow += flow[i].flow;
        if (flow[i].power > 0.0)
            pumpPressure = std::max(pumpPressure, supply[i]->pressure);
        out.load = std::max(out.load, supply[i]->pressure / hydraulics::reliefPressure);
    }
    // A motor's pressure is what its drive and its load ask of it, at most
    // its relief: accelerating at the relief is its normal way, a stall only
    // a load it cannot hold.
    const MotorDemand* motor[3] = {&motors.slew, &motors.left, &motors.right};
    MotorSupply* given[3] = {&out.slew, &out.left, &out.right};
    for (int i = 0; i < 3; ++i) {
        const MotorDemand& d = *motor[i];
        MotorSupply& g = *given[i];
        if (d.motor.displacement <= 0.0 || !std::isfinite(d.drive + d.hold + d.opening))
            continue;
        const double limit = motorLimit(d.motor);
        g.stalled = std::fabs(d.hold) >= limit;
        g.pressure = std::min(std::fabs(d.drive) + std::fabs(d.hold), limit) / d.motor.displacement;
        const double asked = std::clamp(d.opening, 0.0, 1.0) * d.motor.flow;
        totalFlow += asked;
        if (asked > 0.0)
            pumpPressure = std::max(pumpPressure, g.pressure);
        out.load = std::max(out.load, g.pressure / d.motor.relief);
    }
    // The pump shares what it has: its flow, and no more power than the
    // engine's. Functions fed in parallel take their flow at the pressure of
    // the most loaded one; the others' valves throttle the difference.
    double share = 1.0;
    if (totalFlow > hydraulics::pumpFlow)
        share = hydraulics::pumpFlow / totalFlow;
    const double power = hydraulics::pumpEfficiency * hydraulics::enginePower, drawn = pumpPressure * totalFlow;
    if (drawn * share > power)
        share = power / drawn;
    for (int i = 0; i < 3; ++i) {
        supply[i]->rate = supply[i]->stalled ? 0.0 : demand[i]->rate * share * flow[i].valve * flow[i].relief;
        given[i]->share = given[i]->stalled ? 0.0 : share;
    }
    return out;
}
