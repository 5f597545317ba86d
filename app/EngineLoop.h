#pragma once

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <functional>

// The engine's two loops, apart from the engine so that they can run over a
// stand-in world.
//
// World lock: the simulation thread holds `worldLock` around each dispatch +
// step; the render thread holds it only while it captures what the frame
// draws (a copy of the poses, the changed ground, the grains, the figures
// and the camera's view), then draws that copy with the lock released. So
// a frame always shows the world between two whole steps, no listener
// callback runs while a frame is captured, and the world keeps its clock
// however long the drawing takes. Input polling stays outside the lock: it
// touches only the input queue, which has its own mutex. Lock order, where
// both are held: world lock, then input queue.
class EngineLoop {
public:
    static constexpr double kStep = 0.003;        // simulated seconds per step
    static constexpr Uint32 kFramePauseMs = 15;   // pause after every frame
    static constexpr int kMaxBurst = 5;           // steps back to back at most: the pause's worth

    struct Hooks {
        std::function<void()> poll;                // main thread, outside the world lock
        std::function<void()> capture;             // main thread, under the world lock; may be empty
        std::function<void()> render;              // main thread, outside the world lock
        std::function<void()> dispatch;            // simulation thread, under the world lock
        std::function<void(double)> simulate;      // simulation thread, under the world lock
        std::function<bool()> paused;              // simulation thread; none: never paused
    };

    explicit EngineLoop(Hooks hooks);
    ~EngineLoop();
    EngineLoop(const EngineLoop&) = delete;
    EngineLoop& operator=(const EngineLoop&) = delete;

    // Starts the simulation thread (its handle goes to `thread`), runs the
    // render loop on the calling thread while `running` holds, then waits for
    // the simulation thread. Either thread may clear `running`.
    void run(std::atomic<bool>& running, SDL_Thread*& thread);

    // The simulation loop: steps of exactly kStep, the first at once, each
    // due 3 ms (of the pace) after the previous one was due, so lateness is
    // made up; never more than kMaxBurst in a row, time beyond that being
    // dropped. Between steps the thread sleeps. While paused, input is still
    // dispatched (the view can be turned) but the world is not stepped.
    // Returns 1 when `running` is cleared.
    int simulationLoop(const std::atomic<bool>& running);

    using Clock = std::chrono::steady_clock;
    // When the step after one due at `due` is due, `now` being after it and
    // `inRow` the steps run back to back so far: a period after `due`, so
    // lateness is made up, unless that is already past after kMaxBurst steps
    // in a row; then a period from now.
    static Clock::time_point following(Clock::time_point due, Clock::time_point now, Clock::duration period,
                                       int inRow);

    SDL_mutex* worldLock;
    // Steps per 3 ms of wall-clock time: 1 keeps the world's clock; only a
    // watched recording runs faster or slower.
    std::atomic<double> pace{1.0};
    // The most steps the loop has run back to back, without waiting between.
    std::atomic<int> longestBurst{0};

private:
    struct ThreadStart;
    static int threadEntry(void* data);
    Hooks hooks;
};
