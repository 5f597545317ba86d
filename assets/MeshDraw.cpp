#include <GL/gl.h>

#include "assets/Mesh.h"
#include "assets/TextureLoader.h"

unsigned int Mesh::buildDisplayList() const
{
    const bool textured = !material.textureFile.empty();
    unsigned int texture = 0;
    if (textured)
        texture = TextureLoader::loadTexture(material.textureFile, "data/");

    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, material.ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, material.diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, material.specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, material.shininess);
    if (textured)
        glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_TRIANGLES);
    for (const MeshTriangle& t : triangles)
        for (int k = 0; k < 3; ++k) {
            const Vector3& n = t.cornerNormals[k];
            const Vector3& uv = t.texCoords[k];
            const Vector3& p = positions[t.vertices[k]];
            glNormal3f(static_cast<float>(n.x), static_cast<float>(n.y), static_cast<float>(n.z));
            glTexCoord2f(static_cast<float>(uv.x), static_cast<float>(uv.y));
            glVertex3f(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z));
        }
    glEnd();
    glEndList();
    return list;
}
