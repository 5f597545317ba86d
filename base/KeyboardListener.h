#pragma once

#include <SDL.h>

// Receives key events on the thread that dispatches input.
class KeyboardListener {
public:
    virtual ~KeyboardListener() = default;
    virtual void keyPressed(const SDL_Event* event) = 0;   // SDL_KEYDOWN
    virtual void keyReleased(const SDL_Event* event) = 0;  // SDL_KEYUP
};
