#pragma once

#include <string>

// Throws the line, which begins with its tag ("[Terrain] ..."), as an Error.
[[noreturn]] void throwFatal(const std::string& line);
