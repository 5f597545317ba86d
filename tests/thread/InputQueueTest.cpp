#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <cstdlib>
#include <vector>

#include "input/InputSystem.h"

namespace {

struct Consumer : KeyboardListener {
    void keyPressed(const SDL_Event* e) override { seen.push_back(e->key.keysym.unicode); }
    void keyReleased(const SDL_Event*) override { ++released; }
    InputSystem* input = nullptr;
    std::atomic<bool> producing{true};
    std::vector<int> seen;
    int released = 0;
};

int consume(void* data)
{
    Consumer* c = static_cast<Consumer*>(data);
    while (c->producing)
        c->input->dispatch();
    c->input->dispatch();  // what the last poll queued
    return 0;
}

}  // namespace

// The main thread polls while the simulation thread dispatches: every event
// arrives exactly once and in order, and listener calls never overlap polls.
TEST(InputQueue, PollAndDispatchOnTwoThreadsLoseAndReorderNothing)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    {
        InputSystem input;
        Consumer consumer;
        consumer.input = &input;
        input.addKeyboardListener(&consumer);
        SDL_Thread* thread = SDL_CreateThread(consume, &consumer);
        ASSERT_NE(thread, nullptr);
        const int kEvents = 3000;
        for (int sent = 0; sent < kEvents; input.poll())
            for (int i = 0, batch = 1 + sent % 50; i < batch && sent < kEvents; ++i, ++sent) {  // SDL holds 128
                SDL_Event e{};
                e.type = SDL_KEYDOWN;
                e.key.keysym.unicode = static_cast<Uint16>(sent);
                ASSERT_EQ(SDL_PushEvent(&e), 0);
            }
        SDL_Event up{};
        up.type = SDL_KEYUP;
        SDL_PushEvent(&up);
        input.poll();
        consumer.producing = false;
        SDL_WaitThread(thread, nullptr);
        ASSERT_EQ(consumer.seen.size(), static_cast<size_t>(kEvents));
        for (int i = 0; i < kEvents; ++i)
            ASSERT_EQ(consumer.seen[i], i);
        EXPECT_EQ(consumer.released, 1);
    }
    SDL_Quit();
    unsetenv("SDL_VIDEODRIVER");
}
