#pragma once

#include <SDL.h>

#include <deque>
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
    // The process-wide instance; created on first use, after SDL_Init.
    static InputSystem& getInstance();

    // Opens every joystick and sets SDL's key repeat and event filters.
    // Public so that tests can run a fresh system of their own.
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
    // axis into the queue, then acts on Esc (stop) and p (pause).
    void poll();
    // Delivers every queued event to the listeners, in arrival order.
    void dispatch();

    // Where poll reads the key state; SDL_GetKeyState unless a test swaps it.
    using KeyStateSource = Uint8* (*)(int* count);
    KeyStateSource keyState = SDL_GetKeyState;

private:
    std::vector<KeyboardListener*> keyboardListeners;
    std::vector<MouseListener*> mouseListeners;
    std::vector<JoystickListener*> joystickListeners;
    ProgramControl* window = nullptr;
    std::vector<SDL_Joystick*> joysticks;
    std::deque<SDL_Event> queue;
    SDL_mutex* mutex = nullptr;
};
