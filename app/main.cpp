#include <SDL.h>

#include <unistd.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include "base/Answer.h"
#include "base/DataFolder.h"
#include "base/EntryPoint.h"
#include "base/Fatal.h"
#include "app/Engine.h"
#include "app/Options.h"
#include "app/SessionRun.h"
#include "base/Log.h"
#include "exercise/Exercise.h"
#include "exercise/ExerciseRun.h"
#include "input/ExcavatorController.h"
#include "input/InputSystem.h"
#include "input/SessionPlayer.h"

namespace {

int run(int argc, char** argv)
{
    logLevel = 3;

    StartOptions options;
    std::string optionError;
    bool usageHelps = true;
    if (!parseOptions(argc, argv, options, optionError, &usageHelps)) {
        std::cerr << optionError << "\n" << (usageHelps ? usageText() : "");
        return 1;
    }
    if (options.help) {
        std::cout << usageText();
        return 0;
    }

    std::cout << "Kelvarro - excavator simulator\n\n"
              << "Operating keys:\n"
              << " - w, s - bending arm\n"
              << " - a, d - undercarriage\n"
              << " - i, k - monoblock\n"
              << " - j, l - ground plate\n"
              << " - 5, 2 (numpad) - left track\n"
              << " - 6, 3 (numpad) - right track\n"
              << " - p - pause (the view can still be turned)\n"
              << " - g, G (shifted) - set the target grade at the cutting edge, clear it\n"
              << " - h - show/hide the figures on the picture\n"
              << " - m - mute/unmute the sound\n"
              << " - e - end the exercise (with --exercise NAME)\n"
              << " - Esc - exit\n\n"
              << "Camera zoom/rotate - mouse move with right/left button pressed\n"
              << "Changing view mode - scroll wheel\n\n";

    // Kept in the folder the program was started in, even when data/ is read elsewhere.
    std::error_code startError;
    const std::filesystem::path started = std::filesystem::current_path(startError);
    const std::string joystickFile = startError ? "kelvarro-joystick.cfg" : (started / "kelvarro-joystick.cfg").string();
    SessionRun::Settings sessionSettings;
    sessionSettings.record = options.record;
    sessionSettings.folder = startError ? "sessions" : (started / "sessions").string();
    sessionSettings.trace = options.trace;
    sessionSettings.replay = options.replay;
    sessionSettings.force = options.force;
    // Named from where the program was started, before it moves to data/'s folder.
    for (std::string* path : {&sessionSettings.trace, &sessionSettings.replay})
        if (!path->empty() && !startError && std::filesystem::path(*path).is_relative())
            *path = (started / *path).string();

    // Before the questions: a program that cannot start says so at once.
    std::error_code error;
    const std::string working = std::filesystem::current_path(error).string();
    const std::string folder = findDataFolder(working, executableFolder());
    if (folder != working && chdir(folder.c_str()) != 0)
        throwFatal("[Kelvarro] Cannot change to the folder " + folder + ", which holds data/.");
    if (folder != working)
        logMessage(("[Kelvarro] No data/ in the working folder; reading " + folder + "/data/").c_str());
    // A recording to watch is read whole before anything starts.
    const auto session = std::make_unique<SessionRun>(sessionSettings, std::cerr);
    const SessionHeader* replayed = session->replayedHeader();
    // A watched recording sets up the exercise it was made in.
    if (replayed)
        options.exercise = replayed->exercise;
    // An exercise that cannot be read ends the program before the questions.
    Exercise exercise;
    if (!options.exercise.empty()) {
        std::string fault;
        if (!loadExercise(exercisePath("data/", options.exercise), exercise, fault))
            throwFatal(fault);
        // A moved start place is checked on the terrain when the exercise begins.
        if (replayed && replayed->startMoved) {
            exercise.startX = replayed->startX;
            exercise.startZ = replayed->startZ;
            exercise.startHeadingDegrees = replayed->startHeadingDegrees;
        }
    }

    // A question the command line answered is not asked.
    bool high = options.highResolution.value_or(false);
    if (!options.highResolution) {
        std::cout << "Do you want to run in hight resulution (1280x1024) [y/n]? ";
        high = answeredYes(std::cin);
    }
    const int32_t width = high ? 1280 : 1024;
    const int32_t height = high ? 1024 : 768;
    bool fullscreen = options.fullscreen.value_or(false);
    if (!options.fullscreen) {
        std::cout << "Do you want to run in fullscreen mode [y/n]? ";
        fullscreen = answeredYes(std::cin);
    }

    ExcavatorController controller;  // the window's input system runs its joystick questions
    // A watched recording brings its own joystick assignment.
    controller.joystickOffered = !options.noJoystick && !replayed;
    controller.assignmentFile = joystickFile;
    controller.soundMuted = options.mute;
    const auto answered = std::chrono::steady_clock::now();
    std::cout << "Loading...\n";
    std::cout.flush();

    // Made after the session run and so gone before it: a recording whose
    // session failed is flushed whole but for its closing line, as a killed one.
    const auto engine = std::make_unique<Engine>(controller, width, height, fullscreen, answered,
                                                 options.exercise.empty() ? nullptr : &exercise,
                                                 replayed ? replayed->soil : std::string());
    // Reports go beside the joystick file, in the folder the program was started in.
    engine->reportFolder = startError ? "reports" : (started / "reports").string();
    SessionHeader& header = engine->sessionHeader;
    if (replayed) {
        header = *replayed;
        applySessionSetup(header, controller, *engine->input);
    } else {
        header.program = programVersion();
        header.data = dataChecksum("data");
        header.started = sessionTime(static_cast<int64_t>(std::time(nullptr)));
        header.hires = high;
        header.fullscreen = fullscreen;
        header.axes = controller.axisPartNames();
        header.exercise = options.exercise;
        header.trainee = options.trainee;
        // A replay's report stays out of the trainee's folder: it is no new attempt.
        if (!options.trainee.empty()) {
            engine->reportFolder += "/" + options.trainee;
            engine->progressTitle = "Progress of " + options.trainee;
        }
    }
    if (engine->exercise)
        engine->exercise->trainee = header.trainee;
    engine->start(session.get());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    return runEntryPoint("Kelvarro", [&] { return run(argc, argv); });
}
