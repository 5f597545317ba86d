#pragma once

#include <string>
#include <vector>

#include "excavator/SoilCutting.h"

// The soil types of a soils file (data/soils.json) and the one it names as
// the ground's unless another is chosen.
struct SoilTable {
    std::vector<SoilType> soils;
    std::string defaultName;
};

// Reads the file; a missing or damaged one, or a missing, wrong or
// out-of-range field, is fatal with one "[Soils] FILE: ..." message.
SoilTable readSoilTable(const std::string& path);

// The soil of that name, or nullptr.
const SoilType* findSoil(const SoilTable& table, const std::string& name);
