#pragma once

#include <string>
#include <vector>

#include "assets/Material.h"
#include "assets/Mesh.h"
#include "math/Vector3.h"

// One triangle of an OBJ group, stored by value.
struct ModelFace {
    Vector3 positions[3];
    Vector3 normals[3];
    Vector3 texCoords[3];
    int smoothingGroup = 0;
};

struct ModelGroup {
    std::string name;
    std::string materialName;
    std::vector<ModelFace> faces;
};

// Reads the OBJ/MTL subset into named groups and materials. Missing or
// malformed files stop with a "[ModelLoader] ..." message that names the
// file (and line) and the fault.
class ModelLoader {
public:
    ModelLoader() = default;
    ModelLoader(const ModelLoader&) = delete;
    ModelLoader& operator=(const ModelLoader&) = delete;

    // The models a world is built from ("scene.obj" and "koparka.obj" of
    // that folder), read once per process and folder on first use, under a
    // lock, and never changed after: every world and its drawing side share
    // them, from any thread.
    static const ModelLoader& forData(const std::string& directory = "data/");

    // Reads directory + fileName and every MTL file it names.
    void loadFile(const std::string& fileName);

    // A new mesh from the first group of that name with its material;
    // smooth averages corner normals per smoothing group. A group without
    // usemtl gets the all-zero default material.
    Mesh getMesh(const std::string& groupName, bool smooth) const;

    const std::vector<ModelGroup>& getGroups() const { return groups; }
    const std::vector<Material>& getMaterials() const { return materials; }

    // Forgets every group and material read so far (tests only).
    void reset();

    // "data/" by default; tests point it elsewhere.
    std::string directory = "data/";

private:
    void loadMaterialFile(const std::string& fileName, const std::string& namedBy);

    std::vector<ModelGroup> groups;
    std::vector<Material> materials;
    std::vector<std::string> filesRead;  // paths, for naming them when a group is missing
    std::vector<Vector3> positions, normals, texCoords;
    int smoothingGroup = 0;
};
