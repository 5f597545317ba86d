#include "base/Fatal.h"

#include "base/Error.h"

void throwFatal(const std::string& line) { throw Error(line); }
