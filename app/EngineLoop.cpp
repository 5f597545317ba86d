#include "app/EngineLoop.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

struct EngineLoop::ThreadStart {
    EngineLoop* loop;
    const std::atomic<bool>* running;
};

EngineLoop::EngineLoop(Hooks h) : worldLock(SDL_CreateMutex()), hooks(std::move(h)) {}

EngineLoop::~EngineLoop() { SDL_DestroyMutex(worldLock); }

int EngineLoop::threadEntry(void* data)
{
    const ThreadStart* start = static_cast<const ThreadStart*>(data);
    return start->loop->simulationLoop(*start->running);
}

void EngineLoop::run(std::atomic<bool>& running, SDL_Thread*& thread)
{
    ThreadStart start{this, &running};  // outlives the thread: joined below
    thread = SDL_CreateThread(threadEntry, &start);
    if (!thread)
        throw "[Engine] Couldn't create the simulation thread.";
    while (running) {
        hooks.poll();
        if (hooks.capture) {
            SDL_mutexP(worldLock);
            hooks.capture();
            SDL_mutexV(worldLock);
        }
        hooks.render();
        SDL_Delay(kFramePauseMs);
    }
    SDL_WaitThread(thread, nullptr);
    thread = nullptr;
}

int EngineLoop::simulationLoop(const std::atomic<bool>& running)
{
    using Clock = std::chrono::steady_clock;
    // Sleeping is coarse (a millisecond or more late under load); the last
    // millisecond is waited in short naps, and the last fifth of one by
    // yielding, which keeps the cadence (every tenth of a millisecond late
    // is 3 % of real time lost for good) without holding a core.
    const auto coarse = std::chrono::milliseconds(1);
    const auto fine = std::chrono::microseconds(200);
    const auto nap = std::chrono::microseconds(50);
    const auto slack = std::chrono::milliseconds(1);
    Clock::time_point next = Clock::now();
    while (running) {
        const Clock::duration period =
            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(kStep / pace));
        const Clock::duration remaining = next - Clock::now();
        if (remaining > coarse) {
            std::this_thread::sleep_for(remaining - coarse);
            continue;
        }
        if (remaining > fine) {
            std::this_thread::sleep_for(std::min<Clock::duration>(remaining - fine, nap));
            continue;
        }
        if (remaining > Clock::duration::zero()) {
            std::this_thread::yield();
            continue;
        }
        SDL_mutexP(worldLock);
        // A step that starts within a millisecond of its time keeps the
        // cadence, as on a millisecond clock: the next is due a period after
        // this one was. A later one sets the cadence anew from its real
        // start (after any wait for the lock), so time lost is never made up.
        const Clock::time_point start = Clock::now();
        next = start - next < slack ? next + period : start + period;
        hooks.dispatch();
        if (!hooks.paused || !hooks.paused())
            hooks.simulate(kStep);
        SDL_mutexV(worldLock);
    }
    return 1;
}
