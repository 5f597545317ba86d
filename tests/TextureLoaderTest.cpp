#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "GLContext.h"
#include "TestFiles.h"
#include "assets/TextureLoader.h"

using testfiles::bmpBytes;
using testfiles::fatalText;
using testfiles::writeBytes;

namespace {

class TextureLoaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext()) << SDL_GetError();
        dir = testfiles::scratchDir("textures");
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string dir;
};

GLint levelParameter(int level, GLenum name)
{
    GLint value = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
    return value;
}

GLint parameter(GLenum name)
{
    GLint value = -1;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

// Level 0 of the bound texture, rows top first (texture t = 0 first), tightly packed.
std::vector<uint8_t> texels(GLenum format, int bytesPerTexel)
{
    const int w = levelParameter(0, GL_TEXTURE_WIDTH), h = levelParameter(0, GL_TEXTURE_HEIGHT);
    std::vector<uint8_t> out(static_cast<size_t>(w * h * bytesPerTexel));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return out;
}

std::vector<uint8_t> pattern(int width, int height, int bytesPerPixel)
{
    std::vector<uint8_t> p(static_cast<size_t>(width * height * bytesPerPixel));
    for (size_t i = 0; i < p.size(); ++i)
        p[i] = static_cast<uint8_t>(i * 37 + 11);
    return p;
}

} // namespace

TEST_F(TextureLoaderTest, OpaqueTextureKeepsTexelsAndBuildsMipmaps)
{
    // Six bytes per row: only SDL's 4-byte row padding matching OpenGL's
    // unpack alignment keeps the rows apart.
    const std::vector<uint8_t> pixels = pattern(2, 4, 3);
    writeBytes(dir + "small.bmp", bmpBytes(2, 4, 24, pixels));
    const unsigned int name = TextureLoader::loadTexture("small.bmp", dir);
    ASSERT_NE(name, 0u);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<unsigned int>(bound), name);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 2);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_HEIGHT), 4);
    EXPECT_EQ(texels(GL_BGR, 3), pixels);  // top row at t = 0, byte order kept

    // A 256 x 256 image saved by SDL: nine levels down to 1 x 1.
    SDL_Surface* image = SDL_CreateRGBSurface(SDL_SWSURFACE, 256, 256, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    ASSERT_NE(image, nullptr);
    SDL_FillRect(image, nullptr, SDL_MapRGB(image->format, 200, 100, 50));
    SDL_Rect corner = {0, 0, 1, 1};
    SDL_FillRect(image, &corner, SDL_MapRGB(image->format, 1, 2, 3));
    ASSERT_EQ(SDL_SaveBMP(image, (dir + "big.bmp").c_str()), 0);
    SDL_FreeSurface(image);

    const unsigned int big = TextureLoader::loadTexture("big.bmp", dir);
    EXPECT_NE(big, name);
    const GLint format = levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT);
    EXPECT_TRUE(format == 3 || format == GL_RGB || format == GL_RGB8) << format;  // as given, or named
    for (int level = 0; level <= 8; ++level) {
        EXPECT_EQ(levelParameter(level, GL_TEXTURE_WIDTH), 256 >> level) << level;
        EXPECT_EQ(levelParameter(level, GL_TEXTURE_HEIGHT), 256 >> level) << level;
    }
    EXPECT_EQ(levelParameter(9, GL_TEXTURE_WIDTH), 0);
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(parameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
    const std::vector<uint8_t> rgb = texels(GL_RGB, 3);
    EXPECT_EQ(std::vector<uint8_t>(rgb.begin(), rgb.begin() + 6), (std::vector<uint8_t>{1, 2, 3, 200, 100, 50}));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureLoaderTest, SpriteKeepsItsAlphaWithEitherHeader)
{
    // Alpha 0, 128 and 255 among the texels; 0 must survive for the alpha test.
    std::vector<uint8_t> pixels = pattern(4, 2, 4);
    pixels[3] = 0;
    pixels[7] = 128;
    pixels[11] = 255;
    for (bool plainHeader : {false, true}) {
        const std::string path = dir + (plainHeader ? "plain.bmp" : "fields.bmp");
        writeBytes(path, bmpBytes(4, 2, 32, pixels, plainHeader));
        const unsigned int name = TextureLoader::loadSpriteTexture(path);
        ASSERT_NE(name, 0u);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<unsigned int>(bound), name);
        const GLint format = levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT);
        EXPECT_TRUE(format == GL_RGBA || format == GL_RGBA8) << format;
        EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 4);
        EXPECT_EQ(levelParameter(0, GL_TEXTURE_HEIGHT), 2);
        EXPECT_EQ(texels(GL_BGRA, 4), pixels) << path;
        EXPECT_EQ(levelParameter(1, GL_TEXTURE_WIDTH), 2);  // driver-made mipmaps
        EXPECT_EQ(levelParameter(2, GL_TEXTURE_WIDTH), 1);
        EXPECT_EQ(parameter(GL_GENERATE_MIPMAP), GL_TRUE);
        EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
        EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
        EXPECT_EQ(parameter(GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
        EXPECT_EQ(parameter(GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(TextureLoaderTest, BadFilesStopWithTheFileAndTheFault)
{
    const std::vector<uint8_t> opaque = bmpBytes(8, 8, 24, pattern(8, 8, 3));
    const std::vector<uint8_t> sprite = bmpBytes(8, 8, 32, pattern(8, 8, 4));
    writeBytes(dir + "opaque.bmp", opaque);
    writeBytes(dir + "sprite.bmp", sprite);
    writeBytes(dir + "shortOpaque.bmp", std::vector<uint8_t>(opaque.begin(), opaque.end() - 5));
    writeBytes(dir + "shortSprite.bmp", std::vector<uint8_t>(sprite.begin(), sprite.begin() + 200));
    writeBytes(dir + "header.bmp", std::vector<uint8_t>(opaque.begin(), opaque.begin() + 30));
    writeBytes(dir + "empty.bmp", {});
    testfiles::writeText(dir + "text.bmp", "v 1.000000 2.000000 3.000000\n# not an image, just long enough\n");
    std::vector<uint8_t> huge = opaque;  // claims 65536 x 65536 pixels
    huge[20] = 1;
    huge[24] = 1;
    writeBytes(dir + "huge.bmp", huge);
    SDL_Surface* palette = SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 8, 8, 0, 0, 0, 0);
    ASSERT_NE(palette, nullptr);
    ASSERT_EQ(SDL_SaveBMP(palette, (dir + "palette.bmp").c_str()), 0);
    SDL_FreeSurface(palette);

    struct Case {
        const char* file;
        bool asSprite;
        const char* fault;
    } cases[] = {
        {"absent.bmp", false, "[TextureLoader] Texture file not found. "},
        {"absent.bmp", true, "[TextureLoader] Texture file not found. "},
        {"sprite.bmp", false, "24-bit image expected, the file has 32"},
        {"opaque.bmp", true, "32-bit image expected, the file has 24"},
        {"palette.bmp", false, "24-bit image expected, the file has 8"},
        {"shortOpaque.bmp", false, "truncated"},
        {"shortSprite.bmp", true, "truncated"},
        {"huge.bmp", false, "truncated"},
        {"header.bmp", false, "not a BMP image"},
        {"empty.bmp", true, "not a BMP image"},
        {"text.bmp", false, "not a BMP image"},
    };
    for (const Case& c : cases) {
        const std::string error = fatalText([&] {
            if (c.asSprite)
                TextureLoader::loadSpriteTexture(dir + c.file);
            else
                TextureLoader::loadTexture(c.file, dir);
        });
        EXPECT_EQ(error.rfind("[TextureLoader] ", 0), 0u) << c.file << ": " << error;
        EXPECT_NE(error.find(dir + c.file), std::string::npos) << c.file << ": " << error;
        EXPECT_NE(error.find(c.fault), std::string::npos) << c.file << ": " << error;
    }
}
