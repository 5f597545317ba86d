#include "input/SessionRecorder.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <ostream>
#include <system_error>
#include <utility>

std::unique_ptr<SessionRecorder> SessionRecorder::inFolder(const std::string& folder,
                                                           const SessionHeader& header, std::ostream& warnings)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::string name = header.started;
    for (char& c : name)
        if (c == ':')
            c = '-';
    std::string path;
    std::FILE* file = nullptr;
    int openError = 0;
    // Two sessions started in one second: the later one gets a number.
    for (int n = 1; n <= 100 && !file; ++n) {
        path = folder + "/" + name + (n > 1 ? "-" + std::to_string(n) : "") + ".kvr";
        file = std::fopen(path.c_str(), "wx");
        openError = errno;
        if (!file && openError != EEXIST)
            break;
    }
    if (!file)
        warnings << "[SessionRecorder] Cannot write " << path << ": " << std::strerror(openError)
                 << "; this session is not recorded.\n";
    return std::unique_ptr<SessionRecorder>(new SessionRecorder(file, path, header, warnings));
}

SessionRecorder::SessionRecorder(const std::string& path, const SessionHeader& header, std::ostream& out)
    : SessionRecorder(openOrWarn(path, out), path, header, out)
{
}

std::FILE* SessionRecorder::openOrWarn(const std::string& path, std::ostream& warnings)
{
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file)
        warnings << "[SessionRecorder] Cannot write " << path << ": " << std::strerror(errno)
                 << "; this session is not recorded.\n";
    return file;
}

SessionRecorder::SessionRecorder(std::FILE* opened, std::string path, const SessionHeader& header,
                                 std::ostream& out)
    : file(opened), filePath(std::move(path)), warnings(&out)
{
    if (!file)
        return;
    writer = std::make_unique<FileWriter>();
    open = true;
    pending = headerText(header);
    flush();  // the header at once: even a session killed at its start says what it was
}

SessionRecorder::~SessionRecorder()
{
    if (open)
        flush();
    closeFile();
}

void SessionRecorder::reached(int64_t step)
{
    if (!open || std::chrono::steady_clock::now() < nextFlush)
        return;
    sync(step);
    flush();
}

void SessionRecorder::sync(int64_t step)
{
    if (!open || step == lastLineStep)
        return;
    pending += std::to_string(step);
    pending += " sync\n";
    lastLineStep = step;
}

void SessionRecorder::record(int64_t step, const SDL_Event& event)
{
    if (open && appendEventLine(pending, step, event))
        lastLineStep = step;
}

void SessionRecorder::close(int64_t steps)
{
    if (!open)
        return closeFile();
    pending += std::to_string(steps) + " end\n";
    flush();
    closeFile();
}

InputSystem::SessionHooks SessionRecorder::hooks()
{
    InputSystem::SessionHooks h;
    h.reached = [this](int64_t step) { reached(step); };
    h.delivered = [this](int64_t step, const SDL_Event& event) { record(step, event); };
    return h;
}

void SessionRecorder::flush()
{
    nextFlush = std::chrono::steady_clock::now() + kFlushEvery;
    writer->post([this, text = std::move(pending)] {
        if (!file)
            return;  // a write before this one failed
        if ((!text.empty() && std::fwrite(text.data(), 1, text.size(), file) != text.size()) || std::fflush(file) != 0)
            fail("writing");
    });
    pending.clear();
}

void SessionRecorder::closeFile()
{
    if (!writer)
        return;
    writer->post([this] {
        std::FILE* closing = std::exchange(file, nullptr);
        if (closing && std::fclose(closing) != 0)
            warn("closing");
    });
    writer.reset();  // runs what is queued
    open = false;
}

void SessionRecorder::warn(const char* what)
{
    *warnings << "[SessionRecorder] Error " << what << " " << filePath << ": " << std::strerror(errno)
              << "; recording stopped, the session goes on.\n";
}

void SessionRecorder::fail(const char* what)
{
    warn(what);
    std::fclose(file);
    file = nullptr;
    open = false;
}
