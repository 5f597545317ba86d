#include <gtest/gtest.h>

#include <random>

#include "ExcavatorSums.h"
#include "TestShapes.h"
#include "excavator/Articulation.h"

namespace {

using excavatorsums::modelPivots;

const ArmPivots pivots{modelPivots[3], modelPivots[4], modelPivots[5], modelPivots[6]};

}  // namespace

// In any pose each part's points turn about the joint axes that carry it, and
// its directions turn with them.
TEST(Articulation, PartsGoWhereTheChainCarriesThem)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> angle(-2.0, 2.0), coord(-1.5, 1.5);
    for (int n = 0; n < 50; ++n) {
        const JointAngles a{angle(rng), angle(rng), angle(rng), angle(rng)};
        const Vector3 v(coord(rng), coord(rng), coord(rng));
        for (int part = 0; part < 7; ++part) {
            const PartTransform t(part, modelPivots[part], pivots, a);
            expectNear(t.point(v), excavatorsums::chained(part, v + modelPivots[part], a), 1e-12);
            expectNear(t.direction(v), t.point(v) - t.point(Vector3()), 1e-12);
        }
    }
}

// Bucket pivot and tip as measured on the model at the arm's corner poses,
// the bucket at -15 and at 140 degrees.
TEST(Articulation, ReachAtTheCornerPoses)
{
    const struct { double mono, arm, plate, pivotX, pivotY, tipX, tipY; } poses[] = {
        {-32, 1, -15, 2.553, -1.362, 3.901, -0.690},  {-32, 1, 140, 2.553, -1.362, 1.046, -1.402},
        {-32, 120, -15, 5.832, -4.340, 4.591, -3.487}, {-32, 120, 140, 5.832, -4.340, 6.597, -5.639},
        {65, 1, -15, 3.222, 4.670, 2.390, 5.926},      {65, 1, 140, 3.222, 4.670, 3.445, 3.180},
        {65, 120, -15, 5.778, 8.288, 5.083, 6.952},    {65, 120, 140, 5.778, 8.288, 6.974, 9.206},
    };
    const double degree = 3.141592653589793 / 180.0;
    for (const auto& p : poses) {
        SCOPED_TRACE(testing::Message() << p.mono << " " << p.arm << " " << p.plate);
        const PartTransform t(6, modelPivots[6], pivots,
                              {0.0, p.mono * degree, p.arm * degree, p.plate * degree});
        const Vector3 pivot = t.point(Vector3()), tip = t.point({0.453, 1.437, 0.05});
        expectNear({pivot.x, pivot.y, 0}, {p.pivotX, p.pivotY, 0}, 1e-3, "pivot");
        expectNear({tip.x, tip.y, 0}, {p.tipX, p.tipY, 0}, 1e-3, "tip");
    }
}
