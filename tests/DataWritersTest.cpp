// The generator's writers: bitmaps read back through SDL, OBJ text as the loader needs it.
#include <SDL.h>
#include <gtest/gtest.h>

#include <sstream>

#include "tools/datagen/BmpWriter.h"
#include "tools/datagen/ObjWriter.h"

namespace {

Image testPattern(int w, int h)
{
    Image image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.set(x, y, static_cast<uint8_t>(10 * x + 1), static_cast<uint8_t>(20 * y + 2),
                      static_cast<uint8_t>(x * y + 3), static_cast<uint8_t>(x == 0 ? 0 : 40 * y + x));
    return image;
}

SDL_Surface* loadBytes(const std::string& bytes)
{
    SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    return SDL_LoadBMP_RW(rw, 1);
}

}  // namespace

// Odd widths make padded rows; SDL must see the same pixels, top row first, as the image holds.
TEST(BmpWriter, SdlReadsBackEveryPixelAtBothDepths)
{
    for (int bits : {24, 32}) {
        for (int w : {5, 6, 7, 8}) {
            const Image image = testPattern(w, 3);
            SDL_Surface* s = loadBytes(bmpBytes(image, bits));
            ASSERT_NE(s, nullptr) << SDL_GetError();
            ASSERT_EQ(s->w, w);
            ASSERT_EQ(s->h, 3);
            ASSERT_EQ(s->format->BitsPerPixel, bits);
            const int bpp = bits / 8;
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < w; ++x) {
                    const uint8_t* p = static_cast<const uint8_t*>(s->pixels) + y * s->pitch + x * bpp;
                    const uint8_t* q = image.at(x, y);
                    EXPECT_EQ(p[0], q[2]) << bits << " bits, pixel " << x << "," << y;  // blue first
                    EXPECT_EQ(p[1], q[1]);
                    EXPECT_EQ(p[2], q[0]);
                    if (bpp == 4) {
                        EXPECT_EQ(p[3], q[3]) << "alpha at " << x << "," << y;
                    }
                }
            SDL_FreeSurface(s);
        }
    }
}

TEST(ObjWriter, SharesEqualPositionsAndRejectsBadInput)
{
    ObjWriter w;
    w.addMaterial({"red", {0.1, 0, 0}, {0.8, 0, 0}, {0, 0, 0}, 1.0, 10.0, ""});
    w.beginGroup("tetra", "red");
    const Vector3 a(0, 0, 0), b(1, 0, 0), c(0, 1, 0), d(0, 0, 1);
    w.addTriangle(a, c, b);
    w.addTriangle(a, b, d);
    w.addTriangle(a, d, c);
    w.addTriangle(b, c, d);
    const std::string obj = w.objText("t.mtl");
    std::istringstream in(obj);
    std::string line;
    int v = 0;
    std::vector<std::string> faces;
    while (std::getline(in, line)) {
        if (line.rfind("v ", 0) == 0) ++v;
        if (line.rfind("f ", 0) == 0) faces.push_back(line);
        if (line[0] == 'v') {
            EXPECT_EQ(line.find_first_of("eE"), std::string::npos) << line;  // no exponents
        }
        EXPECT_NE(line.back(), ' ');
    }
    EXPECT_EQ(v, 4);
    ASSERT_EQ(faces.size(), 4u);
    EXPECT_EQ(faces[0].substr(0, 8), "f 1/1/1 ");  // first corner, first of each list
    EXPECT_NE(obj.find("v 0.000000000 1.000000000 0.000000000\n"), std::string::npos);
    EXPECT_EQ(obj.rfind("mtllib t.mtl\n", 0), 0u);
    EXPECT_NE(obj.find("g tetra\nusemtl red\ns 1\nf "), std::string::npos);
    EXPECT_NE(w.mtlText().find("newmtl red\nKa 0.100000000 0.000000000 0.000000000\n"), std::string::npos);

    ObjWriter bad;
    EXPECT_THROW(bad.addTriangle(a, b, c), const char*);  // no group yet
    EXPECT_THROW(bad.beginGroup("two words", ""), const char*);
    bad.beginGroup("g", "missing");
    bad.addTriangle(a, b, c);
    EXPECT_THROW(bad.objText("x.mtl"), const char*);
}
