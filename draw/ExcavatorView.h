#pragma once

#include <utility>
#include <vector>

#include "assets/ModelLoader.h"
#include "draw/PartDetail.h"
#include "math/Vector3.h"

class Excavator;
struct ExcavatorPose;

// Keeps, packed at the front, the triangles of `corners` (Mesh::cornerArray
// layout, `count` floats) whose counter-clockwise side faces `eye` (same
// frame); returns the floats kept. What the renderer would cull anyway,
// after paying for its corners.
size_t keepFacing(float* corners, size_t count, const Vector3& eye);
// The triangles of a track element's corner array (Mesh::cornerArray)
// that belong to its shoe: the plate and grouser, not the links and guide
// lug inside the belt's loop.
std::vector<float> shoeOnly(const std::vector<float>& corners);
// The same without the guide lug between the links.
std::vector<float> withoutGuideLug(const std::vector<float>& corners);

// The machine's drawn parts as display lists, built from the drawn groups of
// "koparka.obj" and the machine's pivots once a GL context exists; drawn in
// any pose copied from the world. Parts with round pieces are drawn at the
// roughest of their levels of detail that the current projection shows less
// than half a pixel from the whole part (a texel of a shadow's map for its
// caster).
class ExcavatorView {
public:
    explicit ExcavatorView(const Excavator& machine, const ModelLoader& models = ModelLoader::forData());

    // `grainList` draws one grain of soil at the origin (the bucket's load).
    // As a shadow's caster the tracks are their plain outlines: the belts,
    // wheels and rollers are most of the machine's triangles, and their
    // shadow falls under it.
    void draw(const ExcavatorPose& pose, unsigned int grainList, bool caster = false);
    // The cabin glass, blended, after every opaque body.
    void drawTransparent(const ExcavatorPose& pose) const;
    // Balls (centre, radius) that hold the machine in that pose, world
    // frame: the body turning on its tracks, then along the boom, the arm
    // and about the bucket. `tight` gets the same but for the tracks and the
    // turned body, given by their boxes' corners (radius 0).
    void enclose(const ExcavatorPose& pose, std::vector<std::pair<Vector3, double>>& balls,
                 std::vector<std::pair<Vector3, double>>* tight = nullptr) const;

private:
    void drawBelts(const ExcavatorPose& pose);
    void drawDetailed(const DetailedPart& part, bool caster) const;

    // Pivots of the parts (bodywork, monoblock, bending arm, ground plate)
    // and of the tracks, in the model frame.
    Vector3 bodyworkPivot, monoblockPivot, bendingArmPivot, groundPlatePivot, leftTrackPivot, rightTrackPivot;
    Vector3 leftDriveWheelCentre, rightDriveWheelCentre, leftIdlerWheelCentre, rightIdlerWheelCentre;
    Vector3 monoblockServoPivot, bendingArmServoPivot, groundPlateServoPivot;
    Vector3 bendingArmBracketPivot, groundPlateBracketPivot;

    PartLists platform, tracks, bodywork, cabinInside, groundPlate;  // tracks: the frames, or as a caster the outlines
    DetailedPart slewingRing, leftRollers, rightRollers, bodyworkBottom, bodyworkMain, monoblock, bendingArm;
    DetailedPart monoblockServoOuter, monoblockServoInner, bendingArmServoOuter, bendingArmServoInner;
    DetailedPart groundPlateServoOuter, groundPlateServoInner, bendingArmBracket, groundPlateBracket;
    DetailedPart leftDriveWheel, rightDriveWheel, leftIdlerWheel, rightIdlerWheel;
    unsigned int beltMaterialList = 0;
    unsigned int cabinGlassList = 0;
    Lens lens;  // of the pass being drawn

    Vector3 undercarriageBox[2];  // low and high corners, model frame
    Vector3 bodyBox[2];           // the same about the slewing pivot, unslewed
    double bodyRadius = 0.0;          // about the slewing pivot, model frame
    std::vector<float> beltElement;   // one belt element's corners (Mesh::cornerArray)
    std::vector<float> beltShoe;      // the same, its shoe's triangles alone (no links, no guide lug)
    std::vector<float> beltLowerRun;  // the same without its guide lug
    std::vector<float> beltVertices;  // both belts as drawn this frame
};
