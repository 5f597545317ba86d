#pragma once

// A world's reset (the restore of its start state after the cycle scenario)
// against building one from data/, and the memory one world holds beyond
// the shared meshes. Registered with the other benchmarks; the figures are
// printed after them.
void registerWorldBenchmarks();
void printWorldFigures();
