#pragma once

class Mesh;
struct Quaternion;
struct Vector3;

// The triangles in a list with their material; main thread, GL context
// current. The list turns 2D texturing on or off as the mesh needs and
// leaves it so.
unsigned int buildDisplayList(const Mesh& mesh);
// The triangles' corners alone, for a pass that writes only depth: no
// normals, texture coordinates or material.
unsigned int buildShapeList(const Mesh& mesh);
// The material alone, texturing as above.
unsigned int buildMaterialList(const Mesh& mesh);
// A list drawn with the body frame at a pose (position, unit orientation).
void drawAtPose(unsigned int list, const Vector3& position, const Quaternion& orientation);
