#include "draw/MachineShadow.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "draw/GLProc.h"
#include "draw/TerrainView.h"
#include "math/Frustum.h"

MachineShadow::MachineShadow(int size_) : size(size_)
{
    const auto genFramebuffers = reinterpret_cast<PFNGLGENFRAMEBUFFERSPROC>(glProcAddress("glGenFramebuffers"));
    const auto texture2D = reinterpret_cast<PFNGLFRAMEBUFFERTEXTURE2DPROC>(glProcAddress("glFramebufferTexture2D"));
    const auto status = reinterpret_cast<PFNGLCHECKFRAMEBUFFERSTATUSPROC>(glProcAddress("glCheckFramebufferStatus"));
    bindFramebuffer = glProcAddress("glBindFramebuffer");
    if (!genFramebuffers || !texture2D || !status || !bindFramebuffer || !glProcAddress("glDeleteFramebuffers"))
        return;
    const auto bind = reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(bindFramebuffer);

    glGenTextures(1, &depthTexture);
    glBindTexture(GL_TEXTURE_2D, depthTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, size, size, 0, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, nullptr);
    // One compare per fragment: filtered ones cost the software renderer
    // four. Off the map is lit.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_BORDER);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_BORDER);
    const float far[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, far);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    // 1 in every channel where lit, 0 where shadowed: the blend below
    // picks between the fragment's alpha and the constant's.
    glTexParameteri(GL_TEXTURE_2D, GL_DEPTH_TEXTURE_MODE, GL_INTENSITY);
    glBindTexture(GL_TEXTURE_2D, 0);

    genFramebuffers(1, &framebuffer);
    bind(GL_FRAMEBUFFER, framebuffer);
    texture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depthTexture, 0);
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    available = status(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    bind(GL_FRAMEBUFFER, 0);
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
}

MachineShadow::~MachineShadow()
{
    if (framebuffer != 0) {
        const auto remove = reinterpret_cast<PFNGLDELETEFRAMEBUFFERSPROC>(glProcAddress("glDeleteFramebuffers"));
        if (remove)
            remove(1, &framebuffer);
    }
    if (depthTexture != 0)
        glDeleteTextures(1, &depthTexture);
}

bool MachineShadow::begin(const Vector3& sun, const std::vector<std::pair<Vector3, double>>& balls)
{
    cast_ = false;
    if (!available || balls.empty())
        return false;
    Vector3 centre;
    for (const auto& ball : balls)
        centre += ball.first / double(balls.size());
    // The sun's view frame: looking from the sun at the balls' middle.
    Vector3 forward = centre - sun;
    normalize(forward);
    Vector3 side = cross(forward, Vector3(0.0, 1.0, 0.0));
    if (length(side) < 1e-9)
        return false;
    normalize(side);
    const Vector3 up = cross(side, forward);
    // The slopes (x and y over the distance) that take in every ball; a
    // ball's near or far side, whichever widens them.
    double low[2] = {1e300, 1e300}, high[2] = {-1e300, -1e300}, near = 1e300, far = 0.0;
    for (const auto& [c, r] : balls) {
        const Vector3 d = c - sun;
        const double depth = dot(d, forward), v[2] = {dot(d, side), dot(d, up)};
        if (depth - r <= 0.0)
            return false;
        for (int k = 0; k < 2; ++k) {
            low[k] = std::min(low[k], (v[k] - r) / (v[k] - r < 0.0 ? depth - r : depth + r));
            high[k] = std::max(high[k], (v[k] + r) / (v[k] + r > 0.0 ? depth - r : depth + r));
        }
        near = std::min(near, depth - r);
        far = std::max(far, depth + r);
    }
    sunAt = sun;
    glGetIntegerv(GL_VIEWPORT, viewport);
    reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(bindFramebuffer)(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, size, size);
    glClear(GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    // The far plane well beyond the machine, so that ground behind it
    // still compares within the map's depth.
    glFrustum(low[0] * near, high[0] * near, low[1] * near, high[1] * near, near, far + 100.0);
    double projection[16], view[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    gluLookAt(sun.x, sun.y, sun.z, centre.x, centre.y, centre.z, up.x, up.y, up.z);
    glGetDoublev(GL_MODELVIEW_MATRIX, view);
    multiplyMatrices(projection, view, sunMatrix);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glDisable(GL_LIGHTING);
    // Casters' shapes set no texturing: none is fetched for depth alone.
    glDisable(GL_TEXTURE_2D);
    // Depth pushed away from the sun: the ground where a track rests on it
    // stays lit instead of flickering.
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(2.0f, 8.0f);
    return true;
}

void MachineShadow::end()
{
    glDisable(GL_POLYGON_OFFSET_FILL);
    glEnable(GL_LIGHTING);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(bindFramebuffer)(GL_FRAMEBUFFER, 0);
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    cast_ = true;
}

bool MachineShadow::reachOnScreen(const std::vector<GroundVertex>& receivers_,
                                  const std::vector<std::pair<Vector3, double>>& outline, int box[4]) const
{
    // Seen from the sun, a ball's point meets the plane at height y along
    // its ray, the ball scaled by the same factor; between the lowest and
    // the highest receiving corner, the hull of the balls' boxes at those
    // two heights holds every ground point the machine can shade.
    float bottom = 1e30f, top = -1e30f;
    for (const GroundVertex& v : receivers_) {
        bottom = std::min(bottom, v.position[1]);
        top = std::max(top, v.position[1]);
    }
    double modelview[16], projection[16], clip[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    multiplyMatrices(projection, modelview, clip);
    int window[4];
    glGetIntegerv(GL_VIEWPORT, window);
    if (outline.empty())
        return false;
    double low[2] = {1e300, 1e300}, high[2] = {-1e300, -1e300};
    for (const auto& [centre, radius] : outline)
        for (const float y : {bottom, top}) {
            if (centre.y + radius >= sunAt.y - 1e-6)
                return false;  // a ray that never comes down to the ground
            const double scale = (y - sunAt.y) / (centre.y - sunAt.y);
            const Vector3 p = sunAt + (centre - sunAt) * scale;
            const double r = radius * scale;
            // A point (radius 0) has one corner.
            for (int k = 0; k < (radius > 0.0 ? 8 : 1); ++k) {
                const Vector3 q = p + Vector3(k & 1 ? r : -r, k & 2 ? r : -r, k & 4 ? r : -r);
                double c[4];
                for (int row = 0; row < 4; ++row)
                    c[row] = clip[row] * q.x + clip[4 + row] * q.y + clip[8 + row] * q.z + clip[12 + row];
                if (c[3] < 1e-3)
                    return false;  // behind the eye: the window's whole width may show it
                for (int a = 0; a < 2; ++a) {
                    low[a] = std::min(low[a], c[a] / c[3]);
                    high[a] = std::max(high[a], c[a] / c[3]);
                }
            }
        }
    // To whole pixels, outwards, within the window.
    int corner[2][2];
    for (int a = 0; a < 2; ++a) {
        corner[0][a] = std::max(0, int(std::floor(window[2 + a] * (std::max(low[a], -1.0) + 1.0) / 2.0)) - 1);
        corner[1][a] = std::min(window[2 + a], int(std::ceil(window[2 + a] * (std::min(high[a], 1.0) + 1.0) / 2.0)) + 1);
    }
    box[0] = window[0] + corner[0][0];
    box[1] = window[1] + corner[0][1];
    box[2] = std::max(0, corner[1][0] - corner[0][0]);
    box[3] = std::max(0, corner[1][1] - corner[0][1]);
    return true;
}

void MachineShadow::darken(const std::vector<GroundVertex> (&batches)[3],
                           const std::vector<std::pair<Vector3, double>>& outline)
{
    receivers = 0;
    if (!cast_)
        return;
    // Only the triangles the sun's view of the machine reaches: a small
    // share of the ground, so the second pass costs little fill.
    const Frustum reach(sunMatrix);
    lit.clear();
    for (const std::vector<GroundVertex>& batch : batches)
        for (size_t k = 0; k + 2 < batch.size(); k += 3) {
            float low[3], high[3];
            for (int a = 0; a < 3; ++a) {
                low[a] = std::min({batch[k].position[a], batch[k + 1].position[a], batch[k + 2].position[a]});
                high[a] = std::max({batch[k].position[a], batch[k + 1].position[a], batch[k + 2].position[a]});
            }
            if (!reach.boxOutside(Vector3(low[0], low[1], low[2]), Vector3(high[0], high[1], high[2])))
                lit.insert(lit.end(), batch.begin() + k, batch.begin() + k + 3);
        }
    receivers = lit.size();
    if (lit.empty())
        return;

    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_3D);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, depthTexture);
    // Object-linear coordinates are the world's: the texture matrix takes
    // them to the map's [0, 1] range.
    const GLenum coords[4] = {GL_S, GL_T, GL_R, GL_Q};
    const GLenum gens[4] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q};
    for (int k = 0; k < 4; ++k) {
        float plane[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        plane[k] = 1.0f;
        glTexGeni(coords[k], GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
        glTexGenfv(coords[k], GL_OBJECT_PLANE, plane);
        glEnable(gens[k]);
    }
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslated(0.5, 0.5, 0.5);
    glScaled(0.5, 0.5, 0.5);
    glMultMatrixd(sunMatrix);
    glMatrixMode(GL_MODELVIEW);
    // Lit: the constant's alpha, 1; shadowed: the corner's ambient share.
    const float one[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, one);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_BLEND);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_SRC_ALPHA);
    // Lit fragments would blend to what is there: dropped before the blend.
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_LESS, 1.0f);
    glDepthMask(GL_FALSE);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(-1.0f, -2.0f);

    // Only the window's part that the sun's view can reach: beyond its
    // sides the map's border leaves the ground as it is, and the ground's
    // triangles (a whole block where it is flat) reach far past them.
    int box[4];
    const bool cut = reachOnScreen(lit, outline, box);
    if (cut) {
        glScissor(box[0], box[1], box[2], box[3]);
        glEnable(GL_SCISSOR_TEST);
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(GroundVertex), lit[0].colour);
    glVertexPointer(3, GL_FLOAT, sizeof(GroundVertex), lit[0].position);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(lit.size()));
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    if (cut)
        glDisable(GL_SCISSOR_TEST);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    glDisable(GL_POLYGON_OFFSET_FILL);
    glDisable(GL_ALPHA_TEST);
    glDepthFunc(GL_LESS);
    glDepthMask(GL_TRUE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_BLEND);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    for (GLenum g : gens)
        glDisable(g);
    glBindTexture(GL_TEXTURE_2D, 0);
    glEnable(GL_LIGHTING);
}
