#include "python/WorldPool.h"

#include <chrono>

namespace {
constexpr std::chrono::microseconds kSpin(500);
}

template <typename Waiting>
void WorldPool::spin(Waiting waiting)
{
    const auto until = std::chrono::steady_clock::now() + kSpin;
    while (waiting() && std::chrono::steady_clock::now() < until)
        std::this_thread::yield();
}

WorldPool::WorldPool(int threads)
{
    for (int i = 1; i < threads; ++i)
        workers.emplace_back([this] { work(); });
}

WorldPool::~WorldPool()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        stopped = true;
    }
    wake.notify_all();
    for (std::thread& t : workers)
        t.join();
}

void WorldPool::run(size_t n, const std::function<void(size_t)>& task)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        current = &task;
        next = 0;
        count = n;
        finished = 0;
        failure = nullptr;
        finishedNow = 0;
        posted = ++generation;
    }
    wake.notify_all();
    drain();
    spin([this, n] { return finishedNow.load() < n; });
    std::unique_lock<std::mutex> lock(mutex);
    done.wait(lock, [this] { return finished == count; });
    current = nullptr;
    if (failure)
        std::rethrow_exception(failure);
}

void WorldPool::drain()
{
    std::unique_lock<std::mutex> lock(mutex);
    while (current && next < count) {
        const size_t i = next++;
        const std::function<void(size_t)>& task = *current;
        lock.unlock();
        std::exception_ptr thrown;
        try {
            task(i);
        } catch (...) {
            thrown = std::current_exception();
        }
        lock.lock();
        if (thrown && !failure)
            failure = thrown;
        finishedNow = ++finished;
        if (finished == count)
            done.notify_all();
    }
}

void WorldPool::work()
{
    unsigned seen = 0;
    for (;;) {
        spin([&] { return posted.load() == seen && !stopped.load(); });
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [&] { return stopping || generation != seen; });
            if (stopping)
                return;
            seen = generation;
        }
        drain();
    }
}
