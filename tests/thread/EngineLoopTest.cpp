#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <vector>

#include "app/EngineLoop.h"

namespace {

using Clock = std::chrono::steady_clock;

// A stand-in world that knows when it has been seen half-written: a step
// writes every body in turn (pausing halfway, as a long step would), and a
// whole world has every body at the same, current step.
struct StandInWorld {
    std::vector<long> bodies = std::vector<long>(256, 0);
    long steps = 0, frames = 0, framesWithSteps = 0, halfSeen = 0, inputDuringStep = 0;
    bool stepping = false;

    void simulate()
    {
        stepping = true;
        ++steps;
        for (size_t i = 0; i < bodies.size(); ++i) {
            bodies[i] = steps;
            if (i == bodies.size() / 2)
                SDL_Delay(1);
        }
        stepping = false;
    }

    void render()
    {
        ++frames;
        framesWithSteps += steps > 0;
        bool whole = !stepping;
        for (long b : bodies)
            whole = whole && b == steps;
        halfSeen += !whole;
    }
};

class LoopTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SDL_Init(0), 0); }
    void TearDown() override { SDL_Quit(); }
};

}  // namespace

// Every frame drawn while the simulation runs sees the world between two
// whole steps, and input reaches the world only between steps. Esc (the
// render side clearing the flag) ends both loops, and run returns only
// after the simulation thread has stopped stepping.
TEST_F(LoopTest, FramesNeverSeeAHalfWrittenWorld)
{
    StandInWorld world;
    std::atomic<bool> running{true};
    long polls = 0;
    EngineLoop loop({[&] {
                         if (++polls > 40)
                             running = false;  // as Esc does from poll
                     },
                     [&] { world.render(); }, [&] { world.inputDuringStep += world.stepping; },
                     [&](double) { world.simulate(); }, nullptr});
    SDL_Thread* thread = reinterpret_cast<SDL_Thread*>(1);
    loop.run(running, thread);
    EXPECT_EQ(thread, nullptr);
    SDL_mutexP(loop.worldLock);
    const long stepsAtReturn = world.steps;
    SDL_mutexV(loop.worldLock);
    SDL_Delay(30);
    SDL_mutexP(loop.worldLock);
    EXPECT_EQ(world.steps, stepsAtReturn) << "the simulation thread outlived run";
    SDL_mutexV(loop.worldLock);

    EXPECT_EQ(world.frames, 41);  // the frame of the poll that saw Esc is still drawn
    EXPECT_GT(world.framesWithSteps, 20);
    EXPECT_GT(world.steps, 40);
    EXPECT_EQ(world.halfSeen, 0);
    EXPECT_EQ(world.inputDuringStep, 0);
}

// The simulation side may end the program too (the quit event is dispatched
// there). Steps are exactly 0.003 s, the first at once, and start 3 ms
// apart: a late step delays the next rather than being made up in a burst. While paused input still arrives but the world is not stepped.
// Between steps the thread sleeps rather than spinning on the clock.
TEST_F(LoopTest, KeepsTheStepRatePausesAndStopsFromTheSimulationThread)
{
    std::atomic<bool> running{true};
    std::vector<Clock::time_point> starts;
    std::vector<size_t> stepped;  // the dispatches each step followed
    timespec cpu[2]{};
    EngineLoop loop({[] {}, [] {},
                     [&] {
                         clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu[!starts.empty()]);
                         starts.push_back(Clock::now());
                         if (starts.size() == 120)
                             running = false;  // as the quit event does from dispatch
                     },
                     [&](double dt) {
                         EXPECT_EQ(dt, 0.003);
                         stepped.push_back(starts.size());
                         if (stepped.size() == 10)
                             SDL_Delay(20);  // one late step
                     },
                     [&] { return starts.size() > 40 && starts.size() <= 60; }});
    SDL_Thread* thread = nullptr;
    const Clock::time_point begin = Clock::now();
    loop.run(running, thread);
    ASSERT_EQ(starts.size(), 120u);
    EXPECT_LT(starts[0] - begin, std::chrono::milliseconds(50)) << "the first step should start at once";
    using ms = std::chrono::milliseconds;
    EXPECT_GE(starts.back() - starts[0], ms(119 * 3) - ms(10));
    // Step 10 (after dispatch 9) is late by 20 ms; made up, step 20 would come at 33 ms.
    EXPECT_GE(starts[20] - starts[9], ms(20 + 10 * 3) - ms(5)) << "steps after the late one came in a burst";
    ASSERT_EQ(stepped.size(), 100u);
    EXPECT_EQ(stepped[40], 61u) << "stepped while paused";
    const double busy = (cpu[1].tv_sec - cpu[0].tv_sec) + 1e-9 * (cpu[1].tv_nsec - cpu[0].tv_nsec);
    EXPECT_LT(busy / std::chrono::duration<double>(starts.back() - starts[0]).count(), 0.3)
        << "the simulation thread spins between steps";
}
