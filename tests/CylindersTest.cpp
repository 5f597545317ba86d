#include <gtest/gtest.h>

#include <cmath>

#include "excavator/Cylinders.h"
#include "math/Vector3.h"

namespace {

constexpr double degree = 3.141592653589793 / 180.0;

// Fixed points of the model (arm plane), and the rod eyes at zero angles.
const Vector3 p4(0.219, 1.95, -0.05), p5(6.365, 1.268, -0.05), p6(3.938, 0.42, -0.05);
const Vector3 boomCylinderPivot(0.956, 1.352, -0.05);   // on the bodywork
const Vector3 armCylinderPivot(3.738, 2.932, -0.05);    // on the monoblock
const Vector3 bucketCylinderPivot(6.312, 0.536, -0.05); // on the bending arm
const Vector3 armBracketPivot(4.304, 0.471, -0.05);     // on the bending arm
const Vector3 plateBracketPivot(3.474, 0.461, -0.05);   // on the ground plate
const Vector3 armRodEye(7.347, 1.317, -0.05);           // on the bending arm
// The boom rod eye sits 2.74881 from p4, 0.380819 rad above the line p4-p5.
Vector3 boomRodEye()
{
    const double a = std::atan2(p5.y - p4.y, p5.x - p4.x) + 0.380819;
    return p4 + Vector3(std::cos(a), std::sin(a), 0.0) * 2.74881;
}
constexpr double boomRest = 2.33023, armRest = 3.95387, bucketRest = 2.46003;
constexpr double armBracket = 0.558456, plateBracket = 0.556249;

Vector3 turned(const Vector3& about, const Vector3& p, double angle) { return about + rotateAboutZ(p - about, angle); }

// Where the drawing puts the far end of a piece turned upright at load:
// pivot + (0, reach) turned by the drawn angle (degrees).
Vector3 drawnEnd(const Vector3& pivot, double reach, double angleDegrees)
{
    return pivot + rotateAboutZ(Vector3(0.0, reach, 0.0), angleDegrees * degree);
}

}  // namespace

TEST(Cylinders, BoomAndArmRodsStayOnTheirEyesOverTheWholeRange)
{
    const Vector3 boomEye = boomRodEye();
    double worst = 0.0;
    for (double deg = -32.0; deg <= 65.0; deg += 0.5) {
        CylinderState s;
        updateCylinders(s, deg * degree, 1.0 * degree, 0.0);
        const Vector3 end = drawnEnd(boomCylinderPivot, boomRest + s.monoblockServoExtension, s.monoblockServoAngle);
        worst = std::fmax(worst, length(end - turned(p4, boomEye, deg * degree)));
    }
    EXPECT_LT(worst, 1e-4);
    worst = 0.0;
    // The arm cylinder lives in the monoblock's frame, so only the arm angle matters.
    for (double deg = 0.0; deg <= 120.0; deg += 0.5) {
        CylinderState s;
        updateCylinders(s, 0.3, deg * degree, 0.0);
        const Vector3 end = drawnEnd(armCylinderPivot, armRest + s.bendingArmServoExtension, s.bendingArmServoAngle);
        worst = std::fmax(worst, length(end - turned(p5, armRodEye, deg * degree)));
    }
    EXPECT_LT(worst, 2e-3);  // the eye is given to the millimetre
}

TEST(Cylinders, CorrectedLinkageClosesOnOneJoint)
{
    for (double deg = -15.0; deg <= 140.0; deg += 0.5) {
        const double plate = deg * degree;
        CylinderState s;
        updateLinkage(s, plate + linkageAngleCorrection);
        // The rod comes from the cylinder pivot towards the bracket joint.
        const Vector3 rodEye = drawnEnd(bucketCylinderPivot, -bucketRest + s.groundPlateServoExtension,
                                        s.groundPlateServoAngle);
        const Vector3 armEnd = drawnEnd(armBracketPivot, -armBracket, s.bendingArmBracketAngle);
        const Vector3 plateEnd =
            turned(p6, drawnEnd(plateBracketPivot, -plateBracket, s.groundPlateBracketAngle), plate);
        EXPECT_LT(length(rodEye - armEnd), 1e-4) << deg;
        EXPECT_LT(length(plateEnd - armEnd), 1e-4) << deg;
        // The brackets keep their lengths to the pivots they turn about.
        EXPECT_NEAR(length(armEnd - armBracketPivot), armBracket, 1e-9);
        EXPECT_NEAR(length(plateEnd - turned(p6, plateBracketPivot, plate)), plateBracket, 1e-9);
        if (deg == 0.0) {
            EXPECT_LT(length(armEnd - Vector3(3.892, 0.094, -0.05)), 1e-3);
        }
    }
}
