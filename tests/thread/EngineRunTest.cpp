#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <filesystem>

#include "app/Engine.h"
#include "input/ExcavatorController.h"

namespace {

std::atomic<bool> userDone{false};
std::atomic<int> pushed{0};

void push(Uint8 type, int detail)
{
    SDL_Event e{};
    e.type = type;
    if (type == SDL_KEYDOWN || type == SDL_KEYUP) {
        e.key.keysym.sym = static_cast<SDLKey>(detail);
    } else if (type == SDL_MOUSEMOTION) {
        e.motion.xrel = 4;
        e.motion.yrel = static_cast<Sint16>(detail);
    } else {
        e.button.button = static_cast<Uint8>(detail);
    }
    // The queue holds 128 events; a slow frame drains it late, so wait for room.
    int tries = 0;
    while (SDL_PushEvent(&e) != 0 && ++tries < 2000)
        SDL_Delay(5);
    pushed += tries < 2000;
}

// Plays a user for about two seconds: drives and works the arm, orbits,
// zooms and changes the view, then closes the window.
int play(void*)
{
    const SDLKey keys[] = {SDLK_w, SDLK_k, SDLK_j, SDLK_a, SDLK_KP5, SDLK_KP6};
    for (int round = 0; round < 40; ++round) {
        const int button = round % 10 == 9 ? SDL_BUTTON_WHEELUP : round % 2 ? SDL_BUTTON_LEFT : SDL_BUTTON_RIGHT;
        push(SDL_KEYDOWN, keys[round % 6]);
        push(SDL_MOUSEBUTTONDOWN, button);
        for (int m = 0; m < 5; ++m)
            push(SDL_MOUSEMOTION, m - 2);
        push(SDL_MOUSEBUTTONUP, button);
        SDL_Delay(50);
        push(SDL_KEYUP, keys[round % 6]);
    }
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    while (!userDone && SDL_PushEvent(&quit) != 0)
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
    ExcavatorController controller;
    Engine engine(controller, 1024, 768, false);
    SDL_Thread* user = SDL_CreateThread(play, nullptr);
    ASSERT_NE(user, nullptr);
    engine.start();
    userDone = true;
    SDL_WaitThread(user, nullptr);
    EXPECT_FALSE(engine.running);
    EXPECT_EQ(engine.simulationThread, nullptr);
    EXPECT_EQ(pushed.load(), 40 * 9);
}
