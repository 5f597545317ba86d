#pragma once
#include <string>

// Writes every file of data/ into dir (ending in "/").
void writeDataSet(const std::string& dir);
