#include <gtest/gtest.h>

#include <SDL.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/Engine.h"
#include "app/SessionRun.h"
#include "input/ExcavatorController.h"
#include "exercise/Exercise.h"
#include "world/World.h"

namespace {

namespace fs = std::filesystem;

std::atomic<bool> userDone{false};
std::atomic<int> pushed{0};

void push(Uint8 type, int detail)
{
    SDL_Event e{};
    e.type = type;
    if (type == SDL_KEYDOWN || type == SDL_KEYUP) {
        e.key.keysym.sym = static_cast<SDLKey>(detail);
    } else if (type == SDL_MOUSEMOTION) {
        e.motion.xrel = 4;
        e.motion.yrel = static_cast<Sint16>(detail);
    } else {
        e.button.button = static_cast<Uint8>(detail);
    }
    // The queue holds 128 events; a slow frame drains it late, so wait for room.
    int tries = 0;
    while (SDL_PushEvent(&e) != 0 && ++tries < 2000)
        SDL_Delay(5);
    pushed += tries < 2000;
}

void quit()
{
    SDL_Event e{};
    e.type = SDL_QUIT;
    while (!userDone && SDL_PushEvent(&e) != 0)
        SDL_Delay(10);
}

// Plays a user for about two seconds: drives and works the arm, orbits,
// zooms and changes the view, then closes the window.
int drive(void*)
{
    const SDLKey keys[] = {SDLK_w, SDLK_k, SDLK_j, SDLK_a, SDLK_KP5, SDLK_KP6};
    for (int round = 0; round < 40; ++round) {
        const int button = round % 10 == 9 ? SDL_BUTTON_WHEELUP : round % 2 ? SDL_BUTTON_LEFT : SDL_BUTTON_RIGHT;
        push(SDL_KEYDOWN, keys[round % 6]);
        push(SDL_MOUSEBUTTONDOWN, button);
        for (int m = 0; m < 5; ++m)
            push(SDL_MOUSEMOTION, m - 2);
        push(SDL_MOUSEBUTTONUP, button);
        SDL_Delay(50);
        push(SDL_KEYUP, keys[round % 6]);
    }
    quit();
    return 0;
}

// Presses the keys of a zero-ended list 150 ms apart, then closes the window.
int press(void* list)
{
    for (const SDLKey* key = static_cast<const SDLKey*>(list); *key; ++key) {
        SDL_Delay(150);
        push(SDL_KEYDOWN, *key);
        push(SDL_KEYUP, *key);
    }
    quit();
    return 0;
}

// Runs the engine with a user thread until the user closes the window.
void runWith(Engine& engine, int (*user)(void*), void* data = nullptr, SessionRun* session = nullptr)
{
    userDone = false;
    pushed = 0;
    SDL_Thread* thread = SDL_CreateThread(user, data);
    ASSERT_NE(thread, nullptr);
    engine.start(session);
    userDone = true;
    SDL_WaitThread(thread, nullptr);
    EXPECT_FALSE(engine.running);
    EXPECT_EQ(engine.simulationThread, nullptr);
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

class EngineRun : public testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::exists("data/scene.obj"))
            GTEST_SKIP() << "no generated data/ in " << fs::current_path();
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    SessionRun::Settings settings(const std::string& trace, const std::string& replay = "") const
    {
        SessionRun::Settings s;
        s.folder = (dir / "sessions").string();
        s.trace = (dir / trace).string();
        s.replay = replay;
        return s;
    }
    std::vector<fs::path> recordings() const
    {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(dir / "sessions"))
            found.push_back(entry.path());
        std::sort(found.begin(), found.end());
        return found;
    }

    const fs::path dir = fs::temp_directory_path() / ("kelvarro-engine-run-" + std::to_string(getpid()));
};

}  // namespace

// The real world under the real loops, in an exercise: frames drawn with
// its overlay while steps run and while input reaches the machine, the
// camera and the trees on the simulation thread, the session recorded and
// traced by writer threads. Watched again, the recording is paused, sped
// up, slowed down and taken over, and the exercise ended by e: its report
// goes to the report's writer. Under ThreadSanitizer any unguarded sharing
// between the threads fails this test. The quit event ends start through
// the simulation thread, which is joined; the files are whole when start
// returns.
TEST_F(EngineRun, DrivenRecordedTracedThenWatchedTakenOverAndReported)
{
    Exercise exercise;
    std::string error;
    ASSERT_TRUE(loadExercise(exercisePath("data/", "trench"), exercise, error)) << error;
    int64_t steps = 0;
    {
        ExcavatorController controller;
        Engine engine(controller, 1024, 768, false, std::chrono::steady_clock::now(), &exercise);
        engine.sessionHeader.program = programVersion();
        engine.sessionHeader.data = dataChecksum("data");
        engine.sessionHeader.started = sessionTime(static_cast<int64_t>(std::time(nullptr)));
        engine.sessionHeader.exercise = exercise.name;
        SessionRun live(settings("live.csv"), std::cerr);
        runWith(engine, drive, nullptr, &live);
        EXPECT_EQ(pushed.load(), 40 * 9);
        steps = engine.world->stepCount;
    }
    ASSERT_EQ(recordings().size(), 1u);
    const fs::path recording = recordings()[0];
    const std::vector<std::string> liveRows = lines(readFile(dir / "live.csv"));
    EXPECT_EQ(static_cast<int64_t>(liveRows.size()), steps + 1) << "a row per step after the header";
    EXPECT_EQ(lines(readFile(recording)).back(), std::to_string(steps) + " end");

    // Paused, on again, faster, slower, taken over early in the session, ended.
    static const SDLKey viewer[] = {SDLK_SPACE, SDLK_SPACE, SDLK_PLUS, SDLK_MINUS, SDLK_t, SDLK_a, SDLK_e, SDLKey(0)};
    SessionRun watched(settings("replay.csv", recording.string()), std::cerr);
    ExcavatorController controller;
    Engine engine(controller, 1024, 768, false, std::chrono::steady_clock::now(), &exercise);
    engine.sessionHeader = *watched.replayedHeader();
    engine.reportFolder = (dir / "reports").string();
    runWith(engine, press, const_cast<SDLKey*>(viewer), &watched);
    EXPECT_EQ(recordings().size(), 2u) << "the take-over starts a recording";
    EXPECT_FALSE(engine.isPaused());
    const std::vector<std::string> replayRows = lines(readFile(dir / "replay.csv"));
    size_t same = 0;
    while (same < replayRows.size() && same < liveRows.size() && replayRows[same] == liveRows[same])
        ++same;
    EXPECT_GT(same, 50u) << "the watched recording left the live trace early";
    std::vector<std::string> ends;  // each report's line that says how it ended
    int pages = 0;                   // and the page beside them
    for (const auto& entry : fs::directory_iterator(dir / "reports"))
        if (entry.path().extension() == ".html")
            ++pages;
        else
            for (const std::string& line : lines(readFile(entry.path())))
                if (line.find("ended by the operator") != std::string::npos)
                    ends.push_back(entry.path().extension().string() + ": " + line.substr(0, line.find(" after")));
    std::sort(ends.begin(), ends.end());
    EXPECT_EQ(pages, 1);
    EXPECT_EQ(ends, (std::vector<std::string>{".json:   \"end\": \"ended by the operator\",",
                                              ".txt: Ended: ended by the operator"}));
}
