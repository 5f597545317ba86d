#include "input/SessionReader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <ostream>
#include <sstream>
#include <vector>

#include "base/Fatal.h"
#include "input/ExcavatorController.h"

namespace {

class Lines {
public:
    Lines(std::string path_, const std::string& text) : path(std::move(path_))
    {
        size_t start = 0;
        while (start < text.size()) {
            const size_t end = text.find('\n', start);
            if (end == std::string::npos) {
                cut = text.substr(start);
                break;
            }
            whole.push_back(text.substr(start, end - start));
            start = end + 1;
        }
    }
    [[noreturn]] void fault(size_t line, const std::string& what) const
    {
        throwFatal("[SessionReader] " + path + ":" + std::to_string(line) + ": " + what);
    }
    std::string note(size_t line, const std::string& what) const
    {
        return "[SessionReader] " + path + ":" + std::to_string(line) + ": " + what;
    }
    // Header line n (1-based): its words after the expected key.
    std::string header(size_t n, const char* key) const
    {
        if (n > whole.size())
            fault(n, "the header is cut short");
        const std::string& line = whole[n - 1];
        const std::string prefix = std::string(key) + " ";
        if (line.compare(0, prefix.size(), prefix) != 0 || line.size() == prefix.size())
            fault(n, std::string("expected \"") + key + " ...\", found \"" + line + "\"");
        return line.substr(prefix.size());
    }

    std::string path;
    std::vector<std::string> whole;  // the lines that end in '\n'
    std::string cut;                 // text after the last '\n', if any
};

// Returns the header's length in lines.
size_t readHeader(const Lines& lines, SessionHeader& h)
{
    if (lines.whole.empty())
        lines.fault(1, lines.cut.empty() ? "the file is empty" : "the header is cut short");
    const std::string& first = lines.whole[0];
    const std::string magic = std::string(kSessionMagic) + " ";
    if (first.compare(0, magic.size(), magic) != 0)
        lines.fault(1, std::string("not a session recording: it does not begin with \"") + kSessionMagic + "\"");
    const std::string version = first.substr(magic.size());
    if (version != std::to_string(kSessionFormat))
        lines.fault(1, "format version \"" + version + "\"; this program reads version " +
                           std::to_string(kSessionFormat));
    h.format = kSessionFormat;
    h.program = lines.header(2, "program");
    const std::string data = lines.header(3, "data");
    char* end = nullptr;
    h.data = std::strtoull(data.c_str(), &end, 16);
    if (data.size() != 16 || *end != '\0' || data.find_first_of("+- ") != std::string::npos)
        lines.fault(3, "the data checksum \"" + data + "\" is not 16 hexadecimal digits");
    h.started = lines.header(4, "started");
    const std::string answers = lines.header(5, "answers");
    if (answers.size() != 20 || answers.compare(0, 6, "hires=") != 0 || answers.compare(7, 12, " fullscreen=") != 0 ||
        (answers[6] != 'y' && answers[6] != 'n') || (answers[19] != 'y' && answers[19] != 'n'))
        lines.fault(5, "expected \"answers hires=y|n fullscreen=y|n\", found \"answers " + answers + "\"");
    h.hires = answers[6] == 'y';
    h.fullscreen = answers[19] == 'y';
    size_t at = 5;  // the joystick line's index, after an exercise line if there is one
    if (lines.whole.size() > at && lines.whole[at].compare(0, 9, "exercise ") == 0) {
        h.exercise = lines.whole[at].substr(9);
        if (h.exercise.empty() || h.exercise.size() > 64 ||
            h.exercise.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_-") != std::string::npos)
            lines.fault(at + 1, "\"" + h.exercise + "\" is not an exercise name");
        ++at;
    }
    if (lines.whole.size() <= at)
        lines.fault(at + 1, "the header is cut short");
    const size_t line = at + 1;
    std::istringstream joystick(lines.whole[at]);
    std::string word;
    joystick >> word;
    if (word != "joystick")
        lines.fault(line, "expected \"joystick ...\", found \"" + lines.whole[at] + "\"");
    while (joystick >> word) {
        unsigned stick = 0, axis = 0;
        char part[32] = "";
        int used = 0;
        if (std::sscanf(word.c_str(), "%3u.%3u=%31[a-z-]%n", &stick, &axis, part, &used) != 3 ||
            used != static_cast<int>(word.size()) || stick > 255 || axis > 255 || !isAxisPartName(part))
            lines.fault(line, "\"" + word + "\" is not an axis assignment such as 0.1=monoblock");
        if (!h.axes.emplace(axisKey(SDL_JOYAXISMOTION, static_cast<uint8_t>(stick), static_cast<uint8_t>(axis)), part)
                 .second)
            lines.fault(line, "axis " + word.substr(0, word.find('=')) + " is assigned twice");
    }
    return at + 1;
}

}  // namespace

Session readSession(const std::string& path, const SessionExpectation& expected, std::ostream& notes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throwFatal("[SessionReader] " + path + ": cannot read it: " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        throwFatal("[SessionReader] " + path + ": cannot read it: " + std::strerror(errno));
    const Lines lines(path, text.str());

    Session session;
    SessionHeader& h = session.header;
    const size_t headerLines = readHeader(lines, h);
    if (h.program != expected.program) {
        const std::string what = "recorded by program version " + h.program + ", this is " + expected.program;
        if (!expected.force)
            lines.fault(2, what + "; --force replays it anyway");
        notes << lines.note(2, what + "; replaying it anyway (--force)") << "\n";
    }
    if (h.data != expected.data) {
        char here[24];
        std::snprintf(here, sizeof here, "%016llx", static_cast<unsigned long long>(expected.data));
        const std::string what = "recorded with another data/ (checksum " + lines.whole[2].substr(5) +
                                 ", here " + here + ")";
        if (!expected.force)
            lines.fault(3, what + "; --force replays it anyway");
        notes << lines.note(3, what + "; replaying it anyway (--force)") << "\n";
    }

    for (size_t i = headerLines; i < lines.whole.size(); ++i) {
        const size_t number = i + 1;
        if (session.closed)
            lines.fault(number, "text after the closing line");
        SessionLine kind;
        RecordedEvent event;
        const std::string fault = parseSessionLine(lines.whole[i], kind, event);
        if (!fault.empty())
            lines.fault(number, fault);
        if (event.step < session.lastStep)
            lines.fault(number, "step " + std::to_string(event.step) + " comes after step " +
                                    std::to_string(session.lastStep));
        session.lastStep = event.step;
        if (kind == SessionLine::Event)
            session.events.push_back(event);
        session.closed = kind == SessionLine::End;
    }
    if (!lines.cut.empty())
        notes << lines.note(lines.whole.size() + 1, "the last line is cut short (a killed session); replaying up to step " +
                                                        std::to_string(session.lastStep))
              << "\n";
    else if (!session.closed)
        notes << lines.note(lines.whole.size(), "no closing line (a killed session); replaying up to step " +
                                                    std::to_string(session.lastStep))
              << "\n";
    return session;
}
