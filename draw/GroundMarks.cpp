#include "draw/GroundMarks.h"

#include <GL/gl.h>

namespace {

constexpr float kStakeHeight = 0.7f, kStakeHalf = 0.05f;  // m
constexpr float kLineLift = 0.04f;                          // m over the corners' ground

void stake(const Vector3& p)
{
    const float x = static_cast<float>(p.x), y = static_cast<float>(p.y), z = static_cast<float>(p.z);
    const float h = kStakeHalf, top = y + kStakeHeight;
    glBegin(GL_QUADS);
    const float sides[4][4] = {{-h, -h, h, -h}, {h, -h, h, h}, {h, h, -h, h}, {-h, h, -h, -h}};
    for (const auto& s : sides) {
        glVertex3f(x + s[0], y, z + s[1]);
        glVertex3f(x + s[2], y, z + s[3]);
        glVertex3f(x + s[2], top, z + s[3]);
        glVertex3f(x + s[0], top, z + s[1]);
    }
    glEnd();
}

}  // namespace

void drawGroundMarks(const std::vector<Vector3>& corners)
{
    if (corners.empty())
        return;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glColor3f(1.0f, 0.45f, 0.05f);
    for (const Vector3& c : corners)
        stake(c);
    glLineWidth(3.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_LINE_LOOP);
    for (const Vector3& c : corners)
        glVertex3f(static_cast<float>(c.x), static_cast<float>(c.y) + kLineLift, static_cast<float>(c.z));
    glEnd();
    glPopAttrib();
}
