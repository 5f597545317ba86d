#pragma once

#include "math/Vector3.h"

// Where the viewer stands, as the trees need it to sort and turn their
// sprites. The camera keeps it up to date.
struct Viewpoint {
    bool viewChanged = true;  // cleared by the scene once the frame's view is set
    double yaw = 0.0;         // eye direction from the centre about y, [0, 2 pi)
    Vector3 eye{9.0, 9.0, 0.0};
};
