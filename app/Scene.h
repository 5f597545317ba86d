#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

#include "draw/OverlayFigures.h"
#include "world/FrameSnapshot.h"

class Camera;
class InputSystem;
class Overlay;
class SceneView;
class World;

// The viewer of a world: the camera, the drawing side built from the world,
// the head-up figures and the snapshot that frames are drawn from. A frame
// is taken in two parts: `capture` copies what it needs while the world
// stands still (the caller holds the world lock), `draw` then draws the copy
// with no lock held.
class Scene {
public:
    // Needs a current GL context of width x height pixels; registers the
    // camera for the mouse with `input` when given.
    explicit Scene(World& world, InputSystem* input = nullptr, int width = 1024, int height = 768);
    virtual ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Under the world lock: the camera follows the machine, then the world,
    // the view and the figures are copied.
    void capture();
    // Without the lock: one frame from the snapshot, the figures over it when
    // shown, then the buffer swap.
    void draw();
    // Both, for a caller that owns the world alone.
    void render();

    World& world;
    std::unique_ptr<Camera> camera;
    std::unique_ptr<SceneView> view;
    std::unique_ptr<Overlay> overlay;
    FrameSnapshot snapshot;
    OverlayFigures figures;  // as captured; the caller may add its own state
    bool overlayShown = true;  // set by the caller
    std::vector<Vector3> groundMarks;  // an exercise's marks, drawn over the frame; set by the caller
    int width, height;

private:
    // (wall clock, simulated seconds) of recent captures, for the figures'
    // real-time factor.
    std::deque<std::pair<std::chrono::steady_clock::time_point, double>> clock;
};
