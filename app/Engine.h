#pragma once

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <exception>
#include <memory>
#include <string>

#include "app/EngineLoop.h"
#include "app/SimulationWindow.h"
#include "base/FileWriter.h"

#include "input/SessionFormat.h"

class ExcavatorController;
class SessionRun;
class ExerciseRun;
struct Exercise;
class Scene;
class SoundPlayer;
class World;
class WorkMeter;

// The application: the window, the world it owns and the two loops that
// run it (render on the main thread, simulation on an SDL thread).
class Engine : public SimulationWindow {
public:
    // `answered`: when the start-up questions were answered, from which the
    // first frame is timed.
    // With an exercise, it begins in the world before the drawing side is
    // built (its hopper or posts are drawn too); a target or start place off
    // the terrain throws a tagged message. `soil` names the ground's soil
    // (empty: the default); an unknown one throws too.
    // The controller drives the world's machine from the window's input.
    Engine(ExcavatorController& controller, int32_t width, int32_t height, bool fullscreen,
           std::chrono::steady_clock::time_point answered = std::chrono::steady_clock::now(),
           const Exercise* exercise = nullptr, const std::string& soil = std::string());
    ~Engine() override;

    // Returns once stop has been called and the simulation thread has ended.
    // With a session run: its recording, trace or watched recording.
    void start(SessionRun* run = nullptr);
    void stop() override;
    void togglePause() override;

    bool isPaused() const { return paused; }

    // The report's folder and the session's recording file it names.
    std::string reportFolder = "reports";
    std::string recordingFile;  // empty: none
    // Set for a trainee's live session: their progress page in the report's
    // folder is made again after each report, under this title.
    std::string progressTitle;

    ExcavatorController& controller;
    std::atomic<bool> running{false};
    World* world = nullptr;  // owned; stepped on the simulation thread
    Scene* scene = nullptr;  // owned; the camera and the drawing side
    std::unique_ptr<SoundPlayer> sound;  // the machine's sound, set from each frame's snapshot
    SDL_Thread* simulationThread = nullptr;
    ExerciseRun* exercise = nullptr;  // owned; stepped and ended on the simulation thread

    // The window caption with the work figures, e.g. "Kelvarro - bucket
    // 1.34 m3 - moved 12.55 m3 - last cycle 18.2 s".
    static std::string workCaption(const WorkMeter& work);

private:
    // Main thread, after each frame: logs the first one, and shows the work
    // figures of the frame's snapshot in the caption a few times a second.
    void frameShown();
    void release();
    // Simulation thread, after each step: feeds the exercise, ends it on e
    // and writes its report once it has ended.
    void exerciseStep(double step);
    void startExercise(const Exercise& exercise);
    // A fault on the simulation thread ends the loop; start throws it again
    // on the main thread, once the simulation thread is gone.
    template <typename Work>
    void onSimulationThread(Work&& work)
    {
        if (simulationFault)
            return;
        try {
            work();
        } catch (...) {
            simulationFault = std::current_exception();
            running = false;
        }
    }
    std::exception_ptr simulationFault;
    bool reportWritten = false;
    std::unique_ptr<FileWriter> reportWriter;  // once the report is handed over
    std::string exerciseStart;  // its start time, as the report's name takes it

    // Flipped by p: while set the world is not stepped, but frames are
    // still drawn and the view can still be turned.
    std::atomic<bool> paused{false};
    EngineLoop loop;
    std::chrono::steady_clock::time_point answered;
    bool firstFrameShown = false;
    Uint32 captionTicks = 0;
    std::string workText;  // the caption shown
    SessionRun* session = nullptr;  // during start; not owned
    bool replaying = false;         // main thread: as last captured

public:
    // What the session's recording starts with (the answers, the joystick
    // assignment); main fills it before start.
    SessionHeader sessionHeader;
};
