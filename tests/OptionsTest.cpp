#include <gtest/gtest.h>

#include <SDL.h>

#include <functional>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "TestFiles.h"
#include "app/Options.h"
#include "base/EntryPoint.h"
#include "base/Error.h"
#include "base/Names.h"
#include "input/ExcavatorController.h"
#include "input/InputSystem.h"
#include "input/JoystickAssignment.h"

// Each command line: accepted or refused (naming the fault), and the
// answers it gives; --help lists every option of the table.
TEST(Options, CommandLinesAnswerTheStartUpQuestions)
{
    const struct {
        std::vector<const char*> args;
        const char* error;  // null: accepted
        int high, full;     // -1: asked at start-up
        bool noJoystick, help;
    } cases[] = {
        {{}, nullptr, -1, -1, false, false},
        {{"--hires", "--windowed"}, nullptr, 1, 0, false, false},
        {{"--lowres", "--fullscreen", "--no-joystick"}, nullptr, 0, 1, true, false},
        {{"--hires", "--lowres"}, nullptr, 0, -1, false, false},  // the last word wins
        {{"--help"}, nullptr, -1, -1, false, true},
        {{"--hires", "-x"}, "[Options] Unknown option '-x'.", -1, -1, false, false},
        {{"hires"}, "[Options] Unknown option 'hires'.", -1, -1, false, false},
        {{"--HIRES"}, "[Options] Unknown option '--HIRES'.", -1, -1, false, false},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv = {"kelvarro"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.back());
        StartOptions o;
        std::string error;
        ASSERT_EQ(parseOptions(static_cast<int>(argv.size()), argv.data(), o, error), c.error == nullptr);
        if (c.error) {
            EXPECT_EQ(error, c.error);
            continue;
        }
        EXPECT_EQ(o.highResolution.has_value() ? int(*o.highResolution) : -1, c.high);
        EXPECT_EQ(o.fullscreen.has_value() ? int(*o.fullscreen) : -1, c.full);
        EXPECT_EQ(o.noJoystick, c.noJoystick);
        EXPECT_EQ(o.help, c.help);
    }
    const std::string usage = usageText();
    for (const OptionRow& r : optionTable())
        EXPECT_NE(usage.find(std::string("  ") + r.name + " "), std::string::npos) << r.name;
}

// A trainee's name names a folder under reports/: only names that stay in
// it and read the same on any system pass, and a refused one is the
// option's one tagged line.
TEST(Options, TraineeNamesStayInTheirFolder)
{
    const struct {
        std::string name;
        const char* fault;  // "" when accepted
    } cases[] = {
        {"Ann Lee", ""},
        {"o.brien_2-b", ""},
        {"...", ""},
        {std::string(40, 'a'), ""},
        {std::string(41, 'a'), "longer than 40 characters"},
        {"", "an empty name"},
        {".", "it names a folder above or the folder itself"},
        {"..", "it names a folder above or the folder itself"},
        {"../ann", "only letters, digits, space, '_', '.' and '-' may be used"},
        {"ann/..", "only letters, digits, space, '_', '.' and '-' may be used"},
        {"C:\\ann", "only letters, digits, space, '_', '.' and '-' may be used"},
        {"ann\nlee", "only letters, digits, space, '_', '.' and '-' may be used"},
        {"J\xc3\xb6rg", "only letters, digits, space, '_', '.' and '-' may be used"},
        {" ann", "a space at either end"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(traineeNameFault(c.name), c.fault);
        const char* argv[] = {"kelvarro", "--trainee", c.name.c_str()};
        StartOptions o;
        std::string error;
        EXPECT_EQ(parseOptions(3, argv, o, error), *c.fault == '\0');
        EXPECT_EQ(error, *c.fault ? "[Options] --trainee " + excerpt(c.name, '\'', 60) + ": " + c.fault + "." : "");
        EXPECT_EQ(o.trainee, *c.fault ? "" : c.name);
    }
}

// A saved assignment file read back: good ones (comments, blank lines, any
// order), and every damage reported with the file and line.
TEST(JoystickAssignmentFile, ReadsWhatWasWrittenAndNamesTheDamage)
{
    const std::vector<SavedAxis> written = {{0, 0, 1}, {3, 1, 0}, {5, 1, 255}};
    std::stringstream file;
    writeAssignment(file, written);
    const struct {
        std::string text;
        const char* error;  // null: read; else the text after "[JoystickAssignment] f.cfg "
        size_t axes;
    } cases[] = {
        {file.str(), nullptr, 3},
        {"\n# comment\n  rightTrack 0 2  \nmonoblock 0 1\n", nullptr, 2},
        {"", nullptr, 0},
        {"monoblock 0 1\nboom 0 2\n", "line 2: unknown movement 'boom'", 0},
        {"monoblock 0\n", "line 1: expected \"movement joystick axis\"", 0},
        {"monoblock 0 1 7\n", "line 1: unexpected '7' after the axis", 0},
        {"monoblock 0 256\n", "line 1: axis '256' is not a number from 0 to 255", 0},
        {"monoblock -1 2\n", "line 1: joystick '-1' is not a number from 0 to 255", 0},
        {"monoblock 0 1\nmonoblock 0 2\n", "line 2: movement 'monoblock' given twice", 0},
        {"monoblock 0 1\nleftTrack 0 1\n", "line 2: axis 1 of joystick 0 given twice", 0},
        {"monoblock 0 1\n\x01\xff\xfe 3 3\n", "line 2: unknown movement '\\x01\\xff\\xfe'", 0},
        {"monoblock 0 1\n" + std::string(size_t{100} << 20, 'x'), "line 2: longer than 256 bytes", 0},
        {std::string(70000, '\n'), "line 65537: past 64 KiB", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 200));
        std::istringstream in(c.text);
        std::vector<SavedAxis> axes;
        std::string error;
        ASSERT_EQ(readAssignment(in, "f.cfg", axes, error), c.error == nullptr) << error;
        EXPECT_EQ(axes.size(), c.axes);
        EXPECT_LT(error.size(), 120u) << error;
        if (c.error) {
            EXPECT_EQ(error.rfind(std::string("[JoystickAssignment] f.cfg ") + c.error, 0), 0u) << error;
        }
    }
    std::istringstream back(file.str());
    std::vector<SavedAxis> axes;
    std::string error;
    ASSERT_TRUE(readAssignment(back, "f.cfg", axes, error));
    for (size_t i = 0; i < written.size(); ++i)
        EXPECT_TRUE(axes[i].movement == written[i].movement && axes[i].joystick == written[i].joystick &&
                    axes[i].axis == written[i].axis);
}

// The dialogue's choice is saved and offered next time; declined, or
// damaged (reported), the dialogue runs; --no-joystick asks nothing.
TEST(JoystickAssignmentFile, OfferedAtTheNextStart)
{
    const std::string path = testfiles::scratchDir("joystick") + "kelvarro-joystick.cfg";
    InputSystem input;
    // The dialogue: joystick 0 axis 2 for the monoblock, the button alone for the rest.
    auto dialogue = [&](ExcavatorController& c) {
        int pumps = 0;
        return [&c, pumps]() mutable {
            SDL_Event e{};
            if (pumps++ == 0) {
                e.jaxis.type = SDL_JOYAXISMOTION;
                e.jaxis.axis = 2;
                e.jaxis.value = 32767;
                c.joyAxisMoved(&e);
            }
            e.type = SDL_JOYBUTTONUP;
            c.joyButtonReleased(&e);
        };
    };
    const int32_t monoblockKey = axisKey(SDL_JOYAXISMOTION, 0, 2);
    {
        ExcavatorController first;
        first.assignmentFile = path;
        std::istringstream in("y");
        std::ostringstream out;
        first.config(in, out, input, 1, dialogue(first));
        EXPECT_EQ(out.str().find("saved"), std::string::npos) << "nothing saved yet";
        ASSERT_EQ(first.axisAssignments.count(monoblockKey), 1u);
    }
    const struct {
        const char* file;  // null: as saved
        const char* answers;
        bool noJoystick;
        const char* reported;
        bool dialogueRuns;
    } cases[] = {
        {nullptr, "y", false, "", false},
        {nullptr, "n y", false, "", true},
        {nullptr, "", true, "", false},
        {"monoblock 0 x\n", "y y", false, " line 1: axis 'x' is not a number from 0 to 255\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answers);
        if (c.file)
            testfiles::writeText(path, c.file);
        ExcavatorController next;
        next.assignmentFile = path;
        next.joystickOffered = !c.noJoystick;
        std::ostringstream errors, out;
        next.errors = &errors;
        std::istringstream in(c.answers);
        bool ran = false;
        auto pump = dialogue(next);
        next.config(in, out, input, 1, [&] {
            ran = true;
            pump();
        });
        EXPECT_EQ(ran, c.dialogueRuns);
        EXPECT_EQ(out.str().find("Use the saved joystick assignment [y/n]? ") == 0, !c.noJoystick) << out.str();
        EXPECT_EQ(errors.str(), *c.reported ? "[JoystickAssignment] " + path + c.reported : "");
        EXPECT_EQ(next.axisAssignments.count(monoblockKey), c.noJoystick ? 0u : 1u);
        EXPECT_EQ(next.axisAssignments.size(), c.noJoystick ? 0u : 1u);
    }
}

// Whatever a program's body throws ends it with one tagged line and status 1.
TEST(EntryPoint, AnyExceptionIsOneTaggedLineAndStatusOne)
{
    const struct {
        std::function<int()> body;
        const char* line;  // "": the body's own status
    } cases[] = {
        {[] { return 3; }, ""},
        {[]() -> int { throw Error("[SessionReader] x.kvr:3: bad\nline"); }, "[SessionReader] x.kvr:3: bad\\x0aline\n"},
        {[] { return nlohmann::json::parse("1e400").get<int>(); },
         "[Tool] Unexpected failure: [json.exception.out_of_range.406] number overflow parsing '1e400'\n"},
        {[]() -> int { throw std::bad_alloc(); }, "[Tool] Out of memory.\n"},
        {[]() -> int { throw 7; }, "[Tool] Unexpected failure of an unknown kind.\n"},
    };
    for (const auto& c : cases) {
        std::ostringstream errors;
        EXPECT_EQ(runEntryPoint("Tool", c.body, errors), *c.line ? 1 : 3) << c.line;
        EXPECT_EQ(errors.str(), c.line);
    }
}
