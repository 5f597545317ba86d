#include <gtest/gtest.h>

#include <cmath>

#include "excavator/TrackBelt.h"

// The loop closes without gaps (a few millimetres where the wraps meet the
// runs), each element lies along the path facing out, and past the wheels
// the belt wraps them at their radius plus the shoe.
TEST(TrackBelt, LoopIsClosedSmoothAndWrapsTheWheels)
{
    const double pi = 3.141592653589793, ds = 0.001;
    const double wheelX = 1.85, wheelY = 0.392 + 0.023154;  // in the belt's frame, x mirrored
    const BeltPlace start = beltPlace(0.0), end = beltPlace(std::nextafter(beltLength, 0.0));
    EXPECT_LT(std::hypot(end.x - start.x, end.y - start.y), 0.001);
    int wrapped[2] = {0, 0};
    for (double s = 0.0; s + ds < beltLength; s += ds) {
        const BeltPlace a = beltPlace(s), b = beltPlace(s + ds);
        const double step = std::hypot(b.x - a.x, b.y - a.y);
        ASSERT_LT(step, ds + 0.007) << s;
        if (step > 0.5 * ds && step < 1.5 * ds) {
            // Drawn at (-x, y): the element's x axis points against the motion.
            const double tx = -(b.x - a.x) / step, ty = (b.y - a.y) / step;
            ASSERT_LT(std::cos(a.angle * pi / 180.0) * tx + std::sin(a.angle * pi / 180.0) * ty, -0.99) << s;
        }
        const double x = -a.x;
        if (std::fabs(x) > wheelX + 0.005 && a.y < wheelY + 0.3) {
            ++wrapped[x > 0];
            EXPECT_NEAR(std::hypot(std::fabs(x) - wheelX, a.y - wheelY), 0.37114520558399994, 0.002) << s;
        }
    }
    EXPECT_GT(wrapped[0], 200);
    EXPECT_GT(wrapped[1], 200);
}
