#pragma once

#include <string>

// The exercise files of data/exercises/: name to JSON text.
std::string trenchExerciseText();
std::string hopperExerciseText();
std::string precisionExerciseText();
std::string truckExerciseText();
