#include "base/Log.h"

#include <iostream>
#include <mutex>

volatile uint32_t logLevel = 0;

namespace {
// Both threads log; keep lines whole.
std::mutex& logMutex()
{
    static std::mutex m;
    return m;
}
}

void logMessage(const char* text)
{
    if (logLevel < 2)
        return;
    std::lock_guard<std::mutex> lock(logMutex());
    std::cout << text << "\n";
    std::cout.flush();
}

void logValue(const char* text, double number)
{
    if (logLevel < 2)
        return;
    std::lock_guard<std::mutex> lock(logMutex());
    std::cout << text << " " << number << "\n";
    std::cout.flush();
}
