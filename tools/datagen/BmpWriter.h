#pragma once
#include <cstdint>
#include <string>
#include <vector>

// An image as the program sees it after loading: row 0 is the top row.
struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;  // 4 bytes per pixel, rows top to bottom

    Image() = default;
    Image(int w, int h) : width(w), height(h), rgba(static_cast<size_t>(w) * h * 4, 0) {}
    uint8_t* at(int x, int y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
    const uint8_t* at(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
    void set(int x, int y, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255)
    {
        uint8_t* p = at(x, y);
        p[0] = r; p[1] = g; p[2] = b; p[3] = a;
    }
};

// Uncompressed Windows bitmap, rows bottom-up and padded to 4 bytes.
// 24 bits: BGR, alpha dropped. 32 bits: BGRA with a V4 header whose masks
// name the fourth byte as alpha.
std::string bmpBytes(const Image& image, int bitsPerPixel);
void writeBmp(const std::string& path, const Image& image, int bitsPerPixel);
