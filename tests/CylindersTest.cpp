#include <gtest/gtest.h>

#include <cmath>

#include "excavator/Cylinders.h"
#include "math/Vector3.h"

namespace {

constexpr double degree = 3.141592653589793 / 180.0;

// Fixed points of the model's arm plane (z = -0.05 dropped): joints 4, 5, 6.
const Vector3 p4(0.219, 1.95, 0), p5(6.365, 1.268, 0), p6(3.938, 0.42, 0);

Vector3 turned(const Vector3& about, const Vector3& p, double angle) { return about + rotateAboutZ(p - about, angle); }

// Where the drawing puts the far end of a piece turned upright at load:
// pivot + (0, reach) turned by the drawn angle (degrees).
Vector3 drawnEnd(const Vector3& pivot, double reach, double angleDegrees)
{
    return pivot + rotateAboutZ(Vector3(0.0, reach, 0.0), angleDegrees * degree);
}

}  // namespace

// Over each joint's whole range the boom cylinder's rod ends on its eye on the
// boom (2.74881 from p4, 0.380819 rad above p4-p5) and the arm cylinder's on
// its eye on the arm (given to the millimetre; only the arm angle matters).
TEST(Cylinders, BoomAndArmRodsStayOnTheirEyesOverTheWholeRange)
{
    const double up = std::atan2(p5.y - p4.y, p5.x - p4.x) + 0.380819;
    const Vector3 boomEye = p4 + Vector3(std::cos(up), std::sin(up), 0.0) * 2.74881, armEye(7.347, 1.317, 0);
    for (double deg = -32.0; deg <= 120.0; deg += 0.5) {
        CylinderState s;
        if (deg <= 65.0) {
            updateCylinders(s, deg * degree, 1.0 * degree, 0.0);
            const Vector3 end = drawnEnd({0.956, 1.352, 0}, 2.33023 + s.monoblockServoExtension, s.monoblockServoAngle);
            EXPECT_LT(length(end - turned(p4, boomEye, deg * degree)), 1e-4) << deg;
        }
        if (deg >= 0.0) {
            updateCylinders(s, 0.3, deg * degree, 0.0);
            const Vector3 end = drawnEnd({3.738, 2.932, 0}, 3.95387 + s.bendingArmServoExtension, s.bendingArmServoAngle);
            EXPECT_LT(length(end - turned(p5, armEye, deg * degree)), 2e-3) << deg;
        }
    }
}

// The bucket linkage closes on one joint: the cylinder's rod eye, the arm
// bracket's and the plate bracket's far ends meet, the brackets keeping
// their lengths about their pivots.
TEST(Cylinders, CorrectedLinkageClosesOnOneJoint)
{
    const Vector3 armBracketPivot(4.304, 0.471, 0), plateBracketPivot(3.474, 0.461, 0);
    for (double deg = -15.0; deg <= 140.0; deg += 0.5) {
        const double plate = deg * degree;
        CylinderState s;
        updateLinkage(s, plate + linkageAngleCorrection);
        const Vector3 rodEye = drawnEnd({6.312, 0.536, 0}, -2.46003 + s.groundPlateServoExtension, s.groundPlateServoAngle);
        const Vector3 armEnd = drawnEnd(armBracketPivot, -0.558456, s.bendingArmBracketAngle);
        const Vector3 plateEnd = turned(p6, drawnEnd(plateBracketPivot, -0.556249, s.groundPlateBracketAngle), plate);
        EXPECT_LT(length(rodEye - armEnd), 1e-4) << deg;
        EXPECT_LT(length(plateEnd - armEnd), 1e-4) << deg;
        EXPECT_NEAR(length(armEnd - armBracketPivot), 0.558456, 1e-9);
        EXPECT_NEAR(length(plateEnd - turned(p6, plateBracketPivot, plate)), 0.556249, 1e-9);
    }
}
