#pragma once

#include <pybind11/pybind11.h>

// The batch runner's compiled part: a scripted operator's run recorded as a
// session, and a recorded session replayed and scored under given rules.
void registerBatch(pybind11::module_& m);
