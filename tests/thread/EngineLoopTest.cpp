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
// there). Steps are exactly 0.003 s, the first at once, and start at least
// 3 ms apart: a late step delays the next rather than being made up in a burst.
TEST_F(LoopTest, StopsFromTheSimulationThreadAndKeepsTheStepRate)
{
    std::atomic<bool> running{true};
    std::vector<Clock::time_point> starts;
    std::vector<double> sizes;
    EngineLoop loop({[] {}, [] {},
                     [&] {
                         starts.push_back(Clock::now());
                         if (starts.size() == 101)
                             running = false;  // as the quit event does from dispatch
                     },
                     [&](double dt) {
                         sizes.push_back(dt);
                         if (sizes.size() == 10)
                             SDL_Delay(20);  // one late step
                     },
                     nullptr});
    SDL_Thread* thread = nullptr;
    const Clock::time_point begin = Clock::now();
    loop.run(running, thread);
    ASSERT_EQ(sizes.size(), 101u);
    EXPECT_LT(starts[0] - begin, std::chrono::milliseconds(50)) << "the first step should start at once";
    for (size_t i = 0; i < sizes.size(); ++i) {
        EXPECT_EQ(sizes[i], 0.003);
        if (i > 0) {
            EXPECT_GE(starts[i] - starts[i - 1], std::chrono::microseconds(2990)) << "step " << i;
        }
    }
}

// While paused the world is not stepped but input still reaches it; between
// steps the simulation thread sleeps rather than spinning on the clock.
TEST_F(LoopTest, PauseHoldsTheWorldAndTheThreadSleepsBetweenSteps)
{
    std::atomic<bool> running{true}, paused{false};
    std::atomic<long> steps{0}, dispatches{0};  // counted on the simulation thread, read on the polling one
    long polls = 0, stepsAtPause = 0, dispatchesAtPause = 0, stepsWhilePaused = -1;
    timespec cpu[2]{};
    Clock::time_point wall[2];
    EngineLoop loop({[&] {
                         if (++polls == 10) {
                             stepsAtPause = steps;
                             dispatchesAtPause = dispatches;
                             paused = true;
                         } else if (polls == 20) {
                             stepsWhilePaused = steps - stepsAtPause;
                             EXPECT_GT(dispatches - dispatchesAtPause, 5) << "input stopped while paused";
                             paused = false;
                         } else if (polls == 30) {
                             running = false;
                         }
                     },
                     [] {},
                     [&] {
                         // The thread's own CPU time against the clock, from the first dispatch on.
                         clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu[dispatches > 0]);
                         wall[dispatches++ > 0] = Clock::now();
                     },
                     [&](double) { ++steps; }, [&] { return paused.load(); }});
    SDL_Thread* thread = nullptr;
    loop.run(running, thread);
    EXPECT_GT(stepsAtPause, 5);
    EXPECT_LE(stepsWhilePaused, 1);  // a step already past its pause check may still finish
    EXPECT_GT(steps - stepsAtPause - stepsWhilePaused, 5) << "no steps after the pause ended";
    const double busy = (cpu[1].tv_sec - cpu[0].tv_sec) + 1e-9 * (cpu[1].tv_nsec - cpu[0].tv_nsec);
    const double elapsed = std::chrono::duration<double>(wall[1] - wall[0]).count();
    ASSERT_GT(elapsed, 0.2);
    EXPECT_LT(busy / elapsed, 0.3) << "the simulation thread spins between steps";
}
