#include <gtest/gtest.h>

#include <cmath>

#include "excavator/TrackBelt.h"

namespace {
constexpr double pi = 3.141592653589793;
// The belt frame lies 0.023154 below the track pivot and the drawing
// mirrors x; wheel centres of the model in that frame.
constexpr double frameDrop = 0.023154;
constexpr double wheelX = 1.85, wheelY = 0.392 + frameDrop;
constexpr double wrap = 0.37114520558399994;
}  // namespace

TEST(TrackBelt, LoopIsClosedAndSmooth)
{
    const BeltPlace start = beltPlace(0.0);
    EXPECT_NEAR(-start.x, 0.6737024659431999, 1e-12);
    EXPECT_NEAR(start.y, 0.9820175345232, 1e-12);
    EXPECT_EQ(start.angle, 0.0);
    const BeltPlace end = beltPlace(std::nextafter(beltLength, 0.0));
    EXPECT_LT(std::hypot(end.x - start.x, end.y - start.y), 0.001);

    // No gaps along the loop (a few millimetres where the wraps meet the runs)
    // and each element lies along the path, facing out.
    const double ds = 0.001;
    for (double s = 0.0; s + ds < beltLength; s += ds) {
        const BeltPlace a = beltPlace(s), b = beltPlace(s + ds);
        const double step = std::hypot(b.x - a.x, b.y - a.y);
        ASSERT_LT(step, ds + 0.007) << s;
        if (step > 0.5 * ds && step < 1.5 * ds) {
            // Drawn at (-x, y): the element's x axis points against the motion.
            const double tx = -(b.x - a.x) / step, ty = (b.y - a.y) / step;
            const double ex = std::cos(a.angle * pi / 180.0), ey = std::sin(a.angle * pi / 180.0);
            ASSERT_LT(ex * tx + ey * ty, -0.99) << s;
        }
    }
}

TEST(TrackBelt, BeltWrapsTheWheelsAndRunsOnTheGround)
{
    int onFront = 0, onRear = 0;
    for (double s = 0.0; s < beltLength; s += 0.01) {
        const BeltPlace p = beltPlace(s);
        const double drawnX = -p.x;
        if (p.angle == 180.0) {
            // Bottom run: the shoes' ground faces (0.025671 below their centres) on the track bottom.
            EXPECT_NEAR(p.y - frameDrop - 0.025671, 0.0, 1e-4) << s;
            EXPECT_LT(std::fabs(drawnX), wheelX + 0.01) << s;
        }
        if (std::fabs(drawnX) > wheelX + 0.005 && p.y < wheelY + 0.3) {
            const double cx = drawnX > 0 ? wheelX : -wheelX;
            (drawnX > 0 ? onFront : onRear)++;
            EXPECT_NEAR(std::hypot(drawnX - cx, p.y - wheelY), wrap, 0.002) << s;
        }
    }
    EXPECT_GT(onFront, 20);
    EXPECT_GT(onRear, 20);
}
