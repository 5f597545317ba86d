#include "input/SessionPlayer.h"

#include <algorithm>
#include <utility>

#include "input/ExcavatorController.h"

SessionPlayer::SessionPlayer(const Session& s) : session(s) {}

namespace {

bool mouseEvent(const SDL_Event& e)
{
    return e.type == SDL_MOUSEMOTION || e.type == SDL_MOUSEBUTTONDOWN || e.type == SDL_MOUSEBUTTONUP;
}

}  // namespace

void SessionPlayer::due(int64_t step, std::vector<SDL_Event>& out)
{
    if (takenOver())
        return;
    const std::vector<RecordedEvent>& events = session.events;
    for (; next < events.size() && events[next].step <= step; ++next)
        if (recordedView || !mouseEvent(events[next].event))
            out.push_back(events[next].event);
}

void SessionPlayer::takeOver(int64_t step) { takenOverAt = step; }

std::vector<RecordedEvent> SessionPlayer::eventsUpTo(int64_t step) const
{
    std::vector<RecordedEvent> out;
    for (const RecordedEvent& e : session.events) {
        if (e.step > step)
            break;
        out.push_back(e);
    }
    return out;
}

InputSystem::SessionHooks SessionPlayer::hooks(std::function<bool(int64_t, const SDL_Event&)> liveBefore)
{
    InputSystem::SessionHooks h;
    h.replay = [this](int64_t step, std::vector<SDL_Event>& out) { due(step, out); };
    h.live = [this, liveBefore = std::move(liveBefore)](int64_t step, const SDL_Event& e) {
        if (takenOver())
            return true;
        const bool through = liveBefore ? liveBefore(step, e) : mouseEvent(e) || e.type == SDL_QUIT;
        if (through && e.type == SDL_MOUSEBUTTONDOWN)
            recordedView = false;
        return through;
    };
    return h;
}

bool applySessionSetup(const SessionHeader& header, ExcavatorController& controller, InputSystem& input)
{
    // Registered once each, whatever was registered before.
    input.removeKeyboardListener(&controller);
    input.addKeyboardListener(&controller);
    input.removeJoystickListener(&controller);
    controller.axisAssignments.clear();
    if (header.axes.empty())
        return true;
    input.addJoystickListener(&controller);
    bool all = true;
    for (const auto& axis : header.axes)
        all &= controller.assignAxisPart(axis.first, axis.second);
    return all;
}

int64_t replaySession(InputSystem& input, SessionPlayer& player, int64_t untilStep,
                      const std::function<void()>& simulate, InputSystem::SessionHooks hooks)
{
    const InputSystem::SessionHooks own = player.hooks();
    hooks.replay = own.replay;
    hooks.live = own.live;
    input.setSessionHooks(std::move(hooks));
    const int64_t last = std::min(untilStep, player.session.lastStep);
    int64_t step = 0;
    for (; step < last; ++step) {
        input.dispatch(step);
        simulate();
    }
    if (last == player.session.lastStep)
        input.dispatch(step);
    input.setSessionHooks({});
    return step;
}
