// kelvarro-scenario NAME [--seconds S] [--csv FILE] [--picture FILE.bmp [--picture-at S]]
// kelvarro-scenario --replay FILE [--csv OUT] [--until-step N] [--force]
// Run in the folder that holds data/; no display is needed. Builds the real
// world, steps it as fast as it goes through the named scenario and prints
// one summary line; the trace goes to FILE. With a picture (which needs a
// display), the world is also drawn in the simulator's 1024 x 768 window and
// one frame of it is saved at the end of the run, or at the given time.
#include <SDL.h>

#include <chrono>
#include <cmath>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "app/Camera.h"
#include "app/Engine.h"
#include "app/Scene.h"
#include "app/SimulationWindow.h"
#include "base/EntryPoint.h"
#include "base/Error.h"
#include "base/Names.h"
#include "excavator/Excavator.h"
#include "input/ExcavatorController.h"
#include "input/InputSystem.h"
#include "input/SessionPlayer.h"
#include "input/SessionReader.h"
#include "terrain/VoxelWorld.h"
#include "world/World.h"
#include "tools/FramePicture.h"
#include "tools/ToolArguments.h"
#include "tools/scenario/ExerciseOperators.h"
#include "tools/scenario/Scenario.h"
#include "exercise/ExerciseRun.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;

int usage()
{
    std::cerr << "usage: kelvarro-scenario NAME [--seconds S] [--csv FILE] [--soil NAME] [--picture FILE.bmp [--picture-at S]]\n"
                 "       kelvarro-scenario --replay FILE [--csv OUT] [--until-step N] [--force]\n"
                 "       kelvarro-scenario --exercise NAME --operator SCRIPT [--seconds S] [--csv FILE]\n"
                 "                         [--report FOLDER [--trainee NAME]] [--soil NAME]\n"
                 "                         [--picture FILE.bmp [--picture-at S] [--picture-eye X,Y,Z]\n"
                 "                         [--picture-ground FILE.txt]]\n"
                 "scenarios:\n";
    for (const Scenario& s : scenarioTable())
        std::cerr << "  " << s.name << " (" << s.seconds << " s): " << s.about << "\n";
    std::cerr << "exercise operators:\n";
    for (const ExerciseOperator& o : exerciseOperators())
        std::cerr << "  " << o.name << ": " << o.about << "\n";
    return 1;
}

// The ground of the named soil (none: the file's default); an unknown name
// is one message and false.
bool groundOf(World& world, const std::string& soil)
{
    if (soil.empty() || world.chooseSoil(soil))
        return true;
    std::cerr << "[Scenario] Unknown soil '" << soil << "'; data/soils.json has:";
    for (const SoilType& s : world.soils.soils)
        std::cerr << " " << s.name;
    std::cerr << "\n";
    return false;
}

struct PictureWindow : SimulationWindow {
    PictureWindow() : SimulationWindow("Kelvarro", kWidth, kHeight, 32, false) {}
    void stop() override {}
    void togglePause() override {}
};

// The follow view of the landed machine, the eye raised and drawn back
// behind it on its cab side, so that the ground it works ahead and beside
// it is in the picture too. The caption shows the work figures, as the
// simulator's does.
// The view and the drawn ground's columns within 12 m of the machine, as
// text beside a picture, for measuring it: "eye", "center", "up" lines,
// then one "column x y z soil" line each.
bool writeGround(const Scene& scene, const std::string& path)
{
    std::ofstream out(path);
    const ViewPose& v = scene.snapshot.view;
    out.precision(9);
    out << "fovy 60 aspect " << double(kWidth) / kHeight << "\n";
    for (const auto& [name, p] : {std::pair{"eye", v.eye}, {"center", v.center}, {"up", v.up}})
        out << name << " " << p.x << " " << p.y << " " << p.z << "\n";
    const VoxelWorld& surface = *scene.snapshot.surface;
    const Vector3 m = scene.snapshot.machine.position;
    for (int b = 0; b < terrain::kBlocks * terrain::kBlocks; ++b)
        for (int k = 0; k < terrain::kColumns * terrain::kColumns; ++k) {
            const TerrainColumn& c = *surface.block(b).refs[k];
            if (std::abs(c.position[0] - m.x) < 12.0 && std::abs(c.position[2] - m.z) < 12.0)
                out << "column " << c.position[0] << " " << c.position[1] << " " << c.position[2] << " " << c.soil
                    << "\n";
        }
    return static_cast<bool>(out);
}

// Where an exercise's picture may be seen from instead (the view still
// looks at the machine), and the text of its ground beside it.
struct PictureView {
    bool placed = false;
    Vector3 eye;
    std::string groundPath;
};

// "x,y,z": three finite numbers, nothing else.
bool readPlacement(const char* text, PictureView& view)
{
    double v[3];
    int used = 0;
    if (std::sscanf(text, "%lf,%lf,%lf%n", &v[0], &v[1], &v[2], &used) != 3 || text[used] != '\0')
        return false;
    for (double x : v)
        if (!std::isfinite(x))
            return false;
    view.placed = true;
    view.eye = Vector3(v[0], v[1], v[2]);
    return true;
}

bool savePicture(World& world, const std::string& path, double time, const ExerciseRun* exercise = nullptr,
                 const PictureView& placement = PictureView())
{
    Scene scene(world);
    const Excavator& e = *world.excavator;
    Vector3 forward = rotate({1, 0, 0}, e.orientation);
    forward.y = 0.0;
    normalize(forward);
    const Vector3 cabSide(forward.z, 0.0, -forward.x);
    Camera& camera = *scene.camera;
    camera.viewMode = 0;
    camera.startView = false;
    camera.center = e.position;
    camera.eye = e.position - 10.0 * forward + 6.0 * cabSide + Vector3(0.0, 9.0, 0.0);
    if (placement.placed)
        camera.eye = placement.eye;
    const std::string caption = Engine::workCaption(world.work);
    SDL_WM_SetCaption(caption.c_str(), nullptr);
    scene.capture();
    if (exercise) {
        scene.figures.exerciseLines = exercise->overlayLines();
        scene.groundMarks = exercise->groundMarks();
    }
    scene.draw();
    if (!toolpicture::saveFrame(path.c_str(), kWidth, kHeight))
        return false;
    if (!placement.groundPath.empty() && !writeGround(scene, placement.groundPath))
        return false;
    std::printf("picture %s at %.3f s, caption \"%s\"\n", path.c_str(), time, caption.c_str());
    return true;
}

// True, with the reason on standard error, when a picture is asked for
// without a display or a file it can write.
bool pictureRefused(const std::string& picture)
{
    if (picture.empty())
        return false;
    if (!std::getenv("DISPLAY") || !*std::getenv("DISPLAY")) {
        std::cerr << "[Scenario] --picture needs a display, and DISPLAY is not set.\n";
        return true;
    }
    if (!toolpicture::writable(picture.c_str())) {
        std::cerr << "[Scenario] Cannot write " << picture << "\n";
        return true;
    }
    return false;
}

bool writeTrace(const ScenarioRun& run, const std::string& csv)
{
    if (csv.empty())
        return true;
    std::ofstream out(csv);
    run.writeTrace(out);
    if (out)
        return true;
    std::cerr << "[Scenario] Cannot write " << csv << "\n";
    return false;
}

// Replays a session recording into the real world, with no display: the
// recorded events are dispatched before the steps they came before, so the
// trace is the live program's for that session.
int replay(int argc, char** argv)
{
    std::string file, csv;
    double until = -1.0;
    bool force = false;
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--force") {
            force = true;
        } else if (option == "--csv" && i + 1 < argc) {
            csv = argv[++i];
        } else if (option == "--until-step" && i + 1 < argc) {
            if (!toolargs::readDouble(argv[++i], until) || !(until >= 0.0) || until > 1e15 ||
                until != static_cast<double>(static_cast<int64_t>(until)))
                return usage();
        } else if (file.empty() && option.rfind("--", 0) != 0) {
            file = option;
        } else {
            return usage();
        }
    }
    if (file.empty())
        return usage();
    SessionExpectation expected;
    expected.data = dataChecksum("data");
    expected.force = force;
    const Session session = readSession(file, expected, std::cerr);
    World world;
    if (!groundOf(world, session.header.soil))
        return 1;
    const Scenario recorded{"replay", "a session recording", nullptr, {}, 0.0};
    ScenarioRun run(world, recorded);
    // A session of an exercise replays in the world the exercise set up.
    Exercise exercise;
    std::unique_ptr<ExerciseRun> exerciseRun;
    if (!session.header.exercise.empty()) {
        std::string error;
        if (!loadExercise(exercisePath("data/", session.header.exercise), exercise, error, &world.terrain())) {
            std::cerr << error << "\n";
            return 1;
        }
        const SessionHeader& h = session.header;
        if (h.startMoved && !moveStart(exercise, h.startX, h.startZ, h.startHeadingDegrees, world.terrain(), error)) {
            std::cerr << error << "\n";
            return 1;
        }
        exerciseRun = std::make_unique<ExerciseRun>(world, exercise);
        run.startPosition = world.excavator->position;
        run.exercise = exerciseRun.get();
    }
    InputSystem input;
    applySessionSetup(session.header, run.controller, input);
    SessionPlayer player(session);
    const auto begin = std::chrono::steady_clock::now();
    replaySession(input, player, until < 0.0 ? INT64_MAX : static_cast<int64_t>(until), [&] { run.step(); });
    run.steppingSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    if (!writeTrace(run, csv))
        return 1;
    std::cout << run.summary() << std::endl;
    return 0;
}

}  // namespace

// --exercise NAME --operator SCRIPT: the exercise from data/exercises/,
// worked by a scripted operator until it ends or the seconds run out; the
// summary ends with the report's figures.
int runExercise(int argc, char** argv)
{
    std::string name, script, csv, picture, reports, soil, trainee;
    PictureView placement;
    double seconds = -1.0, pictureAt = -1.0;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc)
            return usage();
        const char* value = argv[++i];
        if (option == "--exercise")
            name = value;
        else if (option == "--operator")
            script = value;
        else if (option == "--csv")
            csv = value;
        else if (option == "--report")
            reports = value;
        else if (option == "--soil")
            soil = value;
        else if (option == "--trainee")
            trainee = value;
        else if (option == "--picture")
            picture = value;
        else if (option == "--picture-ground")
            placement.groundPath = value;
        else if (option == "--picture-eye") {
            if (!readPlacement(value, placement))
                return usage();
        } else if (option == "--seconds") {
            if (!toolargs::readDouble(value, seconds) || !(seconds > 0.0) || seconds > 1e6)
                return usage();
        } else if (option == "--picture-at") {
            if (!toolargs::readDouble(value, pictureAt) || !(pictureAt > 0.0))
                return usage();
        } else
            return usage();
    }
    const ExerciseOperator* op = findExerciseOperator(script);
    const bool pictureOption = pictureAt > 0.0 || placement.placed || !placement.groundPath.empty();
    if (name.empty() || !op || (pictureOption && picture.empty()) || (!trainee.empty() && reports.empty()))
        return usage();
    if (pictureRefused(picture) || pictureRefused(placement.groundPath))
        return 1;
    if (!trainee.empty() && !traineeNameFault(trainee).empty()) {
        std::cerr << "[Scenario] " << excerpt(trainee, '\'', 60) << " is not a trainee's name: "
                  << traineeNameFault(trainee) << ".\n";
        return 1;
    }
    {
        std::unique_ptr<PictureWindow> window;
        if (!picture.empty())
            window = std::make_unique<PictureWindow>();
        World world;
        if (!groundOf(world, soil))
            return 1;
        Exercise exercise;
        std::string error;
        if (!loadExercise(exercisePath("data/", name), exercise, error, &world.terrain())) {
            std::cerr << error << "\n";
            return 1;
        }
        ScenarioRun run(world, op->scenario);
        ExerciseRun session(world, exercise);
        session.trainee = trainee;
        run.startPosition = world.excavator->position;
        run.exercise = &session;
        if (seconds < 0.0)
            seconds = exercise.timeLimit + 1.0;
        const int steps = static_cast<int>(std::lround(seconds / ScenarioRun::kStep));
        bool pictured = false;
        while (run.steps < steps && !session.ended()) {
            run.run((run.steps + 1) * ScenarioRun::kStep);
            if (!picture.empty() && !pictured && pictureAt > 0.0 && run.time >= pictureAt) {
                pictured = true;
                if (!savePicture(world, picture, run.time, &session, placement)) {
                    std::cerr << "[Scenario] Cannot write " << picture << "\n";
                    return 1;
                }
            }
        }
        if (!session.ended())
            session.measure();
        if (!picture.empty() && !pictured && !savePicture(world, picture, run.time, &session, placement)) {
            std::cerr << "[Scenario] Cannot write " << picture << "\n";
            return 1;
        }
        if (!csv.empty()) {
            std::ofstream out(csv);
            run.writeTrace(out);
            if (!out) {
                std::cerr << "[Scenario] Cannot write " << csv << "\n";
                return 1;
            }
        }
        if (!reports.empty()) {
            std::string path;
            if (!session.writeReport(trainee.empty() ? reports : reports + "/" + trainee, reportTimeStamp(), "", error,
                                     &path)) {
                std::cerr << error << "\n";
                return 1;
            }
            std::cout << "report " << path << "\n";
        }
        std::cout << run.summary() << std::endl;
    }
    if (!picture.empty())
        SDL_Quit();
    return 0;
}

int runScenario(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    if (std::string(argv[1]) == "--replay")
        return replay(argc, argv);
    if (std::string(argv[1]) == "--exercise")
        return runExercise(argc, argv);
    const Scenario* scenario = findScenario(argv[1]);
    if (!scenario)
        return usage();
    double seconds = scenario->seconds, pictureAt = -1.0;
    std::string csv, picture, soil;
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc)
            return usage();
        const char* value = argv[++i];
        if (option == "--seconds") {
            if (!toolargs::readDouble(value, seconds) || !(seconds > 0.0) || seconds > 1e6)
                return usage();
        } else if (option == "--picture-at") {
            if (!toolargs::readDouble(value, pictureAt) || !(pictureAt > 0.0))
                return usage();
        } else if (option == "--csv") {
            csv = value;
        } else if (option == "--picture") {
            picture = value;
        } else if (option == "--soil") {
            soil = value;
        } else {
            return usage();
        }
    }
    // A time needs a picture, and comes within the run.
    if (pictureAt > 0.0 && (picture.empty() || pictureAt > seconds))
        return usage();
    if (pictureAt < 0.0)
        pictureAt = seconds;
    if (pictureRefused(picture))
        return 1;
    {
        std::unique_ptr<PictureWindow> window;
        if (!picture.empty())
            window = std::make_unique<PictureWindow>();
        World world;
        if (!groundOf(world, soil))
            return 1;
        ScenarioRun run(world, *scenario);
        if (!picture.empty()) {
            run.run(pictureAt);
            if (!savePicture(world, picture, run.time)) {
                std::cerr << "[Scenario] Cannot write " << picture << "\n";
                return 1;
            }
        }
        run.run(seconds);
        if (!writeTrace(run, csv))
            return 1;
        std::cout << run.summary() << std::endl;
    }
    if (!picture.empty())
        SDL_Quit();
    return 0;
}

int main(int argc, char** argv)
{
    return runEntryPoint("Scenario", [&] { return runScenario(argc, argv); });
}
