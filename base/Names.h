#pragma once

#include <string>

// A name that becomes part of a file name and stays in its folder: 1 to 64
// of a-z, 0-9, '_' and '-' (no '/', no '.', no space or line end).
constexpr size_t kMaxNameLength = 64;
bool isPlainName(const std::string& name);

// A trainee's name, which names the folder of their reports: 1 to 40 of
// A-Z, a-z, 0-9, space, '_', '.' and '-', neither "." nor "..", and no
// space at either end (two names that look alike would share no folder).
// Empty when it is one, else what is wrong with it.
constexpr size_t kMaxTraineeLength = 40;
std::string traineeNameFault(const std::string& name);
