#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A fixed set of threads that run one task over indices 0..count-1, the
// calling thread among them; run returns when every index is done and
// passes on the first exception a task threw. A thread out of work spins a
// moment before it sleeps: runs come a fraction of a millisecond apart, and
// waking a sleeping thread costs about as much.
class WorldPool {
public:
    explicit WorldPool(int threads);
    ~WorldPool();
    WorldPool(const WorldPool&) = delete;
    WorldPool& operator=(const WorldPool&) = delete;

    void run(size_t count, const std::function<void(size_t)>& task);
    int threads() const { return static_cast<int>(workers.size()) + 1; }

private:
    void work();
    void drain();  // takes indices until none is left; holds no lock
    // Yields for at most kSpin while `waiting` holds.
    template <typename Waiting>
    static void spin(Waiting waiting);

    std::vector<std::thread> workers;
    std::mutex mutex;
    std::condition_variable wake, done;
    const std::function<void(size_t)>* current = nullptr;
    size_t next = 0, count = 0, finished = 0;
    unsigned generation = 0;
    bool stopping = false;
    // Copies of generation, finished and stopping a spinning thread reads without the lock.
    std::atomic<unsigned> posted{0};
    std::atomic<size_t> finishedNow{0};
    std::atomic<bool> stopped{false};
    std::exception_ptr failure;
};
