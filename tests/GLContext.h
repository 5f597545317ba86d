#pragma once

#include <SDL.h>

// A current OpenGL context for tests that call GL: the window open now if it
// has one (opened earlier by the code under test), else a 64x64 one, made
// afresh whenever a test before has closed the window or shut SDL down.
// False when no context can be had (no display).
inline bool ensureGLContext()
{
    const SDL_Surface* screen = SDL_GetVideoSurface();
    if (screen != nullptr && (screen->flags & SDL_OPENGL) != 0)
        return true;
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    return SDL_SetVideoMode(64, 64, 32, SDL_OPENGL) != nullptr;
}
