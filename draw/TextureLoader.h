#pragma once

#include <string>

// BMP files to OpenGL textures; main thread, with a current context.
class TextureLoader {
public:
    // 24-bit image, mipmapped by GLU; throws "[TextureLoader] Texture file not found.".
    static unsigned int loadTexture(const std::string& fileName, const std::string& directory);
    // True when every pixel of the 24-bit image is white; throws as loadTexture.
    static bool plainWhite(const std::string& fileName, const std::string& directory);
    // Reads and checks a BMP of 24 or 32 bits as the loaders do, without
    // OpenGL; throws as loadTexture.
    static void checkBitmap(const std::string& path, int bitsPerPixel);
    // 32-bit image with alpha, clamped, driver mipmaps.
    static unsigned int loadSpriteTexture(const std::string& path);
};
