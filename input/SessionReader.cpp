#include "input/SessionReader.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <sstream>
#include <utility>
#include <vector>

#include "base/Error.h"
#include "base/Names.h"
#include "base/TextFile.h"
#include "input/ExcavatorController.h"

namespace {

// The file's lines as places in its text: a long recording is millions of them.
class Lines {
public:
    Lines(std::string path_, std::string text_) : path(std::move(path_)), text(std::move(text_))
    {
        size_t start = 0;
        while (start < text.size()) {
            const size_t end = text.find('\n', start);
            const size_t length = (end == std::string::npos ? text.size() : end) - start;
            if (length > kSessionMaxLine)
                fault(spans.size() + 1, "longer than " + std::to_string(kSessionMaxLine) +
                                            " bytes, the longest line a recording may hold (it begins " +
                                            excerpt(text.substr(start, 41)) + ")");
            if (end == std::string::npos) {
                cut = {start, length};
                break;
            }
            spans.emplace_back(start, length);
            start = end + 1;
        }
    }
    [[noreturn]] void fault(size_t line, const std::string& what) const
    {
        throw Error(note(line, what));
    }
    std::string note(size_t line, const std::string& what) const
    {
        return "[SessionReader] " + path + ":" + std::to_string(line) + ": " + what;
    }
    size_t count() const { return spans.size(); }
    bool cutShort() const { return cut.second > 0; }
    // Whole line i (0-based), without its '\n'.
    std::string line(size_t i) const { return text.substr(spans[i].first, spans[i].second); }
    // Header line n (1-based): its words after the expected key.
    std::string header(size_t n, const char* key) const
    {
        if (n > count())
            fault(n, "the header is cut short");
        const std::string whole = line(n - 1);
        const std::string prefix = std::string(key) + " ";
        if (whole.compare(0, prefix.size(), prefix) != 0 || whole.size() == prefix.size())
            fault(n, std::string("expected \"") + key + " ...\", found " + excerpt(whole));
        return whole.substr(prefix.size());
    }

    std::string path;

private:
    std::string text;
    std::vector<std::pair<size_t, size_t>> spans;  // the lines that end in '\n': start, length
    std::pair<size_t, size_t> cut{0, 0};           // text after the last '\n', if any
};

// "X Z HEADING": a moved start place, as an exercise file's bounds allow it.
bool readStart(const std::string& text, SessionHeader& h)
{
    double v[3];
    const char* at = text.c_str();
    for (double& x : v) {
        char* end = nullptr;
        x = std::strtod(at, &end);
        if (end == at || !std::isfinite(x) || (*end != ' ' && *end != '\0'))
            return false;
        at = *end ? end + 1 : end;
    }
    if (*at || std::fabs(v[0]) > 1000.0 || std::fabs(v[1]) > 1000.0 || std::fabs(v[2]) > 360.0)
        return false;
    h.startMoved = true;
    h.startX = v[0];
    h.startZ = v[1];
    h.startHeadingDegrees = v[2];
    return true;
}

// Returns the header's length in lines.
size_t readHeader(const Lines& lines, SessionHeader& h)
{
    if (lines.count() == 0)
        lines.fault(1, lines.cutShort() ? "the header is cut short" : "the file is empty");
    const std::string first = lines.line(0);
    const std::string magic = std::string(kSessionMagic) + " ";
    if (first.compare(0, magic.size(), magic) != 0)
        lines.fault(1, std::string("not a session recording: it does not begin with \"") + kSessionMagic + "\"");
    const std::string version = first.substr(magic.size());
    if (version != std::to_string(kSessionFormat))
        lines.fault(1, "format version " + excerpt(version) + "; this program reads version " +
                           std::to_string(kSessionFormat));
    h.format = kSessionFormat;
    h.program = lines.header(2, "program");
    const std::string data = lines.header(3, "data");
    char* end = nullptr;
    h.data = std::strtoull(data.c_str(), &end, 16);
    if (data.size() != 16 || *end != '\0' || data.find_first_of("+- ") != std::string::npos)
        lines.fault(3, "the data checksum " + excerpt(data) + " is not 16 hexadecimal digits");
    h.started = lines.header(4, "started");
    const std::string answers = lines.header(5, "answers");
    if (answers.size() != 20 || answers.compare(0, 6, "hires=") != 0 || answers.compare(7, 12, " fullscreen=") != 0 ||
        (answers[6] != 'y' && answers[6] != 'n') || (answers[19] != 'y' && answers[19] != 'n'))
        lines.fault(5, "expected \"answers hires=y|n fullscreen=y|n\", found " + excerpt("answers " + answers));
    h.hires = answers[6] == 'y';
    h.fullscreen = answers[19] == 'y';
    size_t at = 5;  // the joystick line's index, after the exercise, trainee, soil and start lines there are
    if (lines.count() > at && lines.line(at).compare(0, 9, "exercise ") == 0) {
        h.exercise = lines.line(at).substr(9);
        if (!isPlainName(h.exercise))
            lines.fault(at + 1, excerpt(h.exercise) + " is not an exercise name");
        ++at;
    }
    // Written since trainees were named; older recordings have none.
    if (lines.count() > at && lines.line(at).compare(0, 8, "trainee ") == 0) {
        h.trainee = lines.line(at).substr(8);
        const std::string fault = traineeNameFault(h.trainee);
        if (!fault.empty())
            lines.fault(at + 1, excerpt(h.trainee) + " is not a trainee's name: " + fault);
        ++at;
    }
    if (lines.count() > at && lines.line(at).compare(0, 5, "soil ") == 0) {
        h.soil = lines.line(at).substr(5);
        if (!isPlainName(h.soil))
            lines.fault(at + 1, excerpt(h.soil) + " is not a soil name");
        ++at;
    }
    if (lines.count() > at && lines.line(at).compare(0, 6, "start ") == 0) {
        const std::string place = lines.line(at).substr(6);
        if (!readStart(place, h))
            lines.fault(at + 1, excerpt(place) + " is not a start place: x z heading, within 1000 m and 360 degrees");
        ++at;
    }
    if (lines.count() <= at)
        lines.fault(at + 1, "the header is cut short");
    const size_t number = at + 1;
    const std::string line = lines.line(at);
    std::istringstream joystick(line);
    std::string word;
    joystick >> word;
    if (word != "joystick")
        lines.fault(number, "expected \"joystick ...\", found " + excerpt(line));
    while (joystick >> word) {
        unsigned stick = 0, axis = 0;
        char part[32] = "";
        int used = 0;
        if (std::sscanf(word.c_str(), "%3u.%3u=%31[a-z-]%n", &stick, &axis, part, &used) != 3 ||
            used != static_cast<int>(word.size()) || stick > 255 || axis > 255 || !isAxisPartName(part))
            lines.fault(number, excerpt(word) + " is not an axis assignment such as 0.1=monoblock");
        if (!h.axes.emplace(axisKey(SDL_JOYAXISMOTION, static_cast<uint8_t>(stick), static_cast<uint8_t>(axis)), part)
                 .second)
            lines.fault(number, "axis " + word.substr(0, word.find('=')) + " is assigned twice");
    }
    return at + 1;
}

}  // namespace

Session readSession(const std::string& path, const SessionExpectation& expected, std::ostream& notes)
{
    const Lines lines(path, readTextFile(path, kSessionMaxBytes, "SessionReader"));

    Session session;
    SessionHeader& h = session.header;
    const size_t headerLines = readHeader(lines, h);
    if (h.program != expected.program) {
        const std::string what = "recorded by program version " + excerpt(h.program) + ", this is " + expected.program;
        if (!expected.force)
            lines.fault(2, what + "; --force replays it anyway");
        notes << lines.note(2, what + "; replaying it anyway (--force)") << "\n";
    }
    if (h.data != expected.data) {
        char here[24];
        std::snprintf(here, sizeof here, "%016llx", static_cast<unsigned long long>(expected.data));
        const std::string what = "recorded with another data/ (checksum " + lines.line(2).substr(5) +
                                 ", here " + here + ")";
        if (!expected.force)
            lines.fault(3, what + "; --force replays it anyway");
        notes << lines.note(3, what + "; replaying it anyway (--force)") << "\n";
    }

    size_t atThisStep = 0;  // events read so far before the last line's step
    for (size_t i = headerLines; i < lines.count(); ++i) {
        const size_t number = i + 1;
        if (session.closed)
            lines.fault(number, "text after the closing line");
        SessionLine kind;
        RecordedEvent event;
        const std::string fault = parseSessionLine(lines.line(i), kind, event);
        if (!fault.empty())
            lines.fault(number, fault);
        if (event.step < session.lastStep)
            lines.fault(number, "step " + std::to_string(event.step) + " comes after step " +
                                    std::to_string(session.lastStep));
        if (event.step - session.lastStep > kSessionMaxStepGap)
            lines.fault(number, "step " + std::to_string(event.step) + " is more than " +
                                    std::to_string(kSessionMaxStepGap) + " steps past step " +
                                    std::to_string(session.lastStep) + ", further than a recording runs between two lines");
        atThisStep = event.step == session.lastStep ? atThisStep : 0;
        session.lastStep = event.step;
        if (kind == SessionLine::Event) {
            if (++atThisStep > kSessionMaxEventsPerStep)
                lines.fault(number, "more than " + std::to_string(kSessionMaxEventsPerStep) + " events before step " +
                                        std::to_string(event.step));
            session.events.push_back(event);
        }
        session.closed = kind == SessionLine::End;
    }
    if (lines.cutShort())
        notes << lines.note(lines.count() + 1, "the last line is cut short (a killed session); replaying up to step " +
                                                   std::to_string(session.lastStep))
              << "\n";
    else if (!session.closed)
        notes << lines.note(lines.count(), "no closing line (a killed session); replaying up to step " +
                                               std::to_string(session.lastStep))
              << "\n";
    return session;
}
