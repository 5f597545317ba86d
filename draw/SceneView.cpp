#include "draw/SceneView.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>

#include "assets/ModelLoader.h"
#include "draw/ExcavatorView.h"
#include "draw/ForestView.h"
#include "draw/GradeMarking.h"
#include "draw/MachineShadow.h"
#include "draw/MeshDraw.h"
#include "draw/Skybox.h"
#include "draw/TerrainView.h"
#include "excavator/Excavator.h"
#include "world/Billboard.h"
#include "world/FrameSnapshot.h"
#include "terrain/Terrain.h"
#include "terrain/VoxelWorld.h"
#include "world/World.h"

SceneView::SceneView(const World& world, const std::string& directory)
{
    skybox = std::make_unique<Skybox>(directory);
    terrain = std::make_unique<TerrainView>(world.terrain().material, world.models->getMesh("terrainElement", true),
                                            directory);
    std::vector<const Billboard*> billboards;
    for (const Object* o : world.bodies()) {
        const BodyRole role = world.roleOf(*o);
        if (role == BodyRole::Forest)
            billboards.push_back(static_cast<const Billboard*>(o));
        else if (role != BodyRole::Machine && role != BodyRole::Ground)
            scenery.push_back(Body{buildDisplayList(o->meshes[0]), o->position, o->orientation});
    }
    if (world.excavator)
        excavator = std::make_unique<ExcavatorView>(*world.excavator, *world.models);
    forests = std::make_unique<ForestView>(billboards, directory);
    gradeMarking = std::make_unique<GradeMarking>();
    shadow = std::make_unique<MachineShadow>();
}

namespace {

// The drawn ground's height at (x, z): its nearest column.
bool surfaceHeight(const VoxelWorld& surface, double x, double z, double& y)
{
    const int b = surface.blockIndexAt({x, 0.0, z});
    if (!surface.validBlock(b))
        return false;
    int16_t cx, cy, cz;
    surface.voxelCoordsAt(b, {x, 0.0, z}, cx, cy, cz);
    if (cx < 0 || cx > 64 || cz < 0 || cz > 64)
        return false;
    y = surface.block(b).refs[cx * terrain::kColumns + cz]->position[1];
    return true;
}

}  // namespace

SceneView::~SceneView() = default;

// A view line that leaves the eye above the ground and the ground's square
// lower than the square's lowest edge column has crossed the ground, which
// is continuous. Going down at a slope steeper than (eye height over the
// lowest edge) over (nearest edge's distance) it is that low where it
// leaves. The cube's sides face the square's (the sky turns by the view's
// heading only): a line through a side below -400 times that slope leaves
// through any edge of the square steeper still.
double skyHiddenBelow(const VoxelWorld& surface, const Vector3& eye)
{
    constexpr int n = terrain::kBlocks, last = terrain::kColumns - 1;
    double lowest = 1e300, west = 1e300, east = -1e300, south = 1e300, north = -1e300;
    const auto edge = [&](int b, int cx, int cz) {
        const float* p = surface.block(b).refs[cx * terrain::kColumns + cz]->position;
        lowest = std::min(lowest, double(p[1]));
        west = std::min(west, double(p[0]));
        east = std::max(east, double(p[0]));
        south = std::min(south, double(p[2]));
        north = std::max(north, double(p[2]));
    };
    for (int k = 0; k < n; ++k)
        for (int c = 0; c <= last; ++c) {
            edge(k, c, 0);                    // the first row of blocks, z low
            edge((n - 1) * n + k, c, last);   // the last row, z high
            edge(k * n, 0, c);                // the first column, x low
            edge(k * n + n - 1, last, c);     // the last column, x high
        }
    const double nearest = std::min({eye.x - west, east - eye.x, eye.z - south, north - eye.z});
    double under = 0.0;
    // A metre's margin: a coarse leaf's triangles may pass above its columns.
    if (nearest <= 0.0 || !surfaceHeight(surface, eye.x, eye.z, under) || eye.y < under + 1.0)
        return -Skybox::kHalfSide;
    const double slope = std::max(0.0, eye.y - lowest) / nearest;
    return -Skybox::kHalfSide * (slope * 1.01 + 0.005);
}

void SceneView::draw(const FrameSnapshot& frame)
{
    const ViewPose& v = frame.view;
    // The machine as the sun sees it, before this frame's own depth.
    if (excavator) {
        excavator->enclose(frame.machine, machineBalls, &machineOutline);
        shadow->cast(sun, machineBalls, [&] { excavator->draw(frame.machine, terrain->elementDisplayList, true); });
    }
    // Depth only: the sky covers every pixel the objects leave.
    glClear(GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(v.eye.x, v.eye.y, v.eye.z, v.center.x, v.center.y, v.center.z, v.up.x, v.up.y, v.up.z);

    // Given after the view, so the light stays fixed in the world.
    const float light[4] = {float(sun.x), float(sun.y), float(sun.z), 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, light);

    // Opaque objects first: the sky, further away than any of them, then
    // fills only the pixels they left, and the blended trees come after it.
    // The machine, nearest the eye, goes first, so that the ground it hides
    // fails the depth test instead of being shaded and painted over.
    if (excavator) {
        // Its textures are plain white and left out: its highlights need no
        // colour of their own carried to every corner and fragment.
        glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SINGLE_COLOR);
        excavator->draw(frame.machine, terrain->elementDisplayList);
        glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    }
    terrain->draw(frame, sun);
    if (excavator)
        shadow->darken(terrain->groundBatches, machineOutline);
    for (const Body& body : scenery)
        drawAtPose(body.list, body.position, body.orientation);
    // On the ground's depth, before the sky fills what is left.
    if (frame.grade.set)
        gradeMarking->draw(frame.grade.level, frame.grade.edge, [&](double x, double z, double& y) {
            return surfaceHeight(*frame.surface, x, z, y);
        });

    // The sky turns with the view but never moves with the eye.
    glPushMatrix();
    glLoadIdentity();
    glRotatef(static_cast<float>(90.0 - v.pitch * 57.29577951308232), 1.0f, 0.0f, 0.0f);
    glRotatef(static_cast<float>(-v.yaw * 57.29577951308232), 0.0f, 1.0f, 0.0f);
    // Its far corners lie a few depth units short of the cleared depth, so
    // equal passes too; nothing drawn later lies beyond it.
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_FALSE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    // The sky's texels replace its light, and the foliage has no
    // highlights: neither needs a second colour.
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SINGLE_COLOR);
    skybox->draw(skyHiddenBelow(*frame.surface, v.eye));
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LESS);
    glPopMatrix();

    forests->draw(v.eye, v.yaw);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    // The cabin glass last, blended over everything behind it.
    if (excavator)
        excavator->drawTransparent(frame.machine);
}
