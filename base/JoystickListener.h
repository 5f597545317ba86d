#pragma once

#include <SDL.h>

// Receives joystick events on the thread that dispatches input.
class JoystickListener {
public:
    virtual ~JoystickListener() = default;
    virtual void joyButtonPressed(const SDL_Event* event) = 0;   // SDL_JOYBUTTONDOWN
    virtual void joyButtonReleased(const SDL_Event* event) = 0;  // SDL_JOYBUTTONUP
    virtual void joyAxisMoved(const SDL_Event* event) = 0;       // SDL_JOYAXISMOTION
};
