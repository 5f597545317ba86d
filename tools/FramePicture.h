#pragma once

#include <GL/gl.h>
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace toolpicture {

// The frame just drawn in a width x height window, as a 24-bit BMP (the
// software renderer keeps the back buffer after the swap). False when the
// file cannot be written.
inline bool saveFrame(const char* path, int width, int height)
{
    const size_t row = static_cast<size_t>(width) * 3;
    std::vector<unsigned char> rows(row * height), flipped(row * height);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    for (int y = 0; y < height; ++y)
        std::copy(rows.begin() + (height - 1 - y) * row, rows.begin() + (height - y) * row, flipped.begin() + y * row);
    SDL_Surface* s = SDL_CreateRGBSurfaceFrom(flipped.data(), width, height, 24, static_cast<int>(row), 0x0000FF,
                                              0x00FF00, 0xFF0000, 0);
    const bool written = s && SDL_SaveBMP(s, path) == 0;
    SDL_FreeSurface(s);
    return written;
}

// Whether a file can be made at path: a picture that cannot be written
// fails before the work, not after it.
inline bool writable(const char* path)
{
    std::FILE* f = std::fopen(path, "wb");
    return f && std::fclose(f) == 0;
}

}  // namespace toolpicture
