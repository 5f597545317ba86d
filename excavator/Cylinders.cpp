#include "excavator/Cylinders.h"

#include <cmath>

namespace {
constexpr double pi = 3.141592653589793;
constexpr double degrees = 180.0 / pi;
}  // namespace

CylinderState restCylinderState() { return CylinderState(); }

void updateCylinders(CylinderState& state, double monoblock, double bendingArm, double groundPlate)
{
    updateServos(state, monoblock, bendingArm);
    updateLinkage(state, groundPlate);
}

void updateServos(CylinderState& state, double monoblock, double bendingArm)
{
    // Boom cylinder: bodywork pivot to a rod eye on the monoblock; law of
    // cosines in the triangle of the two pivots and the monoblock joint.
    {
        const double beta = monoblock - 0.110514 + 0.681652 + 0.380819;
        const double length = std::sqrt(8.4567282442 - 5.2177361658 * std::cos(beta));
        state.monoblockServoExtension = length - 2.33023;
        state.monoblockServoAngle =
            90.0 - (std::acos((length * length + 0.9007718281 - 7.555956416100001) / (2.0 * length * 0.94909)) +
                    0.681652) *
                       degrees;
    }
    // Arm cylinder: monoblock pivot to the tail of the bending arm.
    {
        const double beta = -0.16784 - (bendingArm - 2.69494);
        const double length = std::sqrt(10.636773010184 - 6.11499191348 * std::cos(beta));
        state.bendingArmServoExtension = length - 3.95387;
        state.bendingArmServoAngle =
            (std::acos((length * length + 9.6700475089 - 0.966725501284) / (length * 6.21934)) - 2.13543) * degrees;
    }
}

void updateLinkage(CylinderState& state, double groundPlate)
{
    // Four-bar: bending arm bracket, ground plate bracket, bucket and arm,
    // with the cylinder pushing on the joint of the two brackets.
    const double a = groundPlate - 2.21232;
    const double b = a + 1.78804;
    const double d = std::sqrt(0.35353394815999994 - 0.34426565017599997 * std::cos(b - 3.00197));
    const double e = std::acos((0.621286053937 - d * d) / 0.621281183088);
    double g = std::asin(std::sin(a - 1.21393) * 0.369536 / d) + 1.78804 + a;
    g += std::asin(std::sin(e) * 0.556249 / d);
    const double h = 2.895876 - g;
    const double k = std::sqrt(4.348155006435999 - 2.2439320535999996 * std::cos(h));
    state.groundPlateServoAngle =
        std::acos((k * k + 4.036281902499999 - 0.31187310393599993) / (k * 4.0181)) * degrees - 88.146;
    state.groundPlateServoExtension = 2.46003 - k;
    state.bendingArmBracketAngle = 97.9328 - (3.00197 - g) * degrees;
    state.groundPlateBracketAngle = 84.95034 - ((pi - e) - g + a + 1.78804) * degrees;
}
