#include "draw/Skybox.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>

#include "draw/TextureLoader.h"

namespace {

struct Face {
    const char* file;
    float normal[3];
    float corners[4][5];  // x, y, z, s, t in strip order
};

// Normals point into the cube; t = 0 is an image's top row, at y = +400 on the sides.
const Face kFaces[6] = {
    {"sky_ft.bmp", {0, 0, 1}, {{-400, 400, -400, 0, 0}, {-400, -400, -400, 0, 1}, {400, 400, -400, 1, 0},
                               {400, -400, -400, 1, 1}}},
    {"sky_rt.bmp", {1, 0, 0}, {{-400, 400, 400, 0, 0}, {-400, -400, 400, 0, 1}, {-400, 400, -400, 1, 0},
                               {-400, -400, -400, 1, 1}}},
    {"sky_bk.bmp", {0, 0, -1}, {{400, 400, 400, 0, 0}, {400, -400, 400, 0, 1}, {-400, 400, 400, 1, 0},
                                {-400, -400, 400, 1, 1}}},
    {"sky_lf.bmp", {-1, 0, 0}, {{400, 400, -400, 0, 0}, {400, -400, -400, 0, 1}, {400, 400, 400, 1, 0},
                                {400, -400, 400, 1, 1}}},
    {"sky_dn.bmp", {0, 1, 0}, {{-400, -400, 400, 0, 1}, {400, -400, 400, 1, 1}, {-400, -400, -400, 0, 0},
                               {400, -400, -400, 1, 0}}},
    {"sky_up.bmp", {0, -1, 0}, {{-400, 400, 400, 0, 1}, {-400, 400, -400, 1, 1}, {400, 400, 400, 0, 0},
                                {400, 400, -400, 1, 0}}},
};

}  // namespace

Skybox::Skybox(const std::string& directory)
{
    // Load order differs from drawing order; each face keeps its own name.
    const char* loadOrder[6] = {"sky_bk.bmp", "sky_dn.bmp", "sky_ft.bmp", "sky_lf.bmp", "sky_rt.bmp", "sky_up.bmp"};
    unsigned int loaded[6] = {};
    for (int k = 0; k < 6; ++k) {
        loaded[k] = TextureLoader::loadTexture(loadOrder[k], directory);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        // No seams at the cube's edges.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    for (int f = 0; f < 6; ++f)
        for (int k = 0; k < 6; ++k)
            if (std::string(loadOrder[k]) == kFaces[f].file)
                textures[f] = loaded[k];

    displayList = glGenLists(1);
    glNewList(displayList, GL_COMPILE);
    draw(-kHalfSide);
    glEndList();
}

void Skybox::draw(double lowest) const
{
    glEnable(GL_TEXTURE_2D);
    const float white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 0.0f);
    // The sides' lower corners (second and fourth) rise to the cut, their
    // texture with them; below the cube's floor nothing is cut.
    const float bottom = static_cast<float>(std::clamp(lowest, -kHalfSide, kHalfSide));
    const float t = (static_cast<float>(kHalfSide) - bottom) / static_cast<float>(2.0 * kHalfSide);
    for (int k = 0; k < 6; ++k) {
        const Face& f = kFaces[k];
        const bool side = f.normal[1] == 0.0f;
        if (!side && f.normal[1] > 0.0f && bottom > -kHalfSide)
            continue;  // the floor, wholly below the cut
        glBindTexture(GL_TEXTURE_2D, textures[k]);
        glBegin(GL_TRIANGLE_STRIP);
        glNormal3fv(f.normal);
        for (int c = 0; c < 4; ++c) {
            const float* v = f.corners[c];
            const bool low = side && c % 2 == 1;
            glTexCoord2f(v[3], low ? t : v[4]);
            glVertex3f(v[0], low ? bottom : v[1], v[2]);
        }
        glEnd();
    }
}
