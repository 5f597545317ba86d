#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

// Helpers for tests that read files: a fresh scratch directory, text and
// bitmap writers, and the text of a fatal error.
namespace testfiles {

// An empty directory under the system temp folder, unique per process and
// name; the returned path ends in '/'.
inline std::string scratchDir(const std::string& name)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("kelvarro_" + name + "_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string() + "/";
}

inline void writeText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// The text a fatal error throws, or "" when the call returns normally.
inline std::string fatalText(const std::function<void()>& call)
{
    try {
        call();
    } catch (const char* text) {
        return text;
    }
    return "";
}

namespace detail {
inline void put16(std::vector<uint8_t>& b, uint32_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void put32(std::vector<uint8_t>& b, uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
} // namespace detail

// A bitmap as bytes. pixels are rows top first, each pixel B, G, R (and A
// for 32 bits), unpadded; rows are written bottom first, padded to 4 bytes.
// 32-bit images get a 108-byte header with bit fields and an alpha mask
// unless plainHeader asks for the 40-byte one, which 24-bit images always get.
inline std::vector<uint8_t> bmpBytes(int width, int height, int bitsPerPixel, const std::vector<uint8_t>& pixels,
                                     bool plainHeader = false)
{
    using detail::put16;
    using detail::put32;
    const int bytesPerPixel = bitsPerPixel / 8;
    const uint32_t rowSize = (static_cast<uint32_t>(width * bytesPerPixel) + 3u) & ~3u;
    const bool fields = bitsPerPixel == 32 && !plainHeader;
    const uint32_t headerSize = fields ? 108 : 40;
    const uint32_t offset = 14 + headerSize;
    const uint32_t imageSize = rowSize * static_cast<uint32_t>(height);
    std::vector<uint8_t> b;
    b.push_back('B');
    b.push_back('M');
    put32(b, offset + imageSize);
    put32(b, 0);
    put32(b, offset);
    put32(b, headerSize);
    put32(b, static_cast<uint32_t>(width));
    put32(b, static_cast<uint32_t>(height));  // positive: bottom row first
    put16(b, 1);
    put16(b, static_cast<uint32_t>(bitsPerPixel));
    put32(b, fields ? 3 : 0);  // BI_BITFIELDS : BI_RGB
    put32(b, imageSize);
    put32(b, 2835);
    put32(b, 2835);
    put32(b, 0);
    put32(b, 0);
    if (fields) {
        put32(b, 0x00FF0000);  // red
        put32(b, 0x0000FF00);  // green
        put32(b, 0x000000FF);  // blue
        put32(b, 0xFF000000);  // alpha
        put32(b, 0x73524742);  // 'sRGB'
        for (int i = 0; i < 12; ++i)
            put32(b, 0);  // end points and gamma
    }
    for (int y = height - 1; y >= 0; --y) {
        const size_t row = static_cast<size_t>(y) * static_cast<size_t>(width * bytesPerPixel);
        b.insert(b.end(), pixels.begin() + static_cast<long>(row),
                 pixels.begin() + static_cast<long>(row + static_cast<size_t>(width * bytesPerPixel)));
        for (uint32_t pad = static_cast<uint32_t>(width * bytesPerPixel); pad < rowSize; ++pad)
            b.push_back(0);
    }
    return b;
}

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace testfiles
