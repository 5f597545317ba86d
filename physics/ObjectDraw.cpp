#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "physics/Object.h"

void orientationAxisAngle(const Quaternion& q, double& degrees, Vector3& axis)
{
    // A normalised w may overshoot 1 by an ulp; acos must not see it.
    degrees = 2.0 * std::acos(std::clamp(q.w, -1.0, 1.0)) * 180.0 / 3.14159265358979323846;
    axis = q.vec();
    const double l = length(axis);
    if (l != 0.0)
        axis /= l;
}

void Object::draw()
{
    double degrees;
    Vector3 axis;
    orientationAxisAngle(orientation, degrees, axis);
    glPushMatrix();
    glTranslatef(static_cast<float>(position.x), static_cast<float>(position.y), static_cast<float>(position.z));
    glRotatef(static_cast<float>(degrees), static_cast<float>(axis.x), static_cast<float>(axis.y),
              static_cast<float>(axis.z));
    glCallList(displayList);
    glPopMatrix();
}
