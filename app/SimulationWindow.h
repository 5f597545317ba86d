#pragma once

#include <cstdint>
#include <memory>

#include "input/ProgramControl.h"

class ExcavatorController;
class InputSystem;

// SDL, the one OpenGL window and the fixed-function state that all drawing
// relies on. Construction opens everything (or throws a message text);
// destruction shuts SDL down. Input ends or pauses the program through
// stop and togglePause.
class SimulationWindow : public ProgramControl {
public:
    // With a controller, it listens to the window's input system and any
    // joystick dialogue runs before the window shows.
    SimulationWindow(const char* caption, int32_t width, int32_t height, int32_t bitsPerPixel,
                     bool fullscreen, ExcavatorController* controller = nullptr);
    SimulationWindow(const SimulationWindow&) = delete;
    SimulationWindow& operator=(const SimulationWindow&) = delete;

    virtual ~SimulationWindow();

    const char* caption;
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
    bool fullscreen;
    // The window's input, made once SDL runs (it opens the joysticks).
    std::unique_ptr<InputSystem> input;

    // The scene's light model and white light 0, as every frame expects it;
    // also used by the picture tools so that they light models alike.
    static void initLighting();

protected:
    void initVideo(ExcavatorController* controller);
    void setViewModel();
    void initOpenGL();
};
