#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "input/SessionFormat.h"

// Reads a session recording whole. A fault (no file, another format
// version, an unknown event kind, a garbled line) is thrown as one tagged
// message naming the file and the line, and nothing is replayed. A
// recording made by another program version or from another data/ is
// refused unless forced. A killed session (its last line cut short, or no
// closing line) replays up to its last whole line: `notes` says where.
struct SessionExpectation {
    std::string program = programVersion();
    uint64_t data = 0;      // this program's dataChecksum of data/
    bool force = false;     // replay even another version's or data/'s recording
};

Session readSession(const std::string& path, const SessionExpectation& expected, std::ostream& notes);
