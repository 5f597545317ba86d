#include "app/Engine.h"

#include <cstdio>
#include <iostream>

#include "app/Scene.h"
#include "app/SessionRun.h"
#include "app/SoundPlayer.h"
#include "base/Error.h"
#include "base/Fatal.h"
#include "base/Log.h"
#include "excavator/Excavator.h"
#include "exercise/ExerciseRun.h"
#include "exercise/ProgressPage.h"
#include "input/ExcavatorController.h"
#include "input/InputSystem.h"
#include "world/World.h"

Engine::Engine(ExcavatorController& controller_, int32_t width_, int32_t height_, bool fullscreen_,
               std::chrono::steady_clock::time_point answered_, const Exercise* chosen, const std::string& soil)
    : SimulationWindow("Kelvarro", width_, height_, 32, fullscreen_, &controller_),
      controller(controller_),
      loop(EngineLoop::Hooks{[this] { input->poll(); },
                             [this] {
                                 scene->capture();
                                 scene->overlayShown = controller.overlayShown;
                                 scene->figures.paused = paused;
                                 replaying = session && session->replaying();
                                 scene->figures.replaying = replaying;
                                 scene->figures.pace = loop.pace;
                                 scene->figures.muted = controller.soundMuted;
                                 sound->set(mixVoices(soundState(scene->snapshot, paused, controller.soundMuted)));
                                 if (exercise) {
                                     scene->figures.exerciseLines = exercise->overlayLines();
                                     scene->groundMarks = exercise->groundMarks();
                                 }
                             },
                             [this] {
                                 scene->draw();
                                 frameShown();
                             },
                             [this] { onSimulationThread([this] { input->dispatch(world->stepCount); }); },
                             [this](double step) {
                                 onSimulationThread([this, step] {
                                     // A watched recording ends at its last step.
                                     if (session && world->stepCount >= session->lastStep())
                                         return;
                                     world->simulate(step);
                                     if (session)
                                         session->afterStep(*world);
                                     exerciseStep(step);
                                 });
                             },
                             [this] { return paused.load(); }}),
      answered(answered_)
{
    input->setWindow(this);
    try {
        world = new World();
        if (!soil.empty() && !world->chooseSoil(soil))
            throwFatal("[Engine] Unknown soil '" + soil + "' in the recording");
        controller.setExcavator(world->excavator);
        if (chosen)
            startExercise(*chosen);
        scene = new Scene(*world, input.get(), width_, height_);
        sound = std::make_unique<SoundPlayer>();
    } catch (...) {
        release();  // this object dies on the way out
        throw;
    }
    running = true;
}

Engine::~Engine() { release(); }

void Engine::release()
{
    reportWriter.reset();
    sound.reset();  // before SDL, whose audio it holds
    input->setWindow(nullptr);
    // The controller must not keep writing into a machine that is gone.
    controller.setExcavator(nullptr);
    delete exercise;
    exercise = nullptr;
    delete scene;
    scene = nullptr;
    delete world;
    world = nullptr;
}

void Engine::start(SessionRun* run)
{
    session = run;
    if (session)
        session->start(*input, sessionHeader,
                       SessionRun::Viewer{[this] { paused = !paused; }, &loop.pace,
                                          [this] { controller.soundMuted = !controller.soundMuted; }});
    logMessage("[Engine] Starting simulation.");
    const double simulatedBefore = world->simulatedSeconds;
    const auto begin = std::chrono::steady_clock::now();
    try {
        loop.run(running, simulationThread);
    } catch (...) {
        // The simulation thread must not outlive the world it steps.
        running = false;
        if (simulationThread)
            SDL_WaitThread(simulationThread, nullptr);
        simulationThread = nullptr;
        throw;
    }
    reportWriter.reset();  // the report is whole before the program ends
    // Before the recording's closing line: a session that failed reads as a killed one.
    if (simulationFault)
        std::rethrow_exception(simulationFault);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    const double simulated = world->simulatedSeconds - simulatedBefore;
    if (session)
        session->finish(world->stepCount);
    session = nullptr;
    char text[128];
    std::snprintf(text, sizeof text, "[Engine] Simulated %.1f s in %.1f s: real-time factor %.3f.", simulated, wall,
                  wall > 0.0 ? simulated / wall : 0.0);
    logMessage(text);
    std::snprintf(text, sizeof text, "[Engine] Longest burst of steps back to back: %d.", loop.longestBurst.load());
    logMessage(text);
}

void Engine::stop() { running = false; }

// Called by dispatch, between two steps; poll keeps a held p from
// toggling more than every 150 ms.
void Engine::togglePause() { paused = !paused; }

void Engine::startExercise(const Exercise& chosen)
{
    std::string error;
    Exercise checked;
    if (!loadExercise(chosen.file, checked, error, &world->terrain()) ||
        !moveStart(checked, chosen.startX, chosen.startZ, chosen.startHeadingDegrees, world->terrain(), error))
        throwFatal(error);
    delete exercise;
    exercise = new ExerciseRun(*world, chosen);
    exerciseStart = reportTimeStamp();
    controller.exerciseEndAsked = false;
    logMessage(("[Engine] Exercise " + chosen.name + ": " + chosen.instructions).c_str());
}

void Engine::exerciseStep(double step)
{
    if (!exercise)
        return;
    if (controller.exerciseEndAsked.exchange(false))
        exercise->endByOperator();
    exercise->update(step);
    if (!exercise->ended() || reportWritten)
        return;
    reportWritten = true;
    // Composed here, between two steps; written by the report's own thread,
    // which the stepping does not wait for.
    ReportFiles report =
        exercise->composeReport(reportFolder, exerciseStart, session ? session->recordingPath() : recordingFile);
    const std::string done = "[Engine] Exercise over (" + exercise->endReason + "); report ";
    if (!reportWriter)
        reportWriter = std::make_unique<FileWriter>();
    reportWriter->post([report = std::move(report), done, title = progressTitle] {
        std::string error, path;
        if (!writeReportFiles(report, error, &path)) {
            std::cerr << error << "\n";
            return;
        }
        logMessage((done + path).c_str());
        if (!title.empty())
            try {
                const std::string index = writeProgressIndex(report.directory, title, std::cerr);
                logMessage(("[Engine] Progress page " + index).c_str());
            } catch (const Error& fault) {
                std::cerr << fault.what() << "\n";
            }
    });
}

std::string Engine::workCaption(const WorkMeter& work)
{
    char text[128];
    const double cycle = work.lastCycleSeconds();
    char cycleText[24] = "-";
    if (cycle >= 0.0)
        std::snprintf(cycleText, sizeof cycleText, "%.1f s", cycle);
    std::snprintf(text, sizeof text, "%s - bucket %.2f m3 - moved %.2f m3 - last cycle %s", "Kelvarro",
                  work.bucketM3(), work.movedM3(), cycleText);
    return text;
}

void Engine::frameShown()
{
    if (!firstFrameShown) {
        firstFrameShown = true;
        logValue("[Engine] First frame, seconds after the answers:",
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - answered).count());
    }
    // Setting the caption costs a round trip to the window system: only a
    // few times a second, and only when the text changes.
    const Uint32 now = SDL_GetTicks();
    if (captionTicks != 0 && now - captionTicks < 250)
        return;
    captionTicks = now;
    std::string text = workCaption(scene->snapshot.work);
    if (replaying) {
        char replay[96];
        std::snprintf(replay, sizeof replay, " - replay step %lld, %.1f s, x%.2f",
                      static_cast<long long>(scene->snapshot.step), scene->snapshot.time, loop.pace.load());
        text.insert(std::string("Kelvarro").size(), replay);
    }
    if (text != workText) {
        workText = text;
        SDL_WM_SetCaption(workText.c_str(), caption);
    }
}
