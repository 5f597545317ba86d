#pragma once

#include <string>

// Fatal start-up errors are thrown as `const char*` and caught in main.
// Messages built at run time (naming a file and its fault) are kept alive
// here until 64 later ones have been thrown, then thrown the same way.
[[noreturn]] void throwFatal(const std::string& text);
