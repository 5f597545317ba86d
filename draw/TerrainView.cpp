#include "draw/TerrainView.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "assets/Mesh.h"
#include "base/Fatal.h"
#include "draw/GLProc.h"
#include "draw/GroundShading.h"
#include "draw/MeshDraw.h"
#include "draw/SoilBedView.h"
#include "draw/ViewFrustum.h"
#include "math/Frustum.h"
#include "world/FrameSnapshot.h"
#include "terrain/TerrainImages.h"
#include "terrain/VoxelWorld.h"

namespace {

unsigned char toByte(float v) { return static_cast<unsigned char>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); }

// The fan's middle (corners[0]) on the midpoints of both diagonals of the
// square round it (corners[1] to [4]): within a millimetre and a step in
// each colour channel, and of the same cover.
bool flatMiddle(const GroundVertex (&corners)[10])
{
    const GroundVertex& m = corners[0];
    for (const auto& [a, b] : {std::pair{1, 3}, std::pair{2, 4}}) {
        const GroundVertex &p = corners[a], &q = corners[b];
        if (p.tex[2] != m.tex[2] || q.tex[2] != m.tex[2])
            return false;
        for (int k = 0; k < 3; ++k)
            if (std::abs(m.position[k] - 0.5f * (p.position[k] + q.position[k])) > 1e-3f)
                return false;
        for (int k = 0; k < 4; ++k)
            if (std::abs(2 * int(m.colour[k]) - int(p.colour[k]) - int(q.colour[k])) > 2)
                return false;
    }
    return true;
}

// Appends a leaf's fan as triangles to the batch of the texture it needs:
// all grass, all soil, or the blend between them.
void collectNode(const VoxelWorld& world, int n, int b, int level, const GroundShading::Column* shades,
                 const GroundLight& light, std::vector<GroundVertex> (&batches)[3])
{
    if (world.node(n).split) {
        for (int c = 4 * n - 2; c <= 4 * n + 1; ++c)
            if (c <= world.nodeCount)
                collectNode(world, c, b, level + 1, shades, light, batches);
        return;
    }
    int fan[10][2];
    const int count = world.fanColumns(n, level, fan);
    const VoxelBlock& vb = world.block(b);
    GroundVertex corners[10];
    int soilCorners = 0;
    for (int v = 0; v < count; ++v) {
        const int cx = fan[v][0], cz = fan[v][1];
        const TerrainColumn& c = *vb.refs[cx * terrain::kColumns + cz];
        const GroundShading::Column shade = shades ? shades[cx * terrain::kColumns + cz] : GroundShading::Column();
        // The light as fixed-function lighting would give it, darkened where
        // the neighbours hide the sky; alpha keeps the ambient share.
        GroundVertex& corner = corners[v];
        for (int k = 0; k < 3; ++k) {
            const float lit = light.ambient[k] + light.diffuse[k] * shade.sunlit;
            corner.colour[k] = toByte(shade.open * lit);
        }
        const float full = light.ambient[0] + light.diffuse[0] * shade.sunlit;
        corner.colour[3] = toByte(light.ambient[0] / std::max(full, 1e-6f));
        // The 2D pattern repeats every 8 columns; r picks grass (0) or soil (1).
        corner.tex[0] = cx * 0.125f;
        corner.tex[1] = cz * 0.125f;
        corner.tex[2] = c.soil ? 1.0f : 0.0f;
        std::copy(c.position, c.position + 3, corner.position);
        soilCorners += c.soil ? 1 : 0;
    }
    std::vector<GroundVertex>& out =
        batches[soilCorners == 0 ? GrassCover : soilCorners == count ? SoilCover : MixedCover];
    // A plain leaf (no neighbour's midpoint on its sides) whose middle lies
    // on both diagonals, in height and light, is two triangles: the same
    // picture for half the triangles where refined ground is flat.
    if (count == 6 && flatMiddle(corners)) {
        for (int v : {1, 2, 3, 1, 3, 4})
            out.push_back(corners[v]);
        return;
    }
    for (int v = 1; v + 1 < count; ++v) {
        out.push_back(corners[0]);
        out.push_back(corners[v]);
        out.push_back(corners[v + 1]);
    }
}

// One layer of the layered texture as a 2D texture of its own.
unsigned int layerTexture(const std::vector<uint8_t>& layers, int layer)
{
    const size_t size = static_cast<size_t>(kTerrainTextureSize) * kTerrainTextureSize * 3;
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    // One mipmap level per fragment, as for the sky: on the grain of grass
    // and soil the level seams do not show, and the fetches halve.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kTerrainTextureSize, kTerrainTextureSize, 0, GL_BGR, GL_UNSIGNED_BYTE,
                 layers.data() + size * layer);
    return name;
}

// The store as it stands for this surface and light: emptied when either
// is another.
void keepFor(const VoxelWorld& world, const GroundLight& light, CollectedGround& kept)
{
    const Vector3 sun = light.shading ? light.shading->sun : Vector3();
    const bool same = kept.surface == &world && kept.sun == sun &&
                      std::equal(light.ambient, light.ambient + 3, kept.ambient) &&
                      std::equal(light.diffuse, light.diffuse + 3, kept.diffuse);
    if (same && kept.blocks.size() == size_t(terrain::kBlocks * terrain::kBlocks))
        return;
    kept.surface = &world;
    kept.sun = sun;
    std::copy(light.ambient, light.ambient + 3, kept.ambient);
    std::copy(light.diffuse, light.diffuse + 3, kept.diffuse);
    kept.blocks.assign(terrain::kBlocks * terrain::kBlocks, CollectedGround::Block());
}

// Block b's and its neighbours' revisions (0 past the terrain's edge).
void aroundRevisions(const std::vector<uint32_t>& revisions, int b, uint32_t (&out)[9])
{
    const int bx = b % terrain::kBlocks, bz = b / terrain::kBlocks;
    int k = 0;
    for (int dz = -1; dz <= 1; ++dz)
        for (int dx = -1; dx <= 1; ++dx, ++k) {
            const int x = bx + dx, z = bz + dz;
            const bool inside = x >= 0 && x < terrain::kBlocks && z >= 0 && z < terrain::kBlocks;
            out[k] = inside ? revisions[z * terrain::kBlocks + x] : 0;
        }
}

}  // namespace

void collectGround(const VoxelWorld& world, const Frustum& view, std::vector<GroundVertex> (&groundBatches)[3],
                   const GroundLight& light, const std::vector<uint32_t>* revisions, CollectedGround* kept)
{
    // Heights over all blocks: a block's border columns may be its neighbour's.
    constexpr int kCount = terrain::kBlocks * terrain::kBlocks;
    double top = -1e300, bottom = 1e300;
    for (int b = 0; b < kCount; ++b) {
        top = std::max(top, world.block(b).origin.y + terrain::kVoxel);
        bottom = std::min(bottom, world.block(b).origin.y - terrain::kVoxelsY * terrain::kVoxel);
    }
    const double half = 11.0 + terrain::kVoxel;
    for (std::vector<GroundVertex>& batch : groundBatches)
        batch.clear();
    const bool keeping = kept && revisions && revisions->size() == size_t(kCount);
    if (keeping)
        keepFor(world, light, *kept);
    const auto walk = [&](int b, std::vector<GroundVertex>(&into)[3]) {
        const GroundShading::Column* shades = light.shading ? light.shading->block(world, b).data() : nullptr;
        collectNode(world, world.blockNode(b), b, terrain::kBlockLevel, shades, light, into);
    };
    for (int b = 0; b < kCount; ++b) {
        const Vector3& o = world.block(b).origin;
        if (view.boxOutside(Vector3(o.x - half, bottom, o.z - half), Vector3(o.x + half, top, o.z + half)))
            continue;
        if (!keeping) {
            walk(b, groundBatches);
            continue;
        }
        CollectedGround::Block& block = kept->blocks[b];
        uint32_t now[9];
        aroundRevisions(*revisions, b, now);
        if (!block.valid || !std::equal(now, now + 9, block.revisions)) {
            for (std::vector<GroundVertex>& batch : block.batches)
                batch.clear();
            walk(b, block.batches);
            std::copy(now, now + 9, block.revisions);
            block.valid = true;
        }
        for (int cover = GrassCover; cover <= MixedCover; ++cover)
            groundBatches[cover].insert(groundBatches[cover].end(), block.batches[cover].begin(),
                                        block.batches[cover].end());
    }
}

TerrainView::TerrainView(const Material& material_, const Mesh& element, const std::string& directory)
    : material(material_)
{
    elementDisplayList = buildDisplayList(element);
    createLayeredTexture(directory);
}

TerrainView::~TerrainView() = default;

void TerrainView::draw(const FrameSnapshot& frame, const Vector3& sun)
{
    glPushMatrix();
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, material.ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, material.diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, material.specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, material.shininess);
    if (!shading || !(shading->sun == sun))
        shading = std::make_unique<GroundShading>(sun);
    shading->follow(*frame.surface, frame.surfaceRevisions);
    // The light's own terms, so that the ground, lit per column here, looks
    // as the lit bodies on it do.
    GroundLight light;
    light.shading = shading.get();
    float model[4], ambient[4], diffuse[4];
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, model);
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    for (int k = 0; k < 3; ++k) {
        light.ambient[k] = material.ambient[k] * (model[k] + ambient[k]);
        light.diffuse[k] = material.diffuse[k] * diffuse[k];
    }
    // A snapshot that copied every block may hold another surface at the
    // same revisions: nothing kept is trusted then.
    if (frame.blocksCopied >= terrain::kBlocks * terrain::kBlocks)
        collected.blocks.clear();
    collectGround(*frame.surface, currentViewFrustum(), groundBatches, light, &frame.surfaceRevisions, &collected);
    // Pure grass and pure soil, most of the ground, sample a 2D layer: the
    // software renderer filters a 3D texture at twice the cost. Both layers
    // are the 3D texture's own end layers, so the picture is the same.
    glDisable(GL_LIGHTING);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnable(GL_TEXTURE_2D);
    const unsigned int textures[3] = {grassTexture, soilTexture, layeredTexture};
    for (int cover = GrassCover; cover <= MixedCover; ++cover) {
        const std::vector<GroundVertex>& batch = groundBatches[cover];
        if (batch.empty())
            continue;
        if (cover == MixedCover) {
            glDisable(GL_TEXTURE_2D);
            glEnable(GL_TEXTURE_3D);
            glBindTexture(GL_TEXTURE_3D, textures[cover]);
        } else {
            glBindTexture(GL_TEXTURE_2D, textures[cover]);
        }
        glTexCoordPointer(3, GL_FLOAT, sizeof(GroundVertex), batch[0].tex);
        glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(GroundVertex), batch[0].colour);
        glVertexPointer(3, GL_FLOAT, sizeof(GroundVertex), batch[0].position);
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(batch.size()));
    }
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_TEXTURE_3D);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);  // the array left the last corner's

    for (const Vector3& g : frame.grains) {
        glPushMatrix();
        glTranslatef(static_cast<float>(g.x), static_cast<float>(g.y), static_cast<float>(g.z));
        glCallList(elementDisplayList);
        glPopMatrix();
    }
    drawSoilBeds(frame.beds, soilTexture);
    glPopMatrix();
}

void TerrainView::createLayeredTexture(const std::string& directory)
{
    const std::vector<uint8_t> layers = loadTerrainLayers(directory + "grass256.bmp", directory + "soil256.bmp");
    glGenTextures(1, &layeredTexture);
    glBindTexture(GL_TEXTURE_3D, layeredTexture);
    const auto texImage3D = reinterpret_cast<PFNGLTEXIMAGE3DPROC>(glProcAddress("glTexImage3D"));
    if (!texImage3D)
        throwFatal("[Terrain] glTexImage3D extension error.");
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAX_LEVEL, 4);
    glTexParameteri(GL_TEXTURE_3D, GL_GENERATE_MIPMAP, GL_TRUE);
    // Uncompressed: the software renderer decodes compressed texels for every
    // fragment, which made the ground the dearest thing on screen. Four bytes
    // a texel, as all our textures: it fetches those whole.
    texImage3D(GL_TEXTURE_3D, 0, GL_RGBA8, kTerrainTextureSize, kTerrainTextureSize, kTerrainLayers, 0,
               GL_BGR, GL_UNSIGNED_BYTE, layers.data());
    grassTexture = layerTexture(layers, 0);
    soilTexture = layerTexture(layers, kTerrainLayers - 1);
}
