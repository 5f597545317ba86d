#include "base/Answer.h"

#include <istream>

bool answeredYes(std::istream& in)
{
    char c = '\0';
    // A failed read (end of input, closed stream) leaves c as it was and
    // returns at once; later reads fail the same way.
    if (!(in >> c))
        return false;
    return c == 'y';
}
