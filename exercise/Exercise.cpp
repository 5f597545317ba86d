#include "exercise/Exercise.h"

#include <cmath>
#include <fstream>

#include <nlohmann/json.hpp>

#include "terrain/Terrain.h"

namespace {

using nlohmann::json;

// A fault in one field of the file: reported with the file and the field.
struct FieldFault {
    std::string field, fault;
};

const json& member(const json& object, const std::string& key, const std::string& field)
{
    if (!object.is_object() || !object.contains(key))
        throw FieldFault{field + key, "missing"};
    return object.at(key);
}

double number(const json& object, const std::string& key, const std::string& field)
{
    const json& v = member(object, key, field);
    if (!v.is_number() || !std::isfinite(v.get<double>()))
        throw FieldFault{field + key, "not a number"};
    return v.get<double>();
}

double positive(const json& object, const std::string& key, const std::string& field)
{
    const double v = number(object, key, field);
    if (!(v > 0.0))
        throw FieldFault{field + key, "must be above 0"};
    return v;
}

std::string text(const json& object, const std::string& key, const std::string& field)
{
    const json& v = member(object, key, field);
    if (!v.is_string() || v.get<std::string>().empty())
        throw FieldFault{field + key, "not a text"};
    return v.get<std::string>();
}

bool onTerrain(const Terrain& terrain, double x, double z)
{
    return terrain.surfaceDistanceBelow(Vector3(x, 1000.0, z)) > 0.0;
}

void readTrench(const json& target, TrenchTarget& t, const std::string& f)
{
    t.x = number(target, "x", f);
    t.z = number(target, "z", f);
    t.headingDegrees = number(target, "heading_deg", f);
    t.length = positive(target, "length", f);
    t.width = positive(target, "width", f);
    t.depth = positive(target, "depth", f);
    t.finishLeftM3 = number(target, "finish_left_m3", f);
    if (t.finishLeftM3 < 0.0)
        throw FieldFault{f + "finish_left_m3", "must not be below 0"};
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
    h.x = number(hopper, "x", f);
    h.z = number(hopper, "z", f);
    h.headingDegrees = number(hopper, "heading_deg", f);
    h.length = positive(hopper, "length", f);
    h.width = positive(hopper, "width", f);
    h.wallHeight = positive(hopper, "wall_height", f);
    h.goalM3 = positive(hopper, "goal_m3", f);
}

void readPrecision(const json& doc, PrecisionTarget& p)
{
    p.postWidth = positive(doc, "post_width", "");
    p.touchWithin = positive(doc, "touch_within", "");
    const json& posts = member(doc, "posts", "");
    if (!posts.is_array() || posts.empty())
        throw FieldFault{"posts", "not a list of posts"};
    for (size_t i = 0; i < posts.size(); ++i) {
        const std::string f = "posts[" + std::to_string(i) + "].";
        p.posts.push_back({number(posts[i], "x", f), number(posts[i], "z", f), positive(posts[i], "height", f)});
    }
}

void read(const json& doc, Exercise& e, const Terrain* terrain)
{
    if (!doc.is_object())
        throw FieldFault{"(top)", "not an object"};
    e.name = text(doc, "name", "");
    e.kind = text(doc, "kind", "");
    if (metricNames(e.kind).empty())
        throw FieldFault{"kind", "unknown kind '" + e.kind + "'"};
    e.instructions = text(doc, "instructions", "");
    const json& start = member(doc, "start", "");
    e.startX = number(start, "x", "start.");
    e.startZ = number(start, "z", "start.");
    e.startHeadingDegrees = number(start, "heading_deg", "start.");
    e.timeLimit = positive(doc, "time_limit_s", "");
    e.baseScore = number(doc, "base_score", "");
    if (e.kind == "trench")
        readTrench(member(doc, "target", ""), e.trench, "target.");
    if (e.kind == "hopper") {
        readTrench(member(doc, "dig_area", ""), e.trench, "dig_area.");
        readHopper(member(doc, "hopper", ""), e.hopper);
    }
    if (e.kind == "precision")
        readPrecision(doc, e.precision);
    const json& rules = member(doc, "rules", "");
    if (!rules.is_array() || rules.empty())
        throw FieldFault{"rules", "not a list of rules"};
    const std::vector<std::string>& known = metricNames(e.kind);
    for (size_t i = 0; i < rules.size(); ++i) {
        const std::string f = "rules[" + std::to_string(i) + "].";
        ScoreRule r;
        r.metric = text(rules[i], "metric", f);
        bool found = false;
        for (const std::string& m : known)
            found |= m == r.metric;
        if (!found)
            throw FieldFault{f + "metric", "unknown metric '" + r.metric + "' for a " + e.kind};
        r.allowance = number(rules[i], "allowance", f);
        const bool perUnit = rules[i].contains("points_per_unit"), bonus = rules[i].contains("bonus");
        if (perUnit == bonus)
            throw FieldFault{f + "points_per_unit", "give either points_per_unit or bonus"};
        r.bonus = bonus;
        r.points = number(rules[i], bonus ? "bonus" : "points_per_unit", f);
        if (r.points < 0.0)
            throw FieldFault{f + (bonus ? "bonus" : "points_per_unit"), "must not be below 0"};
        e.rules.push_back(r);
    }
    if (terrain) {
        if (!onTerrain(*terrain, e.startX, e.startZ))
            throw FieldFault{"start", "off the terrain"};
        const TrenchTarget& t = e.trench;
        if (e.kind == "trench")
            checkRectangleOnTerrain(t.x, t.z, t.headingDegrees, t.length, t.width, *terrain, "target");
        if (e.kind == "hopper") {
            checkRectangleOnTerrain(t.x, t.z, t.headingDegrees, t.length, t.width, *terrain, "dig_area");
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
    if (kind == "trench")
        return trench;
    if (kind == "hopper")
        return hopper;
    return kind == "precision" ? precision : none;
}

std::string exercisePath(const std::string& dataDirectory, const std::string& name)
{
    return dataDirectory + "exercises/" + name + ".json";
}

bool loadExercise(const std::string& path, Exercise& out, std::string& error, const Terrain* terrain)
{
    std::ifstream in(path);
    if (!in) {
        error = "[Exercise] " + path + ": cannot be read.";
        return false;
    }
    Exercise e;
    e.file = path;
    try {
        const json doc = json::parse(in);
        read(doc, e, terrain);
    } catch (const json::parse_error& fault) {
        error = "[Exercise] " + path + ": not JSON at byte " + std::to_string(fault.byte) + ".";
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
