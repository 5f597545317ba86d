#pragma once
#include <string>

#include "math/Vector3.h"
#include "tools/datagen/BmpWriter.h"

// The six faces of the sky cube, by the suffix of their file names.
extern const char* const skyFaceNames[6];  // "bk", "dn", "ft", "lf", "rt", "up"

// The direction (not normalised) from the cube's centre through texture
// coordinate (s, t) of a face, t = 0 being the image's top row; matches the
// corners the sky box puts each face's image on.
Vector3 skyDirection(const std::string& face, double s, double t);

// Sky seen along a unit direction: blue gradient, sun glow towards the scene's
// light, clouds on a high plane, a hazy range of hills and land below the horizon.
Vector3 skyColour(const Vector3& direction);

Image makeSkyFace(const std::string& face, int size);
