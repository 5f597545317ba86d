#include "base/FileWriter.h"

#include <utility>

FileWriter::FileWriter() : thread([this] { run(); }) {}

FileWriter::~FileWriter()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        ending = true;
    }
    wake.notify_one();
    thread.join();  // the thread runs what is queued before it ends
}

void FileWriter::post(std::function<void()> job)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        jobs.push_back(std::move(job));
    }
    wake.notify_one();
}

void FileWriter::drain()
{
    std::unique_lock<std::mutex> lock(mutex);
    idle.wait(lock, [this] { return jobs.empty() && !working; });
}

void FileWriter::run()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return ending || !jobs.empty(); });
        if (jobs.empty())
            return;  // ending, and nothing left
        std::function<void()> job = std::move(jobs.front());
        jobs.pop_front();
        working = true;
        lock.unlock();
        job();
        lock.lock();
        working = false;
        if (jobs.empty())
            idle.notify_all();
    }
}
