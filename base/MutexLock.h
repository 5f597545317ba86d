#pragma once

#include <SDL.h>

// Holds an SDL mutex for one scope.
class MutexLock {
public:
    explicit MutexLock(SDL_mutex* m) : mutex(m) { SDL_mutexP(mutex); }
    ~MutexLock() { SDL_mutexV(mutex); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    SDL_mutex* mutex;
};
