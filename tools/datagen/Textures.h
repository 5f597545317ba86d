#pragma once
#include "math/Vector3.h"
#include "tools/datagen/BmpWriter.h"

// Stores an RGB colour (0..1 per channel, clamped) with the given alpha.
void putColour(Image& image, int x, int y, const Vector3& rgb, uint8_t alpha = 255);
Vector3 mixColour(const Vector3& a, const Vector3& b, double t);

// 256 × 256 tileable ground textures for the terrain's grass and soil layers
// (the soil one also covers the loose clods).
Image makeGrassTexture();
Image makeSoilTexture();
// Mesh textures of the scenery.
Image makeRockTexture();
Image makeConcreteTexture();
