#include "input/ExcavatorController.h"

#include <cmath>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "base/Answer.h"
#include "excavator/Excavator.h"
#include "excavator/Grade.h"
#include "input/InputSystem.h"
#include "input/JoystickAssignment.h"

namespace {

// Beyond this an axis counts as deliberately moved in the dialogue.
constexpr int kCaptureThreshold = 29491;
constexpr int kDeadZone = 3200;

// An axis's part: its name in a session recording, the drive it works and
// the sign that turns its reading into the drive's deflection (pushed
// forward reads negative), in the dialogue's order of movements.
struct AxisPart {
    const char* name;
    Drive drive = Drive::Slewing;
    float sign;
};

constexpr AxisPart kAxisParts[] = {
    {"monoblock", Drive::Monoblock, 1.0f},      {"ground-plate", Drive::GroundPlate, -1.0f},
    {"bending-arm", Drive::BendingArm, -1.0f},  {"undercarriage", Drive::Slewing, -1.0f},
    {"left-track", Drive::LeftTrack, -1.0f},    {"right-track", Drive::RightTrack, -1.0f},
};
constexpr int kAxisPartCount = sizeof kAxisParts / sizeof kAxisParts[0];

const AxisPart& partOfDrive(Drive drive)
{
    for (const AxisPart& part : kAxisParts)
        if (part.drive == drive)
            return part;
    return kAxisParts[kAxisPartCount - 1];
}

// The drive of a movement, numbered in the dialogue's order.
Drive movementDrive(int movement)
{
    return kAxisParts[movement >= 0 && movement < kAxisPartCount ? movement : kAxisPartCount - 1].drive;
}

constexpr struct {
    SDLKey key;
    Drive drive;
    float deflection;
} kDriveKeys[] = {
    {SDLK_a, Drive::Slewing, 1.0f},      {SDLK_d, Drive::Slewing, -1.0f},
    {SDLK_k, Drive::Monoblock, 1.0f},    {SDLK_i, Drive::Monoblock, -1.0f},
    {SDLK_w, Drive::BendingArm, 1.0f},   {SDLK_s, Drive::BendingArm, -1.0f},
    {SDLK_j, Drive::GroundPlate, 1.0f},  {SDLK_l, Drive::GroundPlate, -1.0f},
    {SDLK_KP5, Drive::LeftTrack, 1.0f},  {SDLK_KP2, Drive::LeftTrack, -1.0f},
    {SDLK_KP6, Drive::RightTrack, 1.0f}, {SDLK_KP3, Drive::RightTrack, -1.0f},
};

}  // namespace

bool keyDrive(SDLKey key, Drive& drive, float& deflection)
{
    for (const auto& k : kDriveKeys)
        if (k.key == key) {
            drive = k.drive;
            deflection = k.deflection;
            return true;
        }
    return false;
}

bool driveKey(Drive drive, float deflection, SDLKey& key)
{
    for (const auto& k : kDriveKeys)
        if (k.drive == drive && k.deflection == deflection) {
            key = k.key;
            return true;
        }
    return false;
}

SDL_Event driveEvent(Drive drive, float deflection)
{
    SDL_Event event{};
    SDLKey key = SDLK_UNKNOWN;
    if (driveKey(drive, deflection, key) || (deflection == 0.0f && driveKey(drive, 1.0f, key))) {
        event.type = event.key.type = deflection == 0.0f ? SDL_KEYUP : SDL_KEYDOWN;
        event.key.state = deflection == 0.0f ? SDL_RELEASED : SDL_PRESSED;
        event.key.keysym.sym = key;
        return event;
    }
    event.type = event.jaxis.type = SDL_JOYAXISMOTION;
    event.jaxis.axis = static_cast<uint8_t>(drive);
    event.jaxis.value = static_cast<int16_t>(std::lround(deflection * axisSign(drive) * 32768.0));
    return event;
}

const char* axisPartName(Drive drive)
{
    return partOfDrive(drive).name;
}

float axisSign(Drive drive)
{
    return partOfDrive(drive).sign;
}

float axisValue(int16_t raw)
{
    if (raw >= -kDeadZone && raw <= kDeadZone)
        return 0.0f;
    return static_cast<float>(raw * 3.0517578125e-05);
}

bool isAxisPartName(const std::string& name)
{
    for (const AxisPart& part : kAxisParts)
        if (name == part.name)
            return true;
    return false;
}

std::map<int32_t, std::string> ExcavatorController::axisPartNames() const
{
    std::map<int32_t, std::string> names;
    for (const auto& assignment : axisAssignments)
        names[assignment.first] = partOfDrive(assignment.second).name;
    return names;
}

bool ExcavatorController::assignAxisPart(int32_t key, const std::string& name)
{
    for (const AxisPart& part : kAxisParts)
        if (name == part.name)
            return axisAssignments.emplace(key, part.drive).second;
    return false;
}

void ExcavatorController::config(InputSystem& input) { config(std::cin, std::cout, input, SDL_NumJoysticks()); }

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
        axisAssignments.emplace(axisKey(SDL_JOYAXISMOTION, a.joystick, a.axis), movementDrive(a.movement));
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
                                    movementDrive(movement));
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
    if (event->key.keysym.sym == SDLK_m) {
        if (!muteKeyDown)
            soundMuted = !soundMuted;
        muteKeyDown = true;
    }
    if (!excavator)
        return;
    const SDLKey key = event->key.keysym.sym;
    if (key == SDLK_g) {
        // g sets the grade through the cutting edge, G (shifted) clears it.
        if (event->key.keysym.mod & KMOD_SHIFT)
            excavator->grade = GradeTarget();
        else if (!gradeKeyDown)
            excavator->grade = gradeAtCuttingEdge(*excavator);
        gradeKeyDown = true;
    }
    Drive drive = Drive::Slewing;
    float deflection = 0.0f;
    if (keyDrive(key, drive, deflection))
        excavator->setDrive(drive, deflection);
}

void ExcavatorController::keyReleased(const SDL_Event* event)
{
    if (event->key.keysym.sym == SDLK_h)
        overlayKeyDown = false;
    if (event->key.keysym.sym == SDLK_m)
        muteKeyDown = false;
    if (event->key.keysym.sym == SDLK_g)
        gradeKeyDown = false;
    Drive drive = Drive::Slewing;
    float deflection = 0.0f;
    if (excavator && keyDrive(event->key.keysym.sym, drive, deflection))
        excavator->setDrive(drive, 0.0f);
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
        excavator->setDrive(found->second, partOfDrive(found->second).sign * v);
}
