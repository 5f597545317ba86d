#include "app/Options.h"

#include "base/Error.h"
#include "base/Names.h"

const std::vector<OptionRow>& optionTable()
{
    static const std::vector<OptionRow> table = {
        {"--hires", nullptr, "a 1280x1024 window, without asking",
         [](StartOptions& o, const std::string&) { o.highResolution = true; }},
        {"--lowres", nullptr, "a 1024x768 window, without asking",
         [](StartOptions& o, const std::string&) { o.highResolution = false; }},
        {"--fullscreen", nullptr, "full screen, without asking",
         [](StartOptions& o, const std::string&) { o.fullscreen = true; }},
        {"--windowed", nullptr, "in a window, without asking",
         [](StartOptions& o, const std::string&) { o.fullscreen = false; }},
        {"--no-joystick", nullptr, "keyboard only: no joystick questions",
         [](StartOptions& o, const std::string&) { o.noJoystick = true; }},
        {"--no-record", nullptr, "no recording of the session in sessions/",
         [](StartOptions& o, const std::string&) { o.record = false; }},
        {"--trace", "FILE", "a CSV row of the machine's state after every step",
         [](StartOptions& o, const std::string& v) { o.trace = v; }},
        {"--replay", "FILE", "watch a recorded session (space pauses, +/- speed, t takes over)",
         [](StartOptions& o, const std::string& v) { o.replay = v; }},
        {"--force", nullptr, "replay a recording of another program version or data/",
         [](StartOptions& o, const std::string&) { o.force = true; }},
        {"--exercise", "NAME", "run the exercise data/exercises/NAME.json",
         [](StartOptions& o, const std::string& v) { o.exercise = v; }},
        {"--mute", nullptr, "start with the sound muted (m unmutes)",
         [](StartOptions& o, const std::string&) { o.mute = true; }},
        {"--trainee", "NAME", "the trainee's name, kept with the session; reports go to reports/NAME/",
         [](StartOptions& o, const std::string& v) { o.trainee = v; }, traineeNameFault},
        {"--help", nullptr, "this list, then exit", [](StartOptions& o, const std::string&) { o.help = true; }},
    };
    return table;
}

bool parseOptions(int argc, const char* const* argv, StartOptions& options, std::string& error, bool* usageHelps)
{
    if (usageHelps)
        *usageHelps = true;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const OptionRow* row = nullptr;
        for (const OptionRow& r : optionTable())
            if (word == r.name)
                row = &r;
        if (!row) {
            error = "[Options] Unknown option '" + word + "'.";
            return false;
        }
        std::string value;
        if (row->argument) {
            if (i + 1 >= argc) {
                error = std::string("[Options] ") + row->name + " needs a " + row->argument + ".";
                return false;
            }
            value = argv[++i];
        }
        if (row->fault && !row->fault(value).empty()) {
            if (usageHelps)
                *usageHelps = false;
            error = std::string("[Options] ") + row->name + " " + excerpt(value, '\'', 60) + ": " +
                    row->fault(value) + ".";
            return false;
        }
        row->apply(options, value);
    }
    return true;
}

std::string usageText()
{
    std::string text = "usage: kelvarro [OPTION]...\n"
                       "Without options the start-up questions are asked on the console.\n";
    for (const OptionRow& r : optionTable()) {
        std::string left = std::string("  ") + r.name;
        if (r.argument)
            left += std::string(" ") + r.argument;
        if (left.size() < 22)
            left.resize(22, ' ');
        else
            left += "  ";
        text += left + r.help + "\n";
    }
    return text;
}
