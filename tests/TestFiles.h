#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/Error.h"

// Helpers for tests that read files: a fresh scratch directory, text and
// bitmap writers, and the text of a fatal error.
namespace testfiles {

// An empty directory under the system temp folder, unique per process and name, ending in '/'.
inline std::string scratchDir(const std::string& name)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("kelvarro_" + name + "_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string() + "/";
}

inline void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The text a fatal error throws, or "" when the call returns normally.
inline std::string fatalText(const std::function<void()>& call)
{
    try {
        call();
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

// A bitmap as bytes: pixels are rows top first, each pixel B, G, R (and A for 32 bits), unpadded; rows are
// written bottom first, padded to 4 bytes. 32-bit images get a 108-byte header with bit fields and an alpha
// mask unless plainHeader asks for the 40-byte one, which 24-bit images always get.
inline std::vector<uint8_t> bmpBytes(int width, int height, int bitsPerPixel, const std::vector<uint8_t>& pixels,
                                     bool plainHeader = false)
{
    const uint32_t rowBytes = static_cast<uint32_t>(width * bitsPerPixel / 8), rowSize = (rowBytes + 3u) & ~3u;
    const bool fields = bitsPerPixel == 32 && !plainHeader;
    const uint32_t offset = 14 + (fields ? 108 : 40), imageSize = rowSize * static_cast<uint32_t>(height);
    std::vector<uint8_t> b = {'B', 'M'};
    const auto put = [&b](uint32_t v, int bytes) {
        for (int k = 0; k < bytes; ++k)
            b.push_back(static_cast<uint8_t>(v >> (8 * k)));
    };
    // size, reserved, offset, header size, width, height (positive: bottom row first); planes, bits;
    for (uint32_t v : {offset + imageSize, 0u, offset, offset - 14, static_cast<uint32_t>(width),
                       static_cast<uint32_t>(height)})
        put(v, 4);
    put(1, 2);
    put(static_cast<uint32_t>(bitsPerPixel), 2);
    for (uint32_t v : {fields ? 3u : 0u, imageSize, 2835u, 2835u, 0u, 0u})  // bit fields or RGB, size, resolution
        put(v, 4);
    if (fields) {  // red, green, blue and alpha masks, 'sRGB', end points and gamma
        for (uint32_t v : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u, 0x73524742u})
            put(v, 4);
        b.resize(b.size() + 48, 0);
    }
    for (int y = height - 1; y >= 0; --y) {
        const auto row = pixels.begin() + static_cast<long>(y) * rowBytes;
        b.insert(b.end(), row, row + rowBytes);
        b.resize(b.size() + rowSize - rowBytes, 0);
    }
    return b;
}

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

} // namespace testfiles
