#pragma once

#include <SDL.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "base/JoystickListener.h"
#include "base/KeyboardListener.h"
#include "base/MouseListener.h"

class ProgramControl;

// Carries input from SDL, which is read on the main thread, to the
// listeners, which run on the thread that calls dispatch (the simulation
// thread). One FIFO queue under one SDL mutex joins the two.
class InputSystem {
public:
    // Opens every joystick and sets SDL's key repeat and event filters;
    // after SDL_Init. The program's window owns one; tests and tools make
    // their own.
    InputSystem();
    ~InputSystem();
    InputSystem(const InputSystem&) = delete;
    InputSystem& operator=(const InputSystem&) = delete;

    // A listener must be removed before it is destroyed: dispatch calls
    // every registered one.
    void addKeyboardListener(KeyboardListener* listener);
    void addMouseListener(MouseListener* listener);
    void addJoystickListener(JoystickListener* listener);
    void removeKeyboardListener(KeyboardListener* listener);
    void removeMouseListener(MouseListener* listener);
    void removeJoystickListener(JoystickListener* listener);
    void setWindow(ProgramControl* window);

    // Main thread: moves SDL's events and a fresh reading of every joystick
    // axis into the queue; Esc stops at once, p queues a pause event (so that
    // a pause lands between the same two steps when a session is replayed).
    void poll();
    // Delivers every queued event to the listeners, in arrival order.
    void dispatch();

    // --- Record and replay --------------------------------------------------
    // The pause that p queues; dispatch calls the window's togglePause.
    static constexpr Uint8 kPauseEvent = SDL_NUMEVENTS - 1;

    // What a session recorder and a replay see of dispatch. Each may be empty.
    struct SessionHooks {
        // Every dispatch at a step, before its events, outside the queue's lock.
        std::function<void(int64_t step)> reached;
        // Every event the listeners (or the window, for quit and pause) heard.
        std::function<void(int64_t step, const SDL_Event&)> delivered;
        // Set while replaying: appends the recorded events due at the step;
        // they reach the listeners before the queued (live) ones, but never
        // the window: the program's own quit and pause are the viewer's.
        std::function<void(int64_t step, std::vector<SDL_Event>&)> replay;
        // While replaying: whether a live event goes on to the listeners.
        // None: mouse events (the view) and quit only.
        std::function<bool(int64_t step, const SDL_Event&)> live;
    };
    // Before the simulation loop runs, or from the dispatching thread.
    void setSessionHooks(SessionHooks hooks);
    // dispatch between steps: `step` steps have been made so far.
    void dispatch(int64_t step);

    // Where poll reads the key state; SDL_GetKeyState unless a test swaps it.
    using KeyStateSource = Uint8* (*)(int* count);
    KeyStateSource keyState = SDL_GetKeyState;

private:
    // Hands one event to its listeners; false for a kind no one hears.
    bool deliver(const SDL_Event& event, bool live);
    void drainQueue(int64_t step, bool session);

    std::vector<KeyboardListener*> keyboardListeners;
    std::vector<MouseListener*> mouseListeners;
    std::vector<JoystickListener*> joystickListeners;
    ProgramControl* window = nullptr;
    std::vector<SDL_Joystick*> joysticks;
    std::deque<SDL_Event> queue;
    SDL_mutex* mutex = nullptr;
    SessionHooks session;
    std::vector<SDL_Event> replayed;  // reused by every dispatch
};
