#pragma once

#include <cstddef>
#include <string>

// Reads a file whole, refusing one larger than `limit` bytes without reading
// past it. A fault is thrown as an Error "[tag] PATH: ...".
std::string readTextFile(const std::string& path, size_t limit, const char* tag);

// Makes a new file at `path` holding `body`: written under a temporary name
// beside it, then linked to its own, so that it appears whole or not at all
// and never replaces another. Taken: a file of that name is there already.
enum class NewFile { Made, Taken, Failed };
NewFile makeNewFile(const std::string& path, const std::string& body);

// Writes `body` to `path` under a temporary name and renames it over
// whatever was there: a reader sees the old file or the new, never a part.
// False, with errno set, when it cannot.
bool replaceFile(const std::string& path, const std::string& body);

// "64 MiB", "1 KiB" or "300 bytes", for messages that state a limit.
std::string sizeText(size_t bytes);
