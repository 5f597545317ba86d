#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <filesystem>

#include "app/Engine.h"

namespace {

struct Driver {
    std::atomic<bool> done{false};
    std::atomic<int> pushed{0};
};

void push(Driver* d, SDL_Event e)
{
    if (SDL_PushEvent(&e) == 0)
        ++d->pushed;
}

SDL_Event key(Uint8 type, SDLKey sym)
{
    SDL_Event e{};
    e.key.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = sym;
    return e;
}

SDL_Event button(Uint8 type, Uint8 which, Uint16 x, Uint16 y)
{
    SDL_Event e{};
    e.button.type = type;
    e.button.button = which;
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.button.x = x;
    e.button.y = y;
    return e;
}

SDL_Event motion(Uint16 x, Uint16 y, Sint16 dx, Sint16 dy, Uint8 buttons)
{
    SDL_Event e{};
    e.motion.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    e.motion.xrel = dx;
    e.motion.yrel = dy;
    e.motion.state = buttons;
    return e;
}

// Plays a user for about two seconds: drives and works the arm, orbits,
// zooms and changes the view, then closes the window.
int play(void* data)
{
    Driver* d = static_cast<Driver*>(data);
    const SDLKey keys[] = {SDLK_w, SDLK_k, SDLK_j, SDLK_a, SDLK_KP5, SDLK_KP6};
    for (int round = 0; round < 40; ++round) {
        const SDLKey k = keys[round % 6];
        push(d, key(SDL_KEYDOWN, k));
        push(d, button(SDL_MOUSEBUTTONDOWN, round % 2 ? SDL_BUTTON_LEFT : SDL_BUTTON_RIGHT, 500, 400));
        for (int m = 0; m < 5; ++m)
            push(d, motion(static_cast<Uint16>(500 + m * 4), 400, 4, static_cast<Sint16>(m - 2),
                           SDL_BUTTON(round % 2 ? SDL_BUTTON_LEFT : SDL_BUTTON_RIGHT)));
        push(d, button(SDL_MOUSEBUTTONUP, round % 2 ? SDL_BUTTON_LEFT : SDL_BUTTON_RIGHT, 520, 400));
        if (round % 10 == 9)
            push(d, button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_WHEELUP, 500, 400));
        SDL_Delay(50);
        push(d, key(SDL_KEYUP, k));
    }
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    while (!d->done && SDL_PushEvent(&quit) != 0)
        SDL_Delay(10);
    return 0;
}

}  // namespace

// The real world under the real loops: frames drawn while steps run and
// while input reaches the machine, the camera and the trees on the
// simulation thread. Under ThreadSanitizer any unguarded sharing between
// the two threads fails this test; the quit event ends it.
TEST(EngineRun, WorldDrawnWhileSteppedAndDriven)
{
    if (!std::filesystem::exists("data/scene.obj"))
        GTEST_SKIP() << "no generated data/ in " << std::filesystem::current_path();
    Engine engine(1024, 768, false);
    Driver driver;
    SDL_Thread* user = SDL_CreateThread(play, &driver);
    ASSERT_NE(user, nullptr);
    engine.start();
    driver.done = true;
    SDL_WaitThread(user, nullptr);
    EXPECT_FALSE(engine.running);
    EXPECT_GT(driver.pushed.load(), 200);
}
