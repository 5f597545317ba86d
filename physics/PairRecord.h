#pragma once

#include <list>

#include "math/Vector3.h"

class Mesh;
class Object;

// Results of a pair test.
enum ContactResult { NoContact = 10, Penetrating = 11, Touching = 12 };

struct Contact {
    Object* bodyA = nullptr;  // owns the feature (vertex, or first edge)
    Object* bodyB = nullptr;
    Vector3 point;            // world
    Vector3 normal;           // unit, out of bodyB towards bodyA
    double depth = 0.0;       // negative when interpenetrating
    double relativeVelocity = 0.0;
    Mesh* meshA = nullptr;
    Mesh* meshB = nullptr;
};

// The contacts of one unordered pair of scene objects.
struct PairRecord {
    std::list<Contact> contacts;  // in the order detection found them
    double first = 0.0;           // both zeroed whenever the record is cleared
    double second = 0.0;
};

// Slot of the pair (i, j), i < j, among n objects: row by row over the
// upper triangle, (0,1) -> 0, (0,2) -> 1, ..., (1,2) -> n - 1.
inline int pairIndex(int i, int j, int n)
{
    return static_cast<int>(i * static_cast<double>(n) - i * i / 2.0 - 1.5 * i + j - 1);
}
