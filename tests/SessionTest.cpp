#include <gtest/gtest.h>

#include <SDL.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "GLContext.h"
#include "world/World.h"
#include "excavator/Excavator.h"
#include "assets/ModelLoader.h"
#include "base/Error.h"
#include "input/ExcavatorController.h"
#include "input/InputSystem.h"
#include "input/ProgramControl.h"
#include "input/SessionPlayer.h"
#include "input/SessionReader.h"
#include "input/SessionRecorder.h"
#include "tools/scenario/Scenario.h"
#include "world/WorldState.h"

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The event lines of a recording: its header and the wall-clock "sync"
// lines left out.
std::vector<std::string> eventLines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n)
        if (n > 6 && line.find(" sync") == std::string::npos)
            out.push_back(line);
    return out;
}

// "" when equal, else the first line where they differ.
std::string firstDifference(const std::string& a, const std::string& b)
{
    std::istringstream x(a), y(b);
    std::string p, q;
    for (int n = 1;; ++n) {
        const bool more = static_cast<bool>(std::getline(x, p)), moreToo = static_cast<bool>(std::getline(y, q));
        if (!more && !moreToo)
            return "";
        if (more != moreToo || p != q)
            return "line " + std::to_string(n) + ": " + (more ? p : "(end)") + " | " + (moreToo ? q : "(end)");
    }
}

SDL_Event key(Uint8 type, SDLKey sym)
{
    SDL_Event e{};
    e.type = type;
    e.key.keysym.sym = sym;
    e.key.keysym.scancode = static_cast<Uint8>(sym & 0x7f);
    return e;
}

// What the operator does before step s of the live session: keys held over
// stretches of steps (a key-down every step, as key repeat gives one per
// poll, and a key-up after), a joystick axis assigned to the left track,
// the view turned with the mouse, and p held over two polls within one step.
std::vector<SDL_Event> operatorInput(int64_t s)
{
    struct Held {
        SDLKey sym;
        int64_t from, to;
    };
    static const Held held[] = {{SDLK_KP5, 480, 700}, {SDLK_KP6, 480, 760}, {SDLK_a, 650, 800},
                                {SDLK_k, 780, 900},   {SDLK_w, 820, 980},   {SDLK_l, 900, 1000}};
    std::vector<SDL_Event> out;
    for (const Held& h : held)
        if (s >= h.from && s <= h.to)
            out.push_back(key(s < h.to ? SDL_KEYDOWN : SDL_KEYUP, h.sym));
    if (s % 5 == 0) {  // one reading per frame
        SDL_Event axis{};
        axis.jaxis.type = SDL_JOYAXISMOTION;
        axis.jaxis.axis = 2;
        axis.jaxis.value = static_cast<Sint16>(s > 1000 && s < 1100 ? -24000 : 0);
        out.push_back(axis);
    }
    if (s == 300 || s == 320) {
        SDL_Event b{};
        b.type = s == 300 ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        b.button.button = 1;
        b.button.x = 400;
        b.button.y = 300;
        out.push_back(b);
    }
    if (s > 300 && s < 320) {
        SDL_Event m{};
        m.type = SDL_MOUSEMOTION;
        m.motion.x = static_cast<Uint16>(400 + s - 300);
        m.motion.y = 300;
        m.motion.xrel = 1;
        m.motion.yrel = -2;
        m.motion.state = SDL_BUTTON(1);
        out.push_back(m);
    }
    if (s == 690) {  // paused, a key pressed meanwhile, unpaused: all before the same step
        SDL_Event p{};
        p.type = InputSystem::kPauseEvent;
        out.push_back(p);
        out.push_back(key(SDL_KEYDOWN, SDLK_KP5));
        out.push_back(p);
    }
    return out;
}

void push(const std::vector<SDL_Event>& events)
{
    for (SDL_Event e : events)
        ASSERT_EQ(SDL_PushEvent(&e), 0);
}

// The real world from data/, the machine's controller listening to the
// given input system, the controller set up as the header says; each step traced
// as the scenario runner traces it.
class SessionScene {
public:
    SessionScene(InputSystem& input_, const SessionHeader& header, std::function<void(ScenarioRun&)> operate = nullptr)
        : scenario{"session", "", nullptr, {}, 0.0, std::move(operate)}, input(input_)
    {
        scene = std::make_unique<World>();
        run = std::make_unique<ScenarioRun>(*scene, scenario);
        EXPECT_TRUE(applySessionSetup(header, run->controller, input));
    }
    ~SessionScene()
    {
        input.setSessionHooks({});
        input.removeKeyboardListener(&run->controller);
        input.removeJoystickListener(&run->controller);
        run.reset();
        scene.reset();
    }
    std::string trace() const
    {
        std::ostringstream out;
        run->writeTrace(out);
        return out.str();
    }

    Scenario scenario;
    InputSystem& input;
    std::unique_ptr<World> scene;
    std::unique_ptr<ScenarioRun> run;
};

class CountingWindow : public ProgramControl {
public:
    void stop() override { ++stops; }
    void togglePause() override { ++pauses; }
    int stops = 0, pauses = 0;
};

}  // namespace

// A live session driven through SDL's queue and the input system, recorded
// as it goes; replayed into a world that ran on and was reset, it gives the
// same trace byte for byte. Taken over at a step and driven on with the same input, it gives
// that trace again, and its own recording holds the same events.
TEST(Session, ReplaysToTheSameTraceAndCanBeTakenOver)
{
    ASSERT_TRUE(ensureGLContext()) << SDL_GetError();
    InputSystem input;
    input.poll();
    input.dispatch();  // whatever earlier tests left queued
    CountingWindow window;
    input.setWindow(&window);
    const std::string dir = KELVARRO_BINARY_DIR;
    const std::string recorded = dir + "/session_live.kvr", takenOver = dir + "/session_taken_over.kvr";
    constexpr int64_t kSteps = 1150, kTakeOver = 760;

    SessionHeader header;
    header.program = programVersion();
    header.data = 0x1234;
    header.started = "2026-12-07T17:20:05";
    header.axes[axisKey(SDL_JOYAXISMOTION, 0, 2)] = "left-track";
    std::string liveTrace;
    {
        SessionRecorder recorder(recorded, header, std::cerr);
        input.setSessionHooks(recorder.hooks());
        SessionScene live(input, header, [&](ScenarioRun& r) {
            push(operatorInput(r.steps));
            input.poll();
            input.dispatch(r.steps);
        });
        live.run->run(kSteps * ScenarioRun::kStep);
        recorder.close(live.run->steps);
        liveTrace = live.trace();
        writeFile(dir + "/session_live.csv", liveTrace);  // for kelvarro-scenario --replay to match
        EXPECT_EQ(window.pauses, 2);
        EXPECT_GT(std::fabs(live.scene->excavator->slewAngle()), 0.05) << "the keys must have reached the machine";
    }
    std::ostringstream notes;
    const Session session = readSession(recorded, {programVersion(), 0x1234, false}, notes);
    EXPECT_EQ(notes.str(), "");
    ASSERT_TRUE(session.closed);
    ASSERT_EQ(session.lastStep, kSteps);

    {
        // Into a world that drove, slewed and lowered its arm, then was reset.
        SessionScene replay(input, session.header);
        const WorldState start = replay.scene->save();
        Excavator& e = *replay.scene->excavator;
        e.leftTrackThrottle = e.rightTrackThrottle = 1.0;
        e.setSlewCommand(1.0f);
        e.monoblockRate = -0.2;
        for (int s = 0; s < 900; ++s)
            replay.scene->simulate(ScenarioRun::kStep);
        replay.scene->restore(start);
        SessionPlayer player(session);
        EXPECT_EQ(replaySession(input, player, INT64_MAX, [&] { replay.run->step(); }), kSteps);
        EXPECT_EQ(firstDifference(replay.trace(), liveTrace), "");
        EXPECT_EQ(window.pauses, 2) << "a replayed pause is not the viewer's";
    }
    {
        std::unique_ptr<SessionRecorder> recorder;
        SessionPlayer player(session);
        InputSystem::SessionHooks hooks = player.hooks([&](int64_t step, const SDL_Event& e) {
            if (e.type != SDL_KEYDOWN || e.key.keysym.sym != SDLK_t)
                return false;
            player.takeOver(step);
            recorder = std::make_unique<SessionRecorder>(takenOver, session.header, std::cerr);
            for (const RecordedEvent& r : player.eventsUpTo(step))
                recorder->record(r.step, r.event);
            return false;
        });
        hooks.delivered = [&](int64_t step, const SDL_Event& e) {
            if (recorder)
                recorder->record(step, e);
        };
        input.setSessionHooks(hooks);
        SessionScene resumed(input, session.header, [&](ScenarioRun& r) {
            if (r.steps == kTakeOver)
                push({key(SDL_KEYDOWN, SDLK_t)});
            else if (r.steps > kTakeOver)
                push(operatorInput(r.steps));
            input.poll();
            input.dispatch(r.steps);
        });
        resumed.run->run(kSteps * ScenarioRun::kStep);
        ASSERT_TRUE(recorder);
        EXPECT_EQ(player.takeOverStep(), kTakeOver);
        recorder->close(resumed.run->steps);
        EXPECT_EQ(firstDifference(resumed.trace(), liveTrace), "");
        EXPECT_EQ(eventLines(readFile(takenOver)), eventLines(readFile(recorded)));
        EXPECT_EQ(window.pauses, 2);
    }
    input.setWindow(nullptr);
}

// Bad recordings: each a tagged message naming the file and the line, and
// nothing replayed; another version's or data/'s recording only when forced;
// a killed session replays up to its last whole line and says so.
TEST(Session, BadRecordingsAreRefusedAndKilledOnesReplayToTheirLastWholeLine)
{
    const std::string path = std::string(KELVARRO_BINARY_DIR) + "/session_bad.kvr";
    const std::string head = std::string("kelvarro-session 1\nprogram ") + programVersion() +
                             "\ndata 00000000000000ab\nstarted 2026-12-07T17:20:05\n"
                             "answers hires=n fullscreen=y\njoystick 0.1=monoblock 1.0=right-track\n";
    const std::string body = "0 keydown 119 0 119 25\n0 axis 0 1 -32768\n3 motion 10 20 -3 4 1\n3 sync\n"
                             "5 pause\n5 pause\n5 keyup 119 0 119 25\n";
    const SessionExpectation expected{programVersion(), 0xab, false};
    const struct {
        std::string text;
        const char* message;  // after "[SessionReader] FILE"; "" for none
        bool force;
    } cases[] = {
        {head + body + "9 end\n", "", false},
        // An exercise's session names it; the name must be a plain one.
        {head.substr(0, head.find("joystick")) + "exercise trench\n" + head.substr(head.find("joystick")) + body +
             "9 end\n",
         "", false},
        // So may a trainee's, after it; older recordings have neither.
        {head.substr(0, head.find("joystick")) + "exercise trench\ntrainee Ann Lee.2\n" +
             head.substr(head.find("joystick")) + body + "9 end\n",
         "", false},
        {head.substr(0, head.find("joystick")) + "trainee ..\n" + head.substr(head.find("joystick")) + "9 end\n",
         ":6: \"..\" is not a trainee's name: it names a folder above or the folder itself", false},
        {head.substr(0, head.find("joystick")) + "exercise ../x\n" + head.substr(head.find("joystick")) + "9 end\n",
         ":6: \"../x\" is not an exercise name", false},
        {head.substr(0, head.find("joystick")) + "exercise tr\nench\n" + head.substr(head.find("joystick")) + "9 end\n",
         ":7: expected \"joystick ...\", found \"ench\"", false},
        // A batch run's soil and moved start place; a place must be within an exercise file's bounds.
        {head.substr(0, head.find("joystick")) + "exercise trench\nsoil stiff-clay\nstart 1e4 0 0\n" +
             head.substr(head.find("joystick")) + "9 end\n",
         ":8: \"1e4 0 0\" is not a start place", false},
        {"", ":1: the file is empty", false},
        {"kelvarro-session 2\n" + head.substr(19), ":1: format version \"2\"; this program reads version 1", false},
        {"KVR 1\n" + head.substr(19), ":1: not a session recording", false},
        {head.substr(0, 30), ":2: the header is cut short", false},
        {"kelvarro-session 1\nprogram elsewhere-1\n" + head.substr(head.find("data")) + "9 end\n",
         ":2: recorded by program version \"elsewhere-1\", this is ", false},
        {"kelvarro-session 1\nprogram elsewhere-1\n" + head.substr(head.find("data")) + body + "9 end\n", "", true},
        {head.substr(0, head.find("data")) + "data 00000000000000ac\n" + head.substr(head.find("started")) + "9 end\n",
         ":3: recorded with another data/ (checksum 00000000000000ac, here 00000000000000ab); --force", false},
        {head.substr(0, head.find("data")) + "data 0xab\n" + head.substr(head.find("started")),
         ":3: the data checksum \"0xab\" is not 16 hexadecimal digits", false},
        {head.substr(0, head.find("answers")) + "answers hires=Y fullscreen=n\n", ":5: expected \"answers", false},
        {head.substr(0, head.find("joystick")) + "joystick 0.1=wheel\n", ":6: \"0.1=wheel\" is not an axis", false},
        {head + "0 keydwn 1 2 3 4\n", ":7: unknown event kind \"keydwn\"", false},
        {head + body + "6 keydown 97 0 0\n", ":14: \"keydown\" takes 4 fields, found 3", false},
        {head + body + "6 keydown 97 0 0 256\n", ":14: field 4 of \"keydown\" is \"256\", not a whole number from 0 to 255",
         false},
        {head + body + "6 axis 0 1 40000\n", ":14: field 3 of \"axis\"", false},
        {head + body + "6  quit\n", ":14: no event kind", false},
        {head + "x7 quit\n", ":7: expected a step number, found \"x7\"", false},
        {head + body + "4 quit\n", ":14: step 4 comes after step 5", false},
        {head + body + "9 end\n10 quit\n", ":15: text after the closing line", false},
        // Past what a recording holds: a replay must not run for ever, nor
        // a reader hold what it cannot.
        {head + body + "999999999999999999 end\n", ":14: step 999999999999999999 is more than 20000 steps past step 5",
         false},
        {head + "1000000000000000000 end\n", ":7: expected a step number, found \"1000000000000000000\"", false},
        {head + body + [] { std::string s; for (int i = 0; i < (1 << 20) - 2; ++i) s += "5 pause\n"; return s; }(),
         ":1048587: more than 1048576 events before step 5", false},
        {head + "0 " + std::string(2000, 'x') + "\n", ":7: longer than 1024 bytes", false},
        {head + std::string(size_t{100} << 20, '7') + "\n", ": larger than 64 MiB, the most this program reads", false},
        {head + body + "9 end", ":14: the last line is cut short (a killed session); replaying up to step 5", false},
        {head + body.substr(0, body.size() - 5), ":13: the last line is cut short (a killed session); replaying up to step 5",
         false},
        {head + body, ":13: no closing line (a killed session); replaying up to step 5", false},
    };
    for (const auto& c : cases) {
        writeFile(path, c.text);
        std::ostringstream notes;
        std::string thrown;
        Session session;
        try {
            session = readSession(path, {expected.program, expected.data, c.force}, notes);
        } catch (const Error& e) {
            thrown = e.what();
        }
        const bool killed = std::string(c.message).find("killed") != std::string::npos;
        const std::string said = killed ? notes.str() : thrown;
        SCOPED_TRACE(c.text.substr(0, 1000));
        EXPECT_LT(said.size(), path.size() + 200) << "a message quotes only a short part of a line";
        if (*c.message == '\0') {
            EXPECT_EQ(thrown, "");
            EXPECT_EQ(session.events.size(), 6u);
            EXPECT_EQ(session.header.trainee, c.text.find("trainee ") != std::string::npos ? "Ann Lee.2" : "");
            EXPECT_EQ(headerText(session.header), c.text.substr(0, c.text.find(body)));
            EXPECT_EQ(notes.str().find("--force") != std::string::npos, c.force);
            continue;
        }
        EXPECT_EQ(said.rfind("[SessionReader] " + path + c.message, 0), 0u) << said;
        if (!killed)
            continue;
        // Replays what the whole lines hold, and stops where they stop.
        EXPECT_EQ(thrown, "");
        EXPECT_FALSE(session.closed);
        SessionPlayer player(session);
        std::vector<std::string> heard;
        InputSystem::SessionHooks hooks;
        hooks.delivered = [&](int64_t step, const SDL_Event& e) { appendEventLine(heard.emplace_back(), step, e); };
        InputSystem input;
        int steps = 0;
        EXPECT_EQ(replaySession(input, player, INT64_MAX, [&] { ++steps; }, hooks), 5);
        EXPECT_EQ(steps, 5);
        std::string lines;
        for (const std::string& h : heard)
            lines += h;
        std::string expectedLines = body;
        expectedLines.erase(expectedLines.find("3 sync\n"), 7);
        if (c.text.size() < head.size() + body.size())
            expectedLines.erase(expectedLines.rfind("5 keyup"));
        EXPECT_EQ(lines, expectedLines);
    }
    EXPECT_THROW(readSession(path + ".none", expected, std::cerr), Error);
}

// A disk that refuses the file is one warning, and the session goes on.
TEST(Session, ARefusedFileIsOneWarning)
{
    std::ostringstream warnings;
    SessionRecorder full("/dev/full", SessionHeader(), warnings);
    full.record(1, key(SDL_KEYDOWN, SDLK_a));
    full.reached(2);
    full.close(3);
    EXPECT_EQ(warnings.str(), "[SessionRecorder] Error writing /dev/full: No space left on device; "
                              "recording stopped, the session goes on.\n");
    std::ostringstream refused;
    const auto none = SessionRecorder::inFolder("/proc/sessions", SessionHeader(), refused);
    EXPECT_FALSE(none->recording());
    EXPECT_EQ(refused.str().rfind("[SessionRecorder] Cannot write /proc/sessions/.kvr: ", 0), 0u) << refused.str();
}

namespace {

class Heard : public KeyboardListener, public MouseListener {
public:
    void keyPressed(const SDL_Event* e) override { log.push_back("key " + std::to_string(e->key.keysym.sym)); }
    void keyReleased(const SDL_Event*) override {}
    void mouseButtonPressed(const SDL_Event* e) override { log.push_back("button " + std::to_string(e->button.button)); }
    void mouseButtonReleased(const SDL_Event*) override {}
    void mouseMoved(const SDL_Event* e) override { log.push_back("moved " + std::to_string(e->motion.x)); }
    std::vector<std::string> log;
};

}  // namespace

// Watching a replay: the viewer's keys do not reach the machine; once the
// viewer presses a mouse button the view is theirs and the operator's
// recorded camera moves stop, while the operator's keys go on.
TEST(Session, TheViewerTakesTheViewButNotTheMachine)
{
    ASSERT_TRUE(ensureGLContext()) << SDL_GetError();
    Session session;
    for (int64_t step : {0, 2}) {
        SDL_Event moved{};
        moved.type = SDL_MOUSEMOTION;
        moved.motion.x = static_cast<Uint16>(10 + step);
        session.events.push_back({step, moved});
        session.events.push_back({step, key(SDL_KEYDOWN, SDLK_w)});
    }
    session.lastStep = 3;
    InputSystem input;
    Heard heard;
    input.addKeyboardListener(&heard);
    input.addMouseListener(&heard);
    SessionPlayer player(session);
    input.setSessionHooks(player.hooks());
    input.dispatch(0);
    SDL_Event button{};
    button.type = SDL_MOUSEBUTTONDOWN;
    button.button.button = 3;
    push({key(SDL_KEYDOWN, SDLK_a), button});
    input.poll();
    input.dispatch(1);
    input.dispatch(2);
    const std::vector<std::string> expected = {"moved 10", "key 119", "button 3", "key 119"};
    EXPECT_EQ(heard.log, expected);
}
