#pragma once

#include <limits>
#include <vector>

#include "math/Vector3.h"

class Mesh;
class Object;

// Results of a pair test. InSoil comes from the bucket's variant of the
// terrain test only and counts as no contact.
enum ContactResult { NoContact = 10, Penetrating = 11, Touching = 12, InSoil = 13 };

struct Contact {
    Object* bodyA = nullptr;  // owns the feature (vertex, or first edge)
    Object* bodyB = nullptr;
    Vector3 point;            // world, m
    Vector3 normal;           // unit, out of bodyB towards bodyA
    double depth = 0.0;       // m along normal; negative when interpenetrating
    // m/s along normal, written by the collision phase; until then outside
    // the resting window, so a contact never measured gets no impulse.
    double relativeVelocity = std::numeric_limits<double>::infinity();
    Mesh* meshA = nullptr;    // its index is the part passed to bodyA
    Mesh* meshB = nullptr;
};

// The contacts of one unordered pair of scene objects.
struct PairRecord {
    std::vector<Contact> contacts;  // in the order detection found them
    double first = 0.0;             // both zeroed whenever the record is cleared
    double second = 0.0;

    void clear()
    {
        contacts.clear();  // keeps the capacity
        first = second = 0.0;
    }
};
