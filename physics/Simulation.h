#pragma once

#include <functional>
#include <vector>

#include "physics/PairRecord.h"
#include "physics/PairTable.h"

class Object;

namespace step {
// s: below this the search gives up. A step this short moves nothing by a
// measurable fraction of the contact tolerances, so a search that has come
// down here has closed in on the edge of a contact band (a feature sinking
// past it that nothing holds back) and would otherwise accept ever shorter
// steps, by rounding, while time stands still.
constexpr double kSmallestStep = 1e-9;
constexpr double kGiveUpRaise = 0.001;   // m the raised body is lifted on giving up
constexpr int kMaxRestarts = 100;        // collision impulses (each a fresh detection) per step
}  // namespace step

// What the scene adds to the step: the pair tests of its own and the
// bodies that behave specially.
struct SimulationHooks {
    // Runs the test of pair (first, second), first earlier in the list, when
    // the pair is one of the scene's own; returns false to leave it to the
    // general test.
    std::function<bool(Object& first, Object& second, PairRecord& record, ContactResult& result)> pairTest;
    // Lifted by kGiveUpRaise when no step size is free of penetration.
    Object* raised = nullptr;
    // True for a body that slides on driven tracks (resting friction 0.08).
    std::function<bool(const Object& body)> driving;
};

// What one step did.
struct StepReport {
    double dt = 0.0;       // s actually taken
    int detections = 0;
    int halvings = 0;      // in the last search
    int impulses = 0;      // collision impulses applied
    bool gaveUp = false;
    bool restartCapped = false;
    int contacts = 0;      // in the records after the step
};

// The fixed-step simulation of a list of bodies over their pair records.
// Pairs are visited row by row, (0,1), (0,2), ..., (1,2), ...: the order in
// which impulses are applied. Headless: no scene, no GL.
class Simulation {
public:
    // Both are the caller's and may grow between steps, a table row with
    // each body.
    Simulation(std::vector<Object*>& objects, PairTable& pairs);

    // One step of dt (or dt halved as often as penetration needs).
    StepReport step(double dt);
    // Predict every body by dt and test every pair; false on the first
    // penetrating pair.
    bool detectContacts(double dt);

    SimulationHooks hooks;

private:
    double searchStepSize(double dt, StepReport& report);
    // Measures every contact's normal speed; applies the impulse of the
    // first colliding one when allowed. True when an impulse was applied.
    bool collisionPass(bool allowImpulse);
    void applyForces(double dt);
    void restingPass(double dt);
    void restingPair(std::vector<Contact>& contacts, double dt);
    void integrate(double dt);

    std::vector<Object*>& objects;
    PairTable& pairs;
};
