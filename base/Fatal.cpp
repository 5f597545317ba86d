#include "base/Fatal.h"

#include <deque>
#include <mutex>

void throwFatal(const std::string& text)
{
    static std::mutex mutex;
    static std::deque<std::string> messages;  // deque: c_str() of earlier entries stays valid
    const char* kept;
    {
        std::lock_guard<std::mutex> lock(mutex);
        // The latest few only: a caller that catches and goes on (a test, a
        // reader fed file after file) must not make the process grow for ever.
        if (messages.size() >= 64)
            messages.pop_front();
        messages.push_back(text);
        kept = messages.back().c_str();
    }
    throw kept;
}
