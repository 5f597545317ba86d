#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "excavator/Cylinders.h"
#include "excavator/DiggingForce.h"
#include "excavator/Hydraulics.h"
#include "excavator/SoilCutting.h"
#include "excavator/SoilTable.h"
#include "input/ExcavatorController.h"
#include "tests/TestFiles.h"

namespace {
constexpr double kDeg = 3.141592653589793 / 180.0;

SoilState state(double density, double cKpa, double phi, double delta, double caKpa)
{
    return {density, cKpa * 1e3, phi * kDeg, delta * kDeg, caKpa * 1e3};
}
}  // namespace

// H and V against the earthmoving equation worked out apart from the code
// (tests/soil_cutting_table.py: every failure angle on a 0.01 degree grid),
// over soils, depths, rakes, widths, speeds and surcharges.
TEST(SoilCutting, ForceIsTheEarthmovingEquationOnItsLeastWedge)
{
    const std::map<std::string, SoilState> soils = {{"sand", state(1600, 0, 30, 20, 0)},
                                                    {"earth", state(1850, 10, 28, 18, 0)},
                                                    {"clay", state(1950, 60, 0, 0, 30)},
                                                    {"clay-loose", state(1450, 5, 25, 15, 5)}};
    struct Case {
        const char* soil;
        double depth, rakeDegrees, width, speed, surcharge, horizontal, vertical;
    } const cases[] = {
        // soil_cutting_table.py
        {"sand", 0.15, 30, 1.30, 0.0, 0, 555.6, 466.2},
        {"sand", 0.15, 60, 1.30, 0.0, 0, 703.3, 124.0},
        {"sand", 0.35, 30, 1.30, 0.0, 0, 3024.8, 2538.1},
        {"sand", 0.35, 60, 1.30, 0.0, 0, 3829.0, 675.1},
        {"earth", 0.15, 30, 1.30, 0.0, 0, 2677.5, 2410.8},
        {"earth", 0.15, 60, 1.30, 0.0, 0, 5393.4, 1146.4},
        {"earth", 0.35, 30, 1.30, 0.0, 0, 8152.1, 7340.2},
        {"earth", 0.35, 60, 1.30, 0.0, 0, 14890.5, 3165.1},
        {"clay", 0.15, 30, 1.30, 0.0, 0, 17067.8, 6162.4},
        {"clay", 0.15, 60, 1.30, 0.0, 0, 19862.4, 3667.5},
        {"clay", 0.35, 30, 1.30, 0.0, 0, 40695.4, 15886.4},
        {"clay", 0.35, 60, 1.30, 0.0, 0, 47215.9, 9060.1},
        {"earth", 0.35, 60, 1.30, 0.0, 3000, 18690.6, 3972.8},
        {"earth", 0.35, 60, 1.30, 1.0, 0, 15904.1, 3380.5},
        {"clay", 0.25, 90, 0.84, 0.5, 0, 31536.0, -6300.0},
        {"clay-loose", 0.20, 45, 0.84, 0.0, 0, 2976.1, 393.3},
        {"sand", 0.50, 20, 0.84, 0.8, 2000, 6369.4, 7590.8},
        {"earth", 0.10, 75, 0.84, 0.0, 0, 3319.7, -174.0},
    };
    for (const Case& c : cases) {
        const CutGeometry cut{c.width, c.depth, c.rakeDegrees * kDeg, c.speed, c.surcharge};
        const CutForce f = cuttingForce(soils.at(c.soil), cut);
        const double scale = 0.005 * std::max(std::fabs(c.horizontal), std::fabs(c.vertical));
        EXPECT_NEAR(f.horizontal, c.horizontal, scale) << c.soil << " " << c.depth << " " << c.rakeDegrees;
        EXPECT_NEAR(f.vertical, c.vertical, scale) << c.soil << " " << c.depth << " " << c.rakeDegrees;
    }
    // Rankine's wall: a smooth upright blade in sand fails at 45 - phi/2.
    const NFactors n = nFactors(90 * kDeg, 30 * kDeg, 30 * kDeg, 0.0);
    EXPECT_NEAR(n.weight, 1.5, 1e-9);
    EXPECT_NEAR(n.cohesion, 3.4641016, 1e-6);
    EXPECT_FALSE(nFactors(80 * kDeg, 70 * kDeg, 30 * kDeg, 0.0).physical) << "the wedge's angles reach pi";
    const CutForce none = cuttingForce(soils.at("clay"), {0.84, 0.0, 45 * kDeg, 1.0, 0.0});
    EXPECT_EQ(none.horizontal, 0.0) << "no depth, no force";
    const CutForce nan = cuttingForce(soils.at("clay"), {0.84, 0.3, std::nan(""), 1.0, 0.0});
    EXPECT_EQ(nan.horizontal, 0.0) << "no motion, no force";
}

// The rated forces at the cutting edge: relief pressure on the piston (both
// curling and crowding extend their cylinders) times the lever the
// controller's own rate formulas give, over the edge's radius.
TEST(SoilCutting, RatedForcesFollowTheCylindersThroughTheLinkage)
{
    const ArmPivots pivots{{0, 1.193, 0}, {0.219, 1.95, -0.05}, {6.365, 1.268, -0.05}, {3.938, 0.42, -0.05}};
    const Vector3 edge(4.391, 1.857, 0.0);
    const double bucketRadius = std::hypot(edge.x - 3.938, edge.y - 0.42);
    auto piston = [](const Cylinder& c) { return c.count * 3.141592653589793 * c.bore * c.bore / 4.0; };
    struct Case {
        bool arm;
        double armDegrees, bucketDegrees;
    } const cases[] = {{false, 0, 0}, {false, 0, 60}, {false, 0, 106.2}, {true, 30, 126.8}, {true, 73.2, 126.8},
                       {true, 110, 126.8}, {true, 73.2, 40}};
    for (const Case& c : cases) {
        double expected = 0.0, force = 0.0;
        if (c.arm) {
            const double lever = std::fabs(0.1 / bendingArmRateFor(c.armDegrees * kDeg, 0.1));
            const Vector3 tip = rotateAboutZ(edge - pivots.groundPlate, c.bucketDegrees * kDeg) + pivots.groundPlate;
            expected = 35e6 * piston(hydraulics::arm) * lever / length(tip - pivots.bendingArm);
            force = armCrowdForce(pivots, c.armDegrees * kDeg, c.bucketDegrees * kDeg, 35e6);
        } else {
            const double angle = c.bucketDegrees * kDeg + linkageAngleCorrection;
            const double lever = std::fabs(0.1 / groundPlateRateFor(angle, 0.1));
            expected = 35e6 * piston(hydraulics::bucket) * lever / bucketRadius;
            force = bucketDiggingForce(pivots, c.bucketDegrees * kDeg, 35e6);
        }
        EXPECT_NEAR(force, expected, 1e-3 * expected) << c.arm << " " << c.armDegrees << " " << c.bucketDegrees;
    }
    // A 20-25 t crawler's published range.
    const RatedForces rated = ratedDiggingForces(pivots, hydraulics::reliefPressure);
    EXPECT_GT(rated.bucket, 120e3);
    EXPECT_LT(rated.bucket, 160e3);
    EXPECT_GT(rated.arm, 90e3);
    EXPECT_LT(rated.arm, 120e3);
}

// Joint rates follow the command while the load allows, fall as the pressure
// nears the relief and stop past it; a load that pulls the joint along never
// stalls it; the valves and the pump share the flow.
TEST(SoilCutting, HydraulicsFollowSlowAndStall)
{
    const Cylinder c = hydraulics::bucket;  // a falling angle extends it (lever < 0)
    const double relief = hydraulics::reliefPressure * pistonArea(c);
    struct Case {
        double rate, loadTorque;  // rad/s; N·m on the joint, the lever 1 m/rad
        double share;             // of the commanded rate given
        bool stalled;
    } const cases[] = {
        {-0.05, 0.0, 1.0, false},                    // no load
        {-0.05, 0.5 * relief, 1.0, false},           // pushing at half the relief
        {-0.05, 0.95 * relief, 0.5, false},          // halfway through the relief's opening
        {-0.05, 1.01 * relief, 0.0, true},           // past it
        {0.05, 1.5 * relief, 1.0, false},            // the load pulls it along
        {-1.0, 0.0, hydraulics::pumpFlow / 2.0 / pistonArea(c), false},  // the valve's flow
    };
    for (const Case& k : cases) {
        const HydraulicSupply s = supplyFunctions({}, {}, {k.rate, -1.0, k.loadTorque, c});
        EXPECT_NEAR(s.bucket.rate, k.rate * k.share, 1e-9) << k.loadTorque;
        EXPECT_EQ(s.bucket.stalled, k.stalled) << k.loadTorque;
        EXPECT_NEAR(s.load, std::fabs(k.loadTorque) / relief, 1e-9);
    }
    // Boom and arm at full flow share the pumps; at high pressure the engine's power sets the pace.
    const FunctionDemand boom{1.0, 1.0, 0.0, hydraulics::boom}, arm{1.0, 1.0, 0.0, hydraulics::arm};
    const HydraulicSupply both = supplyFunctions(boom, arm, {});
    EXPECT_NEAR(both.boom.rate * pistonArea(hydraulics::boom) + both.arm.rate * pistonArea(hydraulics::arm),
                hydraulics::pumpFlow, 1e-12);
    const FunctionDemand loaded{1.0, 1.0, -0.8 * hydraulics::reliefPressure * pistonArea(hydraulics::arm),
                                hydraulics::arm};
    const HydraulicSupply hard = supplyFunctions({}, loaded, {});
    EXPECT_NEAR(hard.arm.rate * pistonArea(hydraulics::arm) * 0.8 * hydraulics::reliefPressure,
                hydraulics::pumpEfficiency * hydraulics::enginePower, 1e-6);
    // An unloaded bucket fed beside it takes its flow at the arm's pressure too.
    const FunctionDemand light{-0.2, -1.0, 0.0, hydraulics::bucket};
    const HydraulicSupply shared = supplyFunctions({}, loaded, light);
    EXPECT_NEAR((shared.arm.rate * pistonArea(hydraulics::arm) - shared.bucket.rate * pistonArea(hydraulics::bucket)) *
                    0.8 * hydraulics::reliefPressure,
                hydraulics::pumpEfficiency * hydraulics::enginePower, 1e-6);

    // The motors at their reliefs give the class's swing torque and drawbar
    // pull; their flow counts in the pump's share, their pressure in its power.
    EXPECT_GT(motorLimit(hydraulics::slew), 65e3);
    EXPECT_LT(motorLimit(hydraulics::slew), 75e3);
    EXPECT_GT(2.0 * motorLimit(hydraulics::track), 180e3);
    EXPECT_LT(2.0 * motorLimit(hydraulics::track), 210e3);
    MotorDemands travel;
    travel.left = travel.right = {1.0, 0.0, 0.0, hydraulics::track};
    const HydraulicSupply t = supplyFunctions(boom, {}, {}, travel);
    EXPECT_NEAR(t.boom.rate * pistonArea(hydraulics::boom) + 2.0 * t.left.share * hydraulics::track.flow,
                hydraulics::pumpFlow, 1e-12);
    MotorDemands swing;
    swing.slew = {1.0, motorLimit(hydraulics::slew), 0.0, hydraulics::slew};
    const HydraulicSupply w = supplyFunctions(boom, {}, {}, swing);
    EXPECT_NEAR((w.boom.rate * pistonArea(hydraulics::boom) + w.slew.share * hydraulics::slew.flow) *
                    hydraulics::swingRelief,
                hydraulics::pumpEfficiency * hydraulics::enginePower, 1e-6);
    EXPECT_DOUBLE_EQ(w.load, 1.0);
    EXPECT_FALSE(w.slew.stalled);
    swing.slew.hold = 1.01 * motorLimit(hydraulics::slew);
    EXPECT_TRUE(supplyFunctions({}, {}, {}, swing).slew.stalled);
}

// A damaged soils file names itself and the fault; the generated one reads.
TEST(SoilCutting, SoilsFileFaultsAreNamed)
{
    const std::string dir = testfiles::scratchDir("soils"), path = dir + "soils.json";
    const std::string state = R"({"density": 1600, "cohesion_kpa": 0, "friction_deg": 30, "tool_friction_deg": 20,
                                  "adhesion_kpa": 0})";
    const struct {
        std::string text, fault;
    } cases[] = {
        {"{", "not a soils file"},
        {R"({"default": "sand", "soils": []})", "field 'soils': missing or empty"},
        {R"({"default": "mud", "soils": [{"name": "sand", "bank": )" + state + R"(, "loose": )" + state + "}]}",
         "field 'default': no soil named 'mud'"},
        {R"({"default": "sand", "soils": [{"name": "sand", "bank": {"density": -3}, "loose": {}}]})",
         "field 'soils[0].bank.density': must be from 500 to 3000"},
        {std::string(70 * 1024, ' '), "larger than 64 KiB"},
    };
    for (const auto& c : cases) {
        testfiles::writeText(path, c.text);
        const std::string text = testfiles::fatalText([&] { readSoilTable(path); });
        EXPECT_EQ(text.rfind("[Soils] " + path + ": ", 0), 0u) << text;
        EXPECT_NE(text.find(c.fault), std::string::npos) << text;
    }
    EXPECT_NE(testfiles::fatalText([&] { readSoilTable(dir + "none.json"); }).find("cannot be read"),
              std::string::npos);
    const SoilTable table = readSoilTable("data/soils.json");
    ASSERT_NE(findSoil(table, table.defaultName), nullptr);
    EXPECT_EQ(table.defaultName, "common-earth");
    EXPECT_NEAR(findSoil(table, "stiff-clay")->bank.cohesion, 60e3, 1e-9);
}
