#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>

#include "ExcavatorSums.h"
#include "GLContext.h"
#include "TestShapes.h"
#include "draw/ExcavatorView.h"
#include "excavator/Excavator.h"
#include "world/FrameSnapshot.h"

using excavatorsums::chained;
using excavatorsums::modelPivots;

namespace {

constexpr double degree = 3.141592653589793 / 180.0;

// Sets the joints, with the body frame at the model frame, and everything at rest.
void pose(Excavator& e, const JointAngles& a = JointAngles())
{
    e.meshes[Bodywork].angle = a.slew;
    e.meshes[Monoblock].angle = a.monoblock;
    e.meshes[BendingArm].angle = a.bendingArm;
    e.meshes[GroundPlate].angle = a.groundPlate;
    e.updateMassProperties();
    e.orientation = Quaternion();
    e.position = e.comOffset;
    e.velocity = e.angularVelocity = Vector3();
    e.slewRate = e.monoblockRate = e.bendingArmRate = e.groundPlateRate = 0.0;
}

}  // namespace

// Every part's point velocity is the time derivative of that point, carried
// by the joints' rates and the body's motion.
TEST(Excavator, PointVelocityIsTheMotionOfAPointOfThePart)
{
    Excavator e(nullptr);
    pose(e, {0.4, 20 * degree, 60 * degree, 30 * degree});
    e.position = Vector3(3.0, 2.0, -1.0);
    normalize(e.orientation = Quaternion(0.95, 0.1, -0.2, 0.15));
    e.velocity = Vector3(1.0, -0.5, 0.3);
    e.angularVelocity = Vector3(0.2, -0.4, 0.1);
    e.slewRate = 0.3, e.monoblockRate = -0.2, e.bendingArmRate = 0.5, e.groundPlateRate = 0.7;
    const JointAngles a = jointAngles(e.meshes), r = e.jointRates();
    const Vector3 local(0.4, 0.9, 0.2);
    for (int part = 0; part < 7; ++part) {
        auto worldAt = [&](double t) {
            const JointAngles at{a.slew + t * r.slew, a.monoblock + t * r.monoblock,
                                 a.bendingArm + t * r.bendingArm, a.groundPlate + t * r.groundPlate};
            Quaternion q = integrateOrientation(e.orientation, e.angularVelocity, t);
            normalize(q);
            return rotate(chained(part, local + modelPivots[part], at) - e.comOffset, q) + e.position + e.velocity * t;
        };
        Vector3 out;
        e.pointVelocity(out, worldAt(0.0), part);
        expectNear(out, (worldAt(1e-6) - worldAt(-1e-6)) / 2e-6, 1e-6);
    }
}

// Drawing leaves the matrix and the switches as it found them; the soil in the
// bucket is drawn one grain per filled cell, in that cell of the posed bucket.
TEST(Excavator, DrawingRestoresTheGLStateAndShowsTheSoilInTheBucket)
{
    ASSERT_TRUE(ensureGLContext()) << SDL_GetError();
    Excavator e(nullptr);
    ExcavatorView view(e);
    const unsigned int grain = glGenLists(1);  // drawn as one point
    glNewList(grain, GL_COMPILE);
    glBegin(GL_POINTS);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glEnd();
    glEndList();
    pose(e, {0.3, 20 * degree, 50 * degree, 40 * degree});
    for (int n = 0; n < 7; ++n)
        e.bucket.addSoil();
    glViewport(0, 0, 64, 64);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-10, 10, -10, 10, -10, 10);  // a window coordinate c is c * 20 / 64 - 10
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT_AND_BACK);  // only the grains come back
    glDisable(GL_BLEND);
    GLfloat buffer[1024], matrix[16];
    ExcavatorPose posed;
    copyPose(e, 0, posed);
    glFeedbackBuffer(1024, GL_3D, buffer);
    glRenderMode(GL_FEEDBACK);
    view.draw(posed, grain);
    const GLint used = glRenderMode(GL_RENDER);
    view.drawTransparent(posed);
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(matrix[k], k % 5 == 0 ? 1.0f : 0.0f);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE) && !glIsEnabled(GL_BLEND));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glCullFace(GL_BACK);

    ASSERT_EQ(used, 7 * 4);
    const GLfloat* point = buffer;
    for (const BucketCell& cell : e.bucket.cells)
        if (cell.state == BucketCell::Soil) {
            const Vector3 drawn(point[1] * 20 / 64 - 10, point[2] * 20 / 64 - 10, 10 - point[3] * 20);
            expectNear(drawn, chained(GroundPlate, cell.position + modelPivots[GroundPlate], jointAngles(e.meshes)), 2e-3);
            point += 4;  // a point token and its window coordinates
        }
}

TEST(ExcavatorView, KeepsOnlyTrianglesFacingTheEye)
{
    // Counter-clockwise seen from +z; the second turned round; the third
    // edge-on. Each corner's first float tags its triangle.
    std::vector<float> corners;
    const float triangles[3][3][3] = {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
                                      {{0, 0, 1}, {0, 1, 1}, {1, 0, 1}},
                                      {{0, 0, 2}, {1, 0, 2}, {2, 0, 2}}};
    for (int t = 0; t < 3; ++t)
        for (const auto& p : triangles[t])
            corners.insert(corners.end(), {float(t), 0, 0, 0, 1, p[0], p[1], p[2]});
    const struct {
        Vector3 eye;
        std::vector<float> kept;
    } cases[] = {{{0.2, 0.2, 5.0}, {0.0f}}, {{0.2, 0.2, -5.0}, {1.0f}}, {{0.2, 0.2, 1.5}, {0.0f}}};
    for (const auto& c : cases) {
        std::vector<float> work = corners;
        const size_t n = keepFacing(work.data(), work.size(), c.eye);
        ASSERT_EQ(n, c.kept.size() * 3 * Mesh::kCornerFloats) << c.eye.z;
        for (size_t k = 0; k < n; k += Mesh::kCornerFloats)
            EXPECT_EQ(work[k], c.kept[k / (3 * Mesh::kCornerFloats)]) << c.eye.z;
    }
}

// The roughest level whose gap to the whole part shows less than the lens's
// tolerance, at the ball's point nearest the eye: the program's window
// (60 degrees high, 1024 x 768) and a square sun's map seen orthographically.
TEST(ExcavatorView, DrawsEachPartAtTheRoughestLevelTheLensCannotTellApart)
{
    Lens window, sun10, sun3;
    const float f = float(1.0 / std::tan(M_PI / 6.0));
    const float perspective[16] = {f * 0.75f, 0, 0, 0, 0, f, 0, 0, 0, 0, -1.0002f, -1, 0, 0, -0.2f, 0};
    std::copy(perspective, perspective + 16, window.projection);
    window.width = 1024;
    window.height = 768;
    for (auto [lens, across] : {std::pair{&sun10, 10.0f}, std::pair{&sun3, 3.0f}}) {
        const float orthographic[16] = {2 / across, 0, 0, 0, 0, 2 / across, 0, 0, 0, 0, -0.01f, 0, 0, 0, -1, 1};
        std::copy(orthographic, orthographic + 16, lens->projection);
        lens->width = lens->height = 384;
        lens->tolerance = 1.0;
    }
    DetailedPart part;
    part.gaps[1] = 0.006;
    part.gaps[2] = 0.014;
    part.radius = 0.5;
    const struct {
        const Lens& lens;
        double distance, across;  // the part's centre ahead of the eye, and aside
        int level;
    } cases[] = {{window, 4.0, 0.0, 0},   {window, 12.0, 0.0, 1},  {window, 40.0, 0.0, 2},
                 {window, 10.0, 0.0, 1},  {window, 10.0, 7.7, 0},  {window, 0.3, 0.0, 0},
                 {sun10, 100.0, 0.0, 2},  {sun3, 100.0, 0.0, 1}};
    for (const auto& c : cases) {
        const float modelview[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, float(c.across), 0, float(-c.distance), 1};
        EXPECT_EQ(detailLevel(part, modelview, c.lens), c.level) << c.distance << " " << c.across;
    }
}
