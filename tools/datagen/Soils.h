#pragma once

#include <string>

// data/soils.json: the soil types the ground can be made of, each in its
// bank state and dug-and-dumped (loose) state, with their sources.
std::string soilsText();
