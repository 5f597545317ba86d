#include <gtest/gtest.h>

#include <SDL.h>

#include <cmath>
#include <functional>
#include <sstream>
#include <vector>

#include "GLContext.h"
#include "excavator/Cylinders.h"
#include "excavator/Excavator.h"
#include "input/ExcavatorController.h"
#include "input/InputSystem.h"

namespace {

constexpr double kDeg = M_PI / 180.0;

// Cylinder lengths as the drawing extends them; the rate conversions must
// move them at the demanded speed.
double monoblockCylinder(double angle)
{
    CylinderState c;
    updateServos(c, angle, 0.0);
    return c.monoblockServoExtension;
}

double bendingArmCylinder(double angle)
{
    CylinderState c;
    updateServos(c, 0.0, angle);
    return c.bendingArmServoExtension;
}

double groundPlateCylinder(double angle)
{
    CylinderState c;
    updateLinkage(c, angle);
    return -c.groundPlateServoExtension;
}

double cylinderSpeed(double (*length)(double), double angle, double rate)
{
    const double h = 1e-6;
    return rate * (length(angle + h) - length(angle - h)) / (2 * h);
}

SDL_Event axisEvent(Uint8 joystick, Uint8 axis, Sint16 value)
{
    SDL_Event e{};
    e.jaxis.type = SDL_JOYAXISMOTION;
    e.jaxis.which = joystick;
    e.jaxis.axis = axis;
    e.jaxis.value = value;
    return e;
}

SDL_Event buttonUp()
{
    SDL_Event e{};
    e.jbutton.type = SDL_JOYBUTTONUP;
    e.jbutton.button = 0;
    return e;
}

class ControllerDialogue : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "dummy", 1);  // events only, no window
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        input = new InputSystem;
    }
    void TearDown() override
    {
        delete input;
        SDL_Quit();
        unsetenv("SDL_VIDEODRIVER");
    }

    // True when the controller receives joystick events from the input system.
    bool listensToJoysticks(ExcavatorController& controller)
    {
        controller.configuring = true;
        controller.buttonReleased = false;
        SDL_Event e = buttonUp();
        SDL_PushEvent(&e);
        input->poll();
        input->dispatch();
        controller.configuring = false;
        const bool heard = controller.buttonReleased;
        controller.buttonReleased = false;
        return heard;
    }

    InputSystem* input = nullptr;
};

}  // namespace

// Over each joint's whole range the rate written for a cylinder speed moves
// that cylinder at exactly that speed (the bending arm's cylinder shortens
// as its angle grows, so its sign is reversed).
TEST(CylinderConversions, MoveTheCylinderAtTheDemandedSpeed)
{
    for (double deg = -32; deg <= 65; deg += 2.5) {
        const double angle = deg * kDeg;
        EXPECT_NEAR(cylinderSpeed(monoblockCylinder, angle, monoblockRateFor(angle, 0.7)), 0.7, 1e-6) << deg;
        EXPECT_NEAR(cylinderSpeed(monoblockCylinder, angle, monoblockRateFor(angle, -0.7)), -0.7, 1e-6) << deg;
    }
    for (double deg = 1; deg <= 120; deg += 2.5) {
        const double angle = deg * kDeg;
        EXPECT_NEAR(cylinderSpeed(bendingArmCylinder, angle, bendingArmRateFor(angle, 0.9)), -0.9, 1e-6) << deg;
    }
    for (double deg = -15; deg <= 140; deg += 2.5) {
        const double angle = deg * kDeg;
        EXPECT_NEAR(cylinderSpeed(groundPlateCylinder, angle, groundPlateRateFor(angle, 0.8)), 0.8, 1e-6) << deg;
        EXPECT_NEAR(cylinderSpeed(groundPlateCylinder, angle, groundPlateRateFor(angle, -0.8)), -0.8, 1e-6) << deg;
    }
    // A held key keeps the cylinder speed, not the joint rate: the rate
    // changes as the arm moves.
    EXPECT_GT(std::fabs(bendingArmRateFor(1 * kDeg, 0.9) - bendingArmRateFor(60 * kDeg, 0.9)), 0.5);
}

// Where the linkage folds flat the conversion would divide by zero; the joint
// gets no rate instead of an infinite or undefined one.
TEST(CylinderConversions, SingularAnglesGiveZeroNotInfinity)
{
    const double monoblockFlat = 0.110514 - 0.681652 - 0.380819;  // t = 0
    const double bendingFlat = 2.69494 - 0.16784;                  // t = 0
    const double nan = std::nan("");
    for (double rate : {monoblockRateFor(monoblockFlat, 0.7), bendingArmRateFor(bendingFlat, 0.9),
                        monoblockRateFor(nan, 0.7), bendingArmRateFor(nan, 0.9), groundPlateRateFor(nan, 0.8)}) {
        EXPECT_TRUE(std::isfinite(rate));
        EXPECT_EQ(rate, 0.0);
    }
}

// Without a joystick nothing is asked and nothing read; answering anything
// but y, or nothing at all, leaves the controller a keyboard listener only.
TEST_F(ControllerDialogue, DeclinedOrUnansweredLeavesKeyboardOnly)
{
    for (const char* answer : {"", "n\n", "Y\n", "   \n"}) {
        for (int joysticks : {0, 2}) {
            SCOPED_TRACE(std::string("answer '") + answer + "', joysticks " + std::to_string(joysticks));
            ExcavatorController controller;
            std::istringstream in(answer);
            std::ostringstream out;
            int pumps = 0;
            controller.config(in, out, *input, joysticks, [&] { ++pumps; });
            EXPECT_EQ(pumps, 0);
            EXPECT_TRUE(controller.axisAssignments.empty());
            EXPECT_FALSE(controller.configuring);
            EXPECT_FALSE(listensToJoysticks(controller));
            if (joysticks == 0) {
                EXPECT_EQ(out.str(), "");
                EXPECT_EQ(in.tellg(), 0) << "no question, so nothing may be read";
            } else {
                EXPECT_EQ(out.str(), "Do you want to enable controlling the excavator by joystick [y/n]? ");
            }
        }
    }
}

// The six parts are asked in order; each takes the axis last seen strongly
// deflected before a button release. Weak movement, a button alone, or an
// axis an earlier part already holds leave the part keyboard-only.
TEST_F(ControllerDialogue, AssignsTheLastStronglyMovedAxisPerPart)
{
    ExcavatorController controller;
    // What the user does while each part's prompt waits, one batch per pump.
    std::vector<std::vector<SDL_Event>> script = {
        // monoblock: joystick 0 axis 1, after a weaker look at axis 0
        {axisEvent(0, 0, 29491), axisEvent(0, 0, -29491), axisEvent(0, 1, 29492)},
        {buttonUp()},
        // ground plate: axis 1 again (taken), though axis 0 twitched before it
        {axisEvent(0, 0, -32768), axisEvent(0, 1, -32768), buttonUp()},
        // bending arm: only slight movement, then the button
        {axisEvent(1, 0, 20000)},
        {axisEvent(1, 0, -29000), buttonUp()},
        // undercarriage: button alone
        {buttonUp()},
        // left track: joystick 1 axis 2; two releases in one batch count once
        {axisEvent(1, 2, 32767), buttonUp(), buttonUp()},
        // right track: joystick 1 axis 3
        {},
        {axisEvent(1, 3, -30000)},
        {buttonUp()},
    };
    size_t next = 0;
    std::vector<std::string> promptsAtPump;
    std::istringstream in(" y\n");
    std::ostringstream out;
    controller.config(in, out, *input, 2, [&] {
        ASSERT_LT(next, script.size()) << "the dialogue waited for more than the script holds";
        EXPECT_TRUE(controller.configuring);
        for (const SDL_Event& e : script[next])
            if (e.type == SDL_JOYAXISMOTION)
                controller.joyAxisMoved(&e);
            else
                controller.joyButtonReleased(&e);
        ++next;
    });
    EXPECT_EQ(next, script.size());
    EXPECT_FALSE(controller.configuring);
    EXPECT_FALSE(controller.buttonReleased);
    EXPECT_EQ(controller.capturedAxis.type, 0);

    ASSERT_EQ(controller.axisAssignments.size(), 3u);
    EXPECT_EQ(controller.axisAssignments.count(axisKey(SDL_JOYAXISMOTION, 0, 1)), 1u);
    EXPECT_EQ(controller.axisAssignments.count(axisKey(SDL_JOYAXISMOTION, 1, 2)), 1u);
    EXPECT_EQ(controller.axisAssignments.count(axisKey(SDL_JOYAXISMOTION, 1, 3)), 1u);
    EXPECT_TRUE(listensToJoysticks(controller));

    const std::string text = out.str();
    const char* parts[] = {"monoblock", "ground plate", "bending arm", "undercarriage", "left track", "right track"};
    size_t at = text.find("Operating according to ISO standard:\n");
    ASSERT_NE(at, std::string::npos);
    for (const char* part : parts) {
        const std::string prompt =
            std::string("Move the joystick for ") + part + " movement and push the button to accept\n";
        const size_t found = text.find(prompt, at);
        ASSERT_NE(found, std::string::npos) << part;
        at = found + prompt.size();
    }
    EXPECT_EQ(at, text.size());
}

namespace {

SDL_Event keyEvent(Uint8 type, SDLKey sym)
{
    SDL_Event e{};
    e.key.type = type;
    e.key.keysym.sym = sym;
    return e;
}

// Cylinder speeds at full deflection, as the stick's scaling computes them.
const double kMonoblock = 0.07 / 0.1;    // 0.7000000000000001
const double kBendingArm = 0.09 / 0.1;   // 0.8999999999999999

struct Commands {
    double left, right, monoblock, bending, groundPlate;
    float slew;
};

Commands commandsOf(const Excavator& m)
{
    return {m.leftTrackThrottle, m.rightTrackThrottle, m.monoblockRate, m.bendingArmRate, m.groundPlateRate,
            m.slewCommand};
}

void expectSame(const Commands& a, const Commands& b)
{
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.right, b.right);
    EXPECT_EQ(a.monoblock, b.monoblock);
    EXPECT_EQ(a.bending, b.bending);
    EXPECT_EQ(a.groundPlate, b.groundPlate);
    EXPECT_EQ(a.slew, b.slew);
}

void clear(Excavator& m)
{
    m.leftTrackThrottle = m.rightTrackThrottle = 0;
    m.monoblockRate = m.bendingArmRate = m.groundPlateRate = 0;
    m.setSlewCommand(0);
}

}  // namespace

// Keys and a fully pushed stick command the same movements; the joint rates
// come from the joints' current angles; a key-up or a centred stick stops the
// movement; nothing reaches a machine that is not attached.
TEST(ControllerCommands, KeysAndAxesDriveTheMachine)
{
    ASSERT_TRUE(ensureGLContext());
    InputSystem input;
    Excavator machine(nullptr);
    machine.meshes[Monoblock].angle = 20 * kDeg;
    machine.meshes[BendingArm].angle = 45 * kDeg;
    machine.meshes[GroundPlate].angle = 70 * kDeg;

    ExcavatorController controller;
    // Six parts, six axes of joystick 0, in dialogue order.
    int part = 0;
    std::istringstream in("y");
    std::ostringstream out;
    controller.config(in, out, input, 1, [&] {
        const SDL_Event axis = axisEvent(0, static_cast<Uint8>(part++), -32768);
        controller.joyAxisMoved(&axis);
        const SDL_Event up = buttonUp();
        controller.joyButtonReleased(&up);
    });
    ASSERT_EQ(controller.axisAssignments.size(), 6u);

    SDL_Event w = keyEvent(SDL_KEYDOWN, SDLK_w);
    controller.keyPressed(&w);  // not attached yet
    expectSame(commandsOf(machine), {0, 0, 0, 0, 0, 0});
    controller.setExcavator(&machine);

    const struct { SDLKey key; Uint8 axis; } pairs[] = {
        {SDLK_i, 0}, {SDLK_j, 1}, {SDLK_w, 2}, {SDLK_a, 3}, {SDLK_KP5, 4}, {SDLK_KP6, 5},
    };
    for (const auto& pair : pairs) {
        SCOPED_TRACE(SDL_GetKeyName(pair.key));
        clear(machine);
        SDL_Event down = keyEvent(SDL_KEYDOWN, pair.key);
        controller.keyPressed(&down);
        const Commands byKey = commandsOf(machine);
        clear(machine);
        SDL_Event axis = axisEvent(0, pair.axis, -32768);
        controller.joyAxisMoved(&axis);
        expectSame(commandsOf(machine), byKey);
        axis = axisEvent(0, pair.axis, 3200);  // centred
        controller.joyAxisMoved(&axis);
        expectSame(commandsOf(machine), {0, 0, 0, 0, 0, 0});
        controller.keyPressed(&down);
        SDL_Event up = keyEvent(SDL_KEYUP, pair.key);
        controller.keyReleased(&up);
        expectSame(commandsOf(machine), {0, 0, 0, 0, 0, 0});
    }

    clear(machine);
    const SDL_Event keys[] = {keyEvent(SDL_KEYDOWN, SDLK_k), keyEvent(SDL_KEYDOWN, SDLK_s),
                              keyEvent(SDL_KEYDOWN, SDLK_l), keyEvent(SDL_KEYDOWN, SDLK_d),
                              keyEvent(SDL_KEYDOWN, SDLK_KP2), keyEvent(SDL_KEYDOWN, SDLK_KP3)};
    for (const SDL_Event& e : keys)
        controller.keyPressed(&e);
    expectSame(commandsOf(machine),
               {-1.0, -1.0, monoblockRateFor(20 * kDeg, kMonoblock), bendingArmRateFor(45 * kDeg, -kBendingArm),
                groundPlateRateFor(70 * kDeg, -0.8), -1.0f});
    EXPECT_GT(machine.monoblockRate, 0.0);

    // The other key of a pair releases the movement too; other keys change nothing.
    const SDL_Event iUp = keyEvent(SDL_KEYUP, SDLK_i);
    controller.keyReleased(&iUp);
    EXPECT_EQ(machine.monoblockRate, 0.0);
    const Commands before = commandsOf(machine);
    const SDL_Event other = keyEvent(SDL_KEYDOWN, SDLK_x);
    controller.keyPressed(&other);
    const SDL_Event unassigned = axisEvent(1, 0, -32768);
    controller.joyAxisMoved(&unassigned);
    expectSame(commandsOf(machine), before);

    // A half-pushed track pedal gives its share, 0 inside the dead zone.
    SDL_Event pedal = axisEvent(0, 4, 16384);
    controller.joyAxisMoved(&pedal);
    EXPECT_EQ(machine.leftTrackThrottle, -0.5);
    pedal = axisEvent(0, 4, -3201);
    controller.joyAxisMoved(&pedal);
    EXPECT_EQ(machine.leftTrackThrottle, static_cast<double>(static_cast<float>(3201.0 / 32768.0)));
}
