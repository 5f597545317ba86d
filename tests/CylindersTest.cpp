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

TEST(Cylinders, ZeroAnglesComeCloseToTheModelledRestPose)
{
    CylinderState s;
    updateCylinders(s, 0.0, 0.0, 0.0);
    EXPECT_NEAR(s.monoblockServoAngle, -55.137, 0.001);
    EXPECT_NEAR(s.bendingArmServoAngle, -114.108, 0.001);
    EXPECT_NEAR(s.groundPlateServoAngle, -79.964, 0.001);
    EXPECT_NEAR(s.bendingArmBracketAngle, -49.165, 0.001);
    EXPECT_NEAR(s.groundPlateBracketAngle, 49.951, 0.001);
    EXPECT_NEAR(s.monoblockServoExtension, 0.0, 0.01);
    EXPECT_NEAR(s.bendingArmServoExtension, 0.0, 0.01);
    EXPECT_NEAR(s.groundPlateServoExtension, 0.0, 0.01);
    // Corrected, the linkage lands on the angles the pieces are modelled at.
    updateLinkage(s, linkageAngleCorrection);
    const CylinderState rest = restCylinderState();
    EXPECT_NEAR(s.groundPlateServoAngle, rest.groundPlateServoAngle, 0.05);
    EXPECT_NEAR(s.bendingArmBracketAngle, rest.bendingArmBracketAngle, 0.1);
    EXPECT_NEAR(s.groundPlateBracketAngle, rest.groundPlateBracketAngle, 0.05);
}

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

TEST(Cylinders, LengthsChangeMonotonicallyAndStayFinite)
{
    struct Sweep {
        const char* joint;
        double from, to;
    } sweeps[] = {{"monoblock", -32.0, 65.0}, {"bending arm", 0.0, 120.0}, {"ground plate", -15.0, 140.0}};
    for (const Sweep& sweep : sweeps) {
        double previous = 0.0;
        int direction = 0;
        for (double deg = sweep.from; deg <= sweep.to + 1e-9; deg += 0.25) {
            CylinderState s;
            const double m = sweep.joint[0] == 'm' ? deg * degree : 0.0;
            const double a = sweep.joint[0] == 'b' ? deg * degree : 0.0;
            const double p = sweep.joint[0] == 'g' ? deg * degree : 0.0;
            updateCylinders(s, m, a, p);
            updateLinkage(s, p + linkageAngleCorrection);
            for (double v : {s.monoblockServoExtension, s.monoblockServoAngle, s.bendingArmServoExtension,
                             s.bendingArmServoAngle, s.groundPlateServoExtension, s.groundPlateServoAngle,
                             s.bendingArmBracketAngle, s.groundPlateBracketAngle})
                ASSERT_TRUE(std::isfinite(v)) << sweep.joint << " " << deg;
            double len = sweep.joint[0] == 'm'   ? boomRest + s.monoblockServoExtension
                         : sweep.joint[0] == 'b' ? armRest + s.bendingArmServoExtension
                                                 : bucketRest - s.groundPlateServoExtension;
            ASSERT_GT(len, 1.0) << sweep.joint << " " << deg;
            if (deg > sweep.from) {
                const int step = len > previous ? 1 : (len < previous ? -1 : 0);
                ASSERT_NE(step, 0) << sweep.joint << " " << deg;
                if (direction == 0)
                    direction = step;
                ASSERT_EQ(step, direction) << sweep.joint << " " << deg;
            }
            previous = len;
        }
    }
    // Raising the boom pushes its rod out, lowering it pulls the rod in.
    CylinderState up, down;
    updateCylinders(up, 65.0 * degree, 0.0, 0.0);
    updateCylinders(down, -32.0 * degree, 0.0, 0.0);
    EXPECT_GT(up.monoblockServoExtension, 0.5);
    EXPECT_LT(down.monoblockServoExtension, -0.3);
}
