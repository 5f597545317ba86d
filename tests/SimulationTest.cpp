#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "physics/Impulses.h"
#include "physics/Object.h"
#include "physics/Simulation.h"
#include "tests/TestShapes.h"

namespace {

// A box body, immovable (kind 0) or of unit density and the given mass.
struct Box : Object {
    Box(int32_t kind_, const Vector3& lo, const Vector3& hi, double mass_ = HUGE_VAL) : Object(kind_)
    {
        meshCount = 1;
        meshes = new Mesh[1];
        meshes[0] = makeBox(lo, hi);
        meshes[0].computeProperties();
        position = predictedPosition = meshes[0].centreOfMass;
        meshes[0].translate(-position);
        meshes[0].workingPositions = meshes[0].positions;
        for (Vector3& w : meshes[0].workingPositions)
            w += position;
        radius = meshes[0].boundingRadius;
        mass = mass_;
        if (kind_ != 0) {
            inertiaBody = meshes[0].inertia * mass;
            inverseInertiaBody = inverseInertiaWorld = inverse(inertiaBody);
        }
    }
};

struct World {
    World(Object* floor, Object* body) : objects{floor, body}, sim(objects, records, 1) { sim.hooks.raised = body; }
    std::vector<Object*> objects;
    PairRecord records[1];
    Simulation sim;
};

}  // namespace

TEST(Simulation, StepHalvesUntilNothingPenetrates)
{
    // 10 mm above the floor at 10 m/s: 0.003 s goes 20 mm deep, 0.0015 s 5 mm.
    Box floor(0, {-5, -1, -5}, {5, 0, 5});
    // Footprint off the floor's diagonal x = z: only corners meet it.
    Box body(1, {-0.5, 0.010, -0.3}, {0.5, 1.010, 0.4}, 100.0);
    body.velocity = {0, -10, 0};
    body.momentum = body.velocity * body.mass;
    World w(&floor, &body);
    const StepReport r = w.sim.step(0.003);
    EXPECT_EQ(r.dt, 0.00075);
    EXPECT_EQ(r.halvings, 2);
    EXPECT_EQ(r.contacts, 0) << "2.5 mm short of the floor";
    int steps = 1;
    while (body.velocity.y < 0 && steps < 100) {
        ASSERT_FALSE(w.sim.step(0.003).gaveUp);
        ++steps;
    }
    EXPECT_LT(steps, 20);
    EXPECT_GT(body.velocity.y, 0.0) << "the landing impulse turns it round";
    EXPECT_LE(body.velocity.y, 0.34 * 10 + 0.05);
    EXPECT_GE(body.position.y - 0.5, -0.002) << "never sinks past the contact band";
}

TEST(Simulation, GivingUpLiftsTheBodyAndLeavesStaleContactsAlone)
{
    // Sunk 0.1 m into the floor: no step size clears it.
    Box floor(0, {-5, -1, -5}, {5, 0, 5});
    Box body(1, {-0.5, -0.1, -0.3}, {0.5, 0.9, 0.4}, 100.0);
    World w(&floor, &body);
    const double y = body.position.y;
    const StepReport r = w.sim.step(0.003);
    EXPECT_TRUE(r.gaveUp);
    EXPECT_LT(r.dt, 1e-22);
    EXPECT_EQ(r.impulses, 0);
    EXPECT_NEAR(body.position.y, y + 0.001, 1e-12);
    // Only gravity over the tiny step: no impulse from unmeasured contacts.
    EXPECT_NEAR(body.velocity.y, 0.0, 1e-18);
    EXPECT_EQ(body.velocity.x, 0.0);
}

TEST(Simulation, TiltedBoxLandsAndRestsOnTheFloor)
{
    Box floor(0, {-5, -1, -5}, {5, 0, 5});
    Box body(1, {-0.4, 0.5, -0.3}, {0.4, 0.9, 0.3}, 50.0);
    body.orientation = Quaternion(std::cos(0.1), 0.6 * std::sin(0.1), 0, 0.8 * std::sin(0.1));
    body.velocity = {0.5, 0, 0};
    body.momentum = body.velocity * body.mass;
    World w(&floor, &body);
    // A face across the floor's diagonal more than 0.9 mm deep has no
    // feature to touch: the search gives up and lifts it, now and then.
    int gaveUp = 0;
    for (int i = 0; i < 1500; ++i) {
        gaveUp += w.sim.step(0.003).gaveUp;
        ASSERT_TRUE(std::isfinite(body.position.y) && std::isfinite(body.orientation.w)) << i;
    }
    EXPECT_LT(gaveUp, 50);
    // The push-back of the resting contacts leaves a tremble of about 1 cm/s.
    EXPECT_LT(length(body.velocity), 0.03);
    EXPECT_LT(length(body.angularVelocity), 0.05);
    // Face down: its lowest corners within the contact band of the floor.
    body.predict(0.0);
    double low = 1e9;
    for (const Vector3& p : body.meshes[0].workingPositions)
        low = std::min(low, p.y);
    EXPECT_GE(low, -0.002);
    EXPECT_LE(low, 0.001);
    EXPECT_NEAR(body.position.y, 0.2, 0.003);
    EXPECT_LT(std::fabs(body.position.x - 0.0), 1.0) << "friction stops the slide";
    // Resting contacts are visited last, first, second-to-last, second...
    const int order4[] = {3, 0, 2, 1};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(restingVisit(k, 4), order4[k]);
}
