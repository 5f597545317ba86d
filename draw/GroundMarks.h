#pragma once

#include <vector>

#include "math/Vector3.h"

// An exercise's marks on the ground: a stake at each point and a line from
// each to the next round the loop (a trench's corners). GL, main thread,
// drawn in the world's frame after the frame's objects.
void drawGroundMarks(const std::vector<Vector3>& corners);
