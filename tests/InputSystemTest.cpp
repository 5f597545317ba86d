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
    int stops = 0, pauses = 0;
};

// Logs every call of every listener interface as "name.call detail".
std::vector<std::string> log;

class Recorder : public KeyboardListener, public MouseListener, public JoystickListener {
public:
    explicit Recorder(const char* n) : name(n) {}
    void keyPressed(const SDL_Event* e) override { add("keyDown", e->key.keysym.sym); }
    void keyReleased(const SDL_Event* e) override { add("keyUp", e->key.keysym.sym); }
    void mouseButtonPressed(const SDL_Event* e) override { add("buttonDown", e->button.button); }
    void mouseButtonReleased(const SDL_Event* e) override { add("buttonUp", e->button.button); }
    void mouseMoved(const SDL_Event* e) override { add("moved", e->motion.x); }
    void joyButtonPressed(const SDL_Event* e) override { add("joyDown", e->jbutton.button); }
    void joyButtonReleased(const SDL_Event* e) override { add("joyUp", e->jbutton.button); }
    void joyAxisMoved(const SDL_Event* e) override { add("axis", e->jaxis.value); }

private:
    void add(const char* call, int detail)
    {
        log.push_back(name + "." + call + " " + std::to_string(detail));
    }
    std::string name;
};

// An event of the type with every detail the recorder reads set to `detail`.
void push(Uint8 type, int detail)
{
    SDL_Event e{};
    e.type = type;
    if (type == SDL_KEYDOWN || type == SDL_KEYUP)
        e.key.keysym.sym = static_cast<SDLKey>(detail);
    else if (type == SDL_MOUSEMOTION)
        e.motion.x = static_cast<Uint16>(detail);
    else
        e.button.button = static_cast<Uint8>(detail);  // shares its place with jbutton.button
    ASSERT_EQ(SDL_PushEvent(&e), 0);
}

}  // namespace

// Polled events reach the listeners only when dispatched, in arrival order, each kind at the listeners of its interface (keyboard
// listeners in registration order); an unknown event is reported and skipped;
// the quit event stops the window; removed listeners hear nothing more.
TEST(InputSystem, DeliversPolledEventsInOrderOnTheDispatchingThread)
{
    CountingWindow window;
    InputSystem input;
    Recorder first("first"), second("second"), mouse("mouse"), joystick("joystick");
    input.addKeyboardListener(&first);
    input.addKeyboardListener(&second);
    input.addMouseListener(&mouse);
    input.addJoystickListener(&joystick);
    input.setWindow(&window);
    // A key repeat is delivered again; the user event is unknown.
    for (auto [type, detail] : {std::pair<Uint8, int>{SDL_KEYDOWN, SDLK_w}, {SDL_MOUSEMOTION, 17}, {SDL_KEYDOWN, SDLK_w},
                                {SDL_MOUSEBUTTONDOWN, 3}, {SDL_USEREVENT, 0}, {SDL_JOYBUTTONDOWN, 3}, {SDL_KEYUP, SDLK_w},
                                {SDL_JOYBUTTONUP, 3}, {SDL_MOUSEBUTTONUP, 3}, {SDL_QUIT, 0}})
        push(type, detail);
    input.poll();
    EXPECT_TRUE(log.empty()) << "poll must only queue";

    testing::internal::CaptureStderr();
    input.dispatch();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[InputSystem] Unknown event!\n");
    const std::vector<std::string> expected = {
        "first.keyDown 119", "second.keyDown 119", "mouse.moved 17",     "first.keyDown 119",
        "second.keyDown 119", "mouse.buttonDown 3", "joystick.joyDown 3", "first.keyUp 119",
        "second.keyUp 119",  "joystick.joyUp 3",   "mouse.buttonUp 3",
    };
    EXPECT_EQ(log, expected);
    EXPECT_EQ(window.stops, 1);

    input.removeKeyboardListener(&second);
    input.removeMouseListener(&mouse);
    input.removeJoystickListener(&joystick);
    for (Uint8 type : {SDL_KEYDOWN, SDL_MOUSEMOTION, SDL_JOYBUTTONDOWN})
        push(type, SDLK_a);
    input.poll();
    input.dispatch();
    ASSERT_EQ(log.size(), expected.size() + 1);
    EXPECT_EQ(log.back(), "first.keyDown 97");
}

namespace {
Uint8 fakeKeys[SDLK_LAST];
Uint8* fakeKeyState(int*) { return fakeKeys; }
}  // namespace

// Held Esc stops and wins over p, held p toggles pause at every poll (once
// dispatched: it goes through the queue); neither
// needs a listener, and without a window (the joystick dialogue) nothing
// happens. An Esc tapped between two polls still stops; another tap does not.
TEST(InputSystem, EscapeStopsAndPTogglesPauseFromTheKeyState)
{
    CountingWindow window;
    InputSystem input;
    input.keyState = fakeKeyState;
    const SDLKey none = SDLK_UNKNOWN, esc = SDLK_ESCAPE;
    const struct { SDLKey held[2], tapped; bool window; int stops, pauses; } polls[] = {
        {{esc, none}, none, false, 0, 0}, {{esc, none}, none, true, 1, 0}, {{esc, SDLK_p}, none, true, 2, 0},
        {{SDLK_p, none}, none, true, 2, 1}, {{SDLK_p, none}, none, true, 2, 2}, {{SDLK_q, none}, none, true, 2, 2},
        {{none, none}, SDLK_q, true, 2, 2},  {{none, none}, esc, true, 3, 2},
    };
    for (const auto& p : polls) {
        std::fill(std::begin(fakeKeys), std::end(fakeKeys), 0);
        fakeKeys[p.held[0]] = fakeKeys[p.held[1]] = 1;
        fakeKeys[none] = 0;
        input.setWindow(p.window ? &window : nullptr);
        if (p.tapped != none) {
            push(SDL_KEYDOWN, p.tapped);
            push(SDL_KEYUP, p.tapped);
        }
        input.poll();
        EXPECT_EQ(window.stops, p.stops);
        input.dispatch();  // the pause comes through the queue
        EXPECT_EQ(window.pauses, p.pauses);
    }
}
