#pragma once

#include <cstdint>

// The operator's six drives.
enum class Drive : uint8_t { Slewing, Monoblock, BendingArm, GroundPlate, LeftTrack, RightTrack };
constexpr int kDriveCount = 6;

// What the operator asks of the machine: each drive's deflection in
// [-1, 1], as a joystick axis gives it. +1 is what the first key of each
// pair gives: a (slewing), k (monoblock), w (bending arm), j (ground
// plate), keypad 5 and 6 (the tracks forward).
struct MachineCommand {
    float deflection[kDriveCount] = {};

    float& operator[](Drive d) { return deflection[static_cast<int>(d)]; }
    float operator[](Drive d) const { return deflection[static_cast<int>(d)]; }
};
