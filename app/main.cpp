#include <SDL.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "base/Answer.h"
#include "base/DataFolder.h"
#include "base/Fatal.h"
#include "app/Engine.h"
#include "base/Log.h"
#include "input/ExcavatorController.h"

int main(int, char**)
{
    logLevel = 3;

    std::cout << "Kelvarro - excavator simulator\n\n"
              << "Operating keys:\n"
              << " - w, s - bending arm\n"
              << " - a, d - undercarriage\n"
              << " - i, k - monoblock\n"
              << " - j, l - ground plate\n"
              << " - 5, 2 (numpad) - left track\n"
              << " - 6, 3 (numpad) - right track\n"
              << " - p - pause (the view can still be turned)\n"
              << " - Esc - exit\n\n"
              << "Camera zoom/rotate - mouse move with right/left button pressed\n"
              << "Changing view mode - scroll wheel\n\n";

    // Before the questions: a program that cannot start says so at once.
    try {
        std::error_code error;
        const std::string working = std::filesystem::current_path(error).string();
        const std::string folder = findDataFolder(working, executableFolder());
        if (folder != working && chdir(folder.c_str()) != 0)
            throwFatal("[Kelvarro] Cannot change to the folder " + folder + ", which holds data/.");
        if (folder != working)
            logMessage(("[Kelvarro] No data/ in the working folder; reading " + folder + "/data/").c_str());
    } catch (const char* message) {
        std::cout.flush();
        std::cerr << message << "\n";
        return 1;
    }

    std::cout << "Do you want to run in hight resulution (1280x1024) [y/n]? ";
    const bool high = answeredYes(std::cin);
    const int32_t width = high ? 1280 : 1024;
    const int32_t height = high ? 1024 : 768;
    std::cout << "Do you want to run in fullscreen mode [y/n]? ";
    const bool fullscreen = answeredYes(std::cin);

    ExcavatorController::getInstance();  // may ask about the joystick
    const auto answered = std::chrono::steady_clock::now();
    std::cout << "Loading...\n";
    std::cout.flush();

    Engine* engine = nullptr;
    try {
        engine = new Engine(width, height, fullscreen, answered);
        engine->start();
    } catch (const char* message) {
        std::cout.flush();
        std::cerr << message << "\n";
        delete engine;  // null when construction itself failed
        return 1;
    }
    delete engine;
    return 0;
}
