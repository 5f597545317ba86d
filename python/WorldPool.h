#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A fixed set of threads that run one task over indices 0..count-1, the
// calling thread among them; run returns when every index is done and
// passes on the first exception a task threw.
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

    std::vector<std::thread> workers;
    std::mutex mutex;
    std::condition_variable wake, done;
    const std::function<void(size_t)>* current = nullptr;
    size_t next = 0, count = 0, finished = 0;
    unsigned generation = 0;
    bool stopping = false;
    std::exception_ptr failure;
};
