// The first line is the pattern, the rest the line it is matched against.
#include <cstddef>
#include <cstdint>
#include <string>

#include "assets/PatternMatcher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t end = text.find('\n');
    const std::string pattern = text.substr(0, end), line = end == std::string::npos ? "" : text.substr(end + 1);
    const LineMatch m = matchLine(pattern.c_str(), line.c_str());
    static volatile size_t total = 0;  // every slot read, so a bad one shows
    for (int i = -1; i <= m.size(); ++i)
        if (const char* slot = m[i])
            total = total + std::string(slot).size();
    return 0;
}
