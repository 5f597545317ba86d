#include "draw/GradeMarking.h"

#include <GL/gl.h>

#include <cmath>
#include <vector>

#include "excavator/Grade.h"

namespace {

constexpr int kTexels = 64;
// The texture spans this much height (m), the grade at its middle.
constexpr double kSpan = 8.0 * kOnGrade;

}  // namespace

GradeMarking::GradeMarking()
{
    // Luminance-alpha: clear outside the band, a faint tint within +-kOnGrade,
    // opaque at the grade's own texels.
    std::vector<unsigned char> texels(kTexels * 2);
    for (int i = 0; i < kTexels; ++i) {
        const double h = ((i + 0.5) / kTexels - 0.5) * kSpan;
        const double a = std::fabs(h) < 0.5 * kOnGrade ? 1.0 : std::fabs(h) < kOnGrade ? 0.35 : 0.0;
        texels[2 * i] = 255;
        texels[2 * i + 1] = static_cast<unsigned char>(a * 255.0);
    }
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_1D, texture);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    // Byte-packed rows; the unpacking state is put back for the other textures' uploads.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage1D(GL_TEXTURE_1D, 0, GL_LUMINANCE_ALPHA, kTexels, 0, GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE, texels.data());
    glPopClientAttrib();
}

GradeMarking::~GradeMarking() { glDeleteTextures(1, &texture); }

void GradeMarking::draw(double level, const Vector3& edge,
                     const std::function<bool(double x, double z, double& y)>& surfaceAt)
{
    const int n = static_cast<int>(2.0 * kReach / kSpacing) + 1;
    // Samples on a grid aligned to the world, so the band does not swim as the edge moves.
    const double x0 = std::floor((edge.x - kReach) / kSpacing) * kSpacing;
    const double z0 = std::floor((edge.z - kReach) / kSpacing) * kSpacing;
    std::vector<double> y(static_cast<size_t>(n) * n);
    std::vector<char> has(y.size());
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < n; ++k)
            has[i * n + k] = surfaceAt(x0 + i * kSpacing, z0 + k * kSpacing, y[i * n + k]);

    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT |
                 GL_POLYGON_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_3D);
    glEnable(GL_TEXTURE_1D);
    glBindTexture(GL_TEXTURE_1D, texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_FALSE);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(-1.0f, -2.0f);  // on the ground, not fighting it
    glColor4f(0.2f, 0.95f, 1.0f, 1.0f);
    // Texture coordinate from the height: the grade at the texture's middle.
    auto s = [&](double height) { return static_cast<float>((height - level) / kSpan + 0.5); };
    for (int i = 0; i + 1 < n; ++i) {
        glBegin(GL_TRIANGLES);
        for (int k = 0; k + 1 < n; ++k) {
            const int a = i * n + k, b = (i + 1) * n + k, c = (i + 1) * n + k + 1, d = i * n + k + 1;
            if (!has[a] || !has[b] || !has[c] || !has[d])
                continue;
            for (int v : {a, b, c, a, c, d}) {
                const double x = x0 + (v / n) * kSpacing, z = z0 + (v % n) * kSpacing;
                glTexCoord1f(s(y[v]));
                glVertex3d(x, y[v], z);
            }
        }
        glEnd();
    }
    glPopAttrib();
}
