#include <GL/gl.h>

#include "draw/MeshDraw.h"

#include "assets/Mesh.h"
#include "physics/Object.h"
#include "draw/TextureLoader.h"

namespace {

// The mesh's texture, or 0 for none. A plain white texture modulates by
// one: it is left out, and every fragment is spared its fetch.
unsigned int textureOf(const Material& m)
{
    if (m.textureFile.empty() || TextureLoader::plainWhite(m.textureFile, "data/"))
        return 0;
    return TextureLoader::loadTexture(m.textureFile, "data/");
}

// Compiled into the list being made. Every list sets the texturing it
// needs and leaves it so: no list relies on what the one before it left,
// and no list pays for restoring it.
void compileMaterial(const Material& m, unsigned int texture)
{
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, m.ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, m.diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, m.specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m.shininess);
    if (texture != 0) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
}

}  // namespace

unsigned int buildDisplayList(const Mesh& mesh)
{
    const unsigned int texture = textureOf(mesh.material);
    const std::vector<float> corners = mesh.cornerArray();
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    compileMaterial(mesh.material, texture);
    glBegin(GL_TRIANGLES);
    for (size_t k = 0; k < corners.size(); k += Mesh::kCornerFloats) {
        glTexCoord2fv(&corners[k]);
        glNormal3fv(&corners[k + 2]);
        glVertex3fv(&corners[k + 5]);
    }
    glEnd();
    glEndList();
    return list;
}

unsigned int buildShapeList(const Mesh& mesh)
{
    const std::vector<float> corners = mesh.cornerArray();
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBegin(GL_TRIANGLES);
    for (size_t k = 0; k < corners.size(); k += Mesh::kCornerFloats)
        glVertex3fv(&corners[k + 5]);
    glEnd();
    glEndList();
    return list;
}

unsigned int buildMaterialList(const Mesh& mesh)
{
    const unsigned int texture = textureOf(mesh.material);
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    compileMaterial(mesh.material, texture);
    glEndList();
    return list;
}

void drawAtPose(unsigned int list, const Vector3& position, const Quaternion& orientation)
{
    double degrees;
    Vector3 axis;
    orientationAxisAngle(orientation, degrees, axis);
    glPushMatrix();
    glTranslatef(static_cast<float>(position.x), static_cast<float>(position.y), static_cast<float>(position.z));
    glRotatef(static_cast<float>(degrees), static_cast<float>(axis.x), static_cast<float>(axis.y),
              static_cast<float>(axis.z));
    glCallList(list);
    glPopMatrix();
}
