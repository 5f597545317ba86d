#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// What the command line answers before the start-up questions; a question
// whose answer is given here is not asked.
struct StartOptions {
    std::optional<bool> highResolution;
    std::optional<bool> fullscreen;
    bool noJoystick = false;
    bool help = false;
    bool record = true;   // the session into sessions/
    std::string trace;    // CSV of every step; empty: none
    std::string replay;   // a recording to watch; empty: a live session
    bool force = false;   // replay another version's or data/'s recording
    std::string exercise;  // data/exercises/<name>.json; empty: free digging
    bool mute = false;     // the sound starts muted
    std::string trainee;   // whose session: in its recording and report; empty: nobody named
};

// One command-line option: a new option is one row of optionTable() (and
// the field it fills).
struct OptionRow {
    const char* name;      // "--hires"
    const char* argument;  // its value's name in the usage ("FILE"), or null for a switch
    const char* help;
    std::function<void(StartOptions&, const std::string& value)> apply;
    // What is wrong with the value ("" when nothing); null: any value will do.
    std::string (*fault)(const std::string& value) = nullptr;
};

const std::vector<OptionRow>& optionTable();

// Reads argv[1 .. argc - 1]. False, with the fault in `error` (tagged
// "[Options]"), on an unknown option or a missing value (`usageHelps` set:
// the usage is worth showing) or a refused value (the one line says why).
bool parseOptions(int argc, const char* const* argv, StartOptions& options, std::string& error,
                  bool* usageHelps = nullptr);

// "usage: kelvarro [OPTION]..." and one line per option.
std::string usageText();
