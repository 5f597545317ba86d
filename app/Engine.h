#pragma once

#include <SDL.h>

#include <atomic>

#include "app/EngineLoop.h"
#include "app/SimulationWindow.h"

class InputSystem;
class Scene;

// The application: the window, the world it owns and the two loops that
// run it (render on the main thread, simulation on an SDL thread).
class Engine : public SimulationWindow {
public:
    Engine(int32_t width, int32_t height, bool fullscreen);
    ~Engine() override;

    // Returns once stop has been called and the simulation thread has ended.
    void start();
    void stop() override;
    void togglePause() override;

    bool isPaused() const { return paused; }

    InputSystem* input = nullptr;
    std::atomic<bool> running{false};
    Scene* scene = nullptr;
    SDL_Thread* simulationThread = nullptr;

private:
    // Flipped by p: while set the world is not stepped, but frames are
    // still drawn and the view can still be turned.
    std::atomic<bool> paused{false};
    EngineLoop loop;
};
