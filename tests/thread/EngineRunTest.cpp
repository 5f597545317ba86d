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

void push(Driver* d, Uint8 type, int key, Uint8 button = 0, Sint16 dx = 0, Sint16 dy = 0)
{
    SDL_Event e{};
    e.type = type;
    if (type == SDL_KEYDOWN || type == SDL_KEYUP) {
        e.key.keysym.sym = static_cast<SDLKey>(key);
    } else if (type == SDL_MOUSEMOTION) {
        e.motion.xrel = dx;
        e.motion.yrel = dy;
        e.motion.state = SDL_BUTTON(button);
    } else {
        e.button.button = button;
    }
    if (SDL_PushEvent(&e) == 0)
        ++d->pushed;
}

// Plays a user for about two seconds: drives and works the arm, orbits,
// zooms and changes the view, then closes the window.
int play(void* data)
{
    Driver* d = static_cast<Driver*>(data);
    const SDLKey keys[] = {SDLK_w, SDLK_k, SDLK_j, SDLK_a, SDLK_KP5, SDLK_KP6};
    for (int round = 0; round < 40; ++round) {
        const SDLKey k = keys[round % 6];
        const Uint8 button = round % 2 ? SDL_BUTTON_LEFT : SDL_BUTTON_RIGHT;
        push(d, SDL_KEYDOWN, k);
        push(d, SDL_MOUSEBUTTONDOWN, 0, button);
        for (int m = 0; m < 5; ++m)
            push(d, SDL_MOUSEMOTION, 0, button, 4, static_cast<Sint16>(m - 2));
        push(d, SDL_MOUSEBUTTONUP, 0, button);
        if (round % 10 == 9)
            push(d, SDL_MOUSEBUTTONDOWN, 0, SDL_BUTTON_WHEELUP);
        SDL_Delay(50);
        push(d, SDL_KEYUP, k);
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
// the two threads fails this test. The quit event ends start through the
// simulation thread, which is joined.
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
    EXPECT_EQ(engine.simulationThread, nullptr);
    EXPECT_GT(driver.pushed.load(), 200);
}
