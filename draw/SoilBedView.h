#pragma once

#include <vector>

#include "math/Vector3.h"

struct SoilBed;

// A bed's soil as a surface through the middles of its cells at their
// heights, carried out to the walls at the edge cells' heights:
// (cellsAlong + 2) x (cellsAcross + 2) points, along-major. No GL.
std::vector<Vector3> soilBedSurface(const SoilBed& bed);

// Every bed's soil as a lit heightfield in the soil's texture, where it
// holds any; the caller has set the ground's material. GL context current.
void drawSoilBeds(const std::vector<SoilBed>& beds, unsigned int soilTexture);
