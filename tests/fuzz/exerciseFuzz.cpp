// An exercise file as the program reads it (without a terrain to place it
// on); one that reads must score finitely whatever its metrics come to.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

#include "exercise/Exercise.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/dev/shm/kelvarro_fuzz_exercise_" + std::to_string(getpid()) + ".json";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    Exercise exercise;
    std::string error;
    if (!loadExercise(path, exercise, error)) {
        if (error.rfind("[Exercise] ", 0) != 0 || error.find('\n') != std::string::npos)
            std::abort();
        return 0;
    }
    for (double value : {-1e6, 0.0, 1e6}) {
        Metrics metrics;
        for (const std::string& name : metricNames(exercise.kind))
            metrics[name] = value;
        if (!std::isfinite(totalScore(exercise, metrics)))
            std::abort();
    }
    return 0;
}
