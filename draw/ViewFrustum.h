#pragma once

#include "math/Frustum.h"

// The view volume of the current GL projection and modelview matrices, in
// the modelview's object frame; needs a current GL context.
Frustum currentViewFrustum();
