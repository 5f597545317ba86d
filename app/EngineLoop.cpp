#include "app/EngineLoop.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <utility>

#ifdef __linux__
#include <dirent.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include "base/Fatal.h"

namespace {

// The step is short and due every 3 ms; a frame is long and keeps every
// processor busy (the software renderer rasterises on threads of its own).
// A step that waits for a time slice behind a frame is time the world loses
// for good, so the stepping thread is favoured: raised where the system
// allows it, else every other thread of the process is lowered a little.
// Called on the stepping thread.
void favourThisThread()
{
#ifdef __linux__
    const long self = syscall(SYS_gettid);
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(self), -10) == 0)
        return;
    static bool lowered = false;  // once: later loops find the others lowered
    if (lowered)
        return;
    lowered = true;
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks)
        return;
    while (const dirent* task = readdir(tasks)) {
        const long id = std::atol(task->d_name);
        if (id > 0 && id != self)
            setpriority(PRIO_PROCESS, static_cast<id_t>(id), 8);
    }
    closedir(tasks);
#endif
}

}  // namespace

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
        throwFatal("[Engine] Couldn't create the simulation thread.");
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
    favourThisThread();
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
