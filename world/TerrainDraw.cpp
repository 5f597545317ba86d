#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>

#include <algorithm>

#include "base/GLProc.h"
#include "world/Terrain.h"
#include "world/TerrainImages.h"
#include "world/ViewFrustum.h"

namespace {

void drawNode(VoxelWorld& world, int n, int b, int level)
{
    if (world.node(n).split) {
        for (int c = 4 * n - 2; c <= 4 * n + 1; ++c)
            if (c <= world.nodeCount)
                drawNode(world, c, b, level + 1);
        return;
    }
    int fan[10][2];
    const int count = world.fanColumns(n, level, fan);
    const VoxelBlock& vb = world.block(b);
    glBegin(GL_TRIANGLE_FAN);
    for (int v = 0; v < count; ++v) {
        const int cx = fan[v][0], cz = fan[v][1];
        const TerrainColumn& c = *vb.refs[cx * terrain::kColumns + cz];
        glNormal3fv(c.normal);
        // The 2D pattern repeats every 8 columns; r picks grass (0) or soil (1).
        glTexCoord3f(cx * 0.125f, cz * 0.125f, c.soil ? 1.0f : 0.0f);
        glVertex3fv(c.position);
    }
    glEnd();
}

}  // namespace

void Terrain::draw()
{
    glPushMatrix();
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_TEXTURE_3D);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, material.ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, material.diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, material.specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, material.shininess);
    glBindTexture(GL_TEXTURE_3D, layeredTexture);
    // Blocks wholly outside the view are not sent: most of the 64 in any view.
    const Frustum view = currentViewFrustum();
    // Heights over all blocks: a block's border columns may be its neighbour's.
    constexpr int kCount = terrain::kBlocks * terrain::kBlocks;
    double top = -1e300, bottom = 1e300;
    for (int b = 0; b < kCount; ++b) {
        top = std::max(top, world.block(b).origin.y + terrain::kVoxel);
        bottom = std::min(bottom, world.block(b).origin.y - terrain::kVoxelsY * terrain::kVoxel);
    }
    const double half = 11.0 + terrain::kVoxel;
    for (int b = 0; b < kCount; ++b) {
        const Vector3& o = world.block(b).origin;
        if (view.boxOutside(Vector3(o.x - half, bottom, o.z - half), Vector3(o.x + half, top, o.z + half)))
            continue;
        drawNode(world, world.blockNode(b), b, terrain::kBlockLevel);
    }
    glDisable(GL_TEXTURE_3D);
    glEnable(GL_TEXTURE_2D);

    SDL_mutexP(mutex);
    for (const SoilGrain& g : grains) {
        glPushMatrix();
        glTranslatef(static_cast<float>(g.position.x), static_cast<float>(g.position.y),
                     static_cast<float>(g.position.z));
        glCallList(elementDisplayList);
        glPopMatrix();
    }
    SDL_mutexV(mutex);
    glPopMatrix();
}

void Terrain::createLayeredTexture(const std::string& directory)
{
    const std::vector<uint8_t> layers = loadTerrainLayers(directory + "grass256.bmp", directory + "soil256.bmp");
    glGenTextures(1, &layeredTexture);
    glBindTexture(GL_TEXTURE_3D, layeredTexture);
    const auto texImage3D = reinterpret_cast<PFNGLTEXIMAGE3DPROC>(glProcAddress("glTexImage3D"));
    if (!texImage3D)
        throw "[Terrain] glTexImage3D extension error.";
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAX_LEVEL, 4);
    glTexParameteri(GL_TEXTURE_3D, GL_GENERATE_MIPMAP, GL_TRUE);
    // Uncompressed: the software renderer decodes compressed texels for every
    // fragment, which made the ground the dearest thing on screen.
    texImage3D(GL_TEXTURE_3D, 0, GL_RGB8, kTerrainTextureSize, kTerrainTextureSize, kTerrainLayers, 0,
               GL_BGR, GL_UNSIGNED_BYTE, layers.data());
}
