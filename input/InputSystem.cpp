#include "input/InputSystem.h"

#include <algorithm>
#include <iostream>
#include <utility>

#include "base/Log.h"
#include "base/MutexLock.h"
#include "input/ProgramControl.h"

namespace {

template <typename Listener>
void removeFrom(std::vector<Listener*>& listeners, Listener* listener)
{
    listeners.erase(std::remove(listeners.begin(), listeners.end(), listener), listeners.end());
}

}  // namespace

InputSystem::InputSystem()
{
    logMessage("[InputSystem] Creating input system.");
    const int count = SDL_NumJoysticks();
    logValue("[InputSystem] joysticks: ", count);
    for (int i = 0; i < count; ++i)
        joysticks.push_back(SDL_JoystickOpen(i));  // a failed open keeps its index, as null
    SDL_EnableKeyRepeat(1, 1);
    SDL_EventState(SDL_ACTIVEEVENT, SDL_IGNORE);
    SDL_EventState(SDL_SYSWMEVENT, SDL_IGNORE);
    SDL_EventState(SDL_VIDEORESIZE, SDL_IGNORE);
    SDL_EventState(SDL_VIDEOEXPOSE, SDL_IGNORE);
    // Axis events come from poll's own readings only.
    SDL_EventState(SDL_JOYAXISMOTION, SDL_IGNORE);
    mutex = SDL_CreateMutex();
}

InputSystem::~InputSystem() { SDL_DestroyMutex(mutex); }

void InputSystem::addKeyboardListener(KeyboardListener* listener)
{
    MutexLock lock(mutex);
    keyboardListeners.push_back(listener);
}

void InputSystem::addMouseListener(MouseListener* listener)
{
    MutexLock lock(mutex);
    mouseListeners.push_back(listener);
}

void InputSystem::addJoystickListener(JoystickListener* listener)
{
    MutexLock lock(mutex);
    joystickListeners.push_back(listener);
}

void InputSystem::removeKeyboardListener(KeyboardListener* listener)
{
    MutexLock lock(mutex);
    removeFrom(keyboardListeners, listener);
}

void InputSystem::removeMouseListener(MouseListener* listener)
{
    MutexLock lock(mutex);
    removeFrom(mouseListeners, listener);
}

void InputSystem::removeJoystickListener(JoystickListener* listener)
{
    MutexLock lock(mutex);
    removeFrom(joystickListeners, listener);
}

void InputSystem::setWindow(ProgramControl* w)
{
    MutexLock lock(mutex);
    window = w;
}

void InputSystem::poll()
{
    ProgramControl* target;
    // A tap shorter than one frame is down and up again before the key
    // state is read; its key-down event still counts as Esc held.
    bool escape = false;
    bool pause = false;
    {
        MutexLock lock(mutex);
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            escape |= event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE;
            queue.push_back(event);
        }
        if (!joysticks.empty())
            SDL_JoystickUpdate();  // every axis read fresh, whether SDL saw it move or not
        for (size_t j = 0; j < joysticks.size(); ++j) {
            SDL_Joystick* joystick = joysticks[j];
            if (!joystick)
                continue;
            const int axes = SDL_JoystickNumAxes(joystick);
            for (int a = 0; a < axes; ++a) {
                SDL_Event axis{};
                axis.jaxis.type = SDL_JOYAXISMOTION;
                axis.jaxis.which = static_cast<Uint8>(j);
                axis.jaxis.axis = static_cast<Uint8>(a);
                axis.jaxis.value = SDL_JoystickGetAxis(joystick, a);
                queue.push_back(axis);
            }
        }
        target = window;
        // Without a window (during the joystick dialogue) Esc and p do nothing.
        const Uint8* keys = target ? keyState(nullptr) : nullptr;
        escape |= keys && keys[SDLK_ESCAPE];
        if (keys && !escape && keys[SDLK_p]) {
            // Through the queue, after this poll's events: the pause lands
            // between the same two steps as they do.
            SDL_Event p{};
            p.type = kPauseEvent;
            queue.push_back(p);
            pause = true;
        }
    }
    if (!target)
        return;
    if (escape)
        target->stop();
    else if (pause)
        SDL_Delay(150);  // a held p toggles at most every 150 ms
}

void InputSystem::setSessionHooks(SessionHooks hooks)
{
    MutexLock lock(mutex);
    session = std::move(hooks);
}

void InputSystem::dispatch()
{
    MutexLock lock(mutex);
    drainQueue(0, false);
}

void InputSystem::dispatch(int64_t step)
{
    // Outside the lock: a recorder's flush never holds up poll.
    if (session.reached)
        session.reached(step);
    MutexLock lock(mutex);
    if (session.replay) {
        replayed.clear();
        session.replay(step, replayed);
        for (const SDL_Event& event : replayed)
            if (deliver(event, false) && session.delivered)
                session.delivered(step, event);
    }
    drainQueue(step, true);
}

void InputSystem::drainQueue(int64_t step, bool withSession)
{
    while (!queue.empty()) {
        const SDL_Event event = queue.front();
        queue.pop_front();
        if (withSession && session.replay) {
            const bool through = session.live ? session.live(step, event)
                                              : event.type == SDL_MOUSEMOTION || event.type == SDL_MOUSEBUTTONDOWN ||
                                                    event.type == SDL_MOUSEBUTTONUP || event.type == SDL_QUIT;
            if (!through)
                continue;
        }
        if (deliver(event, true) && withSession && session.delivered)
            session.delivered(step, event);
    }
}

bool InputSystem::deliver(const SDL_Event& event, bool live)
{
    switch (event.type) {
    case SDL_KEYDOWN:
        for (KeyboardListener* l : keyboardListeners)
            l->keyPressed(&event);
        return true;
    case SDL_KEYUP:
        for (KeyboardListener* l : keyboardListeners)
            l->keyReleased(&event);
        return true;
    case SDL_MOUSEMOTION:
        for (MouseListener* l : mouseListeners)
            l->mouseMoved(&event);
        return true;
    case SDL_MOUSEBUTTONDOWN:
        for (MouseListener* l : mouseListeners)
            l->mouseButtonPressed(&event);
        return true;
    case SDL_MOUSEBUTTONUP:
        for (MouseListener* l : mouseListeners)
            l->mouseButtonReleased(&event);
        return true;
    case SDL_JOYAXISMOTION:
        for (JoystickListener* l : joystickListeners)
            l->joyAxisMoved(&event);
        return true;
    case SDL_JOYBUTTONDOWN:
        for (JoystickListener* l : joystickListeners)
            l->joyButtonPressed(&event);
        return true;
    case SDL_JOYBUTTONUP:
        for (JoystickListener* l : joystickListeners)
            l->joyButtonReleased(&event);
        return true;
    case SDL_QUIT:
        if (live && window)
            window->stop();
        return true;
    case kPauseEvent:
        if (live && window)
            window->togglePause();
        return true;
    default:
        std::cerr << "[InputSystem] Unknown event!" << "\n";
        return false;
    }
}
