#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

// The joystick axes chosen in the assignment dialogue, as kept in a file
// between runs: one line per assigned movement, "<movement> <joystick>
// <axis>", '#' lines are comments. Movements are numbered in the
// dialogue's order (0 monoblock .. 5 right track).
struct SavedAxis {
    int32_t movement = 0;
    uint8_t joystick = 0;
    uint8_t axis = 0;
};

// Names of the movements in the file, in the dialogue's order.
const char* const* savedMovementNames();
constexpr int kSavedMovements = 6;

// What an assignment file may hold at most: six lines of a few words are
// all it needs; comments fit well within.
constexpr size_t kAssignmentMaxBytes = 64 * 1024, kAssignmentMaxLine = 256;

void writeAssignment(std::ostream& out, const std::vector<SavedAxis>& axes);
// False, with "[JoystickAssignment] <file> line <n>: <fault>" in `error`, on
// an unknown movement, a bad or out-of-range number, a movement or an axis
// given twice, anything more on a line, a line or a file over the limits.
bool readAssignment(std::istream& in, const std::string& fileName, std::vector<SavedAxis>& axes, std::string& error);
