#pragma once

#include <cstdint>

#include "base/MouseListener.h"
#include "math/Quaternion.h"
#include "math/Vector3.h"
#include "world/Viewpoint.h"

struct ExcavatorPose;
class InputSystem;
class Terrain;

// The viewer: a follow view that trails the machine on a soft leash, and a
// cab view fixed to its upper structure (mouse wheel switches). Left drag
// orbits, right drag zooms. Mouse calls run on the simulation thread and
// follow on the main thread, both under the world lock.
class Camera : public MouseListener, public Viewpoint {
public:
    // Registers with the input system when given one, and leaves it when
    // destroyed.
    explicit Camera(InputSystem* input = nullptr);
    ~Camera() override;
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    void follow(const ExcavatorPose& machine);
    void mouseButtonPressed(const SDL_Event* event) override;
    void mouseButtonReleased(const SDL_Event* event) override;
    void mouseMoved(const SDL_Event* event) override;

    double pitch = 0.0;       // between up and centre-to-eye
    Vector3 up{0.0, 1.0, 0.0};
    int32_t viewMode = 0;     // 0 follow, 1 cab
    bool leftButtonDown = false;
    bool rightButtonDown = false;
    Vector3 center{0.0, 0.0, 0.0};
    // The follow view's eye stays this far above it, where it has ground below.
    const Terrain* ground = nullptr;
    static constexpr double kEyeClearance = 0.5;
    InputSystem* const input;  // the one it listens to; may be null

    // The view from the centre, eye and up: pitch and yaw.
    void deriveAngles();
    // The follow view's eye step for a machine at `target`; the eye ends at
    // least kEyeClearance above the ground under it.
    void followTarget(const Vector3& target);
    // Until the machine first stands on its tracks or the operator moves
    // the view, the follow view keeps the eye at the start offset: behind
    // the machine on its cab side and above it, far enough to see it whole,
    // arm stretched out included.
    bool startView = true;
    static Vector3 startOffset(const Quaternion& orientation);
    // The cab view for a machine pose.
    void cabView(const Vector3& position, const Quaternion& orientation, const Vector3& comOffset,
                 double slewAngle);
};
