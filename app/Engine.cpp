#include "app/Engine.h"

#include "base/Log.h"
#include "app/Scene.h"
#include "input/InputSystem.h"

Engine::Engine(int32_t width_, int32_t height_, bool fullscreen_)
    : SimulationWindow("Kelvarro", width_, height_, 32, fullscreen_),
      loop(EngineLoop::Hooks{[this] { input->poll(); }, [this] { scene->render(); },
                             [this] { input->dispatch(); }, [this](double step) { scene->simulate(step); },
                             [this] { return paused.load(); }})
{
    input = &InputSystem::getInstance();
    input->setWindow(this);
    try {
        scene = new Scene();
    } catch (...) {
        input->setWindow(nullptr);  // this object dies on the way out
        throw;
    }
    running = true;
}

Engine::~Engine()
{
    input->setWindow(nullptr);
    delete scene;
}

void Engine::start()
{
    logMessage("[Engine] Starting simulation.");
    loop.run(running, simulationThread);
}

void Engine::stop() { running = false; }

void Engine::togglePause()
{
    SDL_Delay(150);
    paused = !paused;
}
