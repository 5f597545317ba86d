#include "draw/ForestView.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "draw/TextureLoader.h"
#include "draw/ViewFrustum.h"

ForestView::ForestView(const std::vector<const Billboard*>& billboards, const std::string& directory)
{
    for (int k = 0; k < 3; ++k) {
        spriteTextures[k] = TextureLoader::loadSpriteTexture(directory + "tree0" + std::to_string(k + 1) + ".bmp");
        // One mipmap level per fragment, as for the sky: the seams do not
        // show on foliage, and a forest's overlapping sprites fetch half as much.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
        GLint w = 0, h = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        std::vector<uint8_t> alpha(static_cast<size_t>(w) * h);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, alpha.data());
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        // Four texels round the opaque ones: bilinear filtering reaches one,
        // and the first smaller mipmap levels, which spread them, the rest.
        spriteOutlines[k] = opaqueOutline(alpha, w, h, 8, 12);
    }
    for (const Billboard* b : billboards)
        forests.push_back(Forest{b->meshes[0].material, b->trees, Vector3(), false});
}

SpriteOutline opaqueOutline(const std::vector<uint8_t>& alpha, int w, int h, int margin, int sides)
{
    // Each side's direction, and how far along it the widened texels reach.
    std::vector<std::array<double, 3>> lines(sides);  // cos, sin, reach
    for (int k = 0; k < sides; ++k) {
        const double a = 2.0 * M_PI * k / sides;
        lines[k] = {std::cos(a), std::sin(a), -1e300};
    }
    bool any = false;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (alpha[static_cast<size_t>(y) * w + x] == 0)
                continue;
            any = true;
            // The widened texel's corners, kept within the square: the sides
            // along the axes then bound the polygon to it.
            const double s0 = std::max(0.0, double(x - margin) / w), s1 = std::min(1.0, double(x + 1 + margin) / w);
            const double t0 = std::max(0.0, double(y - margin) / h), t1 = std::min(1.0, double(y + 1 + margin) / h);
            for (auto& l : lines)
                l[2] = std::max(l[2], std::max(l[0] * s0, l[0] * s1) + std::max(l[1] * t0, l[1] * t1));
        }
    SpriteOutline outline;
    if (!any)
        return outline;
    // Every side touches the texels, so neighbouring sides meet at a corner
    // of the polygon (some of them the same point).
    for (int k = 0; k < sides; ++k) {
        const auto& p = lines[k];
        const auto& q = lines[(k + 1) % sides];
        const double det = p[0] * q[1] - p[1] * q[0];
        const float s = static_cast<float>((p[2] * q[1] - q[2] * p[1]) / det);
        const float t = static_cast<float>((p[0] * q[2] - q[0] * p[2]) / det);
        outline.push_back({std::clamp(s, 0.0f, 1.0f), std::clamp(t, 0.0f, 1.0f)});
    }
    // Turning the way the square's corners do, so the same face is the front.
    std::reverse(outline.begin(), outline.end());
    return outline;
}

namespace {

// The whole sprite, for a texture without an outline.
const SpriteOutline kSquare = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};

}  // namespace

void drawTreeSprites(const std::vector<TreeSprite>& trees, const unsigned int textures[3], float angleDegrees,
                     const SpriteOutline* outlines)
{
    // Every sprite turns by the same angle about y: its right half-width and
    // its normal are one pair of directions for all of them, so the corners
    // are found here and a run of trees with one texture is one batch.
    const double a = angleDegrees / 57.29577951308232;
    const float c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
    const Frustum view = currentViewFrustum();
    unsigned int bound = 0;
    bool open = false;
    for (const TreeSprite& t : trees) {
        const double half = 0.5 * t.size;
        const Vector3& p = t.position;
        // Wholly out of view (behind the eye, most of them): not sent.
        if (view.boxOutside(Vector3(p.x - half, p.y, p.z - half), Vector3(p.x + half, p.y + t.size, p.z + half)))
            continue;
        if (!open || textures[t.textureIndex] != bound) {
            if (open)
                glEnd();
            bound = textures[t.textureIndex];
            glBindTexture(GL_TEXTURE_2D, bound);
            glBegin(GL_TRIANGLES);
            glNormal3f(-s, 0.0f, -c);
            open = true;
        }
        const float x = static_cast<float>(p.x), y = static_cast<float>(p.y), z = static_cast<float>(p.z);
        const float rx = 0.5f * t.size * c, rz = -0.5f * t.size * s;
        // s = 0 is the right edge, t = 0 the top; the outline as a fan.
        const SpriteOutline& outline = outlines && !outlines[t.textureIndex].empty() ? outlines[t.textureIndex] : kSquare;
        const auto corner = [&](const std::array<float, 2>& st) {
            const float across = 1.0f - 2.0f * st[0];
            glTexCoord2f(st[0], st[1]);
            glVertex3f(x + across * rx, y + (1.0f - st[1]) * t.size, z + across * rz);
        };
        for (size_t k = 1; k + 1 < outline.size(); ++k) {
            corner(outline[0]);
            corner(outline[k]);
            corner(outline[k + 1]);
        }
    }
    if (open)
        glEnd();
}


void ForestView::draw(const Vector3& eye, double yaw)
{
    const float angle = static_cast<float>(yaw * 57.29577951308232 + 180.0);
    for (Forest& forest : forests) {
        if (!forest.sorted || !(forest.sortedFor == eye)) {
            sortFarthestFirst(forest.trees, eye);
            forest.sortedFor = eye;
            forest.sorted = true;
        }
        drawForest(forest, angle);
    }
}

void ForestView::drawForest(const Forest& forest, float angle) const
{
    const Material& m = forest.material;
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, m.ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, m.diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, m.specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m.shininess);
    glPushMatrix();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    // Wholly clear texels would blend to nothing: dropping them spares the
    // blend over most of each sprite's square.
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.0f);
    // Every sprite faces the eye with one normal: one light for all their
    // corners, so none need be carried across their pixels.
    glShadeModel(GL_FLAT);
    drawTreeSprites(forest.trees, spriteTextures, angle, spriteOutlines);
    glShadeModel(GL_SMOOTH);
    glDisable(GL_ALPHA_TEST);
    // Blending stays on for what follows.
    glDepthMask(GL_TRUE);
    glPopMatrix();
}
