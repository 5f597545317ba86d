#pragma once

#include <benchmark/benchmark.h>

// Four worlds stepped on two threads against one world alone on one thread,
// each through the cycle scenario: prints the stepping rate of
// the four over that of the one (best of two rounds) and whether every
// trace equals the lone world's.
void worldsOnThreadsBench(benchmark::State& state);
