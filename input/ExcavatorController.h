#pragma once

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

#include "base/JoystickListener.h"
#include "base/KeyboardListener.h"
#include "excavator/MachineCommand.h"
#include "input/JoystickAssignment.h"

class Excavator;
class InputSystem;

// The drive a machine key works and the deflection it gives while held;
// false for a key that works no drive.
bool keyDrive(SDLKey key, Drive& drive, float& deflection);

// A raw axis reading scaled to [-1, 1), exactly 0 inside the dead zone.
float axisValue(int16_t raw);

// The key that gives the drive this deflection (+1 or -1); false for any other.
bool driveKey(Drive drive, float deflection, SDLKey& key);
// An assigned axis's part name in a session recording, and the sign that
// turns its reading into the drive's deflection.
const char* axisPartName(Drive drive);
float axisSign(Drive drive);

// The event that gives a drive a lever's deflection when a recording is
// replayed: the key of that deflection, that key's release for 0, else the
// drive's joystick axis (joystick 0, axis number = drive).
SDL_Event driveEvent(Drive drive, float deflection);

// Key of an axis in the assignments: (type << 16) | (joystick << 8) | axis.
inline int32_t axisKey(uint8_t type, uint8_t joystick, uint8_t axis)
{
    return (static_cast<int32_t>(type) << 16) | (static_cast<int32_t>(joystick) << 8) | axis;
}

// True for a part name of axisPartNames.
bool isAxisPartName(const std::string& name);

// Turns keys and joystick axes into commands on one world's excavator; its
// owner (the program, a tool, a test) makes one per world. Its listener
// operations run on the thread that dispatches input.
class ExcavatorController : public KeyboardListener, public JoystickListener {
public:
    ExcavatorController() = default;
    ~ExcavatorController() override = default;
    ExcavatorController(const ExcavatorController&) = delete;
    ExcavatorController& operator=(const ExcavatorController&) = delete;

    // The scene attaches the machine; until then all input is ignored.
    void setExcavator(Excavator* machine) { excavator = machine; }

    // Registers with the input system as keyboard listener; with joysticks
    // present asks on the console whether they are to drive the machine and
    // runs the axis assignment dialogue.
    void config(InputSystem& input);
    // The same on given streams and input system. `pump` runs once per wait
    // step of the dialogue (poll, dispatch and a 15 ms pause when empty).
    void config(std::istream& in, std::ostream& out, InputSystem& input, int joystickCount,
                const std::function<void()>& pump = nullptr);

    void keyPressed(const SDL_Event* event) override;
    void keyReleased(const SDL_Event* event) override;
    void joyButtonPressed(const SDL_Event* event) override;
    void joyButtonReleased(const SDL_Event* event) override;
    void joyAxisMoved(const SDL_Event* event) override;

    struct CapturedAxis {
        uint8_t type = 0;  // 0: nothing captured
        uint8_t joystick = 0;
        uint8_t axis = 0;
        int16_t value = 0;
    };

private:
    // Offers the saved assignment; true when it was taken and loaded.
    bool useSavedAssignment(std::istream& in, std::ostream& out);
    void saveAssignment(const std::vector<SavedAxis>& axes);

public:
    Excavator* excavator = nullptr;
    // Flipped by h (once per press, not per key repeat): the frame draws the
    // figures over the picture while set.
    std::atomic<bool> overlayShown{true};
    // Flipped by m, once per press: the machine's sound is silent while set.
    std::atomic<bool> soundMuted{false};
    // Set by e; the exercise under way takes it and ends.
    std::atomic<bool> exerciseEndAsked{false};
    bool overlayKeyDown = false;
    bool muteKeyDown = false;
    bool gradeKeyDown = false;  // g sets the grade once per press
    // False: no joystick questions (keyboard only).
    bool joystickOffered = true;
    // Where the assignment chosen in the dialogue is kept and offered from
    // next time; empty: neither.
    std::string assignmentFile;
    std::ostream* errors = nullptr;  // where a damaged file is reported; null: standard error
    bool configuring = false;
    bool buttonReleased = false;
    CapturedAxis capturedAxis;
    // Each assigned axis and the drive it works.
    std::map<int32_t, Drive> axisAssignments;

    // The assignments by part name ("monoblock", "ground-plate",
    // "bending-arm", "undercarriage", "left-track", "right-track"), as a
    // session recording keeps them.
    std::map<int32_t, std::string> axisPartNames() const;
    // Gives the axis to the named part, as the dialogue would; false for an
    // unknown name or an axis already assigned.
    bool assignAxisPart(int32_t key, const std::string& part);
};
