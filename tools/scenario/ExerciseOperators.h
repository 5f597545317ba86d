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

// Of the boom, arm and bucket keys held together (at most one of each pair;
// with `pullIn` always the arm in), the set whose cutting edge moves closest
// to the velocity wanted (machine frame: x along the tracks, y up) and,
// where `cut` is set, moves it at a cutting angle.
std::vector<Lever> bestLevers(const Excavator& e, const Vector3& wanted, bool cut, bool pullIn);
const ExerciseOperator* findExerciseOperator(const std::string& name);
