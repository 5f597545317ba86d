#pragma once

#include <memory>

#include "world/FrameSnapshot.h"

class Camera;
class SceneView;
class World;

// The viewer of a world: the camera, the drawing side built from the world,
// and the snapshot that frames are drawn from. A frame is taken in two
// parts: `capture` copies what it needs while the world stands still (the
// caller holds the world lock), `draw` then draws the copy with no lock held.
class Scene {
public:
    // Needs a current GL context; registers the camera for the mouse when
    // `listen` is set.
    explicit Scene(World& world, bool listen = true);
    virtual ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Under the world lock: the camera follows the machine, then the world
    // and the view are copied into the snapshot.
    void capture();
    // Without the lock: one frame from the snapshot, then the buffer swap.
    void draw();
    // Both, for a caller that owns the world alone.
    void render();

    World& world;
    std::unique_ptr<Camera> camera;
    std::unique_ptr<SceneView> view;
    FrameSnapshot snapshot;
};
