#pragma once

// Owns the world and draws it. (Grows with the world's own sources.)
class Scene {
public:
    Scene();
    virtual ~Scene();

    // Main thread: one frame, then the buffer swap.
    void render();
    // Simulation thread: one fixed step.
    void simulate(double step);
};
