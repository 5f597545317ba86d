#include <gtest/gtest.h>

#include <SDL.h>

#include <string>
#include <vector>

#include "app/SimulationWindow.h"
#include "input/InputSystem.h"

namespace {

// A real window under the test's X server that counts what input asks of it.
class CountingWindow : public SimulationWindow {
public:
    CountingWindow() : SimulationWindow("input test", 320, 240, 32, false) {}
    void stop() override { ++stops; }
    void togglePause() override { ++pauses; }
    int stops = 0;
    int pauses = 0;
};

struct Received {
    std::string what;  // listener and operation
    int detail;        // key symbol, button, or motion x
    Uint32 thread;
};

// Records every call of every listener interface, in order.
class Recorder : public KeyboardListener, public MouseListener, public JoystickListener {
public:
    explicit Recorder(std::string n) : name(std::move(n)) {}
    void keyPressed(const SDL_Event* e) override { add("keyPressed", e->key.keysym.sym); }
    void keyReleased(const SDL_Event* e) override { add("keyReleased", e->key.keysym.sym); }
    void mouseButtonPressed(const SDL_Event* e) override { add("mouseButtonPressed", e->button.button); }
    void mouseButtonReleased(const SDL_Event* e) override { add("mouseButtonReleased", e->button.button); }
    void mouseMoved(const SDL_Event* e) override { add("mouseMoved", e->motion.x); }
    void joyButtonPressed(const SDL_Event* e) override { add("joyButtonPressed", e->jbutton.button); }
    void joyButtonReleased(const SDL_Event* e) override { add("joyButtonReleased", e->jbutton.button); }
    void joyAxisMoved(const SDL_Event* e) override { add("joyAxisMoved", e->jaxis.value); }

    std::vector<Received>* log = nullptr;
    std::string name;

private:
    void add(const char* op, int detail) { log->push_back({name + "." + op, detail, SDL_ThreadID()}); }
};

SDL_Event keyEvent(Uint8 type, SDLKey sym)
{
    SDL_Event e{};
    e.type = type;
    e.key.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = sym;
    return e;
}

SDL_Event buttonEvent(Uint8 type, Uint8 button)
{
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEBUTTONDOWN || type == SDL_MOUSEBUTTONUP)
        e.button.button = button;
    else
        e.jbutton.button = button;
    return e;
}

SDL_Event motionEvent(Uint16 x)
{
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    return e;
}

void push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 0); }

int dispatchThread(void* data)
{
    static_cast<InputSystem*>(data)->dispatch();
    return 0;
}

Uint8 fakeKeys[SDLK_LAST];
Uint8* fakeKeyState(int* count)
{
    if (count)
        *count = SDLK_LAST;
    return fakeKeys;
}

}  // namespace

// Events polled on this thread reach the listeners on the dispatching thread
// in arrival order, each kind at the listeners of its interface (keyboard
// listeners in registration order); an unknown event is reported and skipped;
// the quit event stops the window.
TEST(InputSystem, DeliversPolledEventsInOrderOnTheDispatchingThread)
{
    CountingWindow window;
    InputSystem input;
    std::vector<Received> log;
    Recorder first("first"), second("second"), mouse("mouse"), joystick("joystick");
    for (Recorder* r : {&first, &second, &mouse, &joystick})
        r->log = &log;
    input.addKeyboardListener(&first);
    input.addKeyboardListener(&second);
    input.addMouseListener(&mouse);
    input.addJoystickListener(&joystick);
    input.setWindow(&window);

    push(keyEvent(SDL_KEYDOWN, SDLK_w));
    push(motionEvent(17));
    push(keyEvent(SDL_KEYDOWN, SDLK_w));  // a repeat: delivered again
    push(buttonEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT));
    SDL_Event user{};
    user.type = SDL_USEREVENT;
    push(user);
    push(buttonEvent(SDL_JOYBUTTONDOWN, 3));
    push(keyEvent(SDL_KEYUP, SDLK_w));
    push(buttonEvent(SDL_JOYBUTTONUP, 3));
    push(buttonEvent(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT));
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push(quit);

    input.poll();
    EXPECT_TRUE(log.empty()) << "poll must only queue";

    testing::internal::CaptureStderr();
    SDL_Thread* thread = SDL_CreateThread(dispatchThread, &input);
    ASSERT_NE(thread, nullptr);
    SDL_WaitThread(thread, nullptr);
    const std::string errors = testing::internal::GetCapturedStderr();

    const std::vector<std::pair<std::string, int>> expected = {
        {"first.keyPressed", SDLK_w},  {"second.keyPressed", SDLK_w},
        {"mouse.mouseMoved", 17},      {"first.keyPressed", SDLK_w},
        {"second.keyPressed", SDLK_w}, {"mouse.mouseButtonPressed", SDL_BUTTON_RIGHT},
        {"joystick.joyButtonPressed", 3}, {"first.keyReleased", SDLK_w},
        {"second.keyReleased", SDLK_w},   {"joystick.joyButtonReleased", 3},
        {"mouse.mouseButtonReleased", SDL_BUTTON_RIGHT},
    };
    ASSERT_EQ(log.size(), expected.size());
    const Uint32 mainThread = SDL_ThreadID();
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(log[i].what, expected[i].first) << "call " << i;
        EXPECT_EQ(log[i].detail, expected[i].second) << "call " << i;
        EXPECT_NE(log[i].thread, mainThread) << "call " << i;
    }
    EXPECT_EQ(errors, "[InputSystem] Unknown event!\n");
    EXPECT_EQ(window.stops, 1);
    EXPECT_EQ(window.pauses, 0);

    // The queue is empty now: a second dispatch calls nobody. Removed
    // listeners hear nothing more; the others still do.
    input.dispatch();
    EXPECT_EQ(log.size(), expected.size());
    input.removeKeyboardListener(&second);
    input.removeMouseListener(&mouse);
    input.removeJoystickListener(&joystick);
    for (const SDL_Event& e : {keyEvent(SDL_KEYDOWN, SDLK_a), motionEvent(5), buttonEvent(SDL_JOYBUTTONDOWN, 1)})
        push(e);
    input.poll();
    input.dispatch();
    ASSERT_EQ(log.size(), expected.size() + 1);
    EXPECT_EQ(log.back().what, "first.keyPressed");
}

// Esc stops, p pauses, Esc wins over p; neither needs a keyboard listener,
// and without a window (the joystick dialogue) neither does anything.
TEST(InputSystem, EscapeStopsAndPTogglesPauseFromTheKeyState)
{
    CountingWindow window;
    InputSystem input;
    input.keyState = fakeKeyState;

    std::fill(std::begin(fakeKeys), std::end(fakeKeys), 0);
    fakeKeys[SDLK_ESCAPE] = 1;
    input.poll();  // no window yet
    EXPECT_EQ(window.stops, 0);

    input.setWindow(&window);
    input.poll();
    EXPECT_EQ(window.stops, 1);
    EXPECT_EQ(window.pauses, 0);

    fakeKeys[SDLK_p] = 1;
    input.poll();
    EXPECT_EQ(window.stops, 2);
    EXPECT_EQ(window.pauses, 0);

    fakeKeys[SDLK_ESCAPE] = 0;
    input.poll();
    input.poll();  // held: every frame toggles again
    EXPECT_EQ(window.stops, 2);
    EXPECT_EQ(window.pauses, 2);

    fakeKeys[SDLK_p] = 0;
    fakeKeys[SDLK_q] = 1;
    input.poll();
    EXPECT_EQ(window.stops, 2);
    EXPECT_EQ(window.pauses, 2);

    // A quick Esc tap, down and up between two polls, leaves the key state
    // up but still ends the program; a tap of another key does not.
    fakeKeys[SDLK_q] = 0;
    SDL_Event down = keyEvent(SDL_KEYDOWN, SDLK_q), up = keyEvent(SDL_KEYUP, SDLK_q);
    SDL_PushEvent(&down);
    SDL_PushEvent(&up);
    input.poll();
    EXPECT_EQ(window.stops, 2);
    down = keyEvent(SDL_KEYDOWN, SDLK_ESCAPE);
    up = keyEvent(SDL_KEYUP, SDLK_ESCAPE);
    SDL_PushEvent(&down);
    SDL_PushEvent(&up);
    input.poll();
    EXPECT_EQ(window.stops, 3);
    input.dispatch();  // the tap's events still reach the listeners' queue
}
