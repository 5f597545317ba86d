#include "tools/datagen/BmpWriter.h"

#include "base/Fatal.h"
#include "tools/datagen/ObjWriter.h"

namespace {

void put16(std::string& out, uint32_t v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

}  // namespace

std::string bmpBytes(const Image& image, int bitsPerPixel)
{
    if (bitsPerPixel != 24 && bitsPerPixel != 32) throwFatal("[BmpWriter] Only 24 and 32 bits per pixel.");
    if (image.width <= 0 || image.height <= 0) throwFatal("[BmpWriter] Empty image.");
    const uint32_t bytesPerPixel = bitsPerPixel / 8;
    const uint32_t rowBytes = (image.width * bytesPerPixel + 3) & ~3u;
    const uint32_t infoSize = bitsPerPixel == 32 ? 108 : 40;
    const uint32_t offset = 14 + infoSize;
    const uint32_t dataSize = rowBytes * image.height;

    std::string out;
    out.reserve(offset + dataSize);
    out += "BM";
    put32(out, offset + dataSize);
    put32(out, 0);
    put32(out, offset);
    put32(out, infoSize);
    put32(out, image.width);
    put32(out, image.height);  // positive: bottom-up
    put16(out, 1);
    put16(out, bitsPerPixel);
    put32(out, bitsPerPixel == 32 ? 3 : 0);  // bit fields for the alpha mask, plain otherwise
    put32(out, dataSize);
    put32(out, 2835);  // 72 dpi
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    if (bitsPerPixel == 32) {
        put32(out, 0x00FF0000);
        put32(out, 0x0000FF00);
        put32(out, 0x000000FF);
        put32(out, 0xFF000000);
        put32(out, 0x73524742);  // sRGB colour space
        for (int i = 0; i < 12; ++i) put32(out, 0);  // end points and gammas, unused for sRGB
    }
    for (int y = image.height - 1; y >= 0; --y) {
        uint32_t written = 0;
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.at(x, y);
            out += static_cast<char>(p[2]);
            out += static_cast<char>(p[1]);
            out += static_cast<char>(p[0]);
            if (bytesPerPixel == 4) out += static_cast<char>(p[3]);
            written += bytesPerPixel;
        }
        for (; written < rowBytes; ++written) out += '\0';
    }
    return out;
}

void writeBmp(const std::string& path, const Image& image, int bitsPerPixel)
{
    writeTextFile(path, bmpBytes(image, bitsPerPixel));
}
