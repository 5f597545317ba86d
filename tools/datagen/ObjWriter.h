#pragma once
#include <string>
#include <unordered_map>
#include <vector>
#include "math/Vector3.h"

struct ObjMaterial {
    std::string name;
    Vector3 ka, kd, ks;        // colours, 0..1
    double d = 1.0;            // alpha
    double ns = 20.0;          // OBJ shininess (the loader scales by 1.28)
    std::string texture;       // map_Kd file name, empty for none
};

// Builds OBJ and MTL texts in the subset the program reads: triangles only, every corner written
// v/t/n with three-component texture coordinates, every number with a decimal point.
class ObjWriter {
public:
    void addMaterial(const ObjMaterial& m);
    // "g name", then "usemtl material" (if not empty) and "s <smoothing>".
    void beginGroup(const std::string& name, const std::string& material, int smoothing = 1);
    // Counter-clockwise seen from outside. Identical positions are written identically, so the
    // program's loader shares them exactly. Faces are written in call order (vertex and edge
    // numbering of a group follow the face order).
    void addTriangle(const Vector3& a, const Vector3& b, const Vector3& c,
                     const Vector3& ta = {0, 0, 0}, const Vector3& tb = {1, 0, 0}, const Vector3& tc = {0, 1, 0});
    void addQuad(const Vector3& a, const Vector3& b, const Vector3& c, const Vector3& d); // (a,b,c),(a,c,d)
    // "s <smoothing>" before the group's next faces (the loader averages normals per smoothing group).
    void setSmoothing(int smoothing);
    std::string objText(const std::string& mtlFileName) const;  // "mtllib <mtlFileName>" first
    std::string mtlText() const;

private:
    struct Group {
        std::string name, material;
        int smoothing = 1;
        int current = 1;    // smoothing group of the next face
        std::string faces;  // "f" lines in call order
    };
    struct VectorLines {
        std::vector<std::string> lines;
        std::unordered_map<std::string, int> index;  // line text -> 1-based index
    };
    // Index of the line that writes v; equal texts share one line.
    static int indexOf(const char* keyword, const Vector3& v, VectorLines& into);

    std::vector<ObjMaterial> materials;
    std::vector<Group> groups;
    VectorLines positions, texCoords, normals;
};

void writeTextFile(const std::string& path, const std::string& text);  // throws on failure
