#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <vector>

#include "ExcavatorSums.h"
#include "GLContext.h"
#include "TestShapes.h"
#include "assets/ModelLoader.h"
#include "excavator/Excavator.h"
#include "world/Terrain.h"

using excavatorsums::chained;
using excavatorsums::modelPivots;

namespace {

constexpr double degree = 3.141592653589793 / 180.0;

// Built once per test process (loading the model and compiling its lists).
Excavator& machine()
{
    static Excavator* excavator = [] {
        EXPECT_TRUE(ensureGLContext()) << SDL_GetError();
        return new Excavator(nullptr);
    }();
    return *excavator;
}

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

// The outlines' centres and inertias as the model file has them, with the
// design's masses and the bodywork's mass shift.
const Mesh* modelOutlines()
{
    static Mesh* parts = [] {
        const char* groups[7] = {"rightTrackOutline", "leftTrackOutline",  "platformOutline",   "bodyworkOutline",
                                 "monoblockOutline",  "bendingArmOutline", "groundPlateOutline"};
        const double masses[7] = {3150, 3150, 1630, 11850, 1760, 1210, 790};
        Mesh* p = new Mesh[7];
        for (int i = 0; i < 7; ++i) {
            p[i] = ModelLoader::getInstance().getMesh(groups[i], false);
            p[i].computeProperties();
            p[i].mass = masses[i];
        }
        p[Bodywork].centreOfMass += Vector3(-0.85, -0.45, 0.176918);
        return p;
    }();
    return parts;
}

}  // namespace

TEST(Excavator, MassPropertiesEqualThePartSumsInEveryPose)
{
    Excavator& e = machine();
    const Mesh* model = modelOutlines();
    const JointAngles poses[] = {{0, 0, 0, 0},           {1.1, 0, 0, 0},          {0, 65 * degree, 0, 0},
                                 {0, 0, 120 * degree, 0}, {0, 0, 0, 140 * degree},
                                 {-2.0, 40 * degree, 90 * degree, 70 * degree}};
    for (const JointAngles& a : poses) {
        pose(e, a);
        const excavatorsums::Sums want = excavatorsums::expectedSums(model, a);
        EXPECT_DOUBLE_EQ(e.mass, 23540.0);
        expectNear(e.comOffset, want.centre, 1e-9);
        for (int k = 0; k < 9; ++k)
            EXPECT_NEAR(e.inertiaBody.m[k], want.inertia.m[k], 1e-9 * std::fabs(want.inertia.m[k]) + 1e-9);
        EXPECT_NEAR(e.slewInertia, want.slewInertia, 1e-9 * want.slewInertia);
        const Matrix3 product = e.inertiaBody * e.inverseInertiaBody;
        for (int k = 0; k < 9; ++k)
            EXPECT_NEAR(product.m[k], k % 4 == 0 ? 1.0 : 0.0, 1e-9);
        for (int i = 0; i < 7; ++i)
            expectNear(e.meshes[i].bodyCentreOfMass, chained(i, model[i].centreOfMass, a), 1e-12);
    }
    pose(e);
}

// Every part's point velocity is the time derivative of that point, carried
// by the joints' rates and the body's motion.
TEST(Excavator, PointVelocityIsTheMotionOfAPointOfThePart)
{
    Excavator& e = machine();
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
    pose(e);
}

// Drawing leaves the matrix and the switches as it found them; the soil in the
// bucket is drawn one grain per filled cell, in that cell of the posed bucket.
TEST(Excavator, DrawingRestoresTheGLStateAndShowsTheSoilInTheBucket)
{
    Excavator& e = machine();
    Terrain ground(flatGrid(0.0));
    ground.elementDisplayList = glGenLists(1);  // a grain drawn as one point
    glNewList(ground.elementDisplayList, GL_COMPILE);
    glBegin(GL_POINTS);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glEnd();
    glEndList();
    e.terrain = &ground;
    pose(e, {0.3, 20 * degree, 50 * degree, 40 * degree});
    for (int n = 0; n < 7; ++n)
        e.bucket.addSoil();

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-10, 10, -10, 10, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT_AND_BACK);  // only the grains come back
    glDisable(GL_BLEND);
    float before[16], after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    e.draw();
    const GLint used = glRenderMode(GL_RENDER);
    e.drawTransparent();
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(before[k], after[k]) << k;
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE) && !glIsEnabled(GL_BLEND));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glCullFace(GL_BACK);

    ASSERT_EQ(used, 7 * 4);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const JointAngles a = jointAngles(e.meshes);
    const GLfloat* point = buffer.data();
    for (const BucketCell& cell : e.bucket.cells) {
        if (cell.state != BucketCell::Soil)
            continue;
        ASSERT_EQ(point[0], GL_POINT_TOKEN);
        const Vector3 drawn((point[1] - viewport[0]) / viewport[2] * 20.0 - 10.0,
                            (point[2] - viewport[1]) / viewport[3] * 20.0 - 10.0, -(point[3] * 2.0 - 1.0) * 10.0);
        expectNear(drawn, chained(GroundPlate, cell.position + modelPivots[GroundPlate], a), 2e-3);
        point += 4;
    }
    e.terrain = nullptr;
    e.bucket = BucketGrid();
    pose(e);
}
