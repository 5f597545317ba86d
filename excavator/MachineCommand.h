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
    bool operator==(const MachineCommand& o) const
    {
        for (int d = 0; d < kDriveCount; ++d)
            if (deflection[d] != o.deflection[d])
                return false;
        return true;
    }
};

// Cylinder speeds at full deflection (m/s): the rate a drive is given is
// deflection * numerator / denominator, in that order, as the keys and the
// axes have always computed it.
struct CylinderSpeed {
    double numerator, denominator;
};
constexpr CylinderSpeed kMonoblockSpeed{0.07, 0.1}, kBendingArmSpeed{0.09, 0.1}, kGroundPlateSpeed{0.008, 0.01};
