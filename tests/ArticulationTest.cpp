#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "excavator/Articulation.h"
#include "math/Quaternion.h"
#include "ExcavatorSums.h"
#include "TestShapes.h"

namespace {

constexpr double degree = 3.141592653589793 / 180.0;

using excavatorsums::about;
using excavatorsums::chained;
using excavatorsums::modelPivots;

const ArmPivots pivots{modelPivots[3], modelPivots[4], modelPivots[5], modelPivots[6]};

Vector3 at(int part, const Vector3& v, const JointAngles& a)
{
    return PartTransform(part, modelPivots[part], pivots, a).point(v);
}

}  // namespace

TEST(Articulation, PartsGoWhereTheChainCarriesThem)
{
    const Vector3 local(0.7, -0.4, 0.3);
    // Zero angles: every part exactly where the model has it.
    for (int part = 0; part < 7; ++part) {
        const PartTransform t(part, modelPivots[part], pivots, JointAngles());
        expectNear(t.point(local), local + modelPivots[part], 1e-15);
        EXPECT_EQ(t.direction(local), local) << part;
    }
    // A quarter slew carries the upper structure (arm towards -z) and leaves the rest.
    const JointAngles quarter{3.141592653589793 / 2, 0, 0, 0};
    for (int part = 0; part < 7; ++part) {
        const Vector3 zero = local + modelPivots[part];
        const Vector3 moved = at(part, local, quarter);
        if (part < 3) {
            EXPECT_EQ(moved, zero) << part;
        } else {
            expectNear(moved, Vector3(zero.z, zero.y, -zero.x), 1e-12);
        }
    }
    expectNear(at(6, Vector3(0.453, 1.437, 0.05), quarter), Vector3(0.0, 1.857, -4.391), 1e-12);

    // Any pose: the nested formula agrees with turning about the joint axes.
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> angle(-2.0, 2.0), coord(-1.5, 1.5);
    for (int n = 0; n < 50; ++n) {
        const JointAngles a{angle(rng), angle(rng), angle(rng), angle(rng)};
        const Vector3 v(coord(rng), coord(rng), coord(rng));
        for (int part = 0; part < 7; ++part) {
            expectNear(at(part, v, a), chained(part, v + modelPivots[part], a), 1e-12);
            const PartTransform t(part, modelPivots[part], pivots, a);
            expectNear(t.direction(v), t.point(v) - t.point(Vector3()), 1e-12);
        }
    }
}

TEST(Articulation, ReachAtTheCornerPoses)
{
    // Bucket pivot and tip measured on the model at the arm's corner poses.
    struct Pose {
        double mono, arm;
        Vector3 p6, tipLow, tipHigh;  // tip with the bucket at -15 and 140 degrees
    } poses[] = {{-32, 1, {2.553, -1.362, 0}, {3.901, -0.690, 0}, {1.046, -1.402, 0}},
                 {-32, 120, {5.832, -4.340, 0}, {4.591, -3.487, 0}, {6.597, -5.639, 0}},
                 {65, 1, {3.222, 4.670, 0}, {2.390, 5.926, 0}, {3.445, 3.180, 0}},
                 {65, 120, {5.778, 8.288, 0}, {5.083, 6.952, 0}, {6.974, 9.206, 0}}};
    const Vector3 tip(0.453, 1.437, 0.05);  // pivot-relative, on the ground plate
    for (const Pose& p : poses) {
        for (int end = 0; end < 2; ++end) {
            const JointAngles a{0.0, p.mono * degree, p.arm * degree, (end ? 140.0 : -15.0) * degree};
            const Vector3 pivot = at(6, Vector3(), a), t = at(6, tip, a);
            EXPECT_NEAR(pivot.x, p.p6.x, 1e-3);
            EXPECT_NEAR(pivot.y, p.p6.y, 1e-3);
            EXPECT_NEAR(t.x, (end ? p.tipHigh : p.tipLow).x, 1e-3) << p.mono << " " << p.arm << " " << end;
            EXPECT_NEAR(t.y, (end ? p.tipHigh : p.tipLow).y, 1e-3) << p.mono << " " << p.arm << " " << end;
        }
    }
}
