// Runs for a sweep: a scripted operator (or a scenario) worked in a world
// built or reset for it, every drive it gives recorded as the events of a
// session; and a recorded session replayed headless and scored under the
// rules of a given exercise file. Each returns one dict of figures; faults are kelvarro.Error.
#include "python/BatchBinding.h"
#include "python/RunCache.h"

#include <pybind11/stl.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/Error.h"
#include "excavator/Excavator.h"
#include "exercise/Exercise.h"
#include "exercise/ExerciseRun.h"
#include "input/ExcavatorController.h"
#include "input/InputSystem.h"
#include "input/SessionFormat.h"
#include "input/SessionPlayer.h"
#include "input/SessionReader.h"
#include "tools/scenario/ExerciseOperators.h"
#include "tools/scenario/Scenario.h"
#include "world/World.h"

namespace py = pybind11;

namespace {

// Writes the whole text under a temporary name and renames it over `path`:
// a task that is run again (its worker died) replaces its own file.
void writeWhole(const std::string& path, const std::string& text)
{
    std::error_code made;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), made);
    const std::string part = path + ".part";
    std::ofstream file(part, std::ios::binary);
    file << text;
    file.close();
    std::error_code renamed;
    if (file)
        std::filesystem::rename(part, path, renamed);
    if (!file || renamed)
        throw Error("Batch", "cannot write " + path);
}

// A run over a prepared world, its exercise (if any) fed after every step,
// as kelvarro-scenario runs it.
struct Attached {
    PreparedWorld& prepared;
    ScenarioRun run;

    Attached(PreparedWorld& p, const Scenario& scenario) : prepared(p), run(*p.world, scenario)
    {
        run.exercise = p.run.get();
    }
    bool ended() const { return run.exercise && run.exercise->ended(); }
};

// Hands the machine's given drives to a list while it lives.
struct DriveLog {
    Excavator& machine;
    std::vector<std::pair<Drive, float>> given;
    explicit DriveLog(Excavator& e) : machine(e) { machine.givenDrives = &given; }
    ~DriveLog() { machine.givenDrives = nullptr; }
    DriveLog(const DriveLog&) = delete;
    DriveLog& operator=(const DriveLog&) = delete;
};

// The session's lines after its header: quiet stretches get a sync line
// each second of world time, as the reader wants lines at most a minute apart.
class EventLines {
public:
    void add(int64_t step, const SDL_Event& event)
    {
        reach(step);
        appendEventLine(text, step, event);
    }
    std::string close(int64_t steps)
    {
        reach(steps);
        return text + std::to_string(steps) + " end\n";
    }

private:
    void reach(int64_t step)
    {
        syncQuietStretch(last, step, [this](int64_t at) { text += std::to_string(at) + " sync\n"; });
        last = step;
    }
    std::string text;
    int64_t last = 0;
};

SessionHeader headerOf(const PreparedWorld& s, const std::string& exerciseName)
{
    SessionHeader h;
    h.program = programVersion();
    h.data = s.dataChecksum;
    h.started = sessionTime(static_cast<int64_t>(std::time(nullptr)));
    h.exercise = exerciseName;
    h.soil = s.soil;
    if (s.start) {
        h.startMoved = true;
        std::tie(h.startX, h.startZ, h.startHeadingDegrees) = *s.start;
    }
    for (int d = 0; d < kDriveCount; ++d)
        h.axes[axisKey(SDL_JOYAXISMOTION, 0, static_cast<uint8_t>(d))] = axisPartName(static_cast<Drive>(d));
    return h;
}

void writeTrace(const ScenarioRun& run, const std::string& path)
{
    std::ostringstream out;
    run.writeTrace(out);
    writeWhole(path, out.str());
}

// Each rule's points by its metric (a bonus as METRIC_bonus); two rules on
// one metric add up.
std::map<std::string, double> pointsOf(const Exercise& exercise, const Metrics& metrics)
{
    std::map<std::string, double> points;
    for (const ScoreRule& r : exercise.rules)
        points[r.metric + (r.bonus ? "_bonus" : "")] += rulePoints(r, metrics);
    return points;
}

// What every run returns: its figures, its exercise's metrics and points.
py::dict figures(const Attached& a, double steppingSeconds)
{
    const ScenarioRun& run = a.run;
    py::dict d;
    d["steps"] = run.steps;
    d["simulated_s"] = run.time;
    d["stepping_s"] = steppingSeconds;
    d["soil_balance"] = sceneSoil(run.world).total() - run.startSoil;
    d["worst_balance"] = run.worstBalance;
    d["moved_m3"] = run.world.work.movedM3();
    d["cycles"] = run.world.work.cycles;
    d["metrics"] = py::dict();
    d["points"] = py::dict();
    if (const ExerciseRun* e = run.exercise) {
        d["metrics"] = e->metrics;
        d["points"] = pointsOf(e->exercise, e->metrics);
        d["score"] = totalScore(e->exercise, e->metrics);
        d["end"] = e->endReason;
    }
    return d;
}

// Runs for one process: the worlds it built are kept for its next runs.
class BatchRunner {
public:
    explicit BatchRunner(size_t worlds) : cache(worlds) {}

    // A scripted operator on an exercise (or a scenario of the table on the
    // bare world), recorded to `recording`; the report beside `reportStem`.
    py::dict scripted(const std::string& data, const std::string& exerciseName, const std::string& exerciseFile,
                      const std::string& script, double seconds, const std::string& soil, const StartPlace& start,
                      const std::string& recording, const std::string& reportStem, const std::string& tracePath)
    {
        py::gil_scoped_release unlocked;
        const bool withExercise = !exerciseFile.empty();
        const Scenario* scenario = nullptr;
        if (withExercise) {
            const ExerciseOperator* op = findExerciseOperator(script);
            scenario = op ? &op->scenario : nullptr;
        } else {
            scenario = findScenario(script);
            // A replay does not run a scenario's own set-up: only those without one are recorded.
            if (scenario && scenario->setUp)
                throw Error("Batch", "the scenario '" + script + "' sets its machine up in code; its run cannot "
                                     "be recorded as a session");
        }
        if (!scenario)
            throw Error("Batch", "no operator or scenario '" + script + "'");
        Attached a(cache.prepare(data, exerciseFile, soil, start), *scenario);
        World& world = *a.prepared.world;
        if (seconds <= 0.0)
            seconds = withExercise ? a.prepared.exercise.timeLimit + 1.0 : scenario->seconds;
        const int64_t steps = std::llround(seconds / ScenarioRun::kStep);

        DriveLog log(*world.excavator);
        EventLines lines;
        const auto begin = std::chrono::steady_clock::now();
        while (a.run.steps < steps && !a.ended()) {
            const int64_t before = world.stepCount;
            a.run.step();
            for (const auto& g : log.given)
                lines.add(before, driveEvent(g.first, g.second));
            log.given.clear();
        }
        const double stepping = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        if (a.run.exercise && !a.run.exercise->ended())
            a.run.exercise->measure();

        if (!recording.empty())
            writeWhole(recording, headerText(headerOf(a.prepared, withExercise ? exerciseName : "")) +
                                      lines.close(world.stepCount));
        if (!tracePath.empty())
            writeTrace(a.run, tracePath);
        if (a.run.exercise && !reportStem.empty()) {
            const std::string file = std::filesystem::path(recording).filename().string();
            writeWhole(reportStem + ".json", a.run.exercise->reportJson("", file));
            writeWhole(reportStem + ".txt", a.run.exercise->reportText("", file));
        }
        py::gil_scoped_acquire locked;
        return figures(a, stepping);
    }

    // A recorded session of an exercise replayed headless in the world it
    // was made in, scored by the rules of `exerciseFile`.
    py::dict rescore(const std::string& data, const std::string& exerciseFile, const std::string& recording,
                     bool force, const std::string& tracePath)
    {
        py::gil_scoped_release unlocked;
        SessionExpectation expected;
        expected.data = dataChecksum(data);
        expected.force = force;
        std::ostringstream notes;
        const Session session = readSession(recording, expected, notes);
        const SessionHeader& h = session.header;
        if (h.exercise.empty())
            throw Error("Batch", recording + " is not a session of an exercise");
        StartPlace start;
        if (h.startMoved)
            start = std::make_tuple(h.startX, h.startZ, h.startHeadingDegrees);
        const Scenario recorded{"replay", "a session recording", nullptr, {}, 0.0};
        Attached a(cache.prepare(data, exerciseFile, h.soil, start), recorded);
        InputSystem input;
        applySessionSetup(h, a.run.controller, input);
        SessionPlayer player(session);
        const auto begin = std::chrono::steady_clock::now();
        replaySession(input, player, INT64_MAX, [&] { a.run.step(); });
        const double stepping = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        if (!a.run.exercise->ended())
            a.run.exercise->measure();
        if (!tracePath.empty())
            writeTrace(a.run, tracePath);
        py::gil_scoped_acquire locked;
        py::dict d = figures(a, stepping);
        d["note"] = notes.str();
        return d;
    }

    size_t worlds() const { return cache.size(); }

private:
    RunCache cache;
};

}  // namespace

void registerBatch(py::module_& m)
{
    py::class_<BatchRunner>(m, "BatchRunner", "Runs for a sweep, keeping the worlds built for the next runs.")
        .def(py::init<size_t>(), py::arg("worlds") = 16)
        .def("run_scripted", &BatchRunner::scripted, py::arg("data"), py::arg("exercise_name"),
             py::arg("exercise_file"), py::arg("script"), py::arg("seconds"), py::arg("soil"), py::arg("start"),
             py::arg("recording"), py::arg("report_stem"), py::arg("trace"),
             "Runs a scripted operator on an exercise (or a scenario on the bare world), recording it.")
        .def("rescore", &BatchRunner::rescore, py::arg("data"), py::arg("exercise_file"), py::arg("recording"),
             py::arg("force") = false, py::arg("trace") = "",
             "Replays a recorded session headless and scores it under the given exercise file.")
        .def_property_readonly("worlds", &BatchRunner::worlds);
    m.def("score", [](const std::string& exerciseFile, const Metrics& metrics) {
        Exercise e;
        std::string error;
        if (!loadExercise(exerciseFile, e, error))
            throw Error(error);
        return std::make_pair(totalScore(e, metrics), pointsOf(e, metrics));
    }, py::arg("exercise_file"), py::arg("metrics"), "The total and each rule's points for the metrics.");
    m.def("recordable_scenarios", [] {
        std::vector<std::string> names;
        for (const Scenario& s : scenarioTable())
            if (!s.setUp)
                names.push_back(s.name);
        return names;
    }, "The scenarios whose runs a session can replay: those without a set-up of their own.");
    m.def("program_version", [] { return std::string(programVersion()); });
    m.def("data_checksum", [](const std::string& folder) {
        char hex[24];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(dataChecksum(folder)));
        return std::string(hex);
    }, py::arg("folder"), "The data folder's checksum as a recording's header writes it.");
}
