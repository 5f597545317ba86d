#pragma once

#include <cerrno>
#include <cmath>
#include <cstdlib>

// Strict readings of command-line numbers for the tools: the whole text must
// be the number, in range and finite.
namespace toolargs {

inline bool readInt(const char* text, long low, long high, long& value)
{
    errno = 0;
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && errno == 0 && value >= low && value <= high;
}

inline bool readDouble(const char* text, double& value)
{
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && errno == 0 && std::isfinite(value);
}

}  // namespace toolargs
