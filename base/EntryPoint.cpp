#include "base/EntryPoint.h"

#include <cstdio>
#include <iostream>
#include <new>
#include <string>

#include "base/Error.h"

int runEntryPoint(const char* tag, const std::function<int()>& body) { return runEntryPoint(tag, body, std::cerr); }

int runEntryPoint(const char* tag, const std::function<int()>& body, std::ostream& errors)
{
    std::string line;
    try {
        return body();
    } catch (const Error& e) {
        line = e.what();
    } catch (const std::bad_alloc&) {
        line = std::string("[") + tag + "] Out of memory.";
    } catch (const std::exception& e) {
        line = std::string("[") + tag + "] Unexpected failure: " + oneLine(e.what());
    } catch (...) {
        line = std::string("[") + tag + "] Unexpected failure of an unknown kind.";
    }
    // What the program said so far comes first, the error line last.
    std::cout.flush();
    std::fflush(stdout);
    errors << line << std::endl;
    return 1;
}
