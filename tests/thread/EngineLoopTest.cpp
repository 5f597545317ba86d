#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <ctime>
#include <vector>

#include "app/EngineLoop.h"

namespace {

// A stand-in world that knows when it has been seen half-written: a step
// writes every body in turn (pausing halfway, as a long step would), and a
// whole world has every body at the same, current time.
struct StandInWorld {
    static constexpr int kBodies = 256;
    std::vector<double> times = std::vector<double>(kBodies, 0.0);
    long steps = 0;
    double simulated = 0.0;
    bool stepping = false;
    long commands = 0;          // written by dispatch, read by the step
    long commandsSeen = 0;
    long inputDuringStep = 0;   // dispatch found a step running
    long halfSeen = 0;          // frames that caught a step halfway
    long frames = 0;
    long framesWithSteps = 0;
    std::vector<double> stepSizes;

    void dispatch()
    {
        if (stepping)
            ++inputDuringStep;
        ++commands;
    }

    void simulate(double dt)
    {
        stepping = true;
        stepSizes.push_back(dt);
        commandsSeen = commands;
        ++steps;
        simulated = static_cast<double>(steps) * dt;
        for (int i = 0; i < kBodies; ++i) {
            times[i] = simulated;
            if (i == kBodies / 2 && steps % 7 == 0)
                SDL_Delay(1);
        }
        stepping = false;
    }

    void render()
    {
        ++frames;
        bool whole = !stepping;
        for (double t : times)
            whole = whole && t == simulated;
        if (!whole)
            ++halfSeen;
        if (steps > 0)
            ++framesWithSteps;
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
                     [&] { world.render(); }, [&] { world.dispatch(); },
                     [&](double dt) { world.simulate(dt); }, {}});
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
    EXPECT_EQ(world.commandsSeen, world.commands);  // each dispatch is followed by its step
}

// The simulation side may end the program too (the window's quit event is
// dispatched there); the render loop then leaves at its next test. Steps are
// always exactly 0.003 s and never more than one per 3 ms of the clock.
TEST_F(LoopTest, StopsFromTheSimulationThreadAndKeepsTheStepRate)
{
    StandInWorld world;
    std::atomic<bool> running{true};
    Uint32 firstStep = 0, lastStep = 0;
    EngineLoop loop({[] {}, [&] { world.render(); },
                     [&] {
                         if (world.steps == 100)
                             running = false;  // as the quit event does from dispatch
                     },
                     [&](double dt) {
                         lastStep = SDL_GetTicks();
                         if (world.steps == 0)
                             firstStep = lastStep;
                         world.simulate(dt);
                     },
                     {}});
    SDL_Thread* thread = nullptr;
    const Uint32 begin = SDL_GetTicks();
    loop.run(running, thread);
    const Uint32 end = SDL_GetTicks();

    // The flag was cleared before step 101 ran; the loop finished that step only.
    EXPECT_EQ(world.steps, 101);
    for (double dt : world.stepSizes)
        ASSERT_EQ(dt, 0.003);
    EXPECT_DOUBLE_EQ(world.simulated, 101 * 0.003);
    // At most one step per 3 ms: 100 gaps need at least 300 ms.
    EXPECT_GE(lastStep - firstStep, 300u);
    EXPECT_LE(firstStep - begin, 50u) << "the first step should start at once";
    EXPECT_LT(end - begin, 5000u);
}

// A step slower than 3 ms sets the pace; the world then falls behind real time.
TEST_F(LoopTest, SlowStepsRunTheWorldSlowerThanRealTime)
{
    std::atomic<bool> running{true};
    long steps = 0;
    double simulated = 0.0;
    Uint32 firstStep = 0, lastStep = 0;
    EngineLoop loop({[] {}, [] {}, [] {},
                     [&](double dt) {
                         const Uint32 now = SDL_GetTicks();
                         if (steps == 0)
                             firstStep = now;
                         lastStep = now;
                         SDL_Delay(5);
                         simulated += dt;
                         if (++steps == 60)
                             running = false;
                     },
                     {}});
    SDL_Thread* thread = nullptr;
    loop.run(running, thread);
    ASSERT_EQ(steps, 60);
    const double wall = (lastStep - firstStep) * 0.001;
    EXPECT_GE(wall, 59 * 0.005);
    // 0.003 s of world per at least 5 ms of wall time: at most 0.6 of real time.
    EXPECT_LE(simulated - 0.003, 0.6 * wall + 1e-9);
}

// While paused the world is not stepped but input still reaches it; between
// steps the simulation thread sleeps rather than spinning on the clock.
TEST_F(LoopTest, PauseHoldsTheWorldAndTheThreadSleepsBetweenSteps)
{
    std::atomic<bool> running{true}, paused{false};
    // Counted on the simulation thread, read on the polling one.
    std::atomic<long> steps{0}, dispatches{0};
    long polls = 0, stepsBeforePause = 0, dispatchesBeforePause = 0;
    long stepsWhilePaused = -1;
    timespec cpu0{}, cpu1{};
    Uint32 wall0 = 0, wall1 = 0;
    EngineLoop loop({[&] {
                         ++polls;
                         if (polls == 10) {
                             stepsBeforePause = steps;
                             dispatchesBeforePause = dispatches;
                             paused = true;
                         } else if (polls == 20) {
                             stepsWhilePaused = steps - stepsBeforePause;
                             EXPECT_GT(dispatches - dispatchesBeforePause, 5) << "input stopped while paused";
                             paused = false;
                         } else if (polls == 30) {
                             running = false;
                         }
                     },
                     [] {},
                     [&] {
                         // The thread's own CPU time against the clock, from the first dispatch on.
                         clock_gettime(CLOCK_THREAD_CPUTIME_ID, dispatches == 0 ? &cpu0 : &cpu1);
                         (dispatches == 0 ? wall0 : wall1) = SDL_GetTicks();
                         ++dispatches;
                     },
                     [&](double) { ++steps; }, [&] { return paused.load(); }});
    SDL_Thread* thread = nullptr;
    loop.run(running, thread);
    EXPECT_GT(stepsBeforePause, 5);
    // A step already past its pause check may still finish.
    EXPECT_LE(stepsWhilePaused, 1);
    EXPECT_GT(steps - stepsBeforePause - stepsWhilePaused, 5) << "no steps after the pause ended";
    const double cpu = (cpu1.tv_sec - cpu0.tv_sec) + 1e-9 * (cpu1.tv_nsec - cpu0.tv_nsec);
    const double wall = (wall1 - wall0) * 0.001;
    ASSERT_GT(wall, 0.2);
    EXPECT_LT(cpu / wall, 0.3) << "the simulation thread spins between steps";
}
