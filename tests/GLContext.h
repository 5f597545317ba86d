#pragma once

#include <SDL.h>

// A current OpenGL context for tests that call GL. SDL is initialised and
// the 64x64 window opened once per process and kept until exit (never
// SDL_Quit between tests). A window opened earlier by the code under test
// is reused. False when no context can be had (no display).
inline bool ensureGLContext()
{
    static const bool ready = [] {
        const SDL_Surface* screen = SDL_GetVideoSurface();
        if (screen != nullptr && (screen->flags & SDL_OPENGL) != 0)
            return true;
        if (SDL_WasInit(SDL_INIT_VIDEO) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return false;
        return SDL_SetVideoMode(64, 64, 32, SDL_OPENGL) != nullptr;
    }();
    return ready;
}
