#include "world/Trace.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "excavator/Excavator.h"
#include "math/Quaternion.h"
#include "terrain/Terrain.h"
#include "world/World.h"

namespace {
constexpr double kDegrees = 57.29577951308232;
}  // namespace

const std::vector<TraceColumn>& traceColumns()
{
    // Yaw about world y of the arm's direction, pitch of it above the
    // horizontal, roll of the machine's cross axis; degrees.
    auto axis = [](const World& w, const Vector3& v) { return rotate(v, w.excavator->orientation); };
    auto e = [](const World& w) -> const Excavator& { return *w.excavator; };
    static const std::vector<TraceColumn> columns = {
        {"x", [=](const World& w) { return e(w).position.x; }},
        {"y", [=](const World& w) { return e(w).position.y; }},
        {"z", [=](const World& w) { return e(w).position.z; }},
        {"yaw_deg", [=](const World& w) {
             const Vector3 f = axis(w, {1, 0, 0});
             return std::atan2(-f.z, f.x) * kDegrees;
         }},
        {"pitch_deg", [=](const World& w) { return std::asin(std::clamp(axis(w, {1, 0, 0}).y, -1.0, 1.0)) * kDegrees; }},
        {"roll_deg", [=](const World& w) { return std::asin(std::clamp(axis(w, {0, 0, 1}).y, -1.0, 1.0)) * kDegrees; }},
        {"speed", [=](const World& w) { return length(e(w).velocity); }},
        {"angular_speed", [=](const World& w) { return length(e(w).angularVelocity); }},
        {"slew", [=](const World& w) { return e(w).slewAngle(); }},
        {"monoblock", [=](const World& w) { return e(w).monoblockAngle(); }},
        {"arm", [=](const World& w) { return e(w).bendingArmAngle(); }},
        {"plate", [=](const World& w) { return e(w).groundPlateAngle(); }},
        {"contacts", [](const World& w) { return static_cast<double>(w.lastStep.contacts); }},
        {"dt", [](const World& w) { return w.lastStep.dt; }},
        {"impulses", [](const World& w) { return static_cast<double>(w.lastStep.impulses); }},
        {"bucket_soil", [=](const World& w) { return static_cast<double>(e(w).bucket.soilCount); }},
        {"in_soil", [=](const World& w) { return e(w).bucketInSoil ? 1.0 : 0.0; }},
        {"digging", [](const World& w) { return w.excavator->terrain->digging ? 1.0 : 0.0; }},
        // Why the joints stand still: a HitCause, 0 while no hit holds them.
        {"hit", [=](const World& w) { return static_cast<double>(e(w).hit.cause); }},
        // The busiest arm function's pressure over its relief, and the soil's
        // force on the cutting edge.
        {"hydraulic_load", [=](const World& w) { return e(w).hydraulicLoad; }},
        {"cut_force_kn", [=](const World& w) { return e(w).cutForce / 1000.0; }},
    };
    return columns;
}

void traceRow(const World& world, double time, std::vector<double>& row)
{
    row.clear();
    row.push_back(time);
    for (const TraceColumn& c : traceColumns())
        row.push_back(c.value(world));
}

std::string traceHeader()
{
    std::string text = "time";
    for (const TraceColumn& c : traceColumns())
        text += std::string(",") + c.name;
    return text + "\n";
}

void appendTraceRow(const std::vector<double>& row, std::string& out)
{
    char text[40];
    for (size_t c = 0; c < row.size(); ++c) {
        std::snprintf(text, sizeof text, "%.9g", row[c]);
        if (c)
            out += ',';
        out += text;
    }
    out += '\n';
}
