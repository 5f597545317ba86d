#include "physics/Simulation.h"

#include <algorithm>

#include "physics/Collision.h"
#include "physics/Impulses.h"
#include "physics/Object.h"

Simulation::Simulation(std::vector<Object*>& objects_, PairTable& pairs_) : objects(objects_), pairs(pairs_) {}

StepReport Simulation::step(double dt)
{
    StepReport report;
    for (;;) {
        dt = searchStepSize(dt, report);
        if (report.gaveUp || pairs.size() == 0)
            break;
        // Every impulse changes velocities, so detection starts again; the cap
        // leaves the last contacts measured but unanswered.
        const bool capped = report.impulses >= step::kMaxRestarts;
        if (!collisionPass(!capped)) {
            report.restartCapped = capped;
            break;
        }
        ++report.impulses;
    }
    report.dt = dt;
    applyForces(dt);
    restingPass(dt);
    integrate(dt);
    for (const PairRecord& record : pairs.all())
        report.contacts += static_cast<int>(record.contacts.size());
    return report;
}

double Simulation::searchStepSize(double dt, StepReport& report)
{
    report.halvings = 0;
    bool ok = detectContacts(dt);
    ++report.detections;
    // dt_k = dt 2^-k: the loop ends by k = 22 from 0.003.
    while (!ok && dt >= step::kSmallestStep) {
        dt *= 0.5;
        ++report.halvings;
        ok = detectContacts(dt);
        ++report.detections;
    }
    if (dt < step::kSmallestStep) {
        // No step that moves anything is free of penetration: lift the body
        // out and let the step go on without collision impulses (its records
        // were never measured).
        report.gaveUp = true;
        if (hooks.raised)
            hooks.raised->position.y += step::kGiveUpRaise;
    }
    return dt;
}

bool Simulation::detectContacts(double dt)
{
    for (PairRecord& record : pairs.all())
        record.clear();
    for (Object* o : objects)
        o->predict(dt);
    const int n = static_cast<int>(objects.size());
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            PairRecord& record = pairs.record(i, j);
            ContactResult r = NoContact;
            if (!hooks.pairTest || !hooks.pairTest(*objects[i], *objects[j], record, r))
                r = testPair(*objects[j], *objects[i], record);
            if (r == Penetrating)
                return false;
        }
    return true;
}

bool Simulation::collisionPass(bool allowImpulse)
{
    const int n = static_cast<int>(objects.size());
    for (int first = 0; first < n; ++first)
        for (int second = first + 1; second < n; ++second)
            for (Contact& c : pairs.record(first, second).contacts) {
                const ContactFrame f = contactFrame(c);
                c.relativeVelocity = dot(c.normal, f.velocityA - f.velocityB);
                if (c.relativeVelocity > impulse::kCollidingSpeed || !allowImpulse)
                    continue;
                const double e = std::min(c.bodyA->restitution, c.bodyB->restitution);
                const double mu = std::max(c.bodyA->friction, c.bodyB->friction);
                const Vector3 j = collisionImpulse(f, c.relativeVelocity, e, mu);
                c.bodyA->applyCollisionImpulse(j, f.leverA, c.meshA->index);
                c.bodyB->applyCollisionImpulse(-j, f.leverB, c.meshB->index);
                return true;
            }
    return false;
}

void Simulation::applyForces(double dt)
{
    for (Object* o : objects) {
        o->computeForces();
        o->integrateMomentum(dt);
    }
}

void Simulation::restingPass(double dt)
{
    const int n = static_cast<int>(objects.size());
    for (int first = 0; first < n; ++first)
        for (int second = first + 1; second < n; ++second)
            restingPair(pairs.record(first, second).contacts, dt);
}

void Simulation::restingPair(std::vector<Contact>& contacts, double dt)
{
    const int m = static_cast<int>(contacts.size());
    for (int k = 0; k < m; ++k) {
        Contact& c = contacts[restingVisit(k, m)];
        if (!(c.relativeVelocity > impulse::kCollidingSpeed && c.relativeVelocity < impulse::kRestingSpeed))
            continue;
        const ContactFrame f = contactFrame(c);
        const double v = dot(c.normal, f.velocityA - f.velocityB);
        // Skipped only when the forces part them: a contact they merely
        // slowed still closes, and left alone it sinks past the band
        // (a corner closing at 5 cm/s against a lift of half its weight).
        // The machine's scenarios come out the same either way.
        if (v > c.relativeVelocity && v >= 0.0)
            continue;
        double mu = std::max(c.bodyA->friction, c.bodyB->friction);
        if (hooks.driving && (hooks.driving(*c.bodyA) || hooks.driving(*c.bodyB)))
            mu = impulse::kDrivingFriction;
        const Vector3 j = restingImpulse(f, v, c.depth, dt, mu);
        c.bodyA->applyContactImpulse(j, f.leverA, c.meshA->index);
        c.bodyB->applyContactImpulse(-j, f.leverB, c.meshB->index);
    }
}

void Simulation::integrate(double dt)
{
    for (Object* o : objects)
        o->integrateState(dt);
}
