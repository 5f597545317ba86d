#include <gtest/gtest.h>

#include <SDL.h>

#include <cmath>

#include "app/Camera.h"
#include "tests/TestShapes.h"
#include "terrain/Terrain.h"

namespace {

constexpr double kPi = 3.141592653589793;

SDL_Event motion(int xrel, int yrel)
{
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.xrel = static_cast<Sint16>(xrel);
    e.motion.yrel = static_cast<Sint16>(yrel);
    return e;
}

}  // namespace

// The cab view looks ahead along the upper structure, carried by the slew and
// the machine's pose; yaw is the eye's heading round the whole circle, kept
// where it is undefined (straight above, eye on the centre).
TEST(Camera, CabViewAndViewAngles)
{
    const Vector3 pos(10, 3, -4), com(1.0, 1.2, 0.1);
    const Quaternion level, quarter(std::cos(kPi / 4), 0, std::sin(kPi / 4), 0);
    const struct { Quaternion q; Vector3 com; double slew; Vector3 eye, centre; double yaw; } cases[] = {
        {level, com, 0.0, Vector3(0.2, 2.5, -0.9) - com + pos, Vector3(10.2, 2.5, -0.9) - com + pos, 3 * kPi / 2},
        {level, {}, kPi / 2, pos + Vector3(-0.9, 2.5, -0.2), pos + Vector3(-0.9, 2.5, -10.2), 0.0},
        {quarter, {}, 0.0, pos + Vector3(-0.9, 2.5, -0.2), pos + Vector3(-0.9, 2.5, -10.2), 0.0},
    };
    for (const auto& c : cases) {
        Camera camera;
        camera.cabView(pos, c.q, c.com, c.slew);
        camera.deriveAngles();
        expectNear(camera.eye, c.eye);
        expectNear(camera.center, c.centre);
        EXPECT_NEAR(camera.pitch, kPi / 2, 1e-12);
        EXPECT_NEAR(std::remainder(camera.yaw - c.yaw, 2 * kPi), 0.0, 1e-12);
    }
    Camera c;
    c.cabView(pos, Quaternion(std::cos(0.1), std::sin(0.1), 0, 0), {}, 0.0);
    expectNear(c.up, {0, std::cos(0.2), std::sin(0.2)});  // a rolled machine rolls the view
    c.up = Vector3(0, 1, 0);
    c.center = Vector3(1, 2, 3);
    for (double a : {0.1, 1.0, 2.0, 3.0, 4.0, 5.0, 6.2}) {
        c.eye = c.center + Vector3(std::sin(a) * 5, 1, std::cos(a) * 5);
        c.deriveAngles();
        EXPECT_NEAR(c.yaw, a, 1e-12);
    }
    for (const Vector3& eye : {c.center + Vector3(0, 10, 0), c.center}) {
        c.eye = eye;
        c.deriveAngles();
        EXPECT_EQ(c.yaw, 6.2);
        EXPECT_FALSE(std::isnan(c.pitch));
    }
}

// Orbiting, zooming or the machine's moves never leave the follow view's eye
// under the ground (flat at 3); off the terrain there is nothing to keep above.
TEST(Camera, FollowEyeStaysAboveTheGround)
{
    const Terrain ground(flatGrid(3.0));
    const struct { Vector3 eye; int yrel; double minY, maxY; } cases[] = {
        {{2, 6, 10}, -20, 3.5 - 1e-9, 3.5 + 1e-9},  // orbit down past the ground
        {{2, 6, 10}, 5, 6.0, 100.0},                // orbit up, never near it
        {{2, -4, 10}, 0, 3.5 - 1e-9, 3.5 + 1e-9},   // starts underground
        {{500, -4, 10}, 0, -4.0, -4.0},             // off the terrain
    };
    for (const auto& c : cases) {
        Camera camera;
        camera.ground = &ground;
        camera.center = Vector3(2, 4, 0);
        camera.eye = c.eye;
        camera.leftButtonDown = true;
        SDL_Event e = motion(3, c.yrel);
        for (int k = 0; k < 40; ++k) {
            camera.mouseMoved(&e);
            camera.followTarget(camera.center);
            EXPECT_GE(camera.eye.y, c.minY) << c.eye.y << ", move " << k;
        }
        EXPECT_LE(camera.eye.y, c.maxY) << c.eye.y;
    }
}

// The start view sees the machine whole, from above its cab side, whichever
// way it faces: the rear (3.5 m behind the pivot), the cab roof and the bucket
// at full reach (9 m ahead) all lie well inside the 60 degree tall view.
TEST(Camera, StartViewSeesTheWholeMachineFromAbove)
{
    for (double heading : {0.0, 1.6, 3.5, 5.2}) {
        const Quaternion q(std::cos(heading / 2), 0.0, std::sin(heading / 2), 0.0);
        const Vector3 forward = rotate(Vector3(1, 0, 0), q), cabSide = rotate(Vector3(0, 0, -1), q);
        const Vector3 eye = Camera::startOffset(q);  // the machine's pivot at the origin
        EXPECT_GT(eye.y, 3.0);
        EXPECT_GT(dot(eye, cabSide), 3.0);
        for (const Vector3& part : {forward * 9.0, forward * -3.5, Vector3(0, 3.5, 0)}) {
            const Vector3 to = part - eye;
            EXPECT_LT(std::acos(dot(to, -eye) / (length(to) * length(eye))), 27.0 * kPi / 180.0) << heading;
        }
    }
}
