#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include "assets/ModelLoader.h"
#include "base/TextFile.h"
#include "exercise/Exercise.h"
#include "exercise/ExerciseObjects.h"
#include "exercise/ExerciseRun.h"
#include "exercise/HopperMeter.h"
#include "exercise/ProgressPage.h"
#include "exercise/SvgChart.h"
#include "exercise/TrenchMeter.h"
#include "exercise/TruckFaults.h"
#include "tests/TestFiles.h"
#include "tools/scenario/ExerciseOperators.h"
#include "tools/scenario/Scenario.h"
#include "terrain/Terrain.h"
#include "world/World.h"

namespace {

// A valid trench exercise; each fault case below edits one piece of it.
const std::string kGood = R"({"name": "t", "kind": "trench", "instructions": "dig",
  "start": {"x": 0, "z": 0, "heading_deg": 0}, "time_limit_s": 60, "base_score": 100,
  "target": {"x": 5, "z": 1, "heading_deg": 0, "length": 2, "width": 1, "depth": 0.7, "finish_left_m3": 0.1},
  "rules": [{"metric": "overdig_m3", "allowance": 0.05, "points_per_unit": 100},
            {"metric": "dug_to_grade_m3", "allowance": 1.0, "bonus": 10}]})";

std::string edited(const std::string& from, const std::string& to, std::string s = kGood)
{
    const size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? s : s.replace(at, from.size(), to);
}

terrain::HeightGrid flatGrid(double height)
{
    terrain::HeightGrid h;
    for (auto& row : h)
        row.fill(height);
    return h;
}

// A picture of a report page: its domain and plot area as the <svg> gives them.
struct DrawnChart {
    std::string body;
    double x0 = 0, x1 = 1, y0 = 0, y1 = 1, left = 0, top = 0, right = 1, bottom = 1;
    double figureX(double px) const { return x0 + (px - left) / (right - left) * (x1 - x0); }
    double figureY(double py) const { return y0 + (bottom - py) / (bottom - top) * (y1 - y0); }
    // A coordinate is written to 0.01 px.
    double slackX() const { return 0.006 * std::fabs(x1 - x0) / (right - left); }
    double slackY() const { return 0.006 * std::fabs(y1 - y0) / (bottom - top); }
};

std::string attribute(const std::string& tag, const std::string& name)
{
    const size_t at = tag.find(" " + name + "=\""), from = at + name.size() + 3;
    return at == std::string::npos ? "" : tag.substr(from, tag.find('"', from) - from);
}

DrawnChart drawnChart(const std::string& html, const std::string& id)
{
    DrawnChart c;
    const size_t at = html.find("<svg id=\"" + id + "\"");
    if (at == std::string::npos)
        return c;
    const std::string tag = html.substr(at, html.find('>', at) - at);
    c.body = html.substr(at, html.find("</svg>", at) - at);
    double* fields[] = {&c.x0, &c.x1, &c.y0, &c.y1, &c.left, &c.top, &c.right, &c.bottom};
    const char* names[] = {"data-x0",   "data-x1",  "data-y0",    "data-y1",
                           "data-left", "data-top", "data-right", "data-bottom"};
    for (int i = 0; i < 8; ++i)
        *fields[i] = std::stod(attribute(tag, names[i]));
    return c;
}

// Every tag of a kind in a picture, with the attribute it is picked by.
std::vector<std::string> tags(const std::string& body, const std::string& start)
{
    std::vector<std::string> found;
    for (size_t at = body.find(start); at != std::string::npos; at = body.find(start, at + 1))
        found.push_back(body.substr(at, body.find('>', at) - at));
    return found;
}

// The drawn line read back into figures equals the report's, point by point.
void expectLine(const std::string& html, const std::string& id, const std::string& series,
                const std::vector<double>& xs, const std::vector<double>& ys)
{
    SCOPED_TRACE(id + " " + series);
    const DrawnChart c = drawnChart(html, id);
    const std::vector<std::string> lines = tags(c.body, "<polyline data-series=\"" + series + "\"");
    ASSERT_EQ(lines.size(), 1u);
    std::istringstream points(attribute(lines[0], "points"));
    size_t i = 0;
    double px = 0, py = 0;
    char comma = 0;
    for (; points >> px >> comma >> py; ++i) {
        ASSERT_LT(i, xs.size());
        EXPECT_NEAR(c.figureX(px), xs[i], c.slackX()) << "point " << i;
        EXPECT_NEAR(c.figureY(py), ys[i], c.slackY()) << "point " << i;
    }
    EXPECT_EQ(i, xs.size());
}

std::vector<double> tableColumn(const nlohmann::json& rows, size_t i)
{
    std::vector<double> out;
    for (const auto& row : rows)
        out.push_back(row.at(i).get<double>());
    return out;
}

// Every picture on a report's page shows its JSON's figures: the edge's
// path from the side and above, the trench's profiles, each cycle's phases,
// the delivery over time.
void expectPicturesOfTheReport(const std::string& html, const nlohmann::json& doc)
{
    EXPECT_NE(html.find("<b id=\"total\">" + fixedFigure(doc["total"].get<double>(), 2) + "</b>"), std::string::npos);
    const auto& edge = doc["series"]["edge"];
    ASSERT_GT(edge.size(), 10u);
    const double h = doc["start"]["heading_deg"].get<double>() * M_PI / 180.0;
    std::vector<double> along;
    for (const auto& row : edge)
        along.push_back((row[1].get<double>() - doc["start"]["x"].get<double>()) * std::cos(h) -
                        (row[3].get<double>() - doc["start"]["z"].get<double>()) * std::sin(h));
    expectLine(html, "edge-side", "edge-side", along, tableColumn(edge, 2));
    expectLine(html, "edge-plan", "edge-plan", tableColumn(edge, 1), tableColumn(edge, 3));
    if (doc.contains("profiles"))
        for (const char* which : {"along", "across"}) {
            const auto& rows = doc["profiles"][which];
            ASSERT_GT(rows.size(), 5u);
            expectLine(html, std::string("profile-") + which, std::string(which) + "-now", tableColumn(rows, 0),
                       tableColumn(rows, 2));
            expectLine(html, std::string("profile-") + which, std::string(which) + "-before", tableColumn(rows, 0),
                       tableColumn(rows, 1));
        }
    if (doc["series"].contains("delivery")) {
        const auto& rows = doc["series"]["delivery"];
        expectLine(html, "delivery", "delivered", tableColumn(rows, 0), tableColumn(rows, 1));
        expectLine(html, "delivery", "spilled", tableColumn(rows, 0), tableColumn(rows, 2));
    }
    const DrawnChart cycles = drawnChart(html, "cycles");
    const std::vector<std::string> bars = tags(cycles.body, "<rect data-cycle=");
    ASSERT_EQ(bars.size(), 4 * doc["cycles"].value("phases_s", nlohmann::json::array()).size());
    for (size_t i = 0; i < bars.size(); ++i) {
        const double x = std::stod(attribute(bars[i], "x")), w = std::stod(attribute(bars[i], "width"));
        EXPECT_EQ(attribute(bars[i], "data-cycle"), std::to_string(i / 4 + 1));
        EXPECT_NEAR(cycles.figureX(x + w) - cycles.figureX(x), doc["cycles"]["phases_s"][i / 4][i % 4].get<double>(),
                    2 * cycles.slackX());
    }
}

}  // namespace

// Every fault names the file and the field; a good file reads.
TEST(ExerciseTest, FileFaultsNameTheFileAndTheField)
{
    const std::string dir = testfiles::scratchDir("exercise");
    const Terrain ground(flatGrid(1.0));  // 176 m square round the origin
    struct Case {
        const char* what;
        std::string text;
        const char* field;  // in the message; null: the file reads
    } cases[] = {
        {"good", kGood, nullptr},
        {"not JSON", kGood.substr(0, 40), "not JSON"},
        {"a list", "[1, 2]", "(top)"},
        {"no name", edited(R"("name": "t", )", ""), "'name'"},
        {"unknown kind", edited(R"("kind": "trench")", R"("kind": "pond")"), "'kind'"},
        {"time as text", edited(R"("time_limit_s": 60)", R"("time_limit_s": "60")"), "'time_limit_s'"},
        {"no time left", edited(R"("time_limit_s": 60)", R"("time_limit_s": 0)"), "'time_limit_s'"},
        {"flat trench", edited(R"("depth": 0.7)", R"("depth": -1)"), "'target.depth'"},
        {"unknown metric", edited(R"("metric": "overdig_m3")", R"("metric": "speed")"), "'rules[0].metric'"},
        {"both kinds of points", edited(R"("bonus": 10)", R"("bonus": 10, "points_per_unit": 1)"),
         "'rules[1].points_per_unit'"},
        {"negative points", edited(R"("points_per_unit": 100)", R"("points_per_unit": -100)"),
         "'rules[0].points_per_unit'"},
        {"no rules", edited(R"("rules": [)", R"("rules": [], "x": [)"), "'rules'"},
        {"start off the terrain", edited(R"("x": 0, "z": 0)", R"("x": 500, "z": 0)"), "'start'"},
        {"target off the terrain", edited(R"("x": 5, "z": 1)", R"("x": 87.5, "z": 1)"), "'target'"},
        {"hopper without its box", edited(R"("kind": "trench")", R"("kind": "hopper")"), "'dig_area'"},
        {"truck without its truck",
         edited(R"("target")", R"("dig_area")", edited(R"("kind": "trench")", R"("kind": "truck")")), "'truck'"},
        {"a post off the terrain",
         edited(R"("kind": "trench")", R"("kind": "precision", "post_width": 0.2, "touch_within": 0.1,
                "posts": [{"x": 3, "z": 3, "height": 1}, {"x": 3, "z": 300, "height": 1}])",
                edited(R"("overdig_m3")", R"("post_contacts")", edited(R"("dug_to_grade_m3")", R"("time_s")"))),
         "'posts[1]'"},
        // Past what a field or the file may hold.
        {"time beyond a double", edited(R"("time_limit_s": 60)", R"("time_limit_s": 1e400)"), "can hold"},
        {"time below a double", edited(R"("time_limit_s": 60)", R"("time_limit_s": -1e400)"), "can hold"},
        {"time of ages", edited(R"("time_limit_s": 60)", R"("time_limit_s": 1e308)"), "'time_limit_s': must be from"},
        {"a name out of its folder", edited(R"("name": "t")", R"("name": "../t")"), "'name'"},
        {"a 100 MB line", kGood + std::string(size_t{100} << 20, ' '), "larger than 1 MiB"},
        {"10,000 posts",
         edited(R"("kind": "trench")", R"("kind": "precision", "post_width": 0.2, "touch_within": 0.1, "posts": [)" +
                                          [] {
                                              std::string posts = R"({"x": 3, "z": 3, "height": 1})";
                                              for (int i = 1; i < 10000; ++i)
                                                  posts += R"(, {"x": 3, "z": 3, "height": 1})";
                                              return posts;
                                          }() + "]"),
         "'posts': 10000 posts, more than the 100"},
        {"a trench rule for posts", edited(R"("kind": "trench")", R"("kind": "precision", "post_width": 0.2,
                "touch_within": 0.1, "posts": [{"x": 3, "z": 3, "height": 1}])"),
         "'rules[0].metric'"},
    };
    for (const Case& c : cases) {
        const std::string path = dir + "case.json";
        testfiles::writeText(path, c.text);
        Exercise e;
        std::string error;
        const bool read = loadExercise(path, e, error, &ground);
        EXPECT_EQ(read, c.field == nullptr) << c.what << ": " << error;
        EXPECT_LT(error.size(), path.size() + 200) << c.what << ": " << error;
        if (c.field) {
            EXPECT_EQ(error.rfind("[Exercise] " + path + ": ", 0), 0u) << c.what << ": " << error;
            EXPECT_NE(error.find(c.field), std::string::npos) << c.what << ": " << error;
        } else {
            EXPECT_EQ(e.rules.size(), 2u);
            EXPECT_TRUE(e.rules[1].bonus);
        }
    }
    Exercise e;
    std::string error;
    EXPECT_FALSE(loadExercise(dir + "missing.json", e, error));
    EXPECT_NE(error.find("missing.json"), std::string::npos);
}

// For every rule of every shipped exercise: from metrics that keep every
// rule, breaking that rule alone (one unit over a penalty's allowance, just
// short of a bonus) moves the total by exactly the rule's points.
TEST(ExerciseTest, BreakingOneRuleChangesTheTotalByItsPoints)
{
    for (const char* name : {"trench", "hopper", "precision", "truck"}) {
        Exercise e;
        std::string error;
        ASSERT_TRUE(loadExercise(exercisePath("data/", name), e, error)) << error;
        Metrics kept;
        for (const std::string& m : metricNames(e.kind))
            kept[m] = 0.0;
        for (const ScoreRule& r : e.rules)
            kept[r.metric] = r.bonus ? r.allowance : std::min(kept[r.metric], r.allowance);
        const double clean = totalScore(e, kept);
        double bonuses = 0.0;
        for (const ScoreRule& r : e.rules)
            bonuses += r.bonus ? r.points : 0.0;
        EXPECT_DOUBLE_EQ(clean, e.baseScore + bonuses) << name;
        for (const ScoreRule& r : e.rules) {
            Metrics broken = kept;
            broken[r.metric] = r.bonus ? r.allowance - 1e-6 : r.allowance + 1.0;
            EXPECT_NEAR(totalScore(e, broken) - clean, -r.points, 1e-9) << name << " " << r.metric;
        }
    }
}

// A trench carved voxel by voxel into flat ground: the meter's volumes are
// the outline's area times the depth counted analytically, within one voxel
// column; digging below the grade and outside the outline shows apart.
TEST(ExerciseTest, TrenchVolumesMatchTheAnalyticCount)
{
    using namespace terrain;
    // Ground on a boundary between voxel layers, so the top voxels are whole.
    const double groundLevel = kVoxelTop + kHalfVoxel - 20 * kVoxel;
    Terrain ground(flatGrid(groundLevel));
    TrenchTarget t;
    t.x = 5.3;
    t.z = -2.05;  // no voxel centre on the outline
    t.length = 3.1;
    t.width = 1.3;
    t.depth = 0.8;
    TrenchMeter meter(ground, t);
    const double grade = meter.gradeLevel();
    EXPECT_NEAR(std::fmod(grade - (kVoxelTop + kHalfVoxel) + 100 * kVoxel, kVoxel), 0.0, 1e-9);
    EXPECT_LE(std::fabs(groundLevel - t.depth - grade), kHalfVoxel + 1e-9);

    const double column = kVoxel * kVoxel * (groundLevel - grade), volume = std::pow(kVoxel, 3);
    // Voxel centres lie at -88 + k kVoxel along x and z: those strictly
    // inside an interval of the outline, times the layers above the grade.
    auto centres = [](double from, double to) {
        return std::ceil((to + 88.0) / kVoxel) - std::floor((from + 88.0) / kVoxel) - 1.0;
    };
    const double analytic = centres(t.x - t.length / 2, t.x + t.length / 2) *
                            centres(t.z - t.width / 2, t.z + t.width / 2) * column;
    EXPECT_NEAR(meter.targetVoxels() * volume, analytic, column);

    // Carve everything inside down to the grade, one layer more under a
    // strip of columns, and a hole beside the outline.
    int64_t under = 0, beside = 0;
    for (int b = 0; b < kBlocks * kBlocks; ++b)
        for (int x = 0; x < kVoxelsX; ++x)
            for (int z = 0; z < kVoxelsZ; ++z) {
                const Vector3 c = ground.voxelCentre(b, x, 0, z);
                const bool in = meter.inside(c.x, c.z);
                const bool strip = in && c.x > t.x + 1.0;
                const bool hole = !in && std::fabs(c.x - t.x) < 0.5 && c.z > t.z + t.width / 2 &&
                                  c.z < t.z + t.width / 2 + 1.0;
                for (int y = 0; y < kVoxelsY; ++y) {
                    const double cy = ground.voxelCentre(b, x, y, z).y;
                    if (cy > groundLevel)
                        continue;
                    if ((in && cy > grade) || (strip && cy > grade - kVoxel) || (hole && cy > groundLevel - kVoxel)) {
                        ASSERT_TRUE(ground.removeSoilVoxel(b, x, y, z));
                        under += strip && cy < grade;
                        beside += hole;
                    }
                }
            }
    Metrics m;
    meter.measure(m);
    EXPECT_NEAR(m["dug_to_grade_m3"], analytic, column);
    EXPECT_DOUBLE_EQ(m["dug_to_grade_m3"], meter.targetVoxels() * volume);
    EXPECT_EQ(m["left_above_grade_m3"], 0.0);
    EXPECT_GT(under, 0);
    EXPECT_DOUBLE_EQ(m["overdig_m3"], under * volume);
    EXPECT_GT(beside, 0);
    EXPECT_DOUBLE_EQ(m["dug_outside_m3"], beside * volume);
    EXPECT_NEAR(m["floor_error_cm"], kVoxel * 100.0, 1e-9);  // the strip's floor, a layer down
    EXPECT_GT(m["floor_on_grade_pct"], 0.0);
    EXPECT_LT(m["floor_on_grade_pct"], 100.0);
}

// Soil let fall on flat ground round a hopper and a truck (its body's
// outline and floor from the data folder's model) and settled: inside the
// outline it is all delivered (in the truck, resting in its body), astride
// it split, round it (or under the cab) all spilled, and neither far off
// nor in the dig area; none is lost. Load after load on one spot heaps in
// the body no steeper than the soil's repose and pours over its rim.
TEST(ExerciseTest, SettledSoilIsDeliveredInsideAndSpilledRoundTheOutline)
{
    using namespace terrain;
    enum Share { None, Some, All };
    const struct Case {
        const char* what;
        bool truck;
        double along, across;  // m from the outline's middle, in its frame
        Share delivered, spilled;
        int loads = 1;
    } cases[] = {
        {"hopper, inside", false, 0.0, 0.0, All, None},
        {"hopper, astride a side wall", false, 0.3, 1.0, Some, Some},
        {"hopper, round it", false, -0.5, 2.6, None, All},
        {"hopper, far off", false, 0.0, 7.0, None, None},
        {"hopper, in the dig area", false, -3.6, 0.0, None, None},
        {"truck, inside its body", true, 0.0, 0.0, All, None},
        {"truck, astride its body's side", true, -0.5, 1.1, Some, Some},
        {"truck, under its cab", true, 2.8, 0.0, None, All},
        {"truck, heaped over its rim", true, 0.3, 0.2, Some, Some, 30},
    };
    ModelLoader model;
    model.directory = "data/";
    model.loadFile("truck.obj");
    Terrain ground(flatGrid(1.0));
    const TerrainState flat = ground.save();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ground.restore(flat);
        HopperTarget outline{-20.3, 10.1, 30.0, 3.0, 2.0, 0.5, 3.0};
        TrenchTarget dig{0.0, 0.0, 30.0, 2.0, 2.0, 1.0, 0.0};
        int bed = -1;
        if (c.truck) {
            TruckShape shape;
            makeTruck({outline.x, outline.z, 180.0, 3.0, 1.5}, model, ground, shape);
            outline = bodyOutline(shape, 3.0);
            shape.bed.repose = 30.0 * M_PI / 180.0;
            bed = static_cast<int>(ground.addBed(shape.bed));
        }
        const double h = outline.headingDegrees * M_PI / 180.0, ux = std::cos(h), uz = -std::sin(h);
        const auto at = [&](double along, double across) {
            return Vector3(outline.x + along * ux - across * uz, 0.0, outline.z + along * uz + across * ux);
        };
        // The dig area beyond the outline's back end, inside its spill margin.
        dig.x = at(-3.6, 0.0).x;
        dig.z = at(-3.6, 0.0).z;
        const HopperMeter meter(ground, outline, dig, bed);
        int64_t dropped = 0;
        for (int load = 0; load < c.loads; ++load) {
            for (int i = -1; i <= 1; ++i)
                for (int k = -1; k <= 1; ++k)
                    for (int y = 0; y < 2; ++y) {
                        SoilGrain g;
                        g.position =
                            at(c.along + i * kVoxel, c.across + k * kVoxel) + Vector3(0.0, 5.0 + y * kVoxel, 0.0);
                        dropped += ground.dropGrain(g);
                    }
            for (int step = 0; ground.grainCount() > 0 && step < 5000; ++step)
                ground.settleGrains(0.003);
        }
        EXPECT_GE(dropped, 12 * c.loads);  // a cell takes one grain: some land in a neighbour's
        ASSERT_EQ(ground.grainCount(), 0u);
        int64_t delivered = 0, spilled = 0;
        meter.count(delivered, spilled);
        const auto share = [&](int64_t n) { return n == 0 ? None : n == dropped ? All : Some; };
        EXPECT_EQ(share(delivered), c.delivered) << delivered << " of " << dropped;
        EXPECT_EQ(share(spilled), c.spilled) << spilled << " of " << dropped;
        if (c.delivered != None || c.spilled != None) {
            EXPECT_EQ(delivered + spilled, dropped);
        }
        if (c.loads == 1)
            continue;
        // The heap: no cell a unit over a neighbour's, its top over the rim
        // but no higher than a slope at the repose from the walls allows.
        const SoilBed& b = ground.beds.at(0);
        const double unit = bedUnitHeight(b);
        double top = b.floorY;
        for (int i = 0; i < b.cellsAlong; ++i)
            for (int j = 0; j < b.cellsAcross; ++j) {
                const int cell = i * b.cellsAcross + j;
                top = std::max(top, bedSurface(b, cell));
                const int right = j + 1 < b.cellsAcross ? b.units[cell + 1] : b.units[cell];
                const int ahead = i + 1 < b.cellsAlong ? b.units[cell + b.cellsAcross] : b.units[cell];
                EXPECT_LE(std::max(std::abs(b.units[cell] - right), std::abs(b.units[cell] - ahead)), 1) << i << " " << j;
            }
        EXPECT_GT(top, b.rimY + unit);
        EXPECT_LE(top, b.rimY + b.width / 2 * std::tan(b.repose) + unit);
    }
}

// The truck's faults on scripted bucket paths: a loaded bucket coming over
// the cab counts once a pass, however long it lingers at the cab's edge; a
// touch (a part resting against the truck, its contacts coming and going
// from step to step, scripted and in a live world) counts once until the
// part has been clear, as a hopper's wall's or a post's; a dump counts as
// high by where it begins.
TEST(ExerciseTest, TruckFaultsCountPassesTouchesAndDumpsOnce)
{
    TruckShape truck;
    truck.bodyLength = 3.6;
    truck.bodyWidth = 2.2;
    truck.rimY = 2.0;
    truck.cabX = 2.8;
    truck.cabLength = 1.6;
    truck.cabWidth = 2.0;
    truck.cabTopY = 2.1;
    truck.releaseAbove = 1.0;
    // A leg: steps from one bucket place (its middle) to another, the load
    // going from one figure to another; `flicker` alternates the places (or
    // the touch) every step instead.
    struct Leg {
        int steps;
        double x0, x1, y;
        int load0, load1;
        bool touching = false, flicker = false, inSoil = false;
    };
    const double low = 2.4, high = 3.6;  // the bucket's middle, its corners 0.1 below
    const Leg toCab{300, 0.0, 5.0, high, 30, 30}, back{300, 5.0, 0.0, high, 30, 30};
    const struct Case {
        const char* what;
        std::vector<Leg> legs;
        int64_t passes, hits, highDumps;
        std::vector<HeldLever> live = {};  // the machine in a world, its levers held so
    } cases[] = {
        {"loaded, over the cab and back twice", {toCab, back, toCab, back}, 4, 0, 0},
        {"empty, over the cab and back", {{300, 0, 5, high, 0, 0}, {300, 5, 0, high, 0, 0}}, 0, 0, 0},
        {"crumbs over the cab", {{300, 0, 5, high, 2, 2}}, 0, 0, 0},
        {"loaded, lingering at the cab's edge", {{2000, 1.6, 1.8, high, 30, 30, false, true}}, 1, 0, 0},
        {"resting against the truck, away, back",
         {{2000, 0, 0, low, 30, 30, true, true}, {200, 0, 0, low, 30, 30}, {100, 0, 0, low, 30, 30, true}}, 0, 2, 0},
        {"resting against the truck, away too briefly",
         {{2000, 0, 0, low, 30, 30, true, true}, {50, 0, 0, low, 30, 30}, {100, 0, 0, low, 30, 30, true}}, 0, 1, 0},
        {"dumped low over the body", {{300, 0, 0, low + 0.5, 30, 0}}, 0, 0, 0},
        {"dumped high, rising as it empties", {{300, 0, 0, high, 30, 20}, {300, 0, 0, high + 1, 20, 0}}, 0, 0, 1},
        {"two loads dumped high",
         {{300, 0, 0, high, 30, 0}, {300, 0, 0, high, 0, 30, false, false, true}, {300, 0, 0, high, 30, 0}}, 0, 0, 2},
        {"begun low, ending high", {{300, 0, 0, low, 30, 20}, {300, 0, 0, high + 1, 20, 0}}, 0, 0, 0},
        {"shed high beside the truck", {{300, 0, 0, high, 30, 30}, {300, -6, -6, high, 30, 10}}, 0, 0, 0},
        {"slewed into the truck, held against it, away and back", {}, 0, 2, 0,
         {{kBoomMinus, 0.0, 0.5}, {kSlewPlus, 2.0, 6.0}, {kSlewMinus, 6.0, 7.0}, {kSlewPlus, 7.5, 11.0}}},
    };
    // In a world the machine's contacts with the truck come and go from
    // step to step while it rests against it.
    const auto live = [](const std::vector<HeldLever>& levers) {
        World world;
        Exercise exercise;
        std::string error;
        EXPECT_TRUE(loadExercise(exercisePath("data/", "truck"), exercise, error, &world.terrain())) << error;
        const Scenario script{"levers", "", nullptr, levers, 11.0};
        ScenarioRun run(world, script);
        ExerciseRun session(world, exercise);
        run.exercise = &session;
        run.run(script.seconds);
        return session.save().truck;
    };
    for (const Case& c : cases) {
        TruckFaults f = c.live.empty() ? TruckFaults() : live(c.live);
        for (const Leg& leg : c.legs)
            for (int i = 0; i < leg.steps; ++i) {
                const double s = leg.flicker ? i % 2 : double(i) / leg.steps;
                const double x = leg.x0 + (leg.x1 - leg.x0) * s;
                std::vector<Vector3> corners;
                for (double dx : {-0.3, 0.3})
                    for (double dz : {-0.5, 0.5})
                        corners.emplace_back(x + dx, leg.y - 0.1, dz);
                const int load = static_cast<int>(std::lround(leg.load0 + (leg.load1 - leg.load0) * double(i + 1) / leg.steps));
                const bool touching = leg.touching && !(leg.flicker && i % 3 == 0);
                watchTruck(f, truck, {corners, load, leg.inSoil, touching}, 0.003);
            }
        EXPECT_EQ(f.cabPasses, c.passes) << c.what;
        EXPECT_EQ(f.hits, c.hits) << c.what;
        EXPECT_EQ(f.highReleases, c.highDumps) << c.what;
    }
}

// The reference operator, keys only, meets every shipped exercise's goal in
// its time with no fault, and no soil is lost or made on the way: a change
// to digging, contacts or the meters that breaks an exercise shows here. A
// scripted operator that swings a load over the truck's cab four times is
// counted four passes, and neither dumps a load high. The report files and
// the progress page are written for others to read.
TEST(ExerciseTest, TheReferenceOperatorMeetsEveryGoal)
{
    const std::pair<const char*, const char*> runs[] = {
        {"trench", "reference"}, {"hopper", "reference"}, {"precision", "reference"},
        {"truck", "reference"},  {"truck", "cab-passes"}};
    const mode_t wasMask = umask(022);
    for (const auto& [name, script] : runs) {
        World world;
        Exercise exercise;
        std::string error;
        ASSERT_TRUE(loadExercise(exercisePath("data/", name), exercise, error, &world.terrain())) << error;
        ScenarioRun run(world, findExerciseOperator(script)->scenario);
        ExerciseRun session(world, exercise);
        run.exercise = &session;
        while (!session.ended() && run.time < exercise.timeLimit + 1.0)
            run.step();
        EXPECT_EQ(session.endReason, "goal met") << name << " at " << run.time << " s";
        EXPECT_EQ(run.worstBalance, 0) << name;
        EXPECT_FALSE(run.nan) << name;
        if (exercise.kind == "truck") {
            const bool faulty = std::string(script) == "cab-passes";
            EXPECT_EQ(session.metrics["cab_passes"], faulty ? 4.0 : 0.0) << script;
            EXPECT_EQ(session.metrics["truck_hits"] + session.metrics["high_releases"], 0.0) << script;
        }
        // Two reports in one second: both kept whole, the later numbered.
        const std::string dir = testfiles::scratchDir("reports");
        std::string first, second;
        ASSERT_TRUE(session.writeReport(dir, "T", "", error, &first)) << error;
        ASSERT_TRUE(session.writeReport(dir, "T", "", error, &second)) << error;
        EXPECT_EQ(second, dir + "/T-" + name + "-2.json");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 6);
        for (const std::string& path : {first, second})
            EXPECT_EQ(nlohmann::json::parse(std::ifstream(path))["total"], totalScore(exercise, session.metrics));
        const std::string page = first.substr(0, first.size() - 5) + ".html";
        expectPicturesOfTheReport(readTextFile(page, 1 << 24, "Test"), nlohmann::json::parse(std::ifstream(first)));
        // The progress page: both attempts, their totals drawn as the line.
        std::ostringstream notes;
        const std::string index = readTextFile(writeProgressIndex(dir, "Progress", notes), 1 << 24, "Test");
        EXPECT_EQ(notes.str(), "");
        const double total = totalScore(exercise, session.metrics);
        expectLine(index, std::string("totals-") + name, std::string("totals-") + name, {1.0, 2.0}, {total, total});
        // Written to be shared, as the umask allows, not kept to their owner.
        for (const auto& file : std::filesystem::directory_iterator(dir))
            EXPECT_EQ(static_cast<int>(file.status().permissions() & std::filesystem::perms::all), 0644)
                << file.path();
    }
    umask(wasMask);
}
