// One BMP file, read as the 24-bit texture path and as the 32-bit sprite path
// read it, short of handing the pixels to OpenGL.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include <unistd.h>

#include "base/Error.h"
#include "draw/TextureLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string name = "kelvarro_fuzz_" + std::to_string(getpid()) + ".bmp";
    std::ofstream("/tmp/" + name, std::ios::binary).write(reinterpret_cast<const char*>(data), size);
    for (int bits : {24, 32})
        try {
            TextureLoader::checkBitmap("/tmp/" + name, bits);
        } catch (const Error&) {
        }
    return 0;
}
