#include "base/Names.h"

bool isPlainName(const std::string& name)
{
    return !name.empty() && name.size() <= kMaxNameLength &&
           name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_-") == std::string::npos;
}

std::string traineeNameFault(const std::string& name)
{
    if (name.empty())
        return "an empty name";
    if (name.size() > kMaxTraineeLength)
        return "longer than " + std::to_string(kMaxTraineeLength) + " characters";
    if (name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 _.-") !=
        std::string::npos)
        return "only letters, digits, space, '_', '.' and '-' may be used";
    if (name == "." || name == "..")
        return "it names a folder above or the folder itself";
    if (name.front() == ' ' || name.back() == ' ')
        return "a space at either end";
    return "";
}
