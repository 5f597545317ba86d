// A session recording as a replay reads it (another version's or data/'s
// too, as with --force); every event read must come back the same through
// the line the recorder would write for it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "base/Error.h"
#include "input/SessionReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/dev/shm/kelvarro_fuzz_session_" + std::to_string(getpid()) + ".kvr";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    std::ostringstream notes;
    Session session;
    try {
        session = readSession(path, {"fuzz", 0, true}, notes);
    } catch (const Error&) {
        return 0;
    }
    for (const RecordedEvent& r : session.events) {
        std::string line, again;
        if (!appendEventLine(line, r.step, r.event))
            std::abort();
        SessionLine kind;
        RecordedEvent back;
        line.pop_back();
        if (!parseSessionLine(line, kind, back).empty() || kind != SessionLine::Event || back.step != r.step ||
            !appendEventLine(again, back.step, back.event) || again != line + "\n")
            std::abort();
    }
    return 0;
}
