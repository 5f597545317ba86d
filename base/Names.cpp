#include "base/Names.h"

bool isPlainName(const std::string& name)
{
    return !name.empty() && name.size() <= kMaxNameLength &&
           name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_-") == std::string::npos;
}
