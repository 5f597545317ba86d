#include "app/SessionRun.h"

#include <algorithm>
#include <ctime>
#include <ostream>

#include "base/Fatal.h"
#include "input/SessionPlayer.h"
#include "input/SessionReader.h"
#include "input/SessionRecorder.h"
#include "world/Trace.h"
#include "world/World.h"

namespace {

constexpr double kSlowest = 0.25, kFastest = 8.0;

void recordReplayed(SessionRecorder& recorder, const std::vector<RecordedEvent>& events, int64_t upTo)
{
    // The watched recording's sync lines are not kept; new ones, once a
    // second of world time, keep its lines as close as a live recording's.
    int64_t last = 0;
    const auto sync = [&](int64_t step) { recorder.sync(step); };
    for (const RecordedEvent& r : events) {
        syncQuietStretch(last, r.step, sync);
        recorder.record(r.step, r.event);
        last = r.step;
    }
    syncQuietStretch(last, upTo, sync);
    recorder.sync(upTo);
}

}  // namespace

SessionRun::SessionRun(const Settings& settings_, std::ostream& warnings_) : settings(settings_), warnings(warnings_)
{
    if (!settings.replay.empty()) {
        SessionExpectation expected;
        expected.data = hereData = dataChecksum("data");
        expected.force = settings.force;
        session = std::make_unique<Session>(readSession(settings.replay, expected, warnings));
        player = std::make_unique<SessionPlayer>(*session);
    }
    if (!settings.trace.empty()) {
        trace.open(settings.trace);
        if (!trace)
            throwFatal("[SessionRun] Cannot write the trace " + settings.trace);
        traceText = traceHeader();
        traceWriter = std::make_unique<FileWriter>();
    }
}

SessionRun::~SessionRun() = default;

const SessionHeader* SessionRun::replayedHeader() const { return session ? &session->header : nullptr; }

int64_t SessionRun::lastStep() const { return replaying() ? session->lastStep : INT64_MAX; }

std::string SessionRun::recordingPath() const { return recorder ? recorder->path() : std::string(); }

void SessionRun::start(InputSystem& input_, const SessionHeader& header_, Viewer viewer_)
{
    input = &input_;
    header = header_;
    viewer = viewer_;
    InputSystem::SessionHooks hooks;
    if (player)
        hooks = player->hooks([this](int64_t step, const SDL_Event& e) { return viewerKey(step, e); });
    else if (settings.record)
        recorder = SessionRecorder::inFolder(settings.folder, header, warnings);
    // Recorded from the start when live, from the take-over when watching.
    hooks.reached = [this](int64_t step) {
        if (recorder)
            recorder->reached(step);
    };
    hooks.delivered = [this](int64_t step, const SDL_Event& e) {
        if (recorder)
            recorder->record(step, e);
    };
    input->setSessionHooks(hooks);
}

bool SessionRun::viewerKey(int64_t step, const SDL_Event& e)
{
    // The view is the viewer's; so is the window's close.
    if (e.type != SDL_KEYDOWN)
        return e.type != SDL_KEYUP && e.type != SDL_JOYAXISMOTION && e.type != SDL_JOYBUTTONDOWN &&
               e.type != SDL_JOYBUTTONUP;
    const SDLKey key = e.key.keysym.sym;
    if (key == SDLK_SPACE && viewer.togglePause) {
        viewer.togglePause();
    } else if ((key == SDLK_PLUS || key == SDLK_KP_PLUS || key == SDLK_EQUALS) && viewer.pace) {
        *viewer.pace = std::min(kFastest, *viewer.pace * 2.0);
    } else if ((key == SDLK_MINUS || key == SDLK_KP_MINUS) && viewer.pace) {
        *viewer.pace = std::max(kSlowest, *viewer.pace * 0.5);
    } else if (key == SDLK_m && viewer.toggleMute) {
        viewer.toggleMute();
    } else if (key == SDLK_t && !takenOver) {
        // From after this step's recorded events the operator drives; the
        // new recording begins with them, so that it too replays exactly.
        player->takeOver(step);
        takenOver = true;
        if (viewer.pace)
            *viewer.pace = 1.0;
        if (settings.record) {
            // This program made the world from here on: the new recording
            // names this version and data/, so that it replays as it ran.
            SessionHeader resumed = session->header;
            resumed.program = programVersion();
            resumed.data = hereData;
            resumed.started = sessionTime(static_cast<int64_t>(std::time(nullptr)));
            recorder = SessionRecorder::inFolder(settings.folder, resumed, warnings);
            recordReplayed(*recorder, player->eventsUpTo(step), step);
        }
    }
    return false;
}

void SessionRun::afterStep(const World& world)
{
    if (!traceWriter)
        return;
    traceRow(world, static_cast<double>(world.stepCount) * 0.003, row);
    appendTraceRow(row, traceText);
    if (traceText.size() > (1 << 16))
        handTrace();
}

void SessionRun::finish(int64_t steps)
{
    if (recorder)
        recorder->close(steps);
    if (traceWriter) {
        handTrace();
        traceWriter->post([this] { trace.flush(); });
        traceWriter.reset();  // waits for what is queued
        if (!trace)
            warnings << "[SessionRun] Couldn't write all of the trace " << settings.trace << "\n";
    }
}

void SessionRun::handTrace()
{
    traceWriter->post([this, text = std::move(traceText)] { trace << text; });
    traceText.clear();
}
