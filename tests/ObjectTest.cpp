#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "assets/Mesh.h"
#include "physics/Object.h"

namespace {

constexpr double kStep = 0.003;
constexpr double kG = 9.81;
const double kPi = std::acos(-1.0);
const Vector3 kNoUv;

void expectNear(const Vector3& a, const Vector3& b, double tol)
{
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

Mesh makeBox(const Vector3& lo, const Vector3& hi)
{
    auto c = [&](int i, int j, int k) { return Vector3(i ? hi.x : lo.x, j ? hi.y : lo.y, k ? hi.z : lo.z); };
    Mesh m;
    auto quad = [&](const Vector3& a, const Vector3& b, const Vector3& cc, const Vector3& d) {
        m.addTriangle(a, b, cc, kNoUv, kNoUv, kNoUv, 0);
        m.addTriangle(a, cc, d, kNoUv, kNoUv, kNoUv, 0);
    };
    quad(c(0, 0, 0), c(1, 0, 0), c(1, 0, 1), c(0, 0, 1));
    quad(c(0, 1, 0), c(0, 1, 1), c(1, 1, 1), c(1, 1, 0));
    quad(c(0, 0, 0), c(0, 0, 1), c(0, 1, 1), c(0, 1, 0));
    quad(c(1, 0, 0), c(1, 1, 0), c(1, 1, 1), c(1, 0, 1));
    quad(c(0, 0, 0), c(0, 1, 0), c(1, 1, 0), c(1, 0, 0));
    quad(c(0, 0, 1), c(1, 0, 1), c(1, 1, 1), c(0, 1, 1));
    return m;
}

// A box body set up the way the model constructor sets up a scenery piece,
// without the loader or a display list. Radius 0 switches the air drag off.
struct BoxBody : Object {
    BoxBody(int32_t kind_, double mass_, const Vector3& lo, const Vector3& hi) : Object(kind_)
    {
        meshCount = 1;
        meshes = new Mesh[1];
        meshes[0] = makeBox(lo, hi);
        meshes[0].computeProperties();
        meshes[0].translate(-meshes[0].centreOfMass);
        position = predictedPosition = meshes[0].centreOfMass;
        mass = mass_;
        inertiaBody = meshes[0].inertia * mass;
        inverseInertiaBody = inverse(inertiaBody);
        inverseInertiaWorld = inverseInertiaBody;
    }
};

void step(Object& o)
{
    o.computeForces();
    o.integrateMomentum(kStep);
    o.integrateState(kStep);
}

double kineticEnergy(const Object& o) { return 0.5 * dot(o.angularVelocity, o.angularMomentum); }

}  // namespace

TEST(Object, IntegratorStepIsTheFourStageSumNotPlainRateTimesStep)
{
    // D(u, h) = u·h·(1 + h/2 + h²/6 + h³/24) for a constant rate.
    const double h = kStep;
    const Vector3 d = integrateStep({2, -1, 0.5}, h);
    const double c = 1 + h / 2 + h * h / 6 + h * h * h / 24;
    expectNear(d, Vector3(2, -1, 0.5) * (h * c), 1e-18);
    EXPECT_GT(std::fabs(d.x - 2 * h), 1e-6);

    // The orientation integrator is classic fourth order: a quarter turn about z in 100 steps.
    const Vector3 w(0, 0, kPi / 2);
    Quaternion q;
    for (int i = 0; i < 100; ++i)
        q = integrateOrientation(q, w, 0.01);
    EXPECT_NEAR(q.w, std::cos(kPi / 4), 1e-10);
    EXPECT_NEAR(q.z, std::sin(kPi / 4), 1e-10);
    EXPECT_EQ(q.x, 0.0);
}

TEST(Object, FreeFallMatchesTheIntegratorsClosedForm)
{
    const double m = 2.5;
    BoxBody body(1, m, {-0.5, 10, -0.5}, {0.5, 11, 0.5});
    const Vector3 start = body.position;
    const int n = static_cast<int>(std::lround(1.0 / kStep));  // 333 steps, t = 0.999 s
    for (int i = 0; i < n; ++i) {
        step(body);
        // Gravity is set afresh each step, never accumulated.
        ASSERT_EQ(body.force.x, 0.0);
        ASSERT_EQ(body.force.y, -m * kG);
        ASSERT_EQ(body.force.z, 0.0);
    }
    // Each step scales u·h by c, so v_k = -g·h·c·k and the drop is g·h²·c²·n(n+1)/2,
    // against the exact g·t²/2: a relative excess of c²(1 + 1/n) - 1, about 0.6 %.
    const double h = kStep, t = n * h;
    const double c = 1 + h / 2 + h * h / 6 + h * h * h / 24;
    const double drop = kG * h * h * c * c * n * (n + 1) / 2.0;
    const double exact = 0.5 * kG * t * t;
    EXPECT_NEAR(start.y - body.position.y, drop, 1e-9);
    EXPECT_NEAR(body.velocity.y, -kG * h * c * n, 1e-9);
    EXPECT_NEAR(body.momentum.y, -m * kG * h * c * n, 1e-9);
    const double relative = (start.y - body.position.y - exact) / exact;
    EXPECT_NEAR(relative, c * c * (1.0 + 1.0 / n) - 1.0, 1e-9);
    EXPECT_GT(relative, 0.005);
    EXPECT_LT(relative, 0.007);
    EXPECT_EQ(body.position.x, start.x);
    EXPECT_EQ(body.angularVelocity, Vector3());
    EXPECT_EQ(body.orientation.w, 1.0);
}

TEST(Object, AirDragOpposesMotionAndPredictMovesOnlyTheWorkingGeometry)
{
    BoxBody body(3, 4.0, {0, 0, 0}, {2, 2, 2});
    body.radius = 1.0;
    body.velocity = {3, 0, 4};
    body.angularVelocity = {0, 2, 0};
    body.computeForces();
    const double area = kPi;
    expectNear(body.force, Vector3(-0.6, 0, -0.8) * (25 * 0.003225 * area) + Vector3(0, -4 * kG, 0), 1e-12);
    expectNear(body.torque, Vector3(0, -4 * 0.03225 * area, 0), 1e-12);

    // predict: the pose after dt goes into the predicted fields and the working copies only.
    body.orientation = Quaternion(std::cos(0.3), 0, std::sin(0.3), 0);
    const Vector3 pos = body.position;
    const Quaternion ori = body.orientation;
    body.predict(0.1);
    EXPECT_EQ(body.position, pos);
    EXPECT_EQ(body.orientation.y, ori.y);
    expectNear(body.predictedPosition, pos + integrateStep(body.velocity, 0.1), 1e-15);
    Quaternion q = integrateOrientation(ori, body.angularVelocity, 0.1);
    normalize(q);
    EXPECT_NEAR(body.predictedOrientation.y, q.y, 1e-15);
    // About 0.3 + 0.1 rad half-angle, i.e. 0.8 rad about y.
    EXPECT_NEAR(body.predictedOrientation.y, std::sin(0.4), 1e-6);
    const Mesh& mesh = body.meshes[0];
    Vector3 lo(1e9, 1e9, 1e9), hi(-1e9, -1e9, -1e9);
    for (size_t i = 0; i < mesh.positions.size(); ++i) {
        const Vector3 w = rotate(mesh.positions[i], q) + body.predictedPosition;
        expectNear(mesh.workingPositions[i], w, 1e-12);
        lo = Vector3(std::min(lo.x, w.x), std::min(lo.y, w.y), std::min(lo.z, w.z));
        hi = Vector3(std::max(hi.x, w.x), std::max(hi.y, w.y), std::max(hi.z, w.z));
    }
    expectNear(mesh.boxMin, lo, 1e-12);
    expectNear(mesh.boxMax, hi, 1e-12);
    for (const MeshTriangle& t : mesh.triangles)
        expectNear(t.workingCentre, rotate(t.centre, q) + body.predictedPosition, 1e-12);
    for (const MeshEdge& e : mesh.edges)
        expectNear(e.workingNormal, rotate(e.normal, q), 1e-12);
}

TEST(Object, TorqueFreeSpinKeepsAngularMomentumAndEnergy)
{
    // Unequal sides, spun about a tilted axis: the body tumbles, so ω wanders.
    BoxBody body(1, 3.0, {0, 0, 0}, {1, 2, 3});
    body.angularMomentum = {1.5, 2.0, -0.7};
    body.angularVelocity = body.inverseInertiaWorld * body.angularMomentum;
    const Vector3 l0 = body.angularMomentum;
    const Vector3 w0 = body.angularVelocity;
    const double e0 = kineticEnergy(body);
    double maxDrift = 0, maxTurn = 0;
    for (int i = 0; i < 1000; ++i) {
        body.integrateMomentum(kStep);
        body.integrateState(kStep);
        maxDrift = std::max(maxDrift, std::fabs(kineticEnergy(body) - e0) / e0);
        maxTurn = std::max(maxTurn, length(body.angularVelocity - w0) / length(w0));
        const Quaternion& q = body.orientation;
        ASSERT_NEAR(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z, 1.0, 1e-12);
    }
    EXPECT_EQ(body.angularMomentum, l0);
    EXPECT_GT(maxTurn, 0.1);
    // One-step lag of the world inertia keeps the energy error small but not zero.
    EXPECT_LT(maxDrift, 0.002);
    // ω is the body-frame inverse inertia seen through the current orientation.
    const Quaternion& q = body.orientation;
    const Vector3 expected = rotate(body.inverseInertiaBody * rotate(l0, conjugate(q)), q);
    expectNear(body.inverseInertiaWorld * l0, expected, 1e-12);

    // A cube spinning about z turns by ω·t.
    BoxBody cube(1, 1.0, {0, 0, 0}, {1, 1, 1});
    cube.angularMomentum = {0, 0, 2.0 / 6.0};
    cube.angularVelocity = cube.inverseInertiaWorld * cube.angularMomentum;
    expectNear(cube.angularVelocity, {0, 0, 2.0}, 1e-12);
    for (int i = 0; i < 500; ++i) {
        cube.integrateMomentum(kStep);
        cube.integrateState(kStep);
    }
    EXPECT_NEAR(cube.orientation.w, std::cos(1.5), 1e-9);
    EXPECT_NEAR(cube.orientation.z, std::sin(1.5), 1e-9);
}

TEST(Object, ImpulsesAndPointVelocity)
{
    BoxBody body(3, 2.0, {0, 0, 0}, {2, 2, 2});
    // Through the centre: linear only.
    body.applyCollisionImpulse({4, 0, 0}, {0, 0, 0}, 5);
    expectNear(body.velocity, {2, 0, 0}, 0);
    EXPECT_EQ(body.angularMomentum, Vector3());
    // Along its own line: still no spin.
    body.applyContactImpulse({0, 2, 0}, {0, 3, 0}, 0);
    EXPECT_EQ(body.angularMomentum, Vector3());
    expectNear(body.momentum, {4, 2, 0}, 0);
    // Off centre: L = r × J and ω = I⁻¹L with I = m·(8/12) for the side-2 cube.
    body.applyContactImpulse({0, 0, 3}, {1, 0, 0}, 0);
    expectNear(body.angularMomentum, {0, -3, 0}, 1e-15);
    expectNear(body.angularVelocity, {0, -3 / (2.0 * 8.0 / 12.0), 0}, 1e-12);
    expectNear(body.velocity, {2, 1, 1.5}, 1e-15);

    Vector3 out;
    EXPECT_EQ(&body.pointVelocity(out, body.position, 0), &out);
    EXPECT_EQ(out, body.velocity);
    body.pointVelocity(out, body.position + Vector3(0, 0, 1), 2);
    expectNear(out, body.velocity + cross(body.angularVelocity, {0, 0, 1}), 1e-15);
}

TEST(Object, StaticKindsAndInfiniteMassStayStill)
{
    const double inf = std::numeric_limits<double>::infinity();
    for (int32_t kind : {0, 2}) {
        BoxBody rock(kind, inf, {0, 0, 0}, {1, 1, 1});
        const Vector3 p = rock.position;
        for (int i = 0; i < 50; ++i) {
            rock.applyCollisionImpulse({100, 5, 0}, {1, 0, 0}, 0);
            rock.applyContactImpulse({0, 100, 0}, {0, 0, 1}, 0);
            rock.computeForces();
            rock.predict(kStep);
            step(rock);
        }
        EXPECT_EQ(rock.position, p);
        EXPECT_EQ(rock.momentum, Vector3());
        EXPECT_EQ(rock.angularMomentum, Vector3());
        EXPECT_EQ(rock.force, Vector3());
        EXPECT_EQ(rock.orientation.w, 1.0);
        // predict left the working geometry where the mesh was built.
        EXPECT_EQ(rock.meshes[0].workingPositions[0], Vector3());
        Vector3 out(9, 9, 9);
        EXPECT_EQ(rock.pointVelocity(out, {3, 3, 3}, 0), Vector3());
    }

    // A moving kind with infinite mass takes the impulse but gains no speed.
    Object pinned(3);
    EXPECT_EQ(pinned.mass, inf);
    for (double e : pinned.inverseInertiaWorld.m)
        EXPECT_EQ(e, 0.0);
    pinned.position = {1, 2, 3};
    pinned.applyCollisionImpulse({50, 0, 0}, {0, 1, 0}, 0);
    EXPECT_EQ(pinned.velocity, Vector3());
    EXPECT_EQ(pinned.angularVelocity, Vector3());
    for (int i = 0; i < 10; ++i) {
        pinned.integrateMomentum(kStep);
        pinned.integrateState(kStep);
    }
    EXPECT_EQ(pinned.position, Vector3(1, 2, 3));
    EXPECT_EQ(pinned.orientation.w, 1.0);
}

TEST(Object, DrawAngleOfAnOrientation)
{
    double degrees = -1;
    Vector3 axis(9, 9, 9);
    orientationAxisAngle(Quaternion(), degrees, axis);
    EXPECT_EQ(degrees, 0.0);
    EXPECT_EQ(axis, Vector3());
    // Rounding may leave w a hair above 1 after normalising.
    orientationAxisAngle(Quaternion(std::nextafter(1.0, 2.0), 0, 0, 0), degrees, axis);
    EXPECT_EQ(degrees, 0.0);
    const double s = std::sin(kPi / 4);
    orientationAxisAngle(Quaternion(std::cos(kPi / 4), 0, -s, 0), degrees, axis);
    EXPECT_NEAR(degrees, 90.0, 1e-12);
    expectNear(axis, {0, -1, 0}, 1e-15);
}
