#pragma once

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "input/InputSystem.h"
#include "input/SessionFormat.h"

class ExcavatorController;

// Feeds a recorded session into the input system's dispatch: before each
// step the events dispatched before it when it was recorded, in recorded
// order, so that the listeners hear exactly what they heard then. Until
// taken over, live input reaches the view only.
class SessionPlayer {
public:
    explicit SessionPlayer(const Session& session);

    // Appends every recorded event of this step (and of any earlier one not
    // yet handed out), in recorded order; nothing once taken over, and no
    // mouse events once the viewer has taken the view.
    void due(int64_t step, std::vector<SDL_Event>& out);

    // From after this step's recorded events the live operator drives.
    void takeOver(int64_t step);
    bool takenOver() const { return takenOverAt >= 0; }
    int64_t takeOverStep() const { return takenOverAt; }

    // The recorded events up to and including the step: how a recording of
    // a session taken over at that step begins.
    std::vector<RecordedEvent> eventsUpTo(int64_t step) const;

    // replay and live for the input system; live lets `liveBefore` decide
    // until the take-over (none: the view's mouse events and quit), then
    // lets everything through. A live mouse button let through before the
    // take-over gives the view to the viewer: the recorded operator's camera
    // moves are no longer replayed.
    InputSystem::SessionHooks hooks(std::function<bool(int64_t, const SDL_Event&)> liveBefore = nullptr);

    const Session& session;
    bool recordedView = true;  // the operator's camera moves are replayed

private:
    size_t next = 0;  // the first event not yet handed out
    int64_t takenOverAt = -1;
};

// Makes the controller listen as it did in the recorded session: to the
// keyboard, and to the joysticks with the recorded axis assignment. False
// when an axis cannot be assigned (a part unknown to this program).
bool applySessionSetup(const SessionHeader& header, ExcavatorController& controller, InputSystem& input);

// Headless replay: for each step from 0, the recorded events are dispatched
// (input.dispatch(step), with the player's hooks and any others already in
// `hooks`), then `simulate` makes one step; up to `untilStep` or the
// session's last step, whichever comes first. At the session's last step
// its events are dispatched too, without a step after them. Returns the
// steps made.
int64_t replaySession(InputSystem& input, SessionPlayer& player, int64_t untilStep,
                      const std::function<void()>& simulate, InputSystem::SessionHooks hooks = {});
