#pragma once

#include "math/Vector3.h"

class Mesh;

// A drawn part's lists: as seen, and its shape alone (depth only).
struct PartLists {
    unsigned int look = 0, shape = 0;
};

// A part at each level of detail: whole, coarse and rough (its round pieces
// with ever fewer sides).
struct DetailedPart {
    static constexpr int kLevels = 3;
    static constexpr const char* kSuffixes[kLevels] = {"", "Coarse", "Rough"};  // of the model's groups
    PartLists levels[kLevels];
    double gaps[kLevels] = {};  // m: the farthest a corner of the level or the whole part lies from the other
    Vector3 centre;             // a ball holding the part, in the frame it is drawn in
    double radius = 0.0;
};

// What the current projection makes of a metre: the projection matrix and
// the viewport's size, as GL gives them, and the difference in pixels (or
// texels of a shadow map) that may go unseen.
struct Lens {
    float projection[16] = {};
    int width = 0, height = 0;
    double tolerance = 0.5;
};

// The roughest level that may be drawn with the modelview `modelview` (GL's
// order): its gap to the whole part, at the ball's point nearest the eye,
// spans less than the lens's tolerance. A ball reaching behind the eye gets
// the whole part.
int detailLevel(const DetailedPart& part, const float modelview[16], const Lens& lens);

// The farthest a corner of either mesh lies from the other's triangles, m.
double surfaceGap(const Mesh& a, const Mesh& b);
