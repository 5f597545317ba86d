#include "exercise/Exercise.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "base/Error.h"
#include "base/JsonFields.h"
#include "base/Names.h"
#include "base/TextFile.h"
#include "terrain/Terrain.h"

namespace {

using nlohmann::json;

using Range = FieldRange;
constexpr Range kPlace{-1000.0, 1000.0}, kHeading{-360.0, 360.0}, kTime{0.0, 86400.0}, kPoints{-1e6, 1e6},
    kVolume{0.0, 1e4};

double number(const json& object, const std::string& key, const std::string& field, Range range = kPoints)
{
    return fieldNumber(object, key, field, range);
}

// Above 0 (a size in m, a time in s, a volume in m3), up to the range's top.
double positive(const json& object, const std::string& key, const std::string& field, double high = 100.0)
{
    const double v = number(object, key, field, {-HUGE_VAL, high});
    if (!(v > 0.0))
        throw FieldFault{field + key, "must be above 0"};
    return v;
}

std::string text(const json& object, const std::string& key, const std::string& field)
{
    return fieldText(object, key, field, kExerciseMaxText);
}

// A list of at most `most` items.
const json& list(const json& object, const std::string& key, size_t most, const char* what)
{
    const json& v = fieldMember(object, key, "");
    if (!v.is_array() || v.empty())
        throw FieldFault{key, std::string("not a list of ") + what};
    if (v.size() > most)
        throw FieldFault{key, std::to_string(v.size()) + " " + what + ", more than the " + std::to_string(most) +
                                  " an exercise may have"};
    return v;
}

bool onTerrain(const Terrain& terrain, double x, double z)
{
    return terrain.surfaceDistanceBelow(Vector3(x, 1000.0, z)) > 0.0;
}

void readTrench(const json& target, TrenchTarget& t, const std::string& f)
{
    t.x = number(target, "x", f, kPlace);
    t.z = number(target, "z", f, kPlace);
    t.headingDegrees = number(target, "heading_deg", f, kHeading);
    t.length = positive(target, "length", f);
    t.width = positive(target, "width", f);
    t.depth = positive(target, "depth", f);
    t.finishLeftM3 = number(target, "finish_left_m3", f, kVolume);
}

void checkRectangleOnTerrain(double cx, double cz, double headingDegrees, double length, double width,
                             const Terrain& terrain, const std::string& field)
{
    const double h = headingDegrees * M_PI / 180.0;
    const double ux = std::cos(h), uz = -std::sin(h);
    for (int sx : {-1, 1})
        for (int sw : {-1, 1}) {
            const double x = cx + sx * ux * length / 2 + sw * -uz * width / 2;
            const double z = cz + sx * uz * length / 2 + sw * ux * width / 2;
            if (!onTerrain(terrain, x, z))
                throw FieldFault{field, "a corner is off the terrain"};
        }
}

void readHopper(const json& hopper, HopperTarget& h)
{
    const std::string f = "hopper.";
    h.x = number(hopper, "x", f, kPlace);
    h.z = number(hopper, "z", f, kPlace);
    h.headingDegrees = number(hopper, "heading_deg", f, kHeading);
    h.length = positive(hopper, "length", f);
    h.width = positive(hopper, "width", f);
    h.wallHeight = positive(hopper, "wall_height", f);
    h.goalM3 = positive(hopper, "goal_m3", f, kVolume.high);
}

void readTruck(const json& truck, TruckTarget& t)
{
    const std::string f = "truck.";
    t.x = number(truck, "x", f, kPlace);
    t.z = number(truck, "z", f, kPlace);
    t.headingDegrees = number(truck, "heading_deg", f, kHeading);
    t.goalM3 = positive(truck, "goal_m3", f, kVolume.high);
    t.releaseAboveM = positive(truck, "release_above_m", f);
}

void readPrecision(const json& doc, PrecisionTarget& p)
{
    p.postWidth = positive(doc, "post_width", "");
    p.touchWithin = positive(doc, "touch_within", "");
    const json& posts = list(doc, "posts", kExerciseMaxPosts, "posts");
    for (size_t i = 0; i < posts.size(); ++i) {
        const std::string f = "posts[" + std::to_string(i) + "].";
        p.posts.push_back(
            {number(posts[i], "x", f, kPlace), number(posts[i], "z", f, kPlace), positive(posts[i], "height", f)});
    }
}

void read(const json& doc, Exercise& e, const Terrain* terrain)
{
    if (!doc.is_object())
        throw FieldFault{"(top)", "not an object"};
    e.name = text(doc, "name", "");
    // The report's file is named by it.
    if (!isPlainName(e.name))
        throw FieldFault{"name", excerpt(e.name, '\'') + " is not an exercise name"};
    e.kind = text(doc, "kind", "");
    if (metricNames(e.kind).empty())
        throw FieldFault{"kind", "unknown kind " + excerpt(e.kind, '\'')};
    e.instructions = text(doc, "instructions", "");
    const json& start = fieldMember(doc, "start", "");
    e.startX = number(start, "x", "start.", kPlace);
    e.startZ = number(start, "z", "start.", kPlace);
    e.startHeadingDegrees = number(start, "heading_deg", "start.", kHeading);
    e.timeLimit = positive(doc, "time_limit_s", "", kTime.high);
    e.baseScore = number(doc, "base_score", "");
    if (e.kind == "trench")
        readTrench(fieldMember(doc, "target", ""), e.trench, "target.");
    if (e.kind == "hopper" || e.kind == "truck")
        readTrench(fieldMember(doc, "dig_area", ""), e.trench, "dig_area.");
    if (e.kind == "hopper")
        readHopper(fieldMember(doc, "hopper", ""), e.hopper);
    if (e.kind == "truck")
        readTruck(fieldMember(doc, "truck", ""), e.truck);
    if (e.kind == "precision")
        readPrecision(doc, e.precision);
    const json& rules = list(doc, "rules", kExerciseMaxRules, "rules");
    const std::vector<std::string>& known = metricNames(e.kind);
    for (size_t i = 0; i < rules.size(); ++i) {
        const std::string f = "rules[" + std::to_string(i) + "].";
        ScoreRule r;
        r.metric = text(rules[i], "metric", f);
        bool found = false;
        for (const std::string& m : known)
            found |= m == r.metric;
        if (!found)
            throw FieldFault{f + "metric", "unknown metric " + excerpt(r.metric, '\'') + " for a " + e.kind};
        r.allowance = number(rules[i], "allowance", f);
        const bool perUnit = rules[i].contains("points_per_unit"), bonus = rules[i].contains("bonus");
        if (perUnit == bonus)
            throw FieldFault{f + "points_per_unit", "give either points_per_unit or bonus"};
        r.bonus = bonus;
        r.points = number(rules[i], bonus ? "bonus" : "points_per_unit", f, {0.0, kPoints.high});
        e.rules.push_back(r);
    }
    if (terrain) {
        if (!onTerrain(*terrain, e.startX, e.startZ))
            throw FieldFault{"start", "off the terrain"};
        const TrenchTarget& t = e.trench;
        if (e.kind == "trench")
            checkRectangleOnTerrain(t.x, t.z, t.headingDegrees, t.length, t.width, *terrain, "target");
        if (e.kind == "hopper" || e.kind == "truck")
            checkRectangleOnTerrain(t.x, t.z, t.headingDegrees, t.length, t.width, *terrain, "dig_area");
        // Its middle: the outline is the data folder's model's.
        if (e.kind == "truck" && !onTerrain(*terrain, e.truck.x, e.truck.z))
            throw FieldFault{"truck", "off the terrain"};
        if (e.kind == "hopper") {
            const HopperTarget& h = e.hopper;
            checkRectangleOnTerrain(h.x, h.z, h.headingDegrees, h.length, h.width, *terrain, "hopper");
        }
        for (size_t i = 0; i < e.precision.posts.size(); ++i)
            if (!onTerrain(*terrain, e.precision.posts[i].x, e.precision.posts[i].z))
                throw FieldFault{"posts[" + std::to_string(i) + "]", "off the terrain"};
    }
}

}  // namespace

const std::vector<std::string>& metricNames(const std::string& kind)
{
    static const std::vector<std::string> none;
    static const std::vector<std::string> trench = {"time_s", "time_left_s", "dug_to_grade_m3", "left_above_grade_m3",
                                                     "overdig_m3", "dug_outside_m3", "floor_error_cm", "floor_on_grade_pct"};
    static const std::vector<std::string> hopper = {
        "time_s",      "time_left_s",  "delivered_m3", "spill_m3",    "spill_pct",           "wall_hits",
        "cycles",      "last_cycle_s", "phase_dig_s",  "phase_dump_s", "phase_swing_loaded_s", "phase_swing_back_s"};
    static const std::vector<std::string> precision = {"time_s", "time_left_s", "markers_reached", "markers_missed",
                                                        "post_contacts"};
    static const std::vector<std::string> truck = {
        "time_s",      "time_left_s",  "delivered_m3", "spill_m3",    "spill_pct",           "cab_passes",
        "truck_hits",  "high_releases", "cycles",      "last_cycle_s", "phase_dig_s",         "phase_dump_s",
        "phase_swing_loaded_s", "phase_swing_back_s"};
    if (kind == "trench")
        return trench;
    if (kind == "truck")
        return truck;
    if (kind == "hopper")
        return hopper;
    return kind == "precision" ? precision : none;
}

std::string exercisePath(const std::string& dataDirectory, const std::string& name)
{
    if (!isPlainName(name))
        throw Error("Exercise", excerpt(name) + " is not an exercise name: 1 to " + std::to_string(kMaxNameLength) +
                                    " of a-z, 0-9, _ and -");
    return dataDirectory + "exercises/" + name + ".json";
}

bool moveStart(Exercise& exercise, double x, double z, double headingDegrees, const Terrain& terrain,
               std::string& error)
{
    if (!(std::fabs(x) <= kPlace.high && std::fabs(z) <= kPlace.high && std::fabs(headingDegrees) <= 360.0) ||
        !onTerrain(terrain, x, z)) {
        error = "[Exercise] " + exercise.name + ": the start place (" + std::to_string(x) + ", " + std::to_string(z) +
                ") is off the terrain";
        return false;
    }
    exercise.startX = x;
    exercise.startZ = z;
    exercise.startHeadingDegrees = headingDegrees;
    return true;
}

bool loadExercise(const std::string& path, Exercise& out, std::string& error, const Terrain* terrain)
{
    Exercise e;
    e.file = path;
    try {
        const json doc = json::parse(readTextFile(path, kExerciseMaxBytes, "Exercise"));
        read(doc, e, terrain);
    } catch (const Error& fault) {
        error = fault.what();
        return false;
    } catch (const json::parse_error& fault) {
        error = "[Exercise] " + path + ": not JSON at byte " + std::to_string(fault.byte) + ".";
        return false;
    } catch (const json::exception& fault) {
        // A number past a double's range (1e400) is the likely one.
        error = "[Exercise] " + path + ": not JSON that this program can hold (" + excerpt(fault.what(), '\'', 80) +
                ").";
        return false;
    } catch (const FieldFault& fault) {
        error = "[Exercise] " + path + ": field '" + fault.field + "': " + fault.fault + ".";
        return false;
    }
    out = e;
    return true;
}

double rulePoints(const ScoreRule& rule, const Metrics& metrics)
{
    const auto found = metrics.find(rule.metric);
    if (found == metrics.end())
        return 0.0;
    const double v = found->second;
    if (rule.bonus)
        return v >= rule.allowance ? rule.points : 0.0;
    return v > rule.allowance ? -rule.points * (v - rule.allowance) : 0.0;
}

double totalScore(const Exercise& exercise, const Metrics& metrics)
{
    double total = exercise.baseScore;
    for (const ScoreRule& r : exercise.rules)
        total += rulePoints(r, metrics);
    return total;
}
