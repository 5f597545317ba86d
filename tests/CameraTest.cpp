#include <gtest/gtest.h>

#include <SDL.h>

#include <cmath>

#include "app/Camera.h"
#include "world/Terrain.h"
#include "tests/TestShapes.h"

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

TEST(Camera, FollowLeashIsLooseFarAwayAndAlmostStillUpClose)
{
    // Machine 20 units away and moving: the eye moves with it (f = 1).
    Camera far(false);
    far.eye = Vector3(20, 0, 0);
    far.followTarget(Vector3(0.5, 0.1, -0.3));
    expectNear(far.eye, Vector3(20.5, 0.1, -0.3));
    EXPECT_EQ(far.center, Vector3(0.5, 0.1, -0.3));

    // 5 units away (d2 = 25): f = exp(-25.3125), the eye practically stays.
    Camera near(false);
    near.eye = Vector3(0, 0, 5);
    near.followTarget(Vector3(1, 0, 0));
    EXPECT_NEAR(near.eye.x, std::exp(-25.3125), 1e-24);
    EXPECT_EQ(near.eye.z, 5.0);
    EXPECT_EQ(near.center, Vector3(1, 0, 0));

}

TEST(Camera, CabViewRidesTheUpperStructure)
{
    Camera c(false);
    c.viewMode = 1;
    // Level machine, no slew: eye at (0.2, 2.5, -0.9) less the centre of mass, looking along +x.
    const Vector3 com(1.0, 1.2, 0.1), pos(10, 3, -4);
    c.cabView(pos, Quaternion(), com, 0.0);
    c.deriveAngles();
    expectNear(c.eye, Vector3(0.2, 2.5, -0.9) - com + pos);
    expectNear(c.center, Vector3(10.2, 2.5, -0.9) - com + pos);
    EXPECT_NEAR(c.pitch, kPi / 2, 1e-12);
    EXPECT_NEAR(c.yaw, 3 * kPi / 2, 1e-12);  // eye on the -x side of the centre
    // Slewed a quarter turn: the view swings towards -z.
    c.cabView(Vector3(), Quaternion(), Vector3(), kPi / 2);
    expectNear(c.eye, Vector3(-0.9, 2.5, -0.2));
    expectNear(c.center, Vector3(-0.9, 2.5, -10.2));
    // A machine turned about y by 90 degrees carries eye, centre and up with it.
    const Quaternion q(std::cos(kPi / 4), 0, std::sin(kPi / 4), 0);
    c.cabView(pos, q, Vector3(), 0.0);
    expectNear(c.eye, rotate(Vector3(0.2, 2.5, -0.9), q) + pos);
    expectNear(c.center, pos + Vector3(-0.9, 2.5, -10.2), 1e-12);
    // Rolled machine: up rolls too.
    const Quaternion roll(std::cos(0.1), std::sin(0.1), 0, 0);
    c.cabView(pos, roll, Vector3(), 0.0);
    expectNear(c.up, rotate(Vector3(0, 1, 0), roll));
}

TEST(Camera, AnglesStayFiniteStraightAboveAndYawCoversTheCircle)
{
    Camera c(false);
    c.deriveAngles();  // the start view: from (9, 9, 0) down onto the origin
    EXPECT_NEAR(c.pitch, kPi / 4, 1e-12);
    EXPECT_NEAR(c.yaw, kPi / 2, 1e-12);
    c.center = Vector3(1, 2, 3);
    c.eye = Vector3(1, 12, 3);  // straight above
    c.yaw = 1.25;
    c.deriveAngles();
    EXPECT_EQ(c.pitch, 0.0);
    EXPECT_EQ(c.yaw, 1.25);  // heading kept
    for (double a : {0.1, 1.0, 2.0, 3.0, 4.0, 5.0, 6.2}) {
        c.eye = c.center + Vector3(std::sin(a) * 5, 1, std::cos(a) * 5);
        c.deriveAngles();
        EXPECT_NEAR(c.yaw, a, 1e-12);
        EXPECT_GE(c.yaw, 0.0);
        EXPECT_LT(c.yaw, 2 * kPi);
    }
    c.eye = c.center;  // degenerate: nothing becomes NaN
    c.deriveAngles();
    EXPECT_FALSE(std::isnan(c.pitch));
    EXPECT_FALSE(std::isnan(c.yaw));
}

TEST(Camera, LeftDragOrbitsAtFixedDistance)
{
    Camera c(false);
    c.center = Vector3(1, 0, 1);
    c.eye = Vector3(1, 0, 11);  // 10 units on +z
    c.leftButtonDown = true;
    c.viewChanged = false;
    // 180 pixels right: a turn of -pi/2 about y.
    SDL_Event e = motion(180, 0);
    c.mouseMoved(&e);
    expectNear(c.eye, Vector3(-9, 0, 1), 1e-12);
    EXPECT_TRUE(c.viewChanged);
    // 90 pixels down: tilt by pi/4 about (d x up), the eye rises on its circle.
    e = motion(0, 90);
    c.mouseMoved(&e);
    EXPECT_NEAR(length(c.eye - c.center), 10.0, 1e-12);
    EXPECT_NEAR(c.eye.y, 10 * std::sin(kPi / 4), 1e-12);
    // Straight above the centre the tilt axis vanishes: no NaN, the turn still applies.
    c.eye = c.center + Vector3(0, 10, 0);
    e = motion(30, 40);
    c.mouseMoved(&e);
    expectNear(c.eye, c.center + Vector3(0, 10, 0));
    // Without the button nothing moves.
    c.leftButtonDown = false;
    c.viewChanged = false;
    c.eye = Vector3(5, 5, 5);
    c.mouseMoved(&e);
    EXPECT_EQ(c.eye, Vector3(5, 5, 5));
    EXPECT_FALSE(c.viewChanged);
}

TEST(Camera, RightDragZoomsWithinItsLimits)
{
    const auto zoomed = [](double distance, int yrel) {
        Camera c(false);
        c.center = Vector3(0, 0, 0);
        c.eye = Vector3(0, 0, distance);
        c.rightButtonDown = true;
        c.viewChanged = false;
        SDL_Event e = motion(0, yrel);
        c.mouseMoved(&e);
        return c.viewChanged ? c.eye.z - distance : 0.0;
    };
    // Inside the band both directions work; the eye moves yrel / 15 along the view line.
    EXPECT_NEAR(zoomed(10.0, 15), 1.0, 1e-12);
    EXPECT_NEAR(zoomed(10.0, -15), -1.0, 1e-12);
    EXPECT_NEAR(zoomed(std::sqrt(700.0), -3), -0.2, 1e-12);
    // Too close: only moving away; too far: only coming nearer.
    EXPECT_EQ(zoomed(std::sqrt(99.0), -15), 0.0);
    EXPECT_NEAR(zoomed(std::sqrt(99.0), 15), 1.0, 1e-12);
    EXPECT_EQ(zoomed(std::sqrt(701.0), 15), 0.0);
    EXPECT_NEAR(zoomed(std::sqrt(701.0), -15), -1.0, 1e-12);
    // Eye on the centre: no direction, no move.
    EXPECT_EQ(zoomed(0.0, 15), 0.0);
}

// Orbiting below the machine, zooming or the leash never leave the follow
// view's eye under flat ground at 3; views above it are left alone.
TEST(Camera, FollowEyeStaysAboveTheGround)
{
    terrain::HeightGrid flat;
    for (auto& row : flat)
        row.fill(3.0);
    const Terrain ground(flat);
    struct Case {
        const char* what;
        Vector3 eye;
        int yrel;     // per move, 40 moves
        double minY;  // the eye ends at least this high
        double maxY;  // and at most this high
    } cases[] = {
        {"orbit down past the ground", Vector3(2, 6, 10), -20, 3.5 - 1e-9, 3.5 + 1e-9},
        {"orbit up, never near the ground", Vector3(2, 6, 10), 5, 6.0, 100.0},
        {"starts underground", Vector3(2, -4, 10), 0, 3.5 - 1e-9, 3.5 + 1e-9},
        {"off the terrain: nothing to keep above", Vector3(500, -4, 10), 0, -4.0, -4.0},
    };
    for (const Case& c : cases) {
        Camera camera(false);
        camera.ground = &ground;
        camera.center = Vector3(2, 4, 0);
        camera.eye = c.eye;
        camera.leftButtonDown = true;
        SDL_Event e = motion(3, c.yrel);
        for (int k = 0; k < 40; ++k) {
            camera.mouseMoved(&e);
            camera.followTarget(camera.center);
            EXPECT_GE(camera.eye.y, c.minY) << c.what << ", move " << k;
        }
        EXPECT_LE(camera.eye.y, c.maxY) << c.what;
    }
}

// The start view sees the machine whole, from above, from its cab side,
// whichever way it faces: the rear (3.5 m behind the pivot) and the bucket
// at full reach (9 m ahead) both lie well inside the 60 degree tall view.
TEST(Camera, StartViewSeesTheWholeMachineFromAbove)
{
    for (double heading : {0.0, 1.6, 3.5, 5.2}) {
        SCOPED_TRACE(heading);
        const Quaternion q(std::cos(heading / 2), 0.0, std::sin(heading / 2), 0.0);
        const Vector3 forward = rotate(Vector3(1, 0, 0), q), cabSide = rotate(Vector3(0, 0, -1), q);
        const Vector3 eye = Camera::startOffset(q);  // the machine's pivot at the origin
        EXPECT_GT(eye.y, 3.0);
        EXPECT_GT(dot(eye, cabSide), 3.0);
        for (const Vector3& part : {forward * 9.0, forward * -3.5, Vector3(0, 3.5, 0)}) {
            const Vector3 to = part - eye;
            const double angle = std::acos(dot(to, -eye) / (length(to) * length(eye)));
            EXPECT_LT(angle, 27.0 * kPi / 180.0);
        }
    }
}
