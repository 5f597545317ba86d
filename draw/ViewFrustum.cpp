#include "draw/ViewFrustum.h"

#include <GL/gl.h>

Frustum currentViewFrustum()
{
    double projection[16], modelview[16], clip[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    multiplyMatrices(projection, modelview, clip);
    return Frustum(clip);
}
