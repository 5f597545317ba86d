#include "input/SessionFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include "base/Error.h"
#include "input/InputSystem.h"

#ifndef KELVARRO_VERSION
#define KELVARRO_VERSION "unknown"
#endif

namespace {

struct Range {
    long long low, high;
};
constexpr Range kU8{0, 255}, kU16{0, 65535}, kS16{-32768, 32767};

// One kind of line: its word, the SDL type it stands for, its fields' ranges
// and how they go into and come out of an event.
struct Kind {
    const char* word;
    Uint8 type;
    std::vector<Range> ranges;
    void (*store)(SDL_Event&, const long long*);
    void (*load)(const SDL_Event&, long long*);
};

void storeKey(SDL_Event& e, const long long* f)
{
    e.key.state = e.type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = static_cast<SDLKey>(f[0]);
    e.key.keysym.mod = static_cast<SDLMod>(f[1]);
    e.key.keysym.unicode = static_cast<Uint16>(f[2]);
    e.key.keysym.scancode = static_cast<Uint8>(f[3]);
}
void loadKey(const SDL_Event& e, long long* f)
{
    f[0] = e.key.keysym.sym;
    f[1] = e.key.keysym.mod;
    f[2] = e.key.keysym.unicode;
    f[3] = e.key.keysym.scancode;
}
void storeButton(SDL_Event& e, const long long* f)
{
    e.button.state = e.type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.button.button = static_cast<Uint8>(f[0]);
    e.button.x = static_cast<Uint16>(f[1]);
    e.button.y = static_cast<Uint16>(f[2]);
}
void loadButton(const SDL_Event& e, long long* f)
{
    f[0] = e.button.button;
    f[1] = e.button.x;
    f[2] = e.button.y;
}
void storeMotion(SDL_Event& e, const long long* f)
{
    e.motion.x = static_cast<Uint16>(f[0]);
    e.motion.y = static_cast<Uint16>(f[1]);
    e.motion.xrel = static_cast<Sint16>(f[2]);
    e.motion.yrel = static_cast<Sint16>(f[3]);
    e.motion.state = static_cast<Uint8>(f[4]);
}
void loadMotion(const SDL_Event& e, long long* f)
{
    f[0] = e.motion.x;
    f[1] = e.motion.y;
    f[2] = e.motion.xrel;
    f[3] = e.motion.yrel;
    f[4] = e.motion.state;
}
void storeAxis(SDL_Event& e, const long long* f)
{
    e.jaxis.which = static_cast<Uint8>(f[0]);
    e.jaxis.axis = static_cast<Uint8>(f[1]);
    e.jaxis.value = static_cast<Sint16>(f[2]);
}
void loadAxis(const SDL_Event& e, long long* f)
{
    f[0] = e.jaxis.which;
    f[1] = e.jaxis.axis;
    f[2] = e.jaxis.value;
}
void storeJoyButton(SDL_Event& e, const long long* f)
{
    e.jbutton.state = e.type == SDL_JOYBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.jbutton.which = static_cast<Uint8>(f[0]);
    e.jbutton.button = static_cast<Uint8>(f[1]);
}
void loadJoyButton(const SDL_Event& e, long long* f)
{
    f[0] = e.jbutton.which;
    f[1] = e.jbutton.button;
}
void storeNothing(SDL_Event&, const long long*) {}
void loadNothing(const SDL_Event&, long long*) {}

const std::vector<Kind>& kinds()
{
    static const std::vector<Range> key = {{0, SDLK_LAST - 1}, kU16, kU16, kU8};
    static const std::vector<Kind> table = {
        {"keydown", SDL_KEYDOWN, key, storeKey, loadKey},
        {"keyup", SDL_KEYUP, key, storeKey, loadKey},
        {"buttondown", SDL_MOUSEBUTTONDOWN, {kU8, kU16, kU16}, storeButton, loadButton},
        {"buttonup", SDL_MOUSEBUTTONUP, {kU8, kU16, kU16}, storeButton, loadButton},
        {"motion", SDL_MOUSEMOTION, {kU16, kU16, kS16, kS16, kU8}, storeMotion, loadMotion},
        {"axis", SDL_JOYAXISMOTION, {kU8, kU8, kS16}, storeAxis, loadAxis},
        {"joydown", SDL_JOYBUTTONDOWN, {kU8, kU8}, storeJoyButton, loadJoyButton},
        {"joyup", SDL_JOYBUTTONUP, {kU8, kU8}, storeJoyButton, loadJoyButton},
        {"quit", SDL_QUIT, {}, storeNothing, loadNothing},
        {"pause", InputSystem::kPauseEvent, {}, storeNothing, loadNothing},
    };
    return table;
}

// A whole number of at most 18 digits, with an optional minus.
bool readWhole(const std::string& text, long long& value)
{
    const size_t digits = text.size() - (!text.empty() && text[0] == '-');
    if (digits == 0 || digits > 18)
        return false;
    for (size_t i = text.size() - digits; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    value = std::strtoll(text.c_str(), nullptr, 10);
    return true;
}

// Recording runs on every step: no printf on its way.
void appendWhole(std::string& out, long long value)
{
    char text[24];
    char* end = text + sizeof text;
    char* p = end;
    unsigned long long u = value < 0 ? 0ull - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    do {
        *--p = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u);
    if (value < 0)
        *--p = '-';
    out.append(p, static_cast<size_t>(end - p));
}

std::vector<std::string> words(const std::string& line)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= line.size()) {
        const size_t space = std::min(line.find(' ', start), line.size());
        out.push_back(line.substr(start, space - start));
        start = space + 1;
    }
    return out;
}

}  // namespace

const char* programVersion() { return KELVARRO_VERSION; }

uint64_t dataChecksum(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::error_code error;
    std::vector<std::string> names;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file(error)) {
            std::string name = fs::relative(it->path(), folder, error).generic_string();
            // The sounds change nothing the world does: recordings outlive a new sound.
            if (name.rfind("sounds/", 0) != 0)
                names.push_back(std::move(name));
        }
    if (error)
        return 0;
    std::sort(names.begin(), names.end());
    uint64_t hash = 14695981039346656037ull;
    auto mix = [&hash](const char* bytes, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            hash ^= static_cast<unsigned char>(bytes[i]);
            hash *= 1099511628211ull;
        }
    };
    std::vector<char> buffer(1 << 16);
    for (const std::string& name : names) {
        mix(name.c_str(), name.size() + 1);  // with its terminating zero: names cannot run into contents
        std::ifstream in(folder + "/" + name, std::ios::binary);
        if (!in)
            return 0;
        uint64_t size = 0;
        while (in) {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            const size_t got = static_cast<size_t>(in.gcount());
            mix(buffer.data(), got);
            size += got;
        }
        mix(reinterpret_cast<const char*>(&size), sizeof size);
    }
    return hash;
}

std::string sessionTime(int64_t secondsSinceEpoch)
{
    const std::time_t t = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

std::string headerText(const SessionHeader& h)
{
    char data[24];
    std::snprintf(data, sizeof data, "%016llx", static_cast<unsigned long long>(h.data));
    std::string text = std::string(kSessionMagic) + " " + std::to_string(h.format) + "\n";
    text += "program " + h.program + "\n";
    text += std::string("data ") + data + "\n";
    text += "started " + h.started + "\n";
    text += std::string("answers hires=") + (h.hires ? "y" : "n") + " fullscreen=" + (h.fullscreen ? "y" : "n") + "\n";
    // Only with an exercise: the world it sets up must be set up again to replay it.
    if (!h.exercise.empty())
        text += "exercise " + h.exercise + "\n";
    if (!h.trainee.empty())
        text += "trainee " + h.trainee + "\n";
    if (!h.soil.empty())
        text += "soil " + h.soil + "\n";
    if (h.startMoved) {
        char start[96];
        std::snprintf(start, sizeof start, "start %.17g %.17g %.17g\n", h.startX, h.startZ, h.startHeadingDegrees);
        text += start;
    }
    text += "joystick";
    for (const auto& axis : h.axes)
        text += " " + std::to_string((axis.first >> 8) & 0xff) + "." + std::to_string(axis.first & 0xff) + "=" +
                axis.second;
    return text + "\n";
}

bool appendEventLine(std::string& out, int64_t step, const SDL_Event& event)
{
    for (const Kind& kind : kinds()) {
        if (kind.type != event.type)
            continue;
        long long fields[5];
        kind.load(event, fields);
        appendWhole(out, step);
        out += ' ';
        out += kind.word;
        for (size_t f = 0; f < kind.ranges.size(); ++f) {
            out += ' ';
            appendWhole(out, fields[f]);
        }
        out += '\n';
        return true;
    }
    return false;
}

std::string parseSessionLine(const std::string& line, SessionLine& kindOut, RecordedEvent& event)
{
    const std::vector<std::string> w = words(line);
    long long step = 0;
    if (!readWhole(w[0], step) || step < 0)
        return "expected a step number, found " + excerpt(w[0]);
    if (w.size() < 2 || w[1].empty())
        return "no event kind after the step number";
    event.step = step;
    event.event = SDL_Event{};
    const std::string& word = w[1];
    if (word == "sync" || word == "end") {
        if (w.size() != 2)
            return excerpt(word) + " takes no fields";
        kindOut = word == "sync" ? SessionLine::Sync : SessionLine::End;
        return "";
    }
    for (const Kind& kind : kinds()) {
        if (word != kind.word)
            continue;
        if (w.size() != 2 + kind.ranges.size())
            return excerpt(word) + " takes " + std::to_string(kind.ranges.size()) + " fields, found " +
                   std::to_string(w.size() - 2);
        long long fields[5];
        for (size_t f = 0; f < kind.ranges.size(); ++f)
            if (!readWhole(w[2 + f], fields[f]) || fields[f] < kind.ranges[f].low || fields[f] > kind.ranges[f].high)
                return "field " + std::to_string(f + 1) + " of " + excerpt(word) + " is " + excerpt(w[2 + f]) +
                       ", not a whole number from " + std::to_string(kind.ranges[f].low) + " to " +
                       std::to_string(kind.ranges[f].high);
        event.event.type = kind.type;
        kind.store(event.event, fields);
        kindOut = SessionLine::Event;
        return "";
    }
    return "unknown event kind " + excerpt(word);
}

void syncQuietStretch(int64_t from, int64_t to, const std::function<void(int64_t)>& sync)
{
    for (; to - from > kSessionSyncSteps; from += kSessionSyncSteps)
        sync(from + kSessionSyncSteps);
}
