#pragma once

#include <atomic>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "base/FileWriter.h"
#include "input/InputSystem.h"
#include "input/SessionFormat.h"

class SessionPlayer;
class SessionRecorder;
class World;

// What the running program keeps of its session and where its input comes
// from: the recording into sessions/, the per-step trace, and, when
// watching a recording, the player with the viewer's own keys (space
// pauses, + and - set the pace, t takes over). Everything but construction
// and finish runs on the simulation thread, under the world lock; the trace
// and the recording reach their files through writer threads.
class SessionRun {
public:
    struct Settings {
        bool record = true;
        std::string folder = "sessions";  // where recordings go
        std::string trace;                // CSV file; empty: none
        std::string replay;               // recording to watch; empty: live
        bool force = false;
    };
    // What the viewer's keys act on while a recording is watched.
    struct Viewer {
        std::function<void()> togglePause;
        std::atomic<double>* pace = nullptr;  // steps per 3 ms
        std::function<void()> toggleMute;     // m: the viewer's own sound
    };

    // Reads the recording to watch (a bad one throws its tagged message).
    SessionRun(const Settings& settings, std::ostream& warnings);
    ~SessionRun();
    SessionRun(const SessionRun&) = delete;
    SessionRun& operator=(const SessionRun&) = delete;

    bool replaying() const { return player != nullptr && !takenOver; }
    // The recording's start answers and joystick assignment, when watching one.
    const SessionHeader* replayedHeader() const;

    // Once the machine and its controller are set up (the header's answers
    // and joystick assignment): starts the recording and installs the hooks.
    void start(InputSystem& input, const SessionHeader& header, Viewer viewer);
    // After every step: the trace row.
    void afterStep(const World& world);
    // The recording's closing line; the trace's last rows.
    void finish(int64_t steps);
    // The last step of a watched recording: the world stops there.
    int64_t lastStep() const;

    std::string recordingPath() const;

private:
    bool viewerKey(int64_t step, const SDL_Event& event);
    void handTrace();  // the rows so far, to the trace's writer

    Settings settings;
    std::ostream& warnings;
    std::unique_ptr<Session> session;
    std::unique_ptr<SessionPlayer> player;
    std::unique_ptr<SessionRecorder> recorder;
    SessionHeader header;
    uint64_t hereData = 0;  // this data/'s checksum, when watching
    InputSystem* input = nullptr;
    Viewer viewer;
    std::atomic<bool> takenOver{false};
    std::ofstream trace;  // once open, touched only by the writer's jobs
    std::unique_ptr<FileWriter> traceWriter;  // with a trace; ends before the file
    std::string traceText;
    std::vector<double> row;
};
