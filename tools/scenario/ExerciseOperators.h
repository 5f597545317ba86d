#pragma once

#include <string>
#include <vector>

#include "tools/scenario/Scenario.h"

// Scripted operators for the exercises: each is a scenario entry whose keys
// and operate() work the machine from the exercise's start place.
struct ExerciseOperator {
    const char* name;
    const char* about;
    Scenario scenario;
};

const std::vector<ExerciseOperator>& exerciseOperators();
const ExerciseOperator* findExerciseOperator(const std::string& name);
