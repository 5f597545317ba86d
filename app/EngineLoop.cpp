#include "app/EngineLoop.h"

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
        SDL_mutexP(worldLock);
        hooks.render();
        SDL_mutexV(worldLock);
        SDL_Delay(kFramePauseMs);
    }
    SDL_WaitThread(thread, nullptr);
    thread = nullptr;
}

int EngineLoop::simulationLoop(const std::atomic<bool>& running)
{
    Uint32 lastStep = 0;
    while (running) {
        const Uint32 now = SDL_GetTicks();
        // Unsigned difference: correct across the clock's wrap-around.
        if (static_cast<double>(now - lastStep) * 0.001 < kStep)
            continue;
        SDL_mutexP(worldLock);
        hooks.dispatch();
        hooks.simulate(kStep);
        SDL_mutexV(worldLock);
        lastStep = now;
    }
    return 1;
}
