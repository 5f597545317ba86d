// The generator's writers: bitmaps read back through SDL, OBJ text as the loader needs it.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "base/Error.h"
#include "tools/datagen/BmpWriter.h"
#include "tools/datagen/ObjWriter.h"

// Odd widths make padded rows; SDL must see the same pixels, top row first, as the image holds.
TEST(BmpWriter, SdlReadsBackEveryPixelAtBothDepths)
{
    for (int bits : {24, 32})
        for (int w : {5, 6, 7, 8}) {
            Image image(w, 3);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < w; ++x)
                    image.set(x, y, uint8_t(10 * x + 1), uint8_t(20 * y + 2), uint8_t(x * y + 3), uint8_t(40 * y + x));
            const std::string bytes = bmpBytes(image, bits);
            SDL_Surface* s = SDL_LoadBMP_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1);
            ASSERT_NE(s, nullptr) << SDL_GetError();
            ASSERT_TRUE(s->w == w && s->h == 3 && s->format->BitsPerPixel == bits) << w << " " << bits;
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < w; ++x) {
                    const uint8_t* p = static_cast<const uint8_t*>(s->pixels) + y * s->pitch + x * bits / 8;
                    const uint8_t* q = image.at(x, y);  // R, G, B, A; the file holds blue first
                    const uint8_t want[4] = {q[2], q[1], q[0], q[3]};
                    EXPECT_TRUE(std::equal(p, p + bits / 8, want)) << bits << " bits, pixel " << x << "," << y;
                }
            SDL_FreeSurface(s);
        }
}

// The text format itself is checked where every generated file goes through the real loader.
TEST(ObjWriter, RejectsBadInput)
{
    const Vector3 a(0, 0, 0), b(1, 0, 0), c(0, 1, 0);
    ObjWriter bad;
    EXPECT_THROW(bad.addTriangle(a, b, c), Error);  // no group yet
    EXPECT_THROW(bad.beginGroup("two words", ""), Error);
    bad.beginGroup("g", "missing");
    bad.addTriangle(a, b, c);
    EXPECT_THROW(bad.objText("x.mtl"), Error);
}
