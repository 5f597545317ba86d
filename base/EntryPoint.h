#pragma once

#include <functional>
#include <iosfwd>

// Runs a program's body and returns its status. Whatever it throws (an
// Error, any standard exception, out of memory, anything else) becomes one
// tagged line on `errors` and status 1: "[Tag] ..." as thrown, or the
// program's own tag (e.g. "Kelvarro") before what a foreign one says.
int runEntryPoint(const char* tag, const std::function<int()>& body);
int runEntryPoint(const char* tag, const std::function<int()>& body, std::ostream& errors);
