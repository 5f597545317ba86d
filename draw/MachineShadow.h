#pragma once

#include <utility>
#include <vector>

#include "math/Vector3.h"

struct GroundVertex;

// The machine's shadow on the ground from a sun at a point: the machine's
// depth as the sun sees it (a depth texture, drawn into off screen each
// frame), then the ground under it drawn once more, darkened to its ambient
// share where something nearer the sun hides it. Needs a current GL context;
// without framebuffer objects there is no shadow.
class MachineShadow {
public:
    explicit MachineShadow(int size = 384);
    ~MachineShadow();
    MachineShadow(const MachineShadow&) = delete;
    MachineShadow& operator=(const MachineShadow&) = delete;

    // The sun's view of balls (centre, radius) holding the machine, just
    // wide enough for them, with `drawCaster` drawing it in the world frame.
    template <class Draw>
    void cast(const Vector3& sun, const std::vector<std::pair<Vector3, double>>& balls, Draw drawCaster)
    {
        if (!begin(sun, balls))
            return;
        drawCaster();
        end();
    }
    // After the ground's own pass, on the same depth: its triangles within
    // the sun's view of the balls darkened where shadowed, over the part of
    // the window where `outline` (balls holding the machine, as tight as
    // known) can shade the ground.
    void darken(const std::vector<GroundVertex> (&batches)[3], const std::vector<std::pair<Vector3, double>>& outline);

    bool available = false;
    unsigned int depthTexture = 0;
    double sunMatrix[16] = {};  // world to the sun's clip space
    size_t receivers = 0;       // ground corners darkened last frame

private:
    bool begin(const Vector3& sun, const std::vector<std::pair<Vector3, double>>& balls);
    void end();
    // The window's rectangle (x, y, width, height) that holds every ground
    // point between the receivers' lowest and highest corner that the
    // outline's balls hide from the sun; false when unknown.
    bool reachOnScreen(const std::vector<GroundVertex>& receivers, const std::vector<std::pair<Vector3, double>>& outline,
                       int box[4]) const;

    int size;
    unsigned int framebuffer = 0;
    void* bindFramebuffer = nullptr;  // the context's entry point
    bool cast_ = false;  // the map holds this frame's caster
    int viewport[4] = {};
    Vector3 sunAt;
    std::vector<GroundVertex> lit;
};
