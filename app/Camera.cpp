#include "app/Camera.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "world/FrameSnapshot.h"
#include "input/InputSystem.h"
#include "terrain/Terrain.h"

Camera::Camera(InputSystem* input_) : input(input_)
{
    if (input)
        input->addMouseListener(this);
}

Camera::~Camera()
{
    if (input)
        input->removeMouseListener(this);
}

void Camera::follow(const ExcavatorPose& machine)
{
    if (viewMode == 0 && startView) {
        center = machine.position;
        eye = center + startOffset(machine.orientation);
        startView = !machine.tracksTouched;
    }
    if (viewMode == 0)
        followTarget(machine.position);
    else if (viewMode == 1)
        cabView(machine.position, machine.orientation, machine.comOffset, machine.slew);
    deriveAngles();
}

void Camera::followTarget(const Vector3& target)
{
    const Vector3 d = center - eye;
    const double d2 = dot(d, d);
    // A soft leash: the eye keeps its offset while the machine is far, and
    // only turns towards it once it comes close.
    const double f = d2 >= 250.0 ? 1.0 : std::exp(-0.0005 * (d2 - 250.0) * (d2 - 250.0));
    eye = eye - f * (center - target);
    center = target;
    up = Vector3(0.0, 1.0, 0.0);
    // Orbiting, zooming or the machine driving downhill may take the eye
    // under the surface, where nothing is drawn: lift it back out.
    if (ground) {
        const double high = 1000.0;
        const double drop = ground->surfaceDistanceBelow(Vector3(eye.x, high, eye.z));
        if (drop > 0.0)
            eye.y = std::max(eye.y, high - drop + kEyeClearance);
    }
}

Vector3 Camera::startOffset(const Quaternion& orientation)
{
    // The machine's heading and its cab side (model -z), in the ground plane.
    Vector3 forward = rotate(Vector3(1.0, 0.0, 0.0), orientation);
    forward.y = 0.0;
    if (length(forward) == 0.0)
        forward = Vector3(1.0, 0.0, 0.0);
    normalize(forward);
    const Vector3 cabSide(forward.z, 0.0, -forward.x);
    return -6.0 * forward + 9.0 * cabSide + Vector3(0.0, 4.5, 0.0);
}

void Camera::cabView(const Vector3& position, const Quaternion& orientation, const Vector3& comOffset,
                     double slewAngle)
{
    const double c = std::cos(slewAngle), s = std::sin(slewAngle);
    const Vector3 cabEye(0.2 * c - 0.9 * s, 2.5, -0.9 * c - 0.2 * s);
    const Vector3 cabCentre(10.2 * c - 0.9 * s, 2.5, -0.9 * c - 10.2 * s);
    // Model frame to world, the way the machine draws itself.
    eye = rotate(cabEye - comOffset, orientation) + position;
    center = rotate(cabCentre - comOffset, orientation) + position;
    up = rotate(Vector3(0.0, 1.0, 0.0), orientation);
}

void Camera::deriveAngles()
{
    const Vector3 d = eye - center;
    if (length(d) == 0.0)
        return;
    // Clamped: a rounding overshoot past +-1 would make acos NaN.
    pitch = std::acos(std::clamp(dot(d, up) / length(d), -1.0, 1.0));
    const Vector3 h(d.x, 0.0, d.z);
    const double hl = length(h);
    // Straight above or below the centre the heading is undefined; keep the last one.
    if (hl == 0.0)
        return;
    yaw = std::acos(std::clamp(h.z / hl, -1.0, 1.0));
    if (d.x < 0.0)
        yaw = 6.283185307179586 - yaw;
}

void Camera::mouseButtonPressed(const SDL_Event* event)
{
    const int button = event->button.button;
    if (button == 1)
        leftButtonDown = true;
    else if (button == 3)
        rightButtonDown = true;
    else if (button == 4 || button == 5) {
        viewMode = button == 4 ? (viewMode + 1) % 2 : std::abs((viewMode - 1) % 2);
        if (viewMode == 0)
            eye = center + Vector3(4.0, 2.0, -8.5);
        startView = false;
    }
}

void Camera::mouseButtonReleased(const SDL_Event* event)
{
    const int button = event->button.button;
    if (button == 1)
        leftButtonDown = false;
    else if (button == 3)
        rightButtonDown = false;
}

void Camera::mouseMoved(const SDL_Event* event)
{
    const double xrel = event->motion.xrel, yrel = event->motion.yrel;
    if (leftButtonDown || rightButtonDown)
        startView = false;  // the operator's view from now on
    if (leftButtonDown) {
        // Tilt about the horizontal axis across the view; none when looking
        // straight along up, where that axis is undefined.
        Vector3 d = eye - center;
        Vector3 n = cross(d, up);
        if (length(n) > 0.0) {
            normalize(n);
            const double a = yrel * 0.008726646259971648 * 0.5;
            const Quaternion q(std::cos(a), std::sin(a) * n);
            eye = center + rotate(d, q);
        }
        // Turn about the vertical.
        d = eye - center;
        const double b = xrel * -0.017453292519943295 * 0.5;
        eye = Vector3(center.x + std::cos(b) * d.x + std::sin(b) * d.z, center.y + d.y,
                      center.z + std::cos(b) * d.z - std::sin(b) * d.x);
        viewChanged = true;
    }
    if (rightButtonDown) {
        const Vector3 d = eye - center;
        const double d2 = dot(d, d);
        if (d2 == 0.0)
            return;
        if ((d2 >= 100.0 && d2 <= 700.0) || (d2 < 100.0 && yrel > 0) || (d2 > 700.0 && yrel < 0)) {
            eye = eye + (d / length(d)) * yrel / 15.0;
            viewChanged = true;
        }
    }
}
