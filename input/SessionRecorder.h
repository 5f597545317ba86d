#pragma once

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <memory>
#include <string>

#include "base/FileWriter.h"
#include "input/InputSystem.h"
#include "input/SessionFormat.h"

// Writes a session recording as the session goes. Lines gather in memory and
// are handed to a writer thread at least once a second of wall-clock time,
// so a killed process loses at most the last second and the stepping thread
// never waits for the disk. A file that cannot be made or written is one
// warning, then recording stops; the session goes on.
class SessionRecorder {
public:
    // Into `folder` (made when missing), named by the start time, e.g.
    // sessions/2026-12-07T17-20-05.kvr; another name when that one is taken.
    static std::unique_ptr<SessionRecorder> inFolder(const std::string& folder, const SessionHeader& header,
                                                     std::ostream& warnings);
    // Into the given file, replacing it.
    SessionRecorder(const std::string& path, const SessionHeader& header, std::ostream& warnings);
    // Flushes what is written, without a closing line: as a killed session.
    // Waits for the writer.
    ~SessionRecorder();
    SessionRecorder(const SessionRecorder&) = delete;
    SessionRecorder& operator=(const SessionRecorder&) = delete;

    // Every dispatch: flushes when a second has passed since the last flush
    // (with a "sync" line when no line has named this step yet).
    void reached(int64_t step);
    // One event the listeners heard.
    void record(int64_t step, const SDL_Event& event);
    // A "sync" line: the session had reached this step (none when a line names it already).
    void sync(int64_t step);
    // The closing line with the step count; then the file is closed, once
    // the writer has written everything (this waits for it).
    void close(int64_t steps);

    // False once closed, and once a write has failed (as the writer found).
    bool recording() const { return open; }
    const std::string& path() const { return filePath; }
    // reached and delivered, bound to this recorder.
    InputSystem::SessionHooks hooks();

    static constexpr std::chrono::milliseconds kFlushEvery{1000};

private:
    SessionRecorder(std::FILE* opened, std::string path, const SessionHeader& header, std::ostream& warnings);
    static std::FILE* openOrWarn(const std::string& path, std::ostream& warnings);
    void flush();
    void closeFile();  // waits for the writer
    // On the writer's thread:
    void warn(const char* what);
    void fail(const char* what);  // warns and stops recording

    std::FILE* file = nullptr;  // once open, touched only by the writer's jobs
    std::unique_ptr<FileWriter> writer;  // while the file is open
    std::atomic<bool> open{false};
    std::string filePath;
    std::ostream* warnings;
    std::string pending;  // lines not yet handed to the writer
    int64_t lastLineStep = -1;
    std::chrono::steady_clock::time_point nextFlush;
};
