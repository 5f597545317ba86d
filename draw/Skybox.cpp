#include "draw/Skybox.h"

#include <GL/gl.h>
#include <GL/glext.h>

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
    unsigned int textures[6] = {};
    for (int k = 0; k < 6; ++k) {
        textures[k] = TextureLoader::loadTexture(loadOrder[k], directory);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        // No seams at the cube's edges.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    const auto textureOf = [&](const char* file) {
        for (int k = 0; k < 6; ++k)
            if (std::string(loadOrder[k]) == file)
                return textures[k];
        return 0u;
    };

    displayList = glGenLists(1);
    glNewList(displayList, GL_COMPILE);
    glEnable(GL_TEXTURE_2D);
    const float white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 0.0f);
    for (const Face& f : kFaces) {
        glBindTexture(GL_TEXTURE_2D, textureOf(f.file));
        glBegin(GL_TRIANGLE_STRIP);
        glNormal3fv(f.normal);
        for (const auto& c : f.corners) {
            glTexCoord2f(c[3], c[4]);
            glVertex3f(c[0], c[1], c[2]);
        }
        glEnd();
    }
    glEndList();
}
