#pragma once

#include <string>

// A name that becomes part of a file name and stays in its folder: 1 to 64
// of a-z, 0-9, '_' and '-' (no '/', no '.', no space or line end).
constexpr size_t kMaxNameLength = 64;
bool isPlainName(const std::string& name);
