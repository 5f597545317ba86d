#include "input/JoystickAssignment.h"

#include <istream>
#include <ostream>
#include <sstream>

#include "base/Error.h"
#include "base/TextFile.h"

namespace {

// The next line (without its '\n') of at most kAssignmentMaxLine bytes;
// a longer one is read no further than that. False at the end of the text.
bool boundedLine(std::istream& in, std::string& line, bool& tooLong, size_t& bytes)
{
    line.clear();
    tooLong = false;
    int c = 0;
    while ((c = in.get()) != std::char_traits<char>::eof()) {
        ++bytes;
        if (c == '\n')
            return true;
        if (line.size() == kAssignmentMaxLine) {
            tooLong = true;
            return true;
        }
        line += static_cast<char>(c);
    }
    return !line.empty();
}

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
    bool tooLong = false;
    size_t bytes = 0;
    while (boundedLine(in, line, tooLong, bytes)) {
        ++number;
        if (tooLong)
            return fail("longer than " + std::to_string(kAssignmentMaxLine) + " bytes (it begins " +
                        excerpt(line, '\'') + ")");
        if (bytes > kAssignmentMaxBytes)
            return fail("past " + sizeText(kAssignmentMaxBytes) + ", the most an assignment file may hold");
        std::istringstream words(line);
        std::string name, joystick, axis, more;
        if (!(words >> name) || name[0] == '#')
            continue;
        if (!(words >> joystick >> axis))
            return fail("expected \"movement joystick axis\"");
        if (words >> more)
            return fail("unexpected " + excerpt(more, '\'') + " after the axis");
        SavedAxis a;
        a.movement = -1;
        for (int m = 0; m < kSavedMovements; ++m)
            if (name == savedMovementNames()[m])
                a.movement = m;
        if (a.movement < 0)
            return fail("unknown movement " + excerpt(name, '\''));
        if (!byteValue(joystick, a.joystick))
            return fail("joystick " + excerpt(joystick, '\'') + " is not a number from 0 to 255");
        if (!byteValue(axis, a.axis))
            return fail("axis " + excerpt(axis, '\'') + " is not a number from 0 to 255");
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
