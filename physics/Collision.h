#pragma once

#include "assets/Mesh.h"
#include "math/Vector3.h"

// True when the vertical line through p meets triangle t0 t1 t2 strictly below p.
bool pointAboveTriangle(const Vector3& p, const Vector3& t0, const Vector3& t1, const Vector3& t2);

// When the vertical line through p meets the triangle: true, and distance =
// p.y minus the y of the meeting point (negative when the triangle is above p).
bool dropOntoTriangle(const Vector3& p, const Vector3& t0, const Vector3& t1, const Vector3& t2, double& distance);

// True when p lies inside the closed surface of the mesh's working positions.
bool pointInsideMesh(const Vector3& p, const Mesh& mesh);
