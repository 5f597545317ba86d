// kelvarro-scenario NAME [--seconds S] [--csv FILE]
// Run in the folder that holds data/, under a display. Builds the real
// scene, steps it as fast as it goes through the named scenario and prints
// one summary line; the trace goes to FILE.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "app/Scene.h"
#include "assets/ModelLoader.h"
#include "tools/scenario/Scenario.h"

namespace {

int usage()
{
    std::cerr << "usage: kelvarro-scenario NAME [--seconds S] [--csv FILE]\nscenarios:\n";
    for (const Scenario& s : scenarioTable())
        std::cerr << "  " << s.name << " (" << s.seconds << " s): " << s.about << "\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const Scenario* scenario = findScenario(argv[1]);
    if (!scenario)
        return usage();
    double seconds = scenario->seconds;
    std::string csv;
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc)
            return usage();
        const std::string value = argv[++i];
        if (option == "--seconds") {
            char* end = nullptr;
            seconds = std::strtod(value.c_str(), &end);
            if (end == value.c_str() || *end != '\0' || !(seconds > 0.0) || seconds > 1e6)
                return usage();
        } else if (option == "--csv") {
            csv = value;
        } else {
            return usage();
        }
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0 || !SDL_SetVideoMode(64, 64, 32, SDL_OPENGL)) {
        std::cerr << "[Scenario] No display: " << SDL_GetError() << "\n";
        return 1;
    }
    try {
        ModelLoader::getInstance().directory = "data/";
        Scene scene;
        ScenarioRun run(scene, *scenario);
        run.run(seconds);
        if (!csv.empty()) {
            std::ofstream out(csv);
            run.writeTrace(out);
            if (!out) {
                std::cerr << "[Scenario] Cannot write " << csv << "\n";
                return 1;
            }
        }
        std::cout << run.summary() << std::endl;
    } catch (const char* message) {
        std::cerr << message << "\n";
        return 1;
    }
    SDL_Quit();
    return 0;
}
