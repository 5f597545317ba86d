#pragma once

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// The text of a session recording (.kvr): a header, then one line per event
// the listeners heard, each with the step before which it was dispatched,
// then a closing line. The README describes it.

constexpr int kSessionFormat = 1;
constexpr const char* kSessionMagic = "kelvarro-session";

// What a reader takes at most. The recorder writes a line at least once a
// second of wall-clock time while the world steps, and the world never runs
// ahead of the wall clock by more than a frame's steps: a live recording's
// lines lie at most about 340 steps apart. A minute of world time between
// two lines is therefore past what any session wrote, and a step number
// beyond it would only make a replay run (practically) for ever.
constexpr size_t kSessionMaxBytes = size_t{64} << 20;          // hours of a joystick moved all the time
constexpr size_t kSessionMaxLine = 1024;                       // the recorder's longest line is under 200
constexpr size_t kSessionMaxEventsPerStep = size_t{1} << 20;  // while paused, all come before one step
constexpr int64_t kSessionMaxStepGap = 20000;                  // 60 s of world time, from one line to the next
constexpr int64_t kSessionSyncSteps = 333;                     // one second of world time

struct SessionHeader {
    int format = kSessionFormat;
    std::string program;        // the program's version (git describe)
    uint64_t data = 0;          // dataChecksum of data/
    std::string started;        // local time, e.g. 2026-12-07T17:20:05
    bool hires = false, fullscreen = false;  // the start answers
    std::string exercise;       // the exercise run (data/exercises/NAME.json); empty: none
    std::string trainee;        // who drove (see traineeNameFault); empty: nobody named
    std::string soil;           // the ground's soil (data/soils.json); empty: the file's default
    // The exercise's start place when it was moved from the file's.
    bool startMoved = false;
    double startX = 0.0, startZ = 0.0, startHeadingDegrees = 0.0;
    std::map<int32_t, std::string> axes;     // joystick assignment: axisKey -> part name
};

// An event as dispatched after `step` steps had been made.
struct RecordedEvent {
    int64_t step;
    SDL_Event event;
};

// A recording as read: what to replay, and up to which step.
struct Session {
    SessionHeader header;
    std::vector<RecordedEvent> events;
    int64_t lastStep = 0;   // the closing line's step count, or the last step a killed session reached
    bool closed = false;    // false: a killed session
};

// The version baked in when the build was configured.
const char* programVersion();

// FNV-1a 64 over the sorted relative names, sizes and contents of every
// regular file below the folder but sounds/ (what the world reads); 0 when
// it cannot be read.
uint64_t dataChecksum(const std::string& folder);

// "2026-12-07T17:20:05" for a time; the file name uses '-' for ':'.
std::string sessionTime(int64_t secondsSinceEpoch);

// The header's lines, each ending in '\n'.
std::string headerText(const SessionHeader& header);

// Appends "STEP KIND FIELDS\n" for an event a listener or the window hears;
// false (nothing appended) for any other kind.
bool appendEventLine(std::string& out, int64_t step, const SDL_Event& event);

// The sync lines a recording made after the fact needs between a line at
// step `from` and the next at step `to`: one each second of world time, as
// a live recording has, so that its lines lie within what a reader takes.
// Calls `sync` with each one's step, in order.
void syncQuietStretch(int64_t from, int64_t to, const std::function<void(int64_t)>& sync);

// The kinds of line after the header.
enum class SessionLine { Event, Sync, End };

// Parses one line (no line end). Returns "" and fills the outputs, or the
// fault in words.
std::string parseSessionLine(const std::string& line, SessionLine& kind, RecordedEvent& event);
