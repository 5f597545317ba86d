#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cmath>

#include "ExcavatorSums.h"
#include "GLContext.h"
#include "excavator/Excavator.h"
#include "excavator/Grade.h"
#include "input/ExcavatorController.h"

namespace {

constexpr double degree = 3.141592653589793 / 180.0;

// The machine's model frame at `origin` turned by `q`, the joints at `a`,
// the body placed as the step places it (its centre of mass follows the arm).
void place(Excavator& e, const JointAngles& a, const Quaternion& q, const Vector3& origin)
{
    e.meshes[Bodywork].angle = a.slew;
    e.meshes[Monoblock].angle = a.monoblock;
    e.meshes[BendingArm].angle = a.bendingArm;
    e.meshes[GroundPlate].angle = a.groundPlate;
    e.updateMassProperties();
    e.orientation = q;
    e.position = origin + rotate(e.comOffset, q);
}

// The cutting edge's lower end from the design sheet alone: the tip line
// (4.391, 1.857) from z -0.37 to 0.47, through the joint chain, into the world.
double designEdgeLevel(const JointAngles& a, const Quaternion& q, const Vector3& origin)
{
    double lowest = 1e30;
    for (double z : {-0.37, 0.47}) {
        const Vector3 model = excavatorsums::chained(GroundPlate, Vector3(4.391, 1.857, z), a);
        lowest = std::min(lowest, (rotate(model, q) + origin).y);
    }
    return lowest;
}

void press(ExcavatorController& c, SDLKey key, bool shift, bool down)
{
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.keysym.sym = key;
    event.key.keysym.mod = shift ? KMOD_LSHIFT : KMOD_NONE;
    if (down)
        c.keyPressed(&event);
    else
        c.keyReleased(&event);
}

}  // namespace

// The cutting edge's height above a grade set by g, against the design
// geometry over the joints' whole ranges, on a tilted machine; G clears it,
// and a held g does not move it.
TEST(Grade, CuttingEdgeHeightMatchesTheDesignGeometry)
{
    ASSERT_TRUE(ensureGLContext()) << SDL_GetError();
    Excavator e(nullptr);
    ExcavatorController controller;
    controller.setExcavator(&e);
    Quaternion q(0.98, 0.06, 0.15, -0.09);  // about 23 degrees off level
    normalize(q);
    const Vector3 origin(3.0, -2.0, 5.0);
    const JointAngles set{0.3, 10 * degree, 60 * degree, 40 * degree};
    place(e, set, q, origin);
    press(controller, SDLK_g, false, true);
    ASSERT_TRUE(e.grade.set);
    const double level = designEdgeLevel(set, q, origin);
    EXPECT_NEAR(e.grade.level, level, 1e-3);

    double worst = 0.0;
    for (int s = 0; s < 4; ++s)
        for (int m = 0; m <= 6; ++m)
            for (int b = 0; b <= 6; ++b)
                for (int p = 0; p <= 6; ++p) {
                    const JointAngles a{s * 1.7, (-32 + m * 97 / 6.0) * degree, (1 + b * 119 / 6.0) * degree,
                                        (-15 + p * 155 / 6.0) * degree};
                    place(e, a, q, origin);
                    worst = std::max(worst, std::fabs(heightAboveGrade(e, e.grade) - (designEdgeLevel(a, q, origin) - level)));
                }
    EXPECT_LT(worst, 1e-3);

    // Key repeat while g is held sets nothing new; a fresh press does.
    place(e, {0.3, 20 * degree, 60 * degree, 40 * degree}, q, origin);
    press(controller, SDLK_g, false, true);
    EXPECT_NEAR(e.grade.level, level, 1e-9);
    EXPECT_GT(heightAboveGrade(e, e.grade), 0.5);  // the boom raised 10 degrees
    EXPECT_EQ(gradeBand(heightAboveGrade(e, e.grade)), GradeBand::Above);
    press(controller, SDLK_g, false, false);
    press(controller, SDLK_g, false, true);
    EXPECT_NEAR(heightAboveGrade(e, e.grade), 0.0, 1e-9);
    EXPECT_EQ(gradeBand(0.029), GradeBand::OnGrade);
    EXPECT_EQ(gradeBand(-0.031), GradeBand::Below);
    press(controller, SDLK_g, true, true);
    EXPECT_FALSE(e.grade.set);
    EXPECT_EQ(heightAboveGrade(e, e.grade), 0.0);

    // h flips the overlay once per press, not once per key repeat.
    const bool shown = controller.overlayShown;
    press(controller, SDLK_h, false, true);
    press(controller, SDLK_h, false, true);
    EXPECT_NE(controller.overlayShown, shown);
    press(controller, SDLK_h, false, false);
    press(controller, SDLK_h, false, true);
    EXPECT_EQ(controller.overlayShown, shown);
    controller.setExcavator(nullptr);
}
