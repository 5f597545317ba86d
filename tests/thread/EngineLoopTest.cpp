#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <vector>

#include "app/EngineLoop.h"

namespace {

using Clock = std::chrono::steady_clock;
// "At once": the thread's start and first wake-up, on a machine busy enough
// to delay both by tens of milliseconds; a loop that waited a period or a
// frame first would still fit, but not one that waited for anything longer.
constexpr std::chrono::milliseconds kAtOnce{250};

class LoopTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SDL_Init(0), 0); }
    void TearDown() override { SDL_Quit(); }
};

}  // namespace

// A frame captures the world between two whole steps (a stand-in step
// pauses halfway, as a long one would) and draws its copy with the lock
// free: while a stand-in frame draws for 20 ms the world keeps stepping
// every 3 ms, the first step at once. Esc (the render side clearing the flag)
// ends both loops, and run returns only after the simulation thread has
// stopped stepping.
TEST_F(LoopTest, TheWorldKeepsSteppingWhileAFrameDraws)
{
    std::atomic<bool> running{true};
    std::atomic<long> steps{0};
    std::atomic<bool> stepping{false};
    long polls = 0, frames = 0, halfSeen = 0;
    std::vector<long> duringDraw, perFrame;
    long lastCapture = 0;
    Clock::time_point firstStep{};
    EngineLoop loop({[&] {
                         if (++polls > 20)
                             running = false;  // as Esc does from poll
                     },
                     [&] {
                         halfSeen += stepping;
                         perFrame.push_back(steps - lastCapture);
                         lastCapture = steps;
                     },
                     [&] {
                         ++frames;
                         const long before = steps;
                         SDL_Delay(20);  // a slow frame, drawn from the copy
                         duringDraw.push_back(steps - before);
                     },
                     [] {},
                     [&](double) {
                         if (steps == 0)
                             firstStep = Clock::now();
                         stepping = true;
                         SDL_Delay(1);
                         ++steps;
                         stepping = false;
                     },
                     nullptr});
    SDL_Thread* thread = reinterpret_cast<SDL_Thread*>(1);
    const Clock::time_point begin = Clock::now();
    loop.run(running, thread);
    EXPECT_EQ(thread, nullptr);
    const long stepsAtReturn = steps;
    SDL_Delay(30);
    EXPECT_EQ(steps, stepsAtReturn) << "the simulation thread outlived run";
    EXPECT_EQ(frames, 21);  // the frame of the poll that saw Esc is still drawn
    EXPECT_EQ(halfSeen, 0);
    EXPECT_LT(firstStep - begin, kAtOnce) << "the first step should start at once";
    // Medians, so that one hiccup of a loaded machine does not decide:
    // 20 ms of drawing is 6.7 step periods, a frame with its pause 11.7, but
    // on a busy machine the stand-in's 1 ms nap stretches to several. A frame
    // drawn under the lock would see none.
    std::sort(duringDraw.begin(), duringDraw.end());
    std::sort(perFrame.begin() + 1, perFrame.end());
    EXPECT_GE(duringDraw[duringDraw.size() / 2], 2) << "steps wait while a frame draws";
    EXPECT_GE(perFrame[perFrame.size() / 2], 4);
}

// The schedule, free of the machine's timing: lateness is made up, by at
// most five steps in a row; what is still late after them is dropped.
TEST(LoopSchedule, MakesUpLatenessInBurstsOfFiveAtMost)
{
    using ms = std::chrono::milliseconds;
    const EngineLoop::Clock::time_point t0{};
    const struct {
        int due, now, inRow, next;
    } cases[] = {
        {0, 1, 1, 3},     // on time: a period after the last was due
        {0, 7, 1, 3},     // 7 ms late: the next is due at once
        {9, 10, 4, 12},   // still late after four in a row: due all the same
        {12, 16, 5, 19},  // late after five: from now on, the rest dropped
        {12, 14, 5, 15},  // caught up by the fifth: the cadence kept
    };
    for (const auto& c : cases)
        EXPECT_EQ(EngineLoop::following(t0 + ms(c.due), t0 + ms(c.now), ms(3), c.inRow), t0 + ms(c.next))
            << "due " << c.due << ", now " << c.now << ", in a row " << c.inRow;
}

// The simulation side may end the program too (the quit event is dispatched
// there). Steps are exactly 0.003 s, the first at once, none before its
// time; after a 40 ms stall at most five run back to back and the rest of
// it is dropped. While paused input still arrives but the world is not stepped.
// Between steps the thread sleeps rather than spinning on the clock.
TEST_F(LoopTest, KeepsTheClockWithinBurstsOfFivePausesAndStops)
{
    std::atomic<bool> running{true};
    std::vector<Clock::time_point> starts;
    std::vector<size_t> stepped;  // the dispatches each step followed
    timespec cpu[2]{};
    EngineLoop loop({[] {}, [] {}, [] {},
                     [&] {
                         clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu[!starts.empty()]);
                         starts.push_back(Clock::now());
                         if (starts.size() == 130)
                             running = false;  // as the quit event does from dispatch
                     },
                     [&](double dt) {
                         EXPECT_EQ(dt, 0.003);
                         stepped.push_back(starts.size());
                         if (stepped.size() == 70)
                             SDL_Delay(40);  // a stall
                     },
                     [&] { return starts.size() > 40 && starts.size() <= 60; }});
    SDL_Thread* thread = nullptr;
    const Clock::time_point begin = Clock::now();
    loop.run(running, thread);
    ASSERT_EQ(starts.size(), 130u);
    EXPECT_LT(starts[0] - begin, kAtOnce) << "the first step should start at once";
    ASSERT_EQ(stepped.size(), 110u);
    EXPECT_EQ(stepped[40], 61u) << "stepped while paused";
    // How far dispatch i came after its place on the 3 ms grid from `origin`;
    // the least over a stretch, so that one late wake of a loaded machine
    // does not decide. The grid starts when the loop did, not when its first
    // step woke: a late first wake is made up by the steps after it.
    using ms = std::chrono::duration<double, std::milli>;
    const auto behind = [&](Clock::time_point origin, size_t from, size_t to) {
        double least = 1e9;
        for (size_t i = from; i < to; ++i)
            least = std::min(least, ms(starts[i] - origin).count() - 3.0 * i);
        return least;
    };
    EXPECT_GT(behind(begin, 1, 130), -0.5) << "a step came before its time";
    EXPECT_GT(behind(starts[0], 100, 130), 15.0) << "the stall was made up in a burst";
    EXPECT_EQ(loop.longestBurst, EngineLoop::kMaxBurst);
    const double busy = (cpu[1].tv_sec - cpu[0].tv_sec) + 1e-9 * (cpu[1].tv_nsec - cpu[0].tv_nsec);
    EXPECT_LT(busy / std::chrono::duration<double>(starts.back() - starts[0]).count(), 0.3)
        << "the simulation thread spins between steps";
}
