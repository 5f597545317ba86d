#include "input/ExcavatorController.h"

#include <cmath>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "base/Answer.h"
#include "excavator/Excavator.h"
#include "excavator/Grade.h"
#include "input/AxisController.h"
#include "input/InputSystem.h"
#include "input/JoystickAssignment.h"

namespace {

// numerator / denominator, or 0 where the linkage folds flat (a vanishing
// denominator would ask for an unbounded rate) or has no solution (NaN).
double rateOrZero(double numerator, double denominator)
{
    if (!(std::fabs(denominator) > 1e-9))
        return 0.0;
    const double rate = numerator / denominator;
    return std::isfinite(rate) ? rate : 0.0;
}

// Cylinder speeds at full deflection (keys and a fully pushed stick alike).
constexpr double kMonoblockSpeed = 0.07 / 0.1;
constexpr double kBendingArmSpeed = 0.09 / 0.1;
constexpr double kGroundPlateSpeed = 0.008 / 0.01;

// Beyond this an axis counts as deliberately moved in the dialogue.
constexpr int kCaptureThreshold = 29491;
constexpr int kDeadZone = 3200;

class MonoblockController : public AxisController {
public:
    void apply(Excavator* e, float v) override
    {
        e->monoblockRate = v == 0.0f ? 0.0 : monoblockRateFor(e->monoblockAngle(), v * 0.07 / 0.1);
    }
};

class GroundPlateController : public AxisController {
public:
    void apply(Excavator* e, float v) override
    {
        e->groundPlateRate = v == 0.0f ? 0.0 : groundPlateRateFor(e->groundPlateAngle(), -v * 0.008 / 0.01);
    }
};

class BendingArmController : public AxisController {
public:
    void apply(Excavator* e, float v) override
    {
        const float w = -v;
        e->bendingArmRate = w == 0.0f ? 0.0 : bendingArmRateFor(e->bendingArmAngle(), w * 0.09 / 0.1);
    }
};

class BodyworkController : public AxisController {
public:
    void apply(Excavator* e, float v) override { e->setSlewCommand(-v); }
};

class LeftTrackController : public AxisController {
public:
    void apply(Excavator* e, float v) override { e->leftTrackThrottle = -v; }
};

class RightTrackController : public AxisController {
public:
    void apply(Excavator* e, float v) override { e->rightTrackThrottle = -v; }
};

// The part names of a session recording, each with its controller's maker.
struct AxisPart {
    const char* name;
    AxisController* (*make)();
    bool (*is)(const AxisController*);
};

template <typename Controller>
AxisPart axisPart(const char* name)
{
    return {name, [] { return static_cast<AxisController*>(new Controller); },
            [](const AxisController* c) { return dynamic_cast<const Controller*>(c) != nullptr; }};
}

const std::vector<AxisPart>& axisParts()
{
    static const std::vector<AxisPart> parts = {
        axisPart<MonoblockController>("monoblock"),       axisPart<GroundPlateController>("ground-plate"),
        axisPart<BendingArmController>("bending-arm"),    axisPart<BodyworkController>("undercarriage"),
        axisPart<LeftTrackController>("left-track"),      axisPart<RightTrackController>("right-track"),
    };
    return parts;
}

// The axis controller of a movement, numbered in the dialogue's order.
AxisController* makeAxisController(int movement)
{
    const std::vector<AxisPart>& parts = axisParts();
    return parts[movement >= 0 && movement < static_cast<int>(parts.size()) ? movement : parts.size() - 1].make();
}

}  // namespace

double monoblockRateFor(double angle, double u)
{
    const double t = ((angle - 0.110514) - (-0.681652)) + 0.380819;
    const double length = std::sqrt(8.4567282442 - 5.2177361658 * std::cos(t));
    return rateOrZero(length * u, std::sin(t) * 2.6088680829);
}

double bendingArmRateFor(double angle, double u)
{
    const double t = -0.16784 - (angle - 2.69494);
    const double length = std::sqrt(10.636773010184 - 6.11499191348 * std::cos(t));
    return rateOrZero(length * u, std::sin(t) * 3.05749595674);
}

double groundPlateRateFor(double angle, double u)
{
    // Through the bucket linkage: the rocker's cylinder end, then the link.
    const double a = angle - 2.21232;
    const double b = a + 1.78804;
    const double l1 = std::sqrt(0.35353394815999994 - 0.34426565017599997 * std::cos(b - 3.00197));
    const double alpha = std::acos((0.621286053937 - l1 * l1) / 0.621281183088);
    const double g = std::asin(0.556249 * std::sin(alpha) / l1) +
                     (std::asin(0.369536 * std::sin(a - 1.21393) / l1) + 1.78804 + a);
    const double delta = 2.895876 - g;
    const double l2 = std::sqrt(4.348155006435999 - 2.2439320535999996 * std::cos(delta));
    return rateOrZero(l2 * std::sin(alpha) * u, std::sin(b - alpha - g) * 0.465808 * 2.00905 * std::sin(delta));
}

float axisValue(int16_t raw)
{
    if (raw >= -kDeadZone && raw <= kDeadZone)
        return 0.0f;
    return static_cast<float>(raw * 3.0517578125e-05);
}

ExcavatorController& ExcavatorController::getInstance()
{
    static ExcavatorController instance;
    return instance;
}

ExcavatorController::~ExcavatorController()
{
    for (auto& assignment : axisAssignments)
        delete assignment.second;
}

bool isAxisPartName(const std::string& name)
{
    for (const AxisPart& part : axisParts())
        if (name == part.name)
            return true;
    return false;
}

std::map<int32_t, std::string> ExcavatorController::axisPartNames() const
{
    std::map<int32_t, std::string> names;
    for (const auto& assignment : axisAssignments)
        for (const AxisPart& part : axisParts())
            if (part.is(assignment.second))
                names[assignment.first] = part.name;
    return names;
}

bool ExcavatorController::assignAxisPart(int32_t key, const std::string& name)
{
    for (const AxisPart& part : axisParts())
        if (name == part.name) {
            if (axisAssignments.count(key))
                return false;
            axisAssignments[key] = part.make();
            return true;
        }
    return false;
}

void ExcavatorController::config()
{
    InputSystem& input = InputSystem::getInstance();
    config(std::cin, std::cout, input, SDL_NumJoysticks());
}

bool ExcavatorController::useSavedAssignment(std::istream& in, std::ostream& out)
{
    std::ifstream file(assignmentFile);
    if (!file)
        return false;  // none saved yet
    out << "Use the saved joystick assignment [y/n]? ";
    out.flush();
    if (!answeredYes(in))
        return false;
    std::vector<SavedAxis> saved;
    std::string error;
    if (!readAssignment(file, assignmentFile, saved, error)) {
        (errors ? *errors : std::cerr) << error << "\n";
        return false;
    }
    for (const SavedAxis& a : saved)
        axisAssignments.emplace(axisKey(SDL_JOYAXISMOTION, a.joystick, a.axis), makeAxisController(a.movement));
    return true;
}

void ExcavatorController::saveAssignment(const std::vector<SavedAxis>& axes)
{
    std::ofstream file(assignmentFile);
    writeAssignment(file, axes);
    file.close();
    if (!file)
        (errors ? *errors : std::cerr) << "[ExcavatorController] Cannot write the joystick assignment to "
                                       << assignmentFile << "\n";
}

void ExcavatorController::config(std::istream& in, std::ostream& out, InputSystem& input, int joystickCount,
                                 const std::function<void()>& pump)
{
    input.addKeyboardListener(this);
    if (joystickCount <= 0 || !joystickOffered)
        return;
    if (!assignmentFile.empty() && useSavedAssignment(in, out)) {
        input.addJoystickListener(this);
        return;
    }
    out << "Do you want to enable controlling the excavator by joystick [y/n]? ";
    out.flush();
    if (!answeredYes(in))
        return;
    input.addJoystickListener(this);

    out << std::endl;
    out << "Assign joystick axes to each of the excavator's part movement." << std::endl;
    out << "If you want to leave only keyboard controll for some part," << std::endl;
    out << "just push the joystick button to continue." << std::endl;
    out << std::endl;
    out << "Operating according to ISO standard:\n"
        << " - push/pull (right joystick) - monoblock\n"
        << " - left/right (right joystick) - ground plate\n"
        << " - push/pull (left joystick) - bending arm\n"
        << " - left/right (left joystick) - undercarriage\n"
        << " - left pedal - left track\n"
        << " - right pedal - right track\n\n";

    static const char* const shownNames[kSavedMovements] = {"monoblock",     "ground plate", "bending arm",
                                                            "undercarriage", "left track",   "right track"};
    std::vector<SavedAxis> chosen;
    for (int movement = 0; movement < kSavedMovements; ++movement) {
        out << "Move the joystick for " << shownNames[movement] << " movement and push the button to accept"
            << std::endl;
        configuring = true;
        while (!buttonReleased) {
            if (pump) {
                pump();
            } else {
                input.poll();
                input.dispatch();
                SDL_Delay(15);
            }
        }
        // No axis, or one an earlier part already has: keyboard only.
        if (capturedAxis.type == SDL_JOYAXISMOTION &&
            axisAssignments.count(axisKey(capturedAxis.type, capturedAxis.joystick, capturedAxis.axis)) == 0) {
            axisAssignments.emplace(axisKey(capturedAxis.type, capturedAxis.joystick, capturedAxis.axis),
                                    makeAxisController(movement));
            chosen.push_back({movement, capturedAxis.joystick, capturedAxis.axis});
        }
        capturedAxis = CapturedAxis();
        buttonReleased = false;
        if (!pump)
            SDL_Delay(250);
    }
    configuring = false;
    if (!assignmentFile.empty())
        saveAssignment(chosen);
}

void ExcavatorController::keyPressed(const SDL_Event* event)
{
    if (event->key.keysym.sym == SDLK_e)
        exerciseEndAsked = true;
    if (event->key.keysym.sym == SDLK_h) {
        if (!overlayKeyDown)
            overlayShown = !overlayShown;
        overlayKeyDown = true;
    }
    if (!excavator)
        return;
    Excavator* e = excavator;
    switch (event->key.keysym.sym) {
    case SDLK_g:
        // g sets the grade through the cutting edge, G (shifted) clears it.
        if (event->key.keysym.mod & KMOD_SHIFT)
            e->grade = GradeTarget();
        else if (!gradeKeyDown)
            e->grade = gradeAtCuttingEdge(*e);
        gradeKeyDown = true;
        break;
    case SDLK_a: e->setSlewCommand(1.0f); break;
    case SDLK_d: e->setSlewCommand(-1.0f); break;
    case SDLK_k: e->monoblockRate = monoblockRateFor(e->monoblockAngle(), kMonoblockSpeed); break;
    case SDLK_i: e->monoblockRate = monoblockRateFor(e->monoblockAngle(), -kMonoblockSpeed); break;
    case SDLK_w: e->bendingArmRate = bendingArmRateFor(e->bendingArmAngle(), kBendingArmSpeed); break;
    case SDLK_s: e->bendingArmRate = bendingArmRateFor(e->bendingArmAngle(), -kBendingArmSpeed); break;
    case SDLK_j: e->groundPlateRate = groundPlateRateFor(e->groundPlateAngle(), kGroundPlateSpeed); break;
    case SDLK_l: e->groundPlateRate = groundPlateRateFor(e->groundPlateAngle(), -kGroundPlateSpeed); break;
    case SDLK_KP5: e->leftTrackThrottle = 1.0; break;
    case SDLK_KP2: e->leftTrackThrottle = -1.0; break;
    case SDLK_KP6: e->rightTrackThrottle = 1.0; break;
    case SDLK_KP3: e->rightTrackThrottle = -1.0; break;
    default: break;
    }
}

void ExcavatorController::keyReleased(const SDL_Event* event)
{
    if (event->key.keysym.sym == SDLK_h)
        overlayKeyDown = false;
    if (event->key.keysym.sym == SDLK_g)
        gradeKeyDown = false;
    if (!excavator)
        return;
    Excavator* e = excavator;
    switch (event->key.keysym.sym) {
    case SDLK_a:
    case SDLK_d: e->setSlewCommand(0.0f); break;
    case SDLK_k:
    case SDLK_i: e->monoblockRate = 0.0; break;
    case SDLK_w:
    case SDLK_s: e->bendingArmRate = 0.0; break;
    case SDLK_j:
    case SDLK_l: e->groundPlateRate = 0.0; break;
    case SDLK_KP5:
    case SDLK_KP2: e->leftTrackThrottle = 0.0; break;
    case SDLK_KP6:
    case SDLK_KP3: e->rightTrackThrottle = 0.0; break;
    default: break;
    }
}

void ExcavatorController::joyButtonPressed(const SDL_Event*) {}

void ExcavatorController::joyButtonReleased(const SDL_Event*)
{
    if (configuring && !buttonReleased)
        buttonReleased = true;
}

void ExcavatorController::joyAxisMoved(const SDL_Event* event)
{
    const SDL_JoyAxisEvent& axis = event->jaxis;
    if (configuring && (axis.value < -kCaptureThreshold || axis.value > kCaptureThreshold)) {
        capturedAxis.type = axis.type;
        capturedAxis.joystick = axis.which;
        capturedAxis.axis = axis.axis;
        capturedAxis.value = axis.value;
        return;
    }
    if (!excavator)
        return;
    const float v = axisValue(axis.value);
    if (axisAssignments.empty())
        return;
    const auto found = axisAssignments.find(axisKey(axis.type, axis.which, axis.axis));
    if (found != axisAssignments.end())
        found->second->apply(excavator, v);
}
