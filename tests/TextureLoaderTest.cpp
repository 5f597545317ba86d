#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "GLContext.h"
#include "TestFiles.h"
#include "draw/TextureLoader.h"

using testfiles::bmpBytes;
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

// A parameter of the bound texture, or of one of its levels.
GLint parameter(GLenum name, int level = -1)
{
    GLint value = -1;
    level < 0 ? glGetTexParameteriv(GL_TEXTURE_2D, name, &value)
              : glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
    return value;
}

std::vector<uint8_t> pattern(int bytes)
{
    std::vector<uint8_t> p(static_cast<size_t>(bytes));
    for (size_t i = 0; i < p.size(); ++i)
        p[i] = static_cast<uint8_t>(i * 37 + 11);
    return p;
}

} // namespace

TEST_F(TextureLoaderTest, TexelsMipmapsAndWrapAsEachPathNeeds)
{
    std::vector<uint8_t> sprite = pattern(32);
    sprite[3] = 0;  // alpha 0 must survive for the alpha test
    sprite[7] = 128;
    const struct {
        const char* file;
        int width, height, bits;
        bool plainHeader;
        std::vector<uint8_t> pixels;
    } cases[] = {
        // Six bytes per row: only SDL's 4-byte row padding matching OpenGL's unpack alignment keeps them apart.
        {"opaque.bmp", 2, 4, 24, false, pattern(24)},
        {"fields.bmp", 4, 2, 32, false, sprite},
        {"plain.bmp", 4, 2, 32, true, sprite},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        writeBytes(dir + c.file, bmpBytes(c.width, c.height, c.bits, c.pixels, c.plainHeader));
        const bool isSprite = c.bits == 32;
        const unsigned int name = isSprite ? TextureLoader::loadSpriteTexture(dir + c.file)
                                           : TextureLoader::loadTexture(c.file, dir);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        ASSERT_TRUE(name != 0u && static_cast<unsigned int>(bound) == name);
        std::vector<uint8_t> texels(c.pixels.size());  // top row at t = 0, byte order kept
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, isSprite ? GL_BGRA : GL_BGR, GL_UNSIGNED_BYTE, texels.data());
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        EXPECT_EQ(texels, c.pixels);
        for (int level = 0; level < 3; ++level)  // down to 1 x 1
            EXPECT_TRUE(parameter(GL_TEXTURE_WIDTH, level) == std::max(1, c.width >> level) &&
                        parameter(GL_TEXTURE_HEIGHT, level) == std::max(1, c.height >> level)) << level;
        EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
        for (GLenum wrap : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T})
            EXPECT_EQ(parameter(wrap), isSprite ? GL_CLAMP_TO_EDGE : GL_REPEAT);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
    // Plain white is drawn without the texture; the rows' padding is no pixel.
    std::vector<uint8_t> white(24, 0xFF);
    writeBytes(dir + "white.bmp", bmpBytes(2, 4, 24, white));
    EXPECT_TRUE(TextureLoader::plainWhite("white.bmp", dir));
    white[23] = 0xFE;
    writeBytes(dir + "white.bmp", bmpBytes(2, 4, 24, white));
    EXPECT_FALSE(TextureLoader::plainWhite("white.bmp", dir));
}

TEST_F(TextureLoaderTest, BadFilesStopWithTheFileAndTheFault)
{
    const std::vector<uint8_t> opaque = bmpBytes(8, 8, 24, pattern(192));
    const std::vector<uint8_t> sprite = bmpBytes(8, 8, 32, pattern(256));
    std::vector<uint8_t> huge = opaque;  // claims 65536 x 65536 pixels
    huge[20] = huge[24] = 1;
    for (const auto& [file, bytes] : std::vector<std::pair<std::string, std::vector<uint8_t>>>{
             {"opaque.bmp", opaque}, {"sprite.bmp", sprite}, {"short.bmp", {opaque.begin(), opaque.end() - 5}},
             {"header.bmp", {opaque.begin(), opaque.begin() + 30}}, {"huge.bmp", huge}})
        writeBytes(dir + file, bytes);
    testfiles::writeText(dir + "text.bmp", "v 1.000000 2.000000 3.000000\n# not an image, just long enough\n");
    SDL_Surface* palette = SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 8, 8, 0, 0, 0, 0);
    ASSERT_EQ(SDL_SaveBMP(palette, (dir + "palette.bmp").c_str()), 0);
    SDL_FreeSurface(palette);

    const struct {
        const char* file;
        bool asSprite;
        const char* fault;
    } cases[] = {
        {"absent.bmp", true, "[TextureLoader] Texture file not found. "},
        {"sprite.bmp", false, "24-bit image expected, the file has 32"},
        {"opaque.bmp", true, "32-bit image expected, the file has 24"},
        {"palette.bmp", false, "24-bit image expected, the file has 8"},
        {"short.bmp", false, "truncated"},
        {"huge.bmp", false, "truncated"},
        {"header.bmp", false, "not a BMP image"},
        {"text.bmp", false, "not a BMP image"},
    };
    for (const auto& c : cases) {
        const std::string error = testfiles::fatalText([&] {
            c.asSprite ? TextureLoader::loadSpriteTexture(dir + c.file) : TextureLoader::loadTexture(c.file, dir);
        });
        EXPECT_TRUE(error.rfind("[TextureLoader] ", 0) == 0 && error.find(dir + c.file) != std::string::npos &&
                    error.find(c.fault) != std::string::npos) << c.file << ": " << error;
    }
}
