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
using excavatorsums::expectedSums;
using excavatorsums::modelPivots;

namespace {

constexpr double degree = 3.141592653589793 / 180.0;

const char* const outlineGroups[7] = {"rightTrackOutline",  "leftTrackOutline", "platformOutline",
                                      "bodyworkOutline",    "monoblockOutline", "bendingArmOutline",
                                      "groundPlateOutline"};

// Built once per test process (loading the model and compiling its lists).
Excavator& machine()
{
    static Excavator* excavator = [] {
        EXPECT_TRUE(ensureGLContext()) << SDL_GetError();
        return new Excavator(nullptr);
    }();
    return *excavator;
}

void setJoints(Excavator& e, const JointAngles& a)
{
    e.meshes[Bodywork].angle = a.slew;
    e.meshes[Monoblock].angle = a.monoblock;
    e.meshes[BendingArm].angle = a.bendingArm;
    e.meshes[GroundPlate].angle = a.groundPlate;
}

// The outlines as the model file has them, with the design's masses and
// the bodywork's mass shift, each through computeProperties.
const Mesh* modelOutlines()
{
    static Mesh* parts = [] {
        const double masses[7] = {3150, 3150, 1630, 11850, 1760, 1210, 790};
        Mesh* p = new Mesh[7];
        for (int i = 0; i < 7; ++i) {
            p[i] = ModelLoader::getInstance().getMesh(outlineGroups[i], false);
            p[i].computeProperties();
            p[i].mass = masses[i];
        }
        p[Bodywork].centreOfMass += Vector3(-0.85, -0.45, 0.176918);
        return p;
    }();
    return parts;
}

}  // namespace

TEST(Excavator, ConstructionFromTheModel)
{
    Excavator& e = machine();
    const Mesh* model = modelOutlines();
    ASSERT_EQ(e.meshCount, 7u);
    double total = 0.0;
    for (int i = 0; i < 7; ++i) {
        const Mesh& m = e.meshes[i];
        EXPECT_EQ(m.index, i);
        total += m.mass;
        expectNear(m.referencePoint, modelPivots[i], 0.0, outlineGroups[i]);
        // Positions pivot-relative, the centre of mass still in the model frame.
        ASSERT_EQ(m.positions.size(), model[i].positions.size());
        for (size_t v = 0; v < m.positions.size(); ++v)
            expectNear(m.positions[v], model[i].positions[v] - modelPivots[i], 1e-12, outlineGroups[i]);
        expectNear(m.centreOfMass, model[i].centreOfMass, 1e-12, outlineGroups[i]);
        EXPECT_EQ(m.angle, 0.0);
    }
    EXPECT_DOUBLE_EQ(total, 23540.0);
    EXPECT_DOUBLE_EQ(e.mass, 23540.0);
    // Between the tracks and 1.23 m above their bottom, where the start pose was worked out for.
    expectNear(e.comOffset, Vector3(-0.153, 1.233, 0.084), 1e-3);
}

TEST(Excavator, MassPropertiesEqualThePartSumsInEveryPose)
{
    Excavator& e = machine();
    const Mesh* model = modelOutlines();
    const JointAngles poses[] = {{0, 0, 0, 0},
                                 {1.1, 0, 0, 0},
                                 {0, 65 * degree, 0, 0},
                                 {0, -32 * degree, 0, 0},
                                 {0, 0, 120 * degree, 0},
                                 {0, 0, 0, 140 * degree},
                                 {0, 0, 0, -15 * degree},
                                 {-2.0, 40 * degree, 90 * degree, 70 * degree}};
    for (const JointAngles& a : poses) {
        setJoints(e, a);
        e.updateMassProperties();
        const excavatorsums::Sums want = expectedSums(model, a);
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
    setJoints(e, JointAngles());
    e.updateMassProperties();
}

TEST(Excavator, PredictPlacesTheOutlinesOfTheTentativePose)
{
    Excavator& e = machine();
    const Mesh* model = modelOutlines();
    // Body frame = world frame: the model frame shifted by comOffset.
    e.orientation = Quaternion();
    e.velocity = e.angularVelocity = Vector3();
    e.position = e.comOffset;
    e.predict(0.003);
    for (int i = 0; i < 7; ++i) {
        const Mesh& m = e.meshes[i];
        for (size_t v = 0; v < m.positions.size(); ++v)
            expectNear(m.workingPositions[v], model[i].positions[v], 1e-12, outlineGroups[i]);
    }

    // A quarter turn of slew in one step: the upper structure turns about the
    // vertical through the bodywork pivot, the undercarriage stays.
    e.slewRate = 3.141592653589793 / 2;
    e.predict(1.0);
    EXPECT_DOUBLE_EQ(e.tentativeSlew, 3.141592653589793 / 2);
    for (int i = 0; i < 7; ++i) {
        const Mesh& m = e.meshes[i];
        Vector3 lo = m.workingPositions[0], hi = lo;
        for (size_t v = 0; v < m.positions.size(); ++v) {
            const Vector3 p = model[i].positions[v];
            const Vector3 want = i < 3 ? p : Vector3(p.z, p.y, -p.x);  // p3 lies on the y axis
            expectNear(m.workingPositions[v], want, 1e-12, outlineGroups[i]);
            const Vector3 w = m.workingPositions[v];
            lo = {std::min(lo.x, w.x), std::min(lo.y, w.y), std::min(lo.z, w.z)};
            hi = {std::max(hi.x, w.x), std::max(hi.y, w.y), std::max(hi.z, w.z)};
        }
        expectNear(m.boxMin, lo, 0.0);
        expectNear(m.boxMax, hi, 0.0);
        for (size_t t = 0; t < m.edges.size(); ++t) {
            const Vector3 n = model[i].edges[t].normal;
            const Vector3 want = i < 3 ? n : Vector3(n.z, n.y, -n.x);
            expectNear(m.edges[t].workingNormal, want, 1e-12);
        }
    }
    e.slewRate = 0.0;
}

TEST(Excavator, PointVelocityIsTheMotionOfAPointOfThePart)
{
    Excavator& e = machine();
    setJoints(e, {0.4, 20 * degree, 60 * degree, 30 * degree});
    e.updateMassProperties();
    e.position = Vector3(3.0, 2.0, -1.0);
    e.orientation = Quaternion(0.95, 0.1, -0.2, 0.15);
    normalize(e.orientation);
    e.velocity = Vector3(1.0, -0.5, 0.3);
    e.angularVelocity = Vector3(0.2, -0.4, 0.1);
    e.slewRate = 0.3;
    e.monoblockRate = -0.2;
    e.bendingArmRate = 0.5;
    e.groundPlateRate = 0.7;
    const JointAngles a = jointAngles(e.meshes), r = e.jointRates();
    const Vector3 local(0.4, 0.9, 0.2);
    const double h = 1e-6;
    for (int part = 0; part < 7; ++part) {
        // The part's point at time t: joints advanced by their rates, the
        // body moved rigidly by its velocities.
        auto worldAt = [&](double t) {
            const JointAngles at{a.slew + t * r.slew, a.monoblock + t * r.monoblock, a.bendingArm + t * r.bendingArm,
                                 a.groundPlate + t * r.groundPlate};
            const Vector3 model = chained(part, local + modelPivots[part], at);
            Quaternion q = integrateOrientation(e.orientation, e.angularVelocity, t);
            normalize(q);
            return rotate(model - e.comOffset, q) + e.position + e.velocity * t;
        };
        const Vector3 difference = (worldAt(h) - worldAt(-h)) / (2 * h);
        Vector3 out;
        EXPECT_EQ(&e.pointVelocity(out, worldAt(0.0), part), &out);
        expectNear(out, difference, 1e-6, outlineGroups[part]);
    }
    e.slewRate = e.monoblockRate = e.bendingArmRate = e.groundPlateRate = 0.0;
    e.velocity = e.angularVelocity = Vector3();
    setJoints(e, JointAngles());
    e.updateMassProperties();
}

TEST(Excavator, DrawingRestoresTheGLState)
{
    Excavator& e = machine();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    float before[16], after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    e.draw();
    e.drawTransparent();
    // The two boom cylinder pair lists shift and unshift the matrix between them.
    glCallList(e.monoblockServoOuterList);
    glCallList(e.monoblockServoInnerList);
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(before[k], after[k]) << k;
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Excavator, SoilBlocksAreDrawnInTheirCellsOfTheBucket)
{
    Excavator& e = machine();
    Terrain ground(flatGrid(0.0));
    // A grain drawn as one point, so feedback shows where each one lands.
    ground.elementDisplayList = glGenLists(1);
    glNewList(ground.elementDisplayList, GL_COMPILE);
    glBegin(GL_POINTS);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glEnd();
    glEndList();
    e.terrain = &ground;

    setJoints(e, {0.3, 20 * degree, 50 * degree, 40 * degree});
    e.updateMassProperties();
    e.position = e.comOffset;  // model frame = world frame
    e.orientation = Quaternion();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);

    auto drawnGrains = [&] {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-10, 10, -10, 10, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        std::vector<GLfloat> buffer(1 << 23);
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        e.draw();
        const GLint used = glRenderMode(GL_RENDER);
        EXPECT_GE(used, 0) << "feedback buffer overflow";
        std::vector<Vector3> points;
        for (GLint n = 0; n < used;) {
            const GLint token = static_cast<GLint>(buffer[n++]);
            if (token == GL_POINT_TOKEN) {
                // Window coordinates back to the world.
                points.push_back({(buffer[n] - viewport[0]) / viewport[2] * 20.0 - 10.0,
                                  (buffer[n + 1] - viewport[1]) / viewport[3] * 20.0 - 10.0,
                                  -(buffer[n + 2] * 2.0 - 1.0) * 10.0});
                n += 3;
            } else if (token == GL_POLYGON_TOKEN) {
                n += 1 + 3 * static_cast<GLint>(buffer[n]);
            } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
                n += 6;
            } else if (token == GL_PASS_THROUGH_TOKEN) {
                n += 1;
            } else {
                n += 3;  // bitmap and pixel tokens
            }
        }
        return points;
    };

    EXPECT_TRUE(drawnGrains().empty());
    for (int n = 0; n < 7; ++n)
        e.bucket.addSoil();
    const std::vector<Vector3> points = drawnGrains();
    ASSERT_EQ(points.size(), 7u);
    const JointAngles a = jointAngles(e.meshes);
    size_t next = 0;
    for (const BucketCell& cell : e.bucket.cells) {
        if (cell.state != BucketCell::Soil)
            continue;
        const Vector3 want = chained(GroundPlate, cell.position + modelPivots[GroundPlate], a);
        expectNear(points[next++], want, 2e-3);
    }

    e.terrain = nullptr;
    e.bucket = BucketGrid();
    setJoints(e, JointAngles());
    e.updateMassProperties();
}
