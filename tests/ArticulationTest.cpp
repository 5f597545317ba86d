#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "excavator/Articulation.h"
#include "math/Quaternion.h"
#include "ExcavatorSums.h"

namespace {

constexpr double degree = 3.141592653589793 / 180.0;

using excavatorsums::about;
using excavatorsums::chained;
using excavatorsums::modelPivots;

const ArmPivots pivots{modelPivots[3], modelPivots[4], modelPivots[5], modelPivots[6]};

void expectNear(const Vector3& a, const Vector3& b, double tol)
{
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

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

TEST(Articulation, ReachMatchesTheDesignSheet)
{
    // Bucket pivot and tip for the arm's corner poses, from the machine's design sheet.
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

TEST(Articulation, JointVelocityIsTheRateOfChangeOfTheChain)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> angle(-1.5, 1.5), rate(-0.8, 0.8), coord(-1.0, 1.0);
    const double h = 1e-5;
    for (int n = 0; n < 20; ++n) {
        const JointAngles a{angle(rng), angle(rng), angle(rng), angle(rng)};
        const JointAngles r{rate(rng), rate(rng), rate(rng), rate(rng)};
        const JointAngles ahead{a.slew + h * r.slew, a.monoblock + h * r.monoblock, a.bendingArm + h * r.bendingArm,
                                a.groundPlate + h * r.groundPlate};
        const JointAngles behind{a.slew - h * r.slew, a.monoblock - h * r.monoblock,
                                 a.bendingArm - h * r.bendingArm, a.groundPlate - h * r.groundPlate};
        const Vector3 v(coord(rng), coord(rng), coord(rng));
        for (int part = 0; part < 7; ++part) {
            const Vector3 difference = (at(part, v, ahead) - at(part, v, behind)) / (2 * h);
            const Vector3 u = jointVelocity(part, at(part, v, a), pivots, a, r);
            expectNear(u, difference, 1e-7);
            if (part < 3) {
                EXPECT_EQ(u, Vector3()) << part;
            }
        }
    }
}

using excavatorsums::expectedSums;
using excavatorsums::Sums;

TEST(Articulation, MassPropertiesFollowThePose)
{
    Mesh parts[7];
    const double masses[7] = {3150, 3150, 1630, 11850, 1760, 1210, 790};
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> coord(-1.0, 1.0), extent(0.2, 3.0), angle(-2.0, 2.0);
    for (int i = 0; i < 7; ++i) {
        parts[i].referencePoint = modelPivots[i];
        parts[i].centreOfMass = modelPivots[i] + Vector3(coord(rng), coord(rng), coord(rng));
        parts[i].mass = masses[i];
        const double dx = extent(rng), dy = extent(rng), dz = extent(rng);
        parts[i].inertia = Matrix3::diagonal((dy * dy + dz * dz) / 12, (dx * dx + dz * dz) / 12, (dx * dx + dy * dy) / 12);
    }
    for (int n = 0; n < 12; ++n) {
        JointAngles a;
        if (n > 0) {
            // Each joint alone, then mixed poses.
            double* joint[4] = {&a.slew, &a.monoblock, &a.bendingArm, &a.groundPlate};
            if (n <= 4)
                *joint[n - 1] = angle(rng);
            else
                a = {angle(rng), angle(rng), angle(rng), angle(rng)};
        }
        parts[3].angle = a.slew;
        parts[4].angle = a.monoblock;
        parts[5].angle = a.bendingArm;
        parts[6].angle = a.groundPlate;
        const MassProperties got = composeMassProperties(parts);
        const Sums want = expectedSums(parts, a);
        EXPECT_NEAR(got.mass, 23540.0, 1e-9);
        expectNear(got.centreOfMass, want.centre, 1e-9);
        for (int e = 0; e < 9; ++e)
            EXPECT_NEAR(got.inertia.m[e], want.inertia.m[e], 1e-9 * std::fabs(want.inertia.m[e]) + 1e-9) << n << " " << e;
        EXPECT_NEAR(got.slewInertia, want.slewInertia, 1e-9 * want.slewInertia);
        for (int i = 0; i < 7; ++i)
            expectNear(parts[i].bodyCentreOfMass, chained(i, parts[i].centreOfMass, a), 1e-12);
    }
}

TEST(Articulation, ReachingOutMovesTheCentreForwardAndRaisesSlewInertia)
{
    Mesh parts[7];
    const double masses[7] = {3150, 3150, 1630, 11850, 1760, 1210, 790};
    for (int i = 0; i < 7; ++i) {
        parts[i].referencePoint = modelPivots[i];
        parts[i].mass = masses[i];
        parts[i].inertia = Matrix3::diagonal(0.1, 0.1, 0.1);
    }
    // Centres of the outlines as designed.
    const Vector3 centres[7] = {{0.002, 0.454, 1.213}, {0.002, 0.454, -1.213}, {0, 0.822, 0}, {-1.65, 1.647, 0.177},
                                {3.325, 2.004, -0.05}, {5.754, 0.804, -0.05}, {3.962, 1.031, 0.05}};
    for (int i = 0; i < 7; ++i)
        parts[i].centreOfMass = centres[i];
    const MassProperties folded = composeMassProperties(parts);
    parts[4].angle = 20 * degree;
    parts[5].angle = 110 * degree;
    const MassProperties reaching = composeMassProperties(parts);
    EXPECT_GT(reaching.centreOfMass.x, folded.centreOfMass.x + 0.1);
    EXPECT_GT(reaching.centreOfMass.y, folded.centreOfMass.y + 0.1);
    EXPECT_GT(reaching.slewInertia, 1.3 * folded.slewInertia);
    // Slewing turns the arm about the bodywork's centre: slewInertia stays.
    parts[3].angle = 1.0;
    EXPECT_NEAR(composeMassProperties(parts).slewInertia, reaching.slewInertia, 1e-9 * reaching.slewInertia);
}
