#include "draw/ForestView.h"

#include <GL/gl.h>

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
    }
    for (const Billboard* b : billboards)
        forests.push_back(Forest{b->meshes[0].material, b->trees, Vector3(), false});
}

void drawTreeSprites(const std::vector<TreeSprite>& trees, const unsigned int textures[3], float angleDegrees)
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
        const float rx = 0.5f * t.size * c, rz = -0.5f * t.size * s, top = y + t.size;
        // The strip's two triangles: right top, right foot, left top; left top, right foot, left foot.
        const float corners[6][5] = {{0, 0, x + rx, top, z + rz}, {0, 1, x + rx, y, z + rz},
                                     {1, 0, x - rx, top, z - rz}, {1, 0, x - rx, top, z - rz},
                                     {0, 1, x + rx, y, z + rz},   {1, 1, x - rx, y, z - rz}};
        for (const auto& v : corners) {
            glTexCoord2f(v[0], v[1]);
            glVertex3f(v[2], v[3], v[4]);
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
    drawTreeSprites(forest.trees, spriteTextures, angle);
    glDisable(GL_ALPHA_TEST);
    // Blending stays on for what follows.
    glDepthMask(GL_TRUE);
    glPopMatrix();
}
