#include "excavator/Cylinders.h"

#include <cmath>

namespace {
constexpr double pi = 3.141592653589793;
constexpr double degrees = 180.0 / pi;

// The linkage's fixed lengths and angles, in the law-of-cosines forms both
// the drawing and the rate conversions use: for a cylinder between pivots
// at distances r1 and r2 from its joint, length² = r1² + r2² - 2 r1 r2 cos t.
constexpr double kBoomSquares = 8.4567282442, kBoomCross = 5.2177361658;  // r1² + r2², 2 r1 r2
constexpr double kArmSquares = 10.636773010184, kArmCross = 6.11499191348;
constexpr double kRockerSquares = 0.35353394815999994, kRockerCross = 0.34426565017599997;
constexpr double kPlateSquares = 4.348155006435999, kPlateCross = 2.2439320535999996;
constexpr double kBracketSquares = 0.621286053937, kBracketCross = 0.621281183088;

// The boom cylinder's triangle angle and length at a monoblock angle.
struct Stroke {
    double angle, length;
};

Stroke boomStroke(double monoblock)
{
    const double t = monoblock - 0.110514 + 0.681652 + 0.380819;
    return {t, std::sqrt(kBoomSquares - kBoomCross * std::cos(t))};
}

Stroke armStroke(double bendingArm)
{
    const double t = -0.16784 - (bendingArm - 2.69494);
    return {t, std::sqrt(kArmSquares - kArmCross * std::cos(t))};
}

// The bucket's four-bar at a ground plate angle: the bending arm bracket,
// the ground plate bracket, the bucket and the arm, the cylinder pushing on
// the joint of the two brackets.
struct FourBar {
    double a, b;   // the plate angle from its rest, and the bracket's
    double d, e;   // the rocker's diagonal and the angle it opens
    double g;      // the bending arm bracket's angle
    double h, k;   // the cylinder's triangle angle and length
};

FourBar fourBar(double groundPlate)
{
    FourBar f;
    f.a = groundPlate - 2.21232;
    f.b = f.a + 1.78804;
    f.d = std::sqrt(kRockerSquares - kRockerCross * std::cos(f.b - 3.00197));
    f.e = std::acos((kBracketSquares - f.d * f.d) / kBracketCross);
    f.g = std::asin(std::sin(f.a - 1.21393) * 0.369536 / f.d) + 1.78804 + f.a;
    f.g += std::asin(std::sin(f.e) * 0.556249 / f.d);
    f.h = 2.895876 - f.g;
    f.k = std::sqrt(kPlateSquares - kPlateCross * std::cos(f.h));
    return f;
}

// numerator / denominator, or 0 where the linkage folds flat (a vanishing
// denominator would ask for an unbounded rate) or has no solution (NaN).
double rateOrZero(double numerator, double denominator)
{
    if (!(std::fabs(denominator) > 1e-9))
        return 0.0;
    const double rate = numerator / denominator;
    return std::isfinite(rate) ? rate : 0.0;
}
}  // namespace

CylinderState restCylinderState() { return CylinderState(); }

void updateCylinders(CylinderState& state, double monoblock, double bendingArm, double groundPlate)
{
    updateServos(state, monoblock, bendingArm);
    updateLinkage(state, groundPlate);
}

void updateServos(CylinderState& state, double monoblock, double bendingArm)
{
    // Boom cylinder: bodywork pivot to a rod eye on the monoblock.
    {
        const double length = boomStroke(monoblock).length;
        state.monoblockServoExtension = length - 2.33023;
        state.monoblockServoAngle =
            90.0 - (std::acos((length * length + 0.9007718281 - 7.555956416100001) / (2.0 * length * 0.94909)) +
                    0.681652) *
                       degrees;
    }
    // Arm cylinder: monoblock pivot to the tail of the bending arm.
    {
        const double length = armStroke(bendingArm).length;
        state.bendingArmServoExtension = length - 3.95387;
        state.bendingArmServoAngle =
            (std::acos((length * length + 9.6700475089 - 0.966725501284) / (length * 6.21934)) - 2.13543) * degrees;
    }
}

void updateLinkage(CylinderState& state, double groundPlate)
{
    const FourBar f = fourBar(groundPlate);
    state.groundPlateServoAngle =
        std::acos((f.k * f.k + 4.036281902499999 - 0.31187310393599993) / (f.k * 4.0181)) * degrees - 88.146;
    state.groundPlateServoExtension = 2.46003 - f.k;
    state.bendingArmBracketAngle = 97.9328 - (3.00197 - f.g) * degrees;
    state.groundPlateBracketAngle = 84.95034 - ((pi - f.e) - f.g + f.a + 1.78804) * degrees;
}

double monoblockRateFor(double angle, double u)
{
    const Stroke s = boomStroke(angle);
    return rateOrZero(s.length * u, std::sin(s.angle) * (kBoomCross / 2));
}

double bendingArmRateFor(double angle, double u)
{
    const Stroke s = armStroke(angle);
    return rateOrZero(s.length * u, std::sin(s.angle) * (kArmCross / 2));
}

double groundPlateRateFor(double angle, double u)
{
    // Through the bucket linkage: the rocker's cylinder end, then the link.
    const FourBar f = fourBar(angle);
    return rateOrZero(f.k * std::sin(f.e) * u, std::sin(f.b - f.e - f.g) * 0.465808 * 2.00905 * std::sin(f.h));
}
