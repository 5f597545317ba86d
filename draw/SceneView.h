#pragma once

#include <memory>
#include <string>
#include <vector>

#include "math/Quaternion.h"
#include "math/Vector3.h"

class ExcavatorView;
class ForestView;
class GradeMarking;
class MachineShadow;
class Skybox;
class TerrainView;
class VoxelWorld;
class World;
struct FrameSnapshot;

// The drawing side of the world: everything GL (textures, display lists,
// the sky, the tree sprites), built from the world once a context exists,
// and a frame drawn from a snapshot alone, with no lock held.
class SceneView {
public:
    // Reads the sky, tree and ground images from `directory`; the models
    // are those the world loaded.
    explicit SceneView(const World& world, const std::string& directory = "data/");
    ~SceneView();
    SceneView(const SceneView&) = delete;
    SceneView& operator=(const SceneView&) = delete;

    // One frame from the snapshot and its view; the caller adds what goes
    // over it and swaps the buffers.
    void draw(const FrameSnapshot& frame);

    // Scenery that never moves (the wall, the rocks): a list at a pose.
    struct Body {
        unsigned int list = 0;
        Vector3 position;
        Quaternion orientation;
    };
    std::vector<Body> scenery;
    std::unique_ptr<Skybox> skybox;
    std::unique_ptr<TerrainView> terrain;
    std::unique_ptr<ExcavatorView> excavator;
    std::unique_ptr<ForestView> forests;
    std::unique_ptr<GradeMarking> gradeMarking;
    std::unique_ptr<MachineShadow> shadow;
    // The sun: the scene's one light, at a point far off, world frame.
    Vector3 sun{-30.0, 300.0, -300.0};
    std::vector<std::pair<Vector3, double>> machineBalls;    // as last enclosed: for the sun's view
    std::vector<std::pair<Vector3, double>> machineOutline;  // the same, tighter: for where it shades
};

// The height on the sky's cube (as Skybox::draw takes it) below which the
// drawn ground hides the sky from `eye`; -400 or lower when that is none of
// it or cannot be told (the eye off the ground's square or less than a metre
// over it).
double skyHiddenBelow(const VoxelWorld& surface, const Vector3& eye);
