#pragma once

#include <SDL.h>

// Receives mouse events on the thread that dispatches input.
class MouseListener {
public:
    virtual ~MouseListener() = default;
    virtual void mouseButtonPressed(const SDL_Event* event) = 0;   // SDL_MOUSEBUTTONDOWN
    virtual void mouseButtonReleased(const SDL_Event* event) = 0;  // SDL_MOUSEBUTTONUP
    virtual void mouseMoved(const SDL_Event* event) = 0;           // SDL_MOUSEMOTION
};
