#pragma once

#include <string>

// The page of an exercise report, made from its JSON alone, so that an
// earlier report's page can be made again: the score with each rule's
// points, the trench's profiles, the cutting edge's path from the side and
// from above, each cycle's phases, the soil delivered and spilled over
// time, and the recording with the command that replays it; one file,
// pictures as inline SVG, no script. `jsonName` is the JSON file's name,
// shown on the page. A text that is not a report is thrown as an Error
// tagged "[Report]" naming `jsonName`.
std::string reportPage(const std::string& jsonText, const std::string& jsonName);

// The start of a page, up to and with <body>: its title and the style the
// report and the progress pages share.
std::string pageHead(const std::string& title);

// A path quoted for a POSIX shell when it needs to be.
std::string shellQuoted(const std::string& path);
