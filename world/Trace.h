#pragma once

#include <functional>
#include <string>
#include <vector>

class World;

// The per-step trace of a world, one CSV row after every step: the
// scenario runner, the live program's --trace and a replay write the same
// rows, so a replay can be checked byte for byte.
struct TraceColumn {
    const char* name;
    std::function<double(const World&)> value;
};

// Every column after the first, "time".
const std::vector<TraceColumn>& traceColumns();

// The row after a step: `time` (simulated seconds), then every column.
void traceRow(const World& world, double time, std::vector<double>& row);
// "time,x,y,..." and a line end.
std::string traceHeader();
// The row as "%.9g" values joined by commas, and a line end.
void appendTraceRow(const std::vector<double>& row, std::string& out);
