#include "draw/TextureLoader.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <cstdint>
#include <fstream>

#include "base/Fatal.h"

namespace {

[[noreturn]] void fail(const std::string& path, const std::string& fault)
{
    throwFatal("[TextureLoader] " + path + ": " + fault);
}

uint32_t read16(const unsigned char* p) { return p[0] | (uint32_t(p[1]) << 8); }
uint32_t read32(const unsigned char* p) { return read16(p) | (read16(p + 2) << 16); }

// Checks the file header before SDL allocates anything from it: the depth,
// and that the file holds every pixel row its header promises (a truncated
// file, or one claiming a huge size, stops here).
void checkHeader(const std::string& path, int bitsPerPixel)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throwFatal("[TextureLoader] Texture file not found. " + path);
    unsigned char h[54] = {};
    in.read(reinterpret_cast<char*>(h), sizeof h);
    if (in.gcount() < static_cast<std::streamsize>(sizeof h) || h[0] != 'B' || h[1] != 'M')
        fail(path, "not a BMP image");
    in.seekg(0, std::ios::end);
    const uint64_t fileSize = static_cast<uint64_t>(in.tellg());

    const uint32_t headerSize = read32(h + 14);
    const int64_t width = static_cast<int32_t>(read32(h + 18));
    const int64_t height = static_cast<int32_t>(read32(h + 22));
    const uint32_t bits = read16(h + 28);
    const uint32_t compression = read32(h + 30);
    if (headerSize < 40)
        fail(path, "unsupported BMP header of " + std::to_string(headerSize) + " bytes");
    if (bits != static_cast<uint32_t>(bitsPerPixel))
        fail(path, std::to_string(bitsPerPixel) + "-bit image expected, the file has " + std::to_string(bits) +
                       " bits per pixel");
    if (compression != 0 && compression != 3)  // plain or bit fields
        fail(path, "compressed BMP images are not supported");
    if (width < 1 || height == 0)
        fail(path, "empty image");
    const uint64_t rowSize = (static_cast<uint64_t>(width) * (bits / 8) + 3) / 4 * 4;
    const uint64_t rows = static_cast<uint64_t>(height < 0 ? -height : height);
    if (read32(h + 10) + rowSize * rows > fileSize)
        fail(path, "truncated: " + std::to_string(width) + "x" + std::to_string(rows) + " pixels need " +
                       std::to_string(read32(h + 10) + rowSize * rows) + " bytes, the file has " +
                       std::to_string(fileSize));
}

// Loads and locks a BMP of the given depth whose bytes lie in B, G, R(, A)
// order, as both upload paths hand the pixel buffer to OpenGL unchanged.
SDL_Surface* loadBitmap(const std::string& path, int bitsPerPixel)
{
    checkHeader(path, bitsPerPixel);
    SDL_RWops* file = SDL_RWFromFile(path.c_str(), "rb");
    if (file == nullptr)
        throwFatal("[TextureLoader] Texture file not found. " + path);
    SDL_Surface* surface = SDL_LoadBMP_RW(file, 1);  // closes the file
    if (surface == nullptr)
        fail(path, std::string("not a readable BMP image (") + SDL_GetError() + ")");

    const SDL_PixelFormat* format = surface->format;
    std::string fault;
    if (format->BitsPerPixel != bitsPerPixel) {
        fault = std::to_string(bitsPerPixel) + "-bit image expected, the file has " +
                std::to_string(format->BitsPerPixel) + " bits per pixel";
    } else if (SDL_BYTEORDER != SDL_LIL_ENDIAN || format->Bmask != 0x0000FFu || format->Gmask != 0x00FF00u ||
               format->Rmask != 0xFF0000u) {
        fault = "pixels are not stored in blue, green, red order";
    } else if (surface->w < 1 || surface->h < 1) {
        fault = "empty image";
    } else if (surface->pitch != ((surface->w * (bitsPerPixel / 8) + 3) & ~3)) {
        fault = "unexpected row layout";
    }
    if (!fault.empty()) {
        SDL_FreeSurface(surface);
        fail(path, fault);
    }
    if (SDL_LockSurface(surface) != 0) {
        SDL_FreeSurface(surface);
        fail(path, "cannot lock the image");
    }
    return surface;
}

void release(SDL_Surface* surface)
{
    SDL_UnlockSurface(surface);
    SDL_FreeSurface(surface);
}

} // namespace

unsigned int TextureLoader::loadTexture(const std::string& fileName, const std::string& directory)
{
    const std::string path = directory + fileName;
    SDL_Surface* surface = loadBitmap(path, 24);

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // SDL rows are 4-byte aligned, which is OpenGL's default unpack alignment.
    // Kept at four bytes a texel: the software renderer fetches those whole.
    const GLint status = gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA8, surface->w, surface->h, GL_BGR, GL_UNSIGNED_BYTE,
                                           surface->pixels);
    release(surface);
    if (status != 0)
        fail(path, std::string("mipmaps not built (") +
                       reinterpret_cast<const char*>(gluErrorString(static_cast<GLenum>(status))) + ")");
    return name;
}

bool TextureLoader::plainWhite(const std::string& fileName, const std::string& directory)
{
    SDL_Surface* surface = loadBitmap(directory + fileName, 24);
    bool white = true;
    for (int y = 0; y < surface->h && white; ++y) {
        const Uint8* row = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch;
        for (int x = 0; x < surface->w * 3 && white; ++x)
            white = row[x] == 0xFF;
    }
    release(surface);
    return white;
}

void TextureLoader::checkBitmap(const std::string& path, int bitsPerPixel)
{
    release(loadBitmap(path, bitsPerPixel));
}

unsigned int TextureLoader::loadSpriteTexture(const std::string& path)
{
    SDL_Surface* surface = loadBitmap(path, 32);

    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (surface->w > maxSize || surface->h > maxSize) {
        const std::string size = std::to_string(surface->w) + "x" + std::to_string(surface->h);
        release(surface);
        fail(path, "image of " + size + " exceeds the largest texture (" + std::to_string(maxSize) + ")");
    }

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, surface->w, surface->h, 0, GL_BGRA, GL_UNSIGNED_BYTE, surface->pixels);
    release(surface);
    return name;
}
