#pragma once

#include <string>

// Fatal start-up errors are thrown as `const char*` and caught in main.
// Messages built at run time (naming a file and its fault) are kept alive
// here for the rest of the process, then thrown the same way.
[[noreturn]] void throwFatal(const std::string& text);
