#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// File work done in order on a thread of its own, so that the thread that
// hands it over (the stepping thread, under the world lock) never waits for
// the disk. A job is posted and the caller goes on; drain waits until every
// job posted so far has run. The jobs own what they write (the text is moved
// in) and whatever else they touch must outlive the drain.
class FileWriter {
public:
    FileWriter();
    // Drains, then ends the thread.
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    void post(std::function<void()> job);
    void drain();

private:
    void run();

    std::mutex mutex;
    std::condition_variable wake, idle;
    std::deque<std::function<void()>> jobs;
    bool working = false;  // a job is running, taken off the queue
    bool ending = false;
    std::thread thread;
};
