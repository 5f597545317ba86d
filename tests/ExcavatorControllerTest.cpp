#include <gtest/gtest.h>

#include <SDL.h>

#include <cmath>
#include <map>
#include <string>
#include <sstream>
#include <utility>
#include <vector>

#include "GLContext.h"
#include "excavator/Cylinders.h"
#include "excavator/Excavator.h"
#include "input/ExcavatorController.h"
#include "input/InputSystem.h"

namespace {

constexpr double kDeg = M_PI / 180.0;

SDL_Event axisEvent(Uint8 joystick, Uint8 axis, Sint16 value)
{
    SDL_Event e{};
    e.jaxis.type = SDL_JOYAXISMOTION;
    e.jaxis.which = joystick;
    e.jaxis.axis = axis;
    e.jaxis.value = value;
    return e;
}

// A key event, or with no key a joystick button release.
SDL_Event event(Uint8 type = SDL_JOYBUTTONUP, SDLKey key = SDLK_UNKNOWN)
{
    SDL_Event e{};
    e.type = type;
    e.key.keysym.sym = key;
    return e;
}

// True when the controller hears joystick events through the input system.
bool listensToJoysticks(InputSystem& input, ExcavatorController& controller)
{
    controller.configuring = true;
    controller.buttonReleased = false;
    SDL_Event e = event();
    SDL_PushEvent(&e);
    input.poll();
    input.dispatch();
    controller.configuring = false;
    return std::exchange(controller.buttonReleased, false);
}

}  // namespace

// Over each joint's whole range the rate written for a cylinder speed moves
// that cylinder at exactly that speed (the bending arm's cylinder shortens as
// its angle grows); where the linkage folds flat, or the angle is NaN, the
// joint gets no rate instead of an infinite or undefined one.
TEST(CylinderConversions, MoveTheCylinderAtTheDemandedSpeed)
{
    // Cylinder lengths as the drawing extends them.
    using Length = double (*)(double);
    const Length boom = [](double a) { CylinderState c; updateServos(c, a, 0.0); return c.monoblockServoExtension; };
    const Length arm = [](double a) { CylinderState c; updateServos(c, 0.0, a); return c.bendingArmServoExtension; };
    const Length bucket = [](double a) { CylinderState c; updateLinkage(c, a); return -c.groundPlateServoExtension; };
    const struct { double (*rateFor)(double, double); Length length; double from, to, speed, sign, flat; } joints[] = {
        {monoblockRateFor, boom, -32, 65, 0.7, 1, 0.110514 - 0.681652 - 0.380819},
        {bendingArmRateFor, arm, 1, 120, 0.9, -1, 2.69494 - 0.16784},
        {groundPlateRateFor, bucket, -15, 140, 0.8, 1, NAN},
    };
    for (const auto& j : joints) {
        for (double deg = j.from; deg <= j.to; deg += 2.5)
            for (double u : {j.speed, -j.speed}) {
                const double a = deg * kDeg, h = 1e-6;
                const double speed = j.rateFor(a, u) * (j.length(a + h) - j.length(a - h)) / (2 * h);
                EXPECT_NEAR(speed, j.sign * u, 1e-6) << j.speed << " at " << deg;
            }
        EXPECT_EQ(j.rateFor(j.flat, j.speed), 0.0);
        EXPECT_EQ(j.rateFor(std::nan(""), j.speed), 0.0);
    }
}

// Without a joystick nothing is asked and nothing read; a declined or missing
// answer leaves the controller a keyboard listener only. Accepted, the six
// parts are asked in order; each takes the axis last seen strongly deflected
// before a button release. Weak movement, a button alone, or an axis an
// earlier part already holds leave the part keyboard-only.
TEST(ControllerDialogue, AssignsTheLastStronglyMovedAxisPerPart)
{
    ASSERT_TRUE(ensureGLContext());
    InputSystem input;
    for (const char* answer : {"", "n\n"})
        for (int joysticks : {0, 2}) {
            ExcavatorController declined;
            std::istringstream in(answer);
            std::ostringstream out;
            declined.config(in, out, input, joysticks, [] { FAIL() << "waited for a joystick"; });
            EXPECT_TRUE(declined.axisAssignments.empty());
            EXPECT_FALSE(listensToJoysticks(input, declined));
            EXPECT_EQ(out.str(), joysticks ? "Do you want to enable controlling the excavator by joystick [y/n]? " : "");
            EXPECT_TRUE(joysticks > 0 || in.tellg() == 0) << "no question, so nothing may be read";
        }
    ExcavatorController controller;
    // What the user does while each part's prompt waits, one batch per pump.
    const std::vector<std::vector<SDL_Event>> script = {
        // monoblock: joystick 0 axis 1, after a weaker look at axis 0
        {axisEvent(0, 0, 29491), axisEvent(0, 0, -29491), axisEvent(0, 1, 29492)},
        {event()},
        // ground plate: axis 1 again (taken), though axis 0 twitched before it
        {axisEvent(0, 0, -32768), axisEvent(0, 1, -32768), event()},
        // bending arm: only slight movement; undercarriage: the button alone
        {axisEvent(1, 0, 20000)},
        {axisEvent(1, 0, -29000), event()},
        {event()},
        // left track: joystick 1 axis 2; two releases in one batch count once
        {axisEvent(1, 2, 32767), event(), event()},
        // right track: joystick 1 axis 3
        {},
        {axisEvent(1, 3, -30000)},
        {event()},
    };
    size_t next = 0;
    std::istringstream in(" y\n");
    std::ostringstream out;
    controller.config(in, out, input, 2, [&] {
        ASSERT_LT(next, script.size()) << "the dialogue waited for more than the script holds";
        for (const SDL_Event& e : script[next])
            if (e.type == SDL_JOYAXISMOTION)
                controller.joyAxisMoved(&e);
            else
                controller.joyButtonReleased(&e);
        ++next;
    });
    EXPECT_EQ(next, script.size());
    EXPECT_FALSE(controller.configuring);
    // By name, as a session recording keeps the assignment.
    const std::map<int32_t, std::string> parts = {{axisKey(SDL_JOYAXISMOTION, 0, 1), "monoblock"},
                                                  {axisKey(SDL_JOYAXISMOTION, 1, 2), "left-track"},
                                                  {axisKey(SDL_JOYAXISMOTION, 1, 3), "right-track"}};
    EXPECT_EQ(controller.axisPartNames(), parts);
    EXPECT_FALSE(controller.assignAxisPart(axisKey(SDL_JOYAXISMOTION, 0, 1), "bending-arm")) << "taken";
    EXPECT_FALSE(controller.assignAxisPart(axisKey(SDL_JOYAXISMOTION, 0, 2), "bending arm")) << "no such part";
    EXPECT_TRUE(listensToJoysticks(input, controller));
}

// A fully pushed stick commands what its key does, a centred one and a key-up
// stop it again; a half-pushed pedal gives its share, nothing inside the dead
// zone; nothing reaches a machine that is not attached.
TEST(ControllerCommands, AxesDriveTheMachineAsTheirKeysDo)
{
    ASSERT_TRUE(ensureGLContext());
    InputSystem input;
    Excavator machine(nullptr);
    machine.meshes[Monoblock].angle = machine.meshes[BendingArm].angle = machine.meshes[GroundPlate].angle = 0.5;
    ExcavatorController controller;
    Uint8 part = 0;  // six parts, six axes of joystick 0, in dialogue order
    std::istringstream in("y");
    std::ostringstream out;
    controller.config(in, out, input, 1, [&] {
        const SDL_Event axis = axisEvent(0, part++, -32768), up = event();
        controller.joyAxisMoved(&axis);
        controller.joyButtonReleased(&up);
    });
    ASSERT_EQ(controller.axisAssignments.size(), 6u);

    const auto commands = [&] {
        return std::vector<double>{machine.leftTrackThrottle, machine.rightTrackThrottle, machine.monoblockRate,
                                   machine.bendingArmRate,    machine.groundPlateRate,    machine.slewCommand};
    };
    const std::vector<double> still = commands();
    const SDL_Event w = event(SDL_KEYDOWN, SDLK_w);
    controller.keyPressed(&w);  // not attached yet
    EXPECT_EQ(commands(), still);
    controller.setExcavator(&machine);

    const struct { SDLKey key; Uint8 axis; } pairs[] = {
        {SDLK_i, 0}, {SDLK_j, 1}, {SDLK_w, 2}, {SDLK_a, 3}, {SDLK_KP5, 4}, {SDLK_KP6, 5},
    };
    for (const auto& pair : pairs) {
        SCOPED_TRACE(SDL_GetKeyName(pair.key));
        const SDL_Event down = event(SDL_KEYDOWN, pair.key), up = event(SDL_KEYUP, pair.key);
        controller.keyPressed(&down);
        const std::vector<double> byKey = commands();
        EXPECT_NE(byKey, still);
        controller.keyReleased(&up);
        EXPECT_EQ(commands(), still);
        SDL_Event axis = axisEvent(0, pair.axis, -32768);
        controller.joyAxisMoved(&axis);
        EXPECT_EQ(commands(), byKey);
        axis = axisEvent(0, pair.axis, 3200);  // centred
        controller.joyAxisMoved(&axis);
        EXPECT_EQ(commands(), still);
    }
    SDL_Event pedal = axisEvent(0, 4, 16384);
    controller.joyAxisMoved(&pedal);
    EXPECT_EQ(machine.leftTrackThrottle, -0.5);
    pedal = axisEvent(1, 4, -32768);  // an axis nobody was given
    controller.joyAxisMoved(&pedal);
    EXPECT_EQ(machine.leftTrackThrottle, -0.5);
}
