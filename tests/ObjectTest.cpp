#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "physics/Object.h"
#include "tests/TestShapes.h"

namespace {

constexpr double kStep = 0.003;
constexpr double kG = 9.81;
const double kPi = std::acos(-1.0);
// What one integrator step makes of u·h for a constant rate u.
const double kGain = 1 + kStep / 2 + kStep * kStep / 6 + kStep * kStep * kStep / 24;

// A box body set up as the model constructor sets up a scenery piece, without
// the loader or a display list. Radius 0 switches the air drag off.
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
        inverseInertiaBody = inverseInertiaWorld = inverse(inertiaBody);
    }
};

void step(Object& o)
{
    o.computeForces();
    o.integrateMomentum(kStep);
    o.integrateState(kStep);
}

}  // namespace

TEST(Object, FreeFallMatchesTheIntegratorsClosedForm)
{
    expectNear(integrateStep({2, -1, 0.5}, kStep), Vector3(2, -1, 0.5) * (kStep * kGain), 1e-18);

    const double m = 2.5;
    BoxBody body(1, m, {-0.5, 10, -0.5}, {0.5, 11, 0.5});
    const Vector3 start = body.position;
    const int n = static_cast<int>(std::lround(1.0 / kStep));  // 333 steps, t = 0.999 s
    for (int i = 0; i < n; ++i) {
        step(body);
        ASSERT_EQ(body.force, Vector3(0, -m * kG, 0));  // set afresh, never accumulated
    }
    // v_k = -g·h·c·k, so the drop is g·h²·c²·n(n+1)/2 against the exact g·t²/2:
    // a relative excess of c²(1 + 1/n) - 1, about 0.6 %.
    const double h = kStep, exact = 0.5 * kG * (n * h) * (n * h);
    const double drop = start.y - body.position.y;
    EXPECT_NEAR(drop, kG * h * h * kGain * kGain * n * (n + 1) / 2.0, 1e-9);
    EXPECT_NEAR(body.velocity.y, -kG * h * kGain * n, 1e-9);
    EXPECT_NEAR((drop - exact) / exact, kGain * kGain * (1.0 + 1.0 / n) - 1.0, 1e-9);
    EXPECT_NEAR((drop - exact) / exact, 0.006, 0.0005);
    EXPECT_EQ(body.position.x, start.x);
    EXPECT_EQ(body.orientation.w, 1.0);
}

TEST(Object, AirDragOpposesMotionAndPredictMovesOnlyTheWorkingGeometry)
{
    BoxBody body(3, 4.0, {0, 0, 0}, {2, 2, 2});
    body.radius = 1.0;
    body.velocity = {3, 0, 4};
    body.angularVelocity = {0, 2, 0};
    body.computeForces();
    expectNear(body.force, Vector3(-0.6, 0, -0.8) * (25 * 0.003225 * kPi) + Vector3(0, -4 * kG, 0), 1e-12);
    expectNear(body.torque, Vector3(0, -4 * 0.03225 * kPi, 0), 1e-12);

    body.orientation = Quaternion(std::cos(0.3), 0, std::sin(0.3), 0);
    const Vector3 pos = body.position;
    body.predict(0.1);
    EXPECT_EQ(body.position, pos);
    EXPECT_EQ(body.orientation.y, std::sin(0.3));
    expectNear(body.predictedPosition, pos + integrateStep(body.velocity, 0.1), 1e-15);
    const Quaternion q = body.predictedOrientation;
    EXPECT_NEAR(q.y, std::sin(0.4), 1e-6);  // 0.2 rad more about y
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
    // Unequal sides spun about a tilted axis: the body tumbles and ω wanders.
    BoxBody body(1, 3.0, {0, 0, 0}, {1, 2, 3});
    body.applyCollisionImpulse({0, 0.7, 2.0}, {1, 0.5, 0.1}, 0);
    const Vector3 l0 = body.angularMomentum, w0 = body.angularVelocity;
    const double e0 = 0.5 * dot(w0, l0);
    double drift = 0, turn = 0;
    for (int i = 0; i < 1000; ++i) {
        body.integrateMomentum(kStep);
        body.integrateState(kStep);
        drift = std::max(drift, std::fabs(0.5 * dot(body.angularVelocity, l0) - e0) / e0);
        turn = std::max(turn, length(body.angularVelocity - w0) / length(w0));
    }
    const Quaternion& q = body.orientation;
    EXPECT_NEAR(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z, 1.0, 1e-12);
    EXPECT_EQ(body.angularMomentum, l0);
    EXPECT_GT(turn, 0.1);
    EXPECT_LT(drift, 0.002);  // the world inertia lags one step behind; measured 3e-4
    // The world inverse inertia is the body one seen through the orientation.
    expectNear(body.inverseInertiaWorld * l0, rotate(body.inverseInertiaBody * rotate(l0, conjugate(q)), q), 1e-12);

    // A cube spinning about z at 2 rad/s turns by 3 rad in 1.5 s.
    BoxBody cube(1, 1.0, {0, 0, 0}, {1, 1, 1});
    cube.applyContactImpulse({0, 2.0 / 6.0, 0}, {1, 0, 0}, 0);
    cube.momentum = Vector3();
    for (int i = 0; i < 500; ++i)
        step(cube);
    EXPECT_NEAR(cube.orientation.w, std::cos(1.5), 1e-9);
    EXPECT_NEAR(cube.orientation.z, std::sin(1.5), 1e-9);
}

TEST(Object, ImpulsesAndPointVelocity)
{
    BoxBody body(3, 2.0, {0, 0, 0}, {2, 2, 2});
    body.applyCollisionImpulse({4, 0, 0}, {0, 0, 0}, 5);   // through the centre
    body.applyContactImpulse({0, 2, 0}, {0, 3, 0}, 0);     // along its own line
    EXPECT_EQ(body.angularMomentum, Vector3());
    EXPECT_EQ(body.velocity, Vector3(2, 1, 0));
    // Off centre: L = r × J and ω = I⁻¹L with I = m·8/12 for the side-2 cube.
    body.applyContactImpulse({0, 0, 3}, {1, 0, 0}, 0);
    expectNear(body.angularMomentum, {0, -3, 0}, 1e-15);
    expectNear(body.angularVelocity, {0, -3 / (2.0 * 8.0 / 12.0), 0}, 1e-12);
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
        BoxBody rock(kind, 5.0, {0, 0, 0}, {1, 1, 1});
        const Vector3 p = rock.position;
        for (int i = 0; i < 50; ++i) {
            rock.applyCollisionImpulse({100, 5, 0}, {1, 0, 0}, 0);
            rock.applyContactImpulse({0, 100, 0}, {0, 0, 1}, 0);
            rock.predict(kStep);
            step(rock);
        }
        EXPECT_EQ(rock.position, p);
        EXPECT_EQ(rock.momentum, Vector3());
        EXPECT_EQ(rock.angularMomentum, Vector3());
        EXPECT_EQ(rock.force, Vector3());
        EXPECT_EQ(rock.orientation.w, 1.0);
        EXPECT_EQ(rock.meshes[0].workingPositions[0], Vector3());  // predict did not move it
    }
    // A moving kind with infinite mass takes the impulse but gains no speed.
    Object pinned(3);
    for (double e : pinned.inverseInertiaWorld.m)
        EXPECT_EQ(e, 0.0);
    pinned.position = {1, 2, 3};
    pinned.applyCollisionImpulse({50, 0, 0}, {0, 1, 0}, 0);
    EXPECT_EQ(pinned.velocity, Vector3());
    EXPECT_EQ(pinned.angularVelocity, Vector3());
    for (int i = 0; i < 10; ++i)
        pinned.integrateState(kStep);
    EXPECT_EQ(pinned.position, Vector3(1, 2, 3));
    EXPECT_EQ(pinned.mass, inf);

    // Drawing angle: none for the identity, even when rounding leaves w above 1.
    double degrees = -1;
    Vector3 axis(9, 9, 9);
    orientationAxisAngle(Quaternion(std::nextafter(1.0, 2.0), 0, 0, 0), degrees, axis);
    EXPECT_EQ(degrees, 0.0);
    EXPECT_EQ(axis, Vector3());
    orientationAxisAngle(Quaternion(std::cos(kPi / 4), 0, -std::sin(kPi / 4), 0), degrees, axis);
    EXPECT_NEAR(degrees, 90.0, 1e-12);
    expectNear(axis, {0, -1, 0}, 1e-15);
}
