#pragma once

#include <iosfwd>

// Reads one answer character (leading white space skipped) and tells
// whether it is the lower-case y. Input that has ended counts as "not y".
bool answeredYes(std::istream& in);
