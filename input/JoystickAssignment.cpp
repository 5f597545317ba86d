#include "input/JoystickAssignment.h"

#include <istream>
#include <ostream>
#include <sstream>

namespace {

// A whole decimal number within [0, 255].
bool byteValue(const std::string& word, uint8_t& value)
{
    if (word.empty() || word.size() > 3 || word.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int v = std::stoi(word);
    if (v > 255)
        return false;
    value = static_cast<uint8_t>(v);
    return true;
}

}  // namespace

const char* const* savedMovementNames()
{
    static const char* const names[kSavedMovements] = {"monoblock",     "groundPlate", "bendingArm",
                                                       "undercarriage", "leftTrack",   "rightTrack"};
    return names;
}

void writeAssignment(std::ostream& out, const std::vector<SavedAxis>& axes)
{
    out << "# Kelvarro joystick assignment: movement joystick axis\n";
    for (const SavedAxis& a : axes)
        out << savedMovementNames()[a.movement] << ' ' << static_cast<int>(a.joystick) << ' '
            << static_cast<int>(a.axis) << '\n';
}

bool readAssignment(std::istream& in, const std::string& fileName, std::vector<SavedAxis>& axes, std::string& error)
{
    axes.clear();
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& fault) {
        error = "[JoystickAssignment] " + fileName + " line " + std::to_string(number) + ": " + fault;
        axes.clear();
        return false;
    };
    while (std::getline(in, line)) {
        ++number;
        std::istringstream words(line);
        std::string name, joystick, axis, more;
        if (!(words >> name) || name[0] == '#')
            continue;
        if (!(words >> joystick >> axis))
            return fail("expected \"movement joystick axis\"");
        if (words >> more)
            return fail("unexpected '" + more + "' after the axis");
        SavedAxis a;
        a.movement = -1;
        for (int m = 0; m < kSavedMovements; ++m)
            if (name == savedMovementNames()[m])
                a.movement = m;
        if (a.movement < 0)
            return fail("unknown movement '" + name + "'");
        if (!byteValue(joystick, a.joystick))
            return fail("joystick '" + joystick + "' is not a number from 0 to 255");
        if (!byteValue(axis, a.axis))
            return fail("axis '" + axis + "' is not a number from 0 to 255");
        for (const SavedAxis& b : axes) {
            if (b.movement == a.movement)
                return fail("movement '" + name + "' given twice");
            if (b.joystick == a.joystick && b.axis == a.axis)
                return fail("axis " + axis + " of joystick " + joystick + " given twice");
        }
        axes.push_back(a);
    }
    if (in.bad())
        return fail("cannot be read");
    return true;
}
