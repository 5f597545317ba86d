#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>

#include "app/Engine.h"

namespace {

struct Watchdog {
    Engine* engine;
    std::atomic<bool> done{false};
    std::atomic<bool> fired{false};
};

// Stops the engine itself if the quit event did not within 10 s.
int watch(void* data)
{
    Watchdog* w = static_cast<Watchdog*>(data);
    for (int i = 0; i < 1000 && !w->done; ++i)
        SDL_Delay(10);
    if (!w->done) {
        w->fired = true;
        w->engine->stop();
    }
    return 0;
}

}  // namespace

// Closing the window (SDL's quit event) ends the program through the
// simulation thread: start returns once both loops have finished.
TEST(Engine, QuitEventEndsStartThroughTheSimulationThread)
{
    Engine engine(1024, 768, false);
    EXPECT_TRUE(engine.running);

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 0);
    Watchdog watchdog;
    watchdog.engine = &engine;
    SDL_Thread* guard = SDL_CreateThread(watch, &watchdog);
    engine.start();
    watchdog.done = true;
    SDL_WaitThread(guard, nullptr);
    EXPECT_FALSE(watchdog.fired) << "the quit event did not end the loops";
    EXPECT_FALSE(engine.running);
    EXPECT_EQ(engine.simulationThread, nullptr);  // joined
}
