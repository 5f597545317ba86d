#pragma once

#include <cstdint>

// Process-wide log switch: informational lines appear only at 2 or above.
extern volatile uint32_t logLevel;

// Writes text and a line end to standard output when logLevel >= 2.
void logMessage(const char* text);

// Writes text, a space, the number in the stream's default format and a
// line end to standard output when logLevel >= 2.
void logValue(const char* text, double number);
