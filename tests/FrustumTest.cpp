#include <gtest/gtest.h>

#include <cmath>

#include "math/Frustum.h"

// A 90-degree square view from the origin down -z (near 1, far 100), moved
// as a modelview that shifts the world 10 units away from the eye: the world
// origin sits 10 units ahead. Boxes are in world units.
TEST(Frustum, BoxesOutOfViewAreFoundAndNoVisibleBoxIsDropped)
{
    const double n = 1.0, f = 100.0;
    const double projection[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -(f + n) / (f - n), -1, 0, 0, -2 * f * n / (f - n), 0};
    const double modelview[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -10, 1};
    double clip[16];
    multiplyMatrices(projection, modelview, clip);
    const Frustum view(clip);
    struct Case {
        const char* what;
        Vector3 low, high;
        bool outside;
    } cases[] = {
        {"ahead", Vector3(-1, -1, -1), Vector3(1, 1, 1), false},
        {"behind the eye", Vector3(-1, -1, 12), Vector3(1, 1, 14), true},
        {"beside the eye, behind the near plane", Vector3(-1, -1, 9.5), Vector3(1, 1, 9.8), true},
        {"far left", Vector3(-30, -1, -1), Vector3(-15, 1, 1), true},
        {"above", Vector3(-1, 15, -1), Vector3(1, 30, 1), true},
        {"below", Vector3(-1, -30, -1), Vector3(1, -15, 1), true},
        {"right, across the edge", Vector3(5, -1, -1), Vector3(30, 1, 1), false},
        {"beyond the far plane", Vector3(-1, -1, -200), Vector3(1, 1, -95), true},
        {"across the far plane", Vector3(-1, -1, -200), Vector3(1, 1, -80), false},
        {"around the eye", Vector3(-50, -50, -50), Vector3(50, 50, 50), false},
        // Left of the left plane at its near end, right of it at its far end.
        {"along the left edge", Vector3(-40, -1, -35), Vector3(-30, 1, -25), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(view.boxOutside(c.low, c.high), c.outside) << c.what;
}
