#include "app/EngineLoop.h"

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

EngineLoop::Clock::time_point EngineLoop::following(Clock::time_point due, Clock::time_point now,
                                                   Clock::duration period, int inRow)
{
    const Clock::time_point next = due + period;
    return inRow >= kMaxBurst && next <= now ? now + period : next;  // the rest of the lateness dropped
}

int EngineLoop::simulationLoop(const std::atomic<bool>& running)
{
    favourThisThread();
    // A deadline schedule: each step is due a period after the previous
    // one was due, not after it started, so a step that wakes late (the
    // renderer's threads hold the processors while a frame draws) is made
    // up by the next ones coming sooner, and the world keeps the wall clock.
    // What a stall would pile up is bounded: at most kMaxBurst steps run
    // back to back (a frame's pause worth), and time beyond that is dropped,
    // the schedule starting anew from the last of them. The first step is
    // due at once.
    Clock::time_point next = Clock::now();
    int inRow = 0;  // steps since the thread last waited
    while (running) {
        const Clock::duration remaining = next - Clock::now();
        if (remaining > Clock::duration::zero()) {
            std::this_thread::sleep_for(remaining);
            inRow = 0;
            continue;
        }
        const Clock::duration period =
            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(kStep / pace));
        SDL_mutexP(worldLock);
        hooks.dispatch();
        if (!hooks.paused || !hooks.paused())
            hooks.simulate(kStep);
        SDL_mutexV(worldLock);
        if (++inRow > longestBurst)
            longestBurst = inRow;
        next = following(next, Clock::now(), period, inRow);
    }
    return 1;
}
