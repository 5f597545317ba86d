#pragma once

#include <stdexcept>
#include <string>

// The one exception of this program: a fault that ends the part that met
// it, carried as one line "[Tag] text" whose tag names that part. Every
// entry point turns it (and any other exception) into that line on
// standard error and status 1.
class Error : public std::runtime_error {
public:
    // `line` begins with its tag, e.g. "[SessionReader] x.kvr:3: ...".
    explicit Error(const std::string& line);
    Error(const std::string& tag, const std::string& text);
    // The tag without its brackets; empty when the line has none.
    const std::string& tag() const { return partTag; }

private:
    std::string partTag;
};

// At most `limit` bytes of a text from a file, quoted, with anything not
// printable escaped as \xNN and "..." after a cut: a bad line may be long
// or hold anything, and a message stays one short readable line.
std::string excerpt(const std::string& text, char mark = '"', size_t limit = 40);

// One line: line ends and other control characters escaped.
std::string oneLine(const std::string& text);
