#include "exercise/ExerciseRun.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "assets/ModelLoader.h"
#include "base/TextFile.h"
#include "excavator/Excavator.h"
#include "excavator/Grade.h"
#include "excavator/SoilLedger.h"
#include "exercise/ExerciseObjects.h"
#include "exercise/ReportPage.h"
#include "physics/Object.h"
#include "math/Quaternion.h"
#include "terrain/Terrain.h"
#include "world/World.h"

namespace {

double groundAt(const Terrain& terrain, double x, double z)
{
    return 1000.0 - terrain.surfaceDistanceBelow(Vector3(x, 1000.0, z));
}

std::string fixed(double v, int decimals)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

}  // namespace

// At rest at (x, z), its arm along the heading, its lowest track corner
// 1 mm above the ground's height there; it settles on the slope.
void placeMachine(Excavator& e, const Terrain& terrain, double x, double z, double headingDegrees)
{
    const double h = headingDegrees * M_PI / 180.0;
    Quaternion q(std::cos(h / 2), 0.0, std::sin(h / 2), 0.0);
    normalize(q);
    auto pose = [&](const Vector3& p) {
        e.position = e.predictedPosition = p;
        e.orientation = e.predictedOrientation = q;
        const Matrix3 r = toMatrix(q);
        e.inverseInertiaWorld = (r * e.inverseInertiaBody) * transpose(r);
        e.predict(0.0);
    };
    pose({x, groundAt(terrain, x, z) + 2.0, z});
    double gap = 1e30;
    for (int part = RightTrack; part <= LeftTrack; ++part)
        for (const Vector3& w : e.meshes[part].workingPositions)
            gap = std::min(gap, w.y - groundAt(terrain, w.x, w.z));
    pose(e.position + Vector3(0.0, 0.001 - gap, 0.0));
    e.momentum = e.velocity = e.angularMomentum = e.angularVelocity = Vector3();
}

ExerciseRun::ExerciseRun(World& world_, const Exercise& exercise_) : world(world_), exercise(exercise_)
{
    Excavator& e = *world.excavator;
    placeMachine(e, world.terrain(), exercise.startX, exercise.startZ, exercise.startHeadingDegrees);
    world.work.reset(e.soilDug, e.bucket.soilCount);
    startSoil = soilLedger(world.terrain(), {&e}).total();
    // Drawn like the rocks: with the first rock's material.
    const Material& stone = world.bodiesOf(BodyRole::Rock).front()->meshes[0].material;
    if (exercise.kind == "trench" || exercise.kind == "hopper" || exercise.kind == "truck") {
        trench = std::make_unique<TrenchMeter>(world.terrain(), exercise.trench);
        e.grade.set = true;
        e.grade.level = trench->gradeLevel();
    }
    if (exercise.kind == "hopper") {
        hopper = std::make_unique<HopperMeter>(world.terrain(), exercise.hopper, exercise.trench);
        hopperBody = &world.addScenery(makeHopper(exercise.hopper, world.terrain(), stone));
    }
    if (exercise.kind == "truck") {
        ModelLoader model;
        model.directory = world.models->directory;
        model.loadFile("truck.obj");
        for (std::unique_ptr<Object>& part : makeTruck(exercise.truck, model, world.terrain(), truckShape))
            truckParts.push_back(&world.addScenery(std::move(part)));
        // The load heaps in the body at the loose soil's angle of repose.
        truckShape.bed.repose = e.soil.loose.friction;
        const size_t bed = world.terrain().addBed(truckShape.bed);
        hopper = std::make_unique<HopperMeter>(world.terrain(), bodyOutline(truckShape, exercise.truck.goalM3),
                                               exercise.trench, static_cast<int>(bed));
    }
    for (const MarkerPost& p : exercise.precision.posts) {
        postTops.push_back(initialGround(world.terrain(), p.x, p.z) + p.height);
        posts.push_back(&world.addScenery(makePost(p, exercise.precision.postWidth, world.terrain(), stone)));
    }
    postFree.assign(posts.size(), kTouchGap);
    measure();
}

ExerciseRun::~ExerciseRun() = default;

ExerciseState ExerciseRun::save() const
{
    return {nextPost,     wallHits, postContacts, metrics, elapsed, endReason,
            sinceMeasure, wallFree, postFree,     series,  truckFaults};
}

void ExerciseRun::restore(const ExerciseState& s)
{
    nextPost = s.nextPost;
    wallHits = s.wallHits;
    postContacts = s.postContacts;
    metrics = s.metrics;
    elapsed = s.elapsed;
    endReason = s.endReason;
    sinceMeasure = s.sinceMeasure;
    wallFree = s.wallFree;
    postFree = s.postFree;
    truckFaults = s.truck;
    series = s.series;
}

void ExerciseRun::sample()
{
    ExerciseSeries& s = series;
    const bool last = ended() && elapsed > s.lastSample;
    if (!last && elapsed < s.lastSample + s.every - 1e-9)
        return;
    s.lastSample = elapsed;
    Vector3 a, b;
    cuttingEdgeEnds(*world.excavator, a, b);
    const Vector3 m = (a + b) * 0.5;
    s.edge.push_back({elapsed, m.x, m.y, m.z});
    const auto delivered = metrics.find("delivered_m3"), spilled = metrics.find("spill_m3");
    if (delivered != metrics.end())
        s.delivery.push_back({elapsed, delivered->second, spilled == metrics.end() ? 0.0 : spilled->second});
    if (s.edge.size() < ExerciseSeries::kMaxSamples)
        return;
    // A long run: half as many samples, twice as far apart.
    const auto thin = [](auto& rows) {
        for (size_t i = 0; 2 * i < rows.size(); ++i)
            rows[i] = rows[2 * i];
        rows.resize((rows.size() + 1) / 2);
    };
    thin(s.edge);
    thin(s.delivery);
    s.every *= 2.0;
}

void ExerciseRun::measure()
{
    metrics["time_s"] = elapsed;
    metrics["time_left_s"] = std::max(0.0, exercise.timeLimit - elapsed);
    if (exercise.kind == "trench")
        trench->measure(metrics);
    if (hopper) {
        hopper->measure(metrics);
        if (hopperBody)
            metrics["wall_hits"] = static_cast<double>(wallHits);
        const WorkMeter& w = world.work;
        metrics["cycles"] = static_cast<double>(w.cycles);
        metrics["last_cycle_s"] = std::max(0.0, w.lastCycleSeconds());
        metrics["phase_dig_s"] = w.lastCyclePhases().dig;
        metrics["phase_swing_loaded_s"] = w.lastCyclePhases().swingLoaded;
        metrics["phase_dump_s"] = w.lastCyclePhases().dump;
        metrics["phase_swing_back_s"] = w.lastCyclePhases().swingBack;
    }
    if (!truckParts.empty()) {
        metrics["cab_passes"] = static_cast<double>(truckFaults.cabPasses);
        metrics["truck_hits"] = static_cast<double>(truckFaults.hits);
        metrics["high_releases"] = static_cast<double>(truckFaults.highReleases);
    }
    sample();
    if (!posts.empty()) {
        metrics["markers_reached"] = static_cast<double>(nextPost);
        metrics["markers_missed"] = static_cast<double>(posts.size() - nextPost);
        metrics["post_contacts"] = static_cast<double>(postContacts);
    }
}

// Every step: a new touch of the hopper's walls by the bucket, of a post's
// side by any part, and the cutting edge at the next post's top.
void ExerciseRun::watchContacts()
{
    const Excavator& e = *world.excavator;
    if (hopperBody) {
        bool touching = false;
        for (const Contact& c : world.contacts(e, *hopperBody))
            touching |= c.meshA == &e.meshes[GroundPlate] || c.meshB == &e.meshes[GroundPlate];
        countTouch(wallHits, wallFree, touching, world.lastStep.dt);
    }
    if (!truckParts.empty()) {
        bool touching = false;
        for (const Object* part : truckParts)
            touching |= !world.contacts(e, *part).empty();
        watchTruck(truckFaults, truckShape,
                   {e.meshes[GroundPlate].workingPositions, e.bucket.soilCount, e.bucketInSoil, touching},
                   world.lastStep.dt);
    }
    for (size_t i = 0; i < posts.size(); ++i) {
        bool side = false;
        for (const Contact& c : world.contacts(e, *posts[i]))
            side |= std::fabs(c.normal.y) < 0.7;  // not the top's
        countTouch(postContacts, postFree[i], side, world.lastStep.dt);
    }
    if (nextPost < posts.size()) {
        const MarkerPost& p = exercise.precision.posts[nextPost];
        const Vector3 top(p.x, postTops[nextPost], p.z);
        Vector3 a, b;
        cuttingEdgeEnds(e, a, b);
        const Vector3 ab = b - a;
        const double s = std::clamp(dot(top - a, ab) / std::max(dot(ab, ab), 1e-12), 0.0, 1.0);
        if (length(a + ab * s - top) <= exercise.precision.touchWithin)
            ++nextPost;
    }
}

bool ExerciseRun::goalMet()
{
    if (exercise.kind == "trench")
        return metrics["left_above_grade_m3"] <= exercise.trench.finishLeftM3;
    if (exercise.kind == "hopper")
        return metrics["delivered_m3"] >= exercise.hopper.goalM3;
    if (exercise.kind == "truck")
        return metrics["delivered_m3"] >= exercise.truck.goalM3;
    return nextPost >= posts.size();
}

void ExerciseRun::update(double step)
{
    if (ended())
        return;
    elapsed += step;
    sinceMeasure += step;
    watchContacts();
    if (world.work.cycles > static_cast<int64_t>(series.cycles.size()))
        series.cycles.push_back(world.work.lastCyclePhases());
    if (sinceMeasure + 1e-9 < kMeasureEvery && elapsed < exercise.timeLimit)
        return;
    sinceMeasure = 0.0;
    measure();
    if (goalMet())
        end("goal met");
    else if (elapsed >= exercise.timeLimit)
        end("time up");
}

void ExerciseRun::endByOperator()
{
    if (ended())
        return;
    measure();
    end("ended by the operator");
}

void ExerciseRun::end(const char* reason)
{
    endReason = reason;
    sample();  // the path and the delivery up to the end
}

std::vector<Vector3> ExerciseRun::groundMarks() const
{
    std::vector<Vector3> marks;
    if (!trench)
        return marks;  // the posts mark themselves
    double xz[4][2];
    trench->corners(xz);
    for (const auto& c : xz)
        marks.emplace_back(c[0], groundAt(world.terrain(), c[0], c[1]), c[1]);
    return marks;
}

std::vector<std::string> ExerciseRun::overlayLines() const
{
    std::vector<std::string> lines = {exercise.name + ": " + exercise.instructions};
    const auto get = [&](const char* k) {
        const auto f = metrics.find(k);
        return f == metrics.end() ? 0.0 : f->second;
    };
    if (exercise.kind == "hopper")
        lines.push_back("Delivered " + fixed(get("delivered_m3"), 2) + " of " + fixed(exercise.hopper.goalM3, 2) +
                        " m3, spilled " + fixed(get("spill_m3"), 2) + " m3 (" + fixed(get("spill_pct"), 0) +
                        "%), wall hits " + fixed(get("wall_hits"), 0));
    if (exercise.kind == "truck")
        lines.push_back("Delivered " + fixed(get("delivered_m3"), 2) + " of " + fixed(exercise.truck.goalM3, 2) +
                        " m3, spilled " + fixed(get("spill_m3"), 2) + " m3 (" + fixed(get("spill_pct"), 0) +
                        "%), over the cab " + fixed(get("cab_passes"), 0) + ", strikes " +
                        fixed(get("truck_hits"), 0) + ", high dumps " + fixed(get("high_releases"), 0));
    if (exercise.kind == "precision")
        lines.push_back("Markers " + fixed(get("markers_reached"), 0) + " of " +
                        std::to_string(posts.size()) + ", contacts with posts " +
                        fixed(get("post_contacts"), 0));
    const double target = trench ? trench->targetVoxels() * std::pow(0.34375, 3) : 0.0;
    if (exercise.kind == "trench")
        lines.push_back("Dug to grade " + fixed(get("dug_to_grade_m3"), 2) + " of " + fixed(target, 2) + " m3, left " +
                    fixed(get("left_above_grade_m3"), 2) + " m3, over-dig " + fixed(get("overdig_m3"), 2) +
                    " m3, outside " + fixed(get("dug_outside_m3"), 2) + " m3");
    if (ended())
        lines.push_back("Exercise over (" + endReason + "): score " + fixed(totalScore(exercise, metrics), 1));
    else
        lines.push_back("Time left " + fixed(std::max(0.0, exercise.timeLimit - elapsed), 0) +
                        " s - score now " + fixed(totalScore(exercise, metrics), 1) + " - e ends it");
    return lines;
}

std::string ExerciseRun::reportJson(const std::string& startTime, const std::string& recordingFile) const
{
    nlohmann::ordered_json doc;
    doc["exercise"] = exercise.name;
    doc["file"] = exercise.file;
    doc["start_time"] = startTime;
    doc["end"] = ended() ? endReason : "running";
    doc["recording"] = recordingFile.empty() ? "none" : recordingFile;
    if (!trainee.empty())
        doc["trainee"] = trainee;
    doc["time_s"] = elapsed;
    if (trench)
        doc["grade_level_m"] = trench->gradeLevel();
    for (const auto& [name, value] : metrics)
        doc["metrics"][name] = value;
    doc["base_score"] = exercise.baseScore;
    for (const ScoreRule& r : exercise.rules) {
        nlohmann::ordered_json rule;
        rule["metric"] = r.metric;
        rule[r.bonus ? "bonus" : "points_per_unit"] = r.points;
        rule["allowance"] = r.allowance;
        rule["value"] = metrics.count(r.metric) ? metrics.at(r.metric) : 0.0;
        rule["points"] = rulePoints(r, metrics);
        doc["rules"].push_back(rule);
    }
    doc["total"] = totalScore(exercise, metrics);
    // The soil's places in voxel units, the hopper's share of the ground
    // (or the truck's bed) shown as an account of its own; the balance
    // against the start is 0 when no soil was lost or made.
    const SoilLedger l = soilLedger(world.terrain(), {world.excavator});
    int64_t delivered = 0, spilled = 0;
    if (hopper)
        hopper->count(delivered, spilled);
    doc["soil_ledger"] = {{"ground", l.ground + l.beds - delivered}, {truckParts.empty() ? "hopper" : "truck", delivered},
                          {"loose", l.loose},          {"gone", l.gone},
                          {"buckets", l.buckets},      {"balance", l.total() - startSoil}};
    const CyclePhases& p = world.work.lastCyclePhases();
    doc["cycles"]["count"] = world.work.cycles;
    doc["cycles"]["moved_m3"] = world.work.movedM3();
    doc["cycles"]["last_cycle_s"] = world.work.lastCycleSeconds();
    doc["cycles"]["last_phases_s"] = {{"dig", p.dig}, {"swing_loaded", p.swingLoaded}, {"dump", p.dump},
                                      {"swing_back", p.swingBack}};
    doc["cycles"]["m3_per_h"] = world.work.cubicMetresPerHour();
    for (const CyclePhases& c : series.cycles)
        doc["cycles"]["phases_s"].push_back({c.dig, c.swingLoaded, c.dump, c.swingBack});
    addSeries(doc);
    // Replaced, not thrown: a recording's path need not be UTF-8.
    return doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

// What the report's pictures are drawn from, so that they can be checked
// against it and drawn again: the start, the marked outlines, the edge's
// path, the delivery and the trench's profiles.
void ExerciseRun::addSeries(nlohmann::ordered_json& doc) const
{
    doc["start"] = {{"x", exercise.startX}, {"z", exercise.startZ}, {"heading_deg", exercise.startHeadingDegrees}};
    const auto outline = [&](const char* name, double xz[4][2]) {
        nlohmann::ordered_json corners;
        for (int i = 0; i < 4; ++i)
            corners.push_back({xz[i][0], xz[i][1]});
        doc["outlines"][name] = corners;
    };
    double xz[4][2];
    if (trench) {
        trench->corners(xz);
        outline(exercise.kind == "trench" ? "trench" : "dig_area", xz);
    }
    if (hopper) {
        hopper->corners(xz);
        outline("hopper", xz);
    }
    for (size_t i = 0; i < exercise.precision.posts.size(); ++i)
        doc["posts"].push_back({exercise.precision.posts[i].x, exercise.precision.posts[i].z, postTops[i]});
    doc["series"]["every_s"] = series.every;
    doc["series"]["edge"] = series.edge;
    if (!series.delivery.empty())
        doc["series"]["delivery"] = series.delivery;
    if (exercise.kind != "trench")
        return;
    const TrenchTarget& t = exercise.trench;
    doc["profiles"]["half_length_m"] = t.length / 2;
    doc["profiles"]["half_width_m"] = t.width / 2;
    doc["profiles"]["on_grade_within_m"] = TrenchMeter::kOnFloor;
    for (const bool across : {false, true})
        for (const TrenchMeter::ProfilePoint& p : trench->profile(across))
            doc["profiles"][across ? "across" : "along"].push_back({p.offset, p.before, p.now});
}

std::string ExerciseRun::reportText(const std::string& startTime, const std::string& recordingFile) const
{
    std::string s = "Exercise: " + exercise.name + " (" + exercise.file + ")\n";
    if (!trainee.empty())
        s += "Trainee: " + trainee + "\n";
    s += "Started: " + startTime + "\n";
    s += "Ended: " + (ended() ? endReason : std::string("running")) + " after " + fixed(elapsed, 1) + " s\n";
    s += "Recording: " + (recordingFile.empty() ? std::string("none") : recordingFile) + "\n\nMetrics\n";
    for (const auto& [name, value] : metrics)
        s += "  " + name + std::string(name.size() < 22 ? 22 - name.size() : 1, ' ') + fixed(value, 3) + "\n";
    s += "\nRules\n  base score " + fixed(exercise.baseScore, 1) + "\n";
    for (const ScoreRule& r : exercise.rules)
        s += "  " + r.metric + (r.bonus ? " at least " : " allowance ") + fixed(r.allowance, 3) +
             (r.bonus ? ", bonus " : ", per unit over ") + fixed(r.points, 1) + ": " +
             fixed(rulePoints(r, metrics), 2) + " points\n";
    s += "\nTotal " + fixed(totalScore(exercise, metrics), 2) + "\n";
    const SoilLedger l = soilLedger(world.terrain(), {world.excavator});
    s += "Soil balance " + std::to_string(l.total() - startSoil) + " voxel units (0: none lost or made)\n";
    const CyclePhases& p = world.work.lastCyclePhases();
    s += "\nCycles " + std::to_string(world.work.cycles) + ", moved " + fixed(world.work.movedM3(), 2) +
         " m3, last cycle " + fixed(world.work.lastCycleSeconds(), 1) + " s: dig " + fixed(p.dig, 1) +
         " s, swing loaded " + fixed(p.swingLoaded, 1) + " s, dump " + fixed(p.dump, 1) + " s, swing back " +
         fixed(p.swingBack, 1) + " s\n";
    return s;
}

ReportFiles ExerciseRun::composeReport(const std::string& directory, const std::string& startTime,
                                       const std::string& recordingFile) const
{
    return {directory, directory + "/" + startTime + "-" + exercise.name, reportJson(startTime, recordingFile),
            reportText(startTime, recordingFile)};
}

bool writeReportFiles(const ReportFiles& report, std::string& error, std::string* jsonPath)
{
    std::error_code made;
    std::filesystem::create_directories(report.directory, made);
    // Two reports in one second: the later one gets a number.
    for (int n = 1; n <= 100; ++n) {
        const std::string stem = report.stem + (n > 1 ? "-" + std::to_string(n) : "");
        const std::string jsonName = std::filesystem::path(stem + ".json").filename().string();
        const std::pair<std::string, std::string> files[] = {{stem + ".json", report.json},
                                                             {stem + ".txt", report.text},
                                                             {stem + ".html", reportPage(report.json, jsonName)}};
        // All three, or none.
        NewFile result = NewFile::Made;
        size_t written = 0;
        for (; written < 3 && result == NewFile::Made; ++written)
            result = makeNewFile(files[written].first, files[written].second);
        const int fault = errno;
        if (result != NewFile::Made)
            for (size_t i = 0; i + 1 < written; ++i)
                std::remove(files[i].first.c_str());
        errno = fault;
        if (result == NewFile::Taken)
            continue;
        if (result == NewFile::Failed) {
            error = "[ExerciseRun] Cannot write " + stem + ".json, .txt and .html: " + std::strerror(errno) + ".";
            return false;
        }
        if (jsonPath)
            *jsonPath = stem + ".json";
        return true;
    }
    error = "[ExerciseRun] Cannot write a report in " + report.directory + ": 100 of this second's names are taken.";
    return false;
}

bool ExerciseRun::writeReport(const std::string& directory, const std::string& startTime,
                              const std::string& recordingFile, std::string& error, std::string* jsonPath) const
{
    return writeReportFiles(composeReport(directory, startTime, recordingFile), error, jsonPath);
}

std::string reportTimeStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H-%M-%S", &utc);
    return text;
}
