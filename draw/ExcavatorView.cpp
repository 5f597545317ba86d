#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "draw/ExcavatorView.h"

#include "assets/ModelLoader.h"
#include "draw/MeshDraw.h"
#include "excavator/Excavator.h"
#include "excavator/TrackBelt.h"
#include "world/FrameSnapshot.h"

namespace {

constexpr double pi = 3.141592653589793;
constexpr double degrees = 180.0 / pi;

// A drawn group moved by `offset` and turned about z by `turnDegrees`
// (undoing the pose it is modelled in).
Mesh placed(const ModelLoader& models, const std::string& group, const Vector3& offset, double turnDegrees)
{
    Mesh mesh = models.getMesh(group, true);
    mesh.translate(offset);
    if (turnDegrees != 0.0)
        mesh.rotateZ(turnDegrees * pi / 180.0);
    return mesh;
}

// A box (low and high corners) grown to hold `points`, each less `from`.
void grow(Vector3 (&box)[2], const std::vector<Vector3>& points, const Vector3& from = Vector3())
{
    for (const Vector3& q : points) {
        const Vector3 p = q - from;
        box[0] = Vector3(std::min(box[0].x, p.x), std::min(box[0].y, p.y), std::min(box[0].z, p.z));
        box[1] = Vector3(std::max(box[1].x, p.x), std::max(box[1].y, p.y), std::max(box[1].z, p.z));
    }
}

const Vector3 kEmptyBox[2] = {{1e300, 1e300, 1e300}, {-1e300, -1e300, -1e300}};

PartLists lists(const Mesh& mesh) { return {buildDisplayList(mesh), buildShapeList(mesh)}; }

PartLists buildPart(const ModelLoader& models, const char* group, const Vector3& offset, double turnDegrees = 0.0)
{
    return lists(placed(models, group, offset, turnDegrees));
}

// The group at each level of detail, placed alike.
DetailedPart buildDetailed(const ModelLoader& models, const std::string& group, const Vector3& offset,
                           double turnDegrees = 0.0)
{
    DetailedPart part;
    const Mesh whole = placed(models, group, offset, turnDegrees);
    part.levels[0] = lists(whole);
    for (int k = 1; k < DetailedPart::kLevels; ++k) {
        const Mesh level = placed(models, group + DetailedPart::kSuffixes[k], offset, turnDegrees);
        part.levels[k] = lists(level);
        part.gaps[k] = surfaceGap(whole, level);
    }
    Vector3 box[2] = {kEmptyBox[0], kEmptyBox[1]};
    grow(box, whole.positions);
    part.centre = (box[0] + box[1]) * 0.5;
    part.radius = length(box[1] - box[0]) * 0.5;
    return part;
}

unsigned int combinedList(const std::vector<unsigned int>& lists)
{
    const unsigned int name = glGenLists(1);
    glNewList(name, GL_COMPILE);
    for (unsigned int l : lists)
        glCallList(l);
    glEndList();
    return name;
}

PartLists combined(std::initializer_list<PartLists> parts)
{
    std::vector<unsigned int> looks, shapes;
    for (const PartLists& p : parts) {
        looks.push_back(p.look);
        shapes.push_back(p.shape);
    }
    return {combinedList(looks), combinedList(shapes)};
}

// The same cylinder twice, on both sides of the boom; leaves the matrix
// shifted by `shift` in z so that the matching pair list brings it back.
DetailedPart pair(const DetailedPart& part, float shift)
{
    DetailedPart both = part;
    for (int k = 0; k < DetailedPart::kLevels; ++k)
        for (auto [list, into] : {std::pair{part.levels[k].look, &both.levels[k].look},
                                  std::pair{part.levels[k].shape, &both.levels[k].shape}}) {
            *into = glGenLists(1);
            glNewList(*into, GL_COMPILE);
            glCallList(list);
            glTranslatef(0.0f, 0.0f, shift);
            glCallList(list);
            glEndList();
        }
    both.centre.z += 0.5 * shift;
    both.radius += 0.5 * std::fabs(shift);
    return both;
}

void translate(const Vector3& v) { glTranslatef(float(v.x), float(v.y), float(v.z)); }
void turnZ(double angleDegrees) { glRotatef(float(angleDegrees), 0.0f, 0.0f, 1.0f); }
void turnY(double angleDegrees) { glRotatef(float(angleDegrees), 0.0f, 1.0f, 0.0f); }

}  // namespace

ExcavatorView::ExcavatorView(const Excavator& machine, const ModelLoader& models)
    : bodyworkPivot(machine.meshes[Bodywork].referencePoint),
      monoblockPivot(machine.meshes[Monoblock].referencePoint),
      bendingArmPivot(machine.meshes[BendingArm].referencePoint),
      groundPlatePivot(machine.meshes[GroundPlate].referencePoint),
      leftTrackPivot(machine.meshes[LeftTrack].referencePoint),
      rightTrackPivot(machine.meshes[RightTrack].referencePoint),
      leftDriveWheelCentre(machine.leftDriveWheelCentre),
      rightDriveWheelCentre(machine.rightDriveWheelCentre),
      leftIdlerWheelCentre(machine.leftIdlerWheelCentre),
      rightIdlerWheelCentre(machine.rightIdlerWheelCentre),
      monoblockServoPivot(machine.monoblockServoPivot),
      bendingArmServoPivot(machine.bendingArmServoPivot),
      groundPlateServoPivot(machine.groundPlateServoPivot),
      bendingArmBracketPivot(machine.bendingArmBracketPivot),
      groundPlateBracketPivot(machine.groundPlateBracketPivot)
{
    for (const char* group : {"platform", "leftTrackJoist", "rightTrackJoist", "leftTrackRollers", "rightTrackRollers",
                              "bodyworkBottom", "bodyworkMain", "bodyworkBack", "cabin", "trackElement"}) {
        const std::vector<float> corners = models.getMesh(group, true).cornerArray();
        for (size_t k = 0; k < corners.size(); k += Mesh::kCornerFloats)
            bodyRadius = std::max(bodyRadius, length(Vector3(corners[k + 5], corners[k + 6], corners[k + 7]) -
                                                         bodyworkPivot));
    }
    // Boxes round what the sun's view draws of the tracks and of the body,
    // widened for the cylinders' ends that reach out of them.
    const auto box = [&](std::initializer_list<const char*> groups, const Vector3& from, Vector3 (&out)[2]) {
        out[0] = kEmptyBox[0];
        out[1] = kEmptyBox[1];
        for (const char* group : groups)
            grow(out, models.getMesh(group, true).positions, from);
        out[0] -= Vector3(0.15, 0.15, 0.15);
        out[1] += Vector3(0.15, 0.15, 0.15);
    };
    box({"platform", "leftTrackOutline", "rightTrackOutline"}, Vector3(), undercarriageBox);
    box({"bodyworkBottom", "bodyworkMain", "bodyworkBack", "cabin"}, bodyworkPivot, bodyBox);
    const Vector3 none;
    platform = buildPart(models, "platform", none);
    slewingRing = buildDetailed(models, "slewingRing", none);
    // As a shadow's caster, the tracks are their plain outlines.
    tracks.look = combinedList({buildPart(models, "leftTrackJoist", none).look,
                                buildPart(models, "rightTrackJoist", none).look});
    tracks.shape = combinedList({buildPart(models, "leftTrackOutline", none).shape,
                                 buildPart(models, "rightTrackOutline", none).shape});
    leftRollers = buildDetailed(models, "leftTrackRollers", none);
    rightRollers = buildDetailed(models, "rightTrackRollers", none);
    leftDriveWheel = buildDetailed(models, "leftDriveWheel", -leftDriveWheelCentre);
    leftIdlerWheel = buildDetailed(models, "leftIdlerWheel", -leftIdlerWheelCentre);
    rightDriveWheel = buildDetailed(models, "rightDriveWheel", -rightDriveWheelCentre);
    rightIdlerWheel = buildDetailed(models, "rightIdlerWheel", -rightIdlerWheelCentre);
    const Mesh element = models.getMesh("trackElement", true);
    beltElement = element.cornerArray();
    beltShoe = shoeOnly(beltElement);
    beltLowerRun = withoutGuideLug(beltElement);
    beltMaterialList = buildMaterialList(element);

    const Vector3 p3 = bodyworkPivot;
    bodyworkBottom = buildDetailed(models, "bodyworkBottom", -p3);
    bodyworkMain = buildDetailed(models, "bodyworkMain", -p3);
    bodywork = combined({buildPart(models, "bodyworkBack", -p3), buildPart(models, "cabin", -p3)});
    cabinInside = buildPart(models, "cabinInside", -p3);
    cabinGlassList = buildPart(models, "cabinGlass", -p3).look;
    monoblock = buildDetailed(models, "monoblock", -monoblockPivot);
    bendingArm = buildDetailed(models, "bendingArm", -bendingArmPivot);
    groundPlate = buildPart(models, "groundPlate", -groundPlatePivot);

    // Cylinders and brackets are modelled at their rest angles; turned
    // upright here, the drawing turns them to the current ones.
    const CylinderState cylinders = restCylinderState();
    monoblockServoOuter =
        pair(buildDetailed(models, "monoblockServoOuter", -monoblockServoPivot, -cylinders.monoblockServoAngle), -0.628f);
    monoblockServoInner =
        pair(buildDetailed(models, "monoblockServoInner", -monoblockServoPivot, -cylinders.monoblockServoAngle), 0.628f);
    bendingArmServoOuter =
        buildDetailed(models, "bendingArmServoOuter", -bendingArmServoPivot, -cylinders.bendingArmServoAngle);
    bendingArmServoInner =
        buildDetailed(models, "bendingArmServoInner", -bendingArmServoPivot, -cylinders.bendingArmServoAngle);
    groundPlateServoOuter =
        buildDetailed(models, "groundPlateServoOuter", -groundPlateServoPivot, -cylinders.groundPlateServoAngle);
    groundPlateServoInner =
        buildDetailed(models, "groundPlateServoInner", -groundPlateServoPivot, -cylinders.groundPlateServoAngle);
    bendingArmBracket =
        buildDetailed(models, "bendingArmBracket", -bendingArmBracketPivot, -cylinders.bendingArmBracketAngle);
    groundPlateBracket =
        buildDetailed(models, "groundPlateBracket", -groundPlateBracketPivot, -cylinders.groundPlateBracketAngle);
}

namespace {

// The body's pose, then back by comOffset: the model frame.
void enterModelFrame(const Vector3& position, const Quaternion& orientation, const Vector3& comOffset)
{
    translate(position);
    const double axisLength =
        std::sqrt(orientation.x * orientation.x + orientation.y * orientation.y + orientation.z * orientation.z);
    const double w = std::clamp(orientation.w, -1.0, 1.0);
    const double angle = 2.0 * std::acos(w) * degrees;
    if (axisLength != 0.0)
        glRotatef(float(angle), float(orientation.x / axisLength), float(orientation.y / axisLength),
                  float(orientation.z / axisLength));
    else
        glRotatef(float(angle), 0.0f, 0.0f, 0.0f);
    translate(-comOffset);
}

}  // namespace

void ExcavatorView::draw(const ExcavatorPose& pose, unsigned int grainList, bool caster)
{
    const Vector3 p3 = bodyworkPivot, p4 = monoblockPivot, p5 = bendingArmPivot, p6 = groundPlatePivot;
    const double slew = pose.slew * degrees, boom = pose.monoblock * degrees, arm = pose.bendingArm * degrees,
                 plate = pose.groundPlate * degrees;
    const CylinderState& c = pose.cylinders;

    glGetFloatv(GL_PROJECTION_MATRIX, lens.projection);
    int viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    lens.width = viewport[2];
    lens.height = viewport[3];
    lens.tolerance = caster ? 1.0 : 0.5;

    // A caster writes depth alone: its parts' shapes, with no material.
    const auto call = [caster](const PartLists& part) { glCallList(caster ? part.shape : part.look); };
    const auto detailed = [this, caster](const DetailedPart& part) { drawDetailed(part, caster); };
    glPushMatrix();
    enterModelFrame(pose.position, pose.orientation, pose.comOffset);
    call(platform);
    call(tracks);

    // The slewing ring's shadow falls within the car body's and the
    // upper structure's: the sun sees it through neither.
    if (!caster) {
        detailed(slewingRing);
        detailed(leftRollers);
        detailed(rightRollers);
        const struct {
            const Vector3& centre;
            const DetailedPart& part;
            double phase;
        } wheels[4] = {{leftDriveWheelCentre, leftDriveWheel, pose.leftBeltPhase},
                       {leftIdlerWheelCentre, leftIdlerWheel, pose.leftBeltPhase},
                       {rightDriveWheelCentre, rightDriveWheel, pose.rightBeltPhase},
                       {rightIdlerWheelCentre, rightIdlerWheel, pose.rightBeltPhase}};
        for (const auto& wheel : wheels) {
            glPushMatrix();
            translate(wheel.centre);
            turnZ(wheelTurnDegrees(wheel.phase));
            detailed(wheel.part);
            glPopMatrix();
        }
        drawBelts(pose);
    }

    // Upper structure down the joint chain, each cylinder in the frame of
    // the part carrying its fixed pivot.
    glPushMatrix();
    translate(p3);
    turnY(slew);
    // The grilles lie on the hood's sides: drawn first, they win the depth test.
    detailed(bodyworkBottom);
    detailed(bodyworkMain);
    call(bodywork);
    if (!caster)
        call(cabinInside);  // the cab's walls, floor and the body below stop what sunlight reaches it

    glPushMatrix();
    translate(p4 - p3);
    turnZ(boom);
    detailed(monoblock);

    glPushMatrix();
    translate(p5 - p4);
    turnZ(arm);
    detailed(bendingArm);

    glPushMatrix();
    translate(p6 - p5);
    turnZ(plate);
    call(groundPlate);
    translate(groundPlateBracketPivot - p6);
    turnZ(c.groundPlateBracketAngle);
    detailed(groundPlateBracket);
    glPopMatrix();

    glPushMatrix();
    translate(groundPlateServoPivot - p5);
    turnZ(c.groundPlateServoAngle);
    detailed(groundPlateServoOuter);
    glTranslatef(0.0f, float(c.groundPlateServoExtension), 0.0f);
    detailed(groundPlateServoInner);
    glPopMatrix();

    translate(bendingArmBracketPivot - p5);
    turnZ(c.bendingArmBracketAngle);
    detailed(bendingArmBracket);
    glPopMatrix();

    translate(bendingArmServoPivot - p4);
    turnZ(c.bendingArmServoAngle);
    detailed(bendingArmServoOuter);
    glTranslatef(0.0f, float(c.bendingArmServoExtension), 0.0f);
    detailed(bendingArmServoInner);
    glPopMatrix();

    translate(monoblockServoPivot - p3);
    turnZ(c.monoblockServoAngle);
    detailed(monoblockServoOuter);
    glTranslatef(0.0f, float(c.monoblockServoExtension), 0.0f);
    detailed(monoblockServoInner);
    glPopMatrix();

    // Soil in the bucket: one grain block per occupied cell, in the ground
    // plate's frame.
    {
        glPushMatrix();
        translate(p3);
        turnY(slew);
        translate(p4 - p3);
        turnZ(boom);
        translate(p5 - p4);
        turnZ(arm);
        translate(p6 - p5);
        turnZ(plate);
        for (const Vector3& cell : pose.bucketSoil) {
            glPushMatrix();
            translate(cell);
            glCallList(grainList);
            glPopMatrix();
        }
        glPopMatrix();
    }

    glPopMatrix();
}

// The one place a part's detail is chosen: the roughest the lens cannot
// tell from the whole part.
void ExcavatorView::drawDetailed(const DetailedPart& part, bool caster) const
{
    float modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    const PartLists& lists = part.levels[detailLevel(part, modelview, lens)];
    glCallList(caster ? lists.shape : lists.look);
}

void ExcavatorView::enclose(const ExcavatorPose& pose, std::vector<std::pair<Vector3, double>>& balls,
                            std::vector<std::pair<Vector3, double>>* tight) const
{
    // The drawing's joint chain, worked on points instead of the matrix.
    const auto world = [&](const Vector3& model) {
        return pose.position + rotate(model - pose.comOffset, pose.orientation);
    };
    const Vector3 p3 = bodyworkPivot;
    const Vector3 toArm = rotateAboutZ(bendingArmPivot - monoblockPivot, pose.monoblock);
    const Vector3 toPlate =
        rotateAboutZ(rotateAboutZ(groundPlatePivot - bendingArmPivot, pose.bendingArm), pose.monoblock);
    const Vector3 joints[3] = {monoblockPivot - p3, monoblockPivot - p3 + toArm, monoblockPivot - p3 + toArm + toPlate};
    balls.clear();
    balls.push_back({world(p3), bodyRadius});
    // The boom and the arm with their cylinders, a ball a metre or so
    // apart; the bucket and its linkage about the plate's pivot.
    constexpr double kBoom = 0.9, kBucket = 1.9;
    for (int j = 0; j < 2; ++j) {
        const int n = 1 + static_cast<int>(length(joints[j + 1] - joints[j]));
        for (int k = 0; k <= n; ++k) {
            const Vector3 along = joints[j] + (joints[j + 1] - joints[j]) * (double(k) / n);
            balls.push_back({world(p3 + rotateAboutY(along, pose.slew)), kBoom});
        }
    }
    balls.push_back({world(p3 + rotateAboutY(joints[2], pose.slew)), kBucket});
    if (!tight)
        return;
    // The tracks and the body by their boxes' corners, then the same balls
    // along the boom and about the bucket.
    tight->clear();
    for (int k = 0; k < 8; ++k) {
        const auto corner = [k](const Vector3 (&b)[2]) {
            return Vector3(b[k & 1].x, b[(k >> 1) & 1].y, b[(k >> 2) & 1].z);
        };
        tight->push_back({world(corner(undercarriageBox)), 0.0});
        tight->push_back({world(p3 + rotateAboutY(corner(bodyBox), pose.slew)), 0.0});
    }
    tight->insert(tight->end(), balls.begin() + 1, balls.end());
}

namespace {

// The triangles of an element's corners but those whose every corner
// `drops` (given its position: x, y, z).
template <class Drops>
std::vector<float> withoutTriangles(const std::vector<float>& corners, Drops drops)
{
    constexpr size_t kTriangle = 3 * Mesh::kCornerFloats;
    std::vector<float> kept;
    for (size_t t = 0; t + kTriangle <= corners.size(); t += kTriangle) {
        const float* c = &corners[t];
        if (drops(c + 5) && drops(c + 5 + Mesh::kCornerFloats) && drops(c + 5 + 2 * Mesh::kCornerFloats))
            continue;
        kept.insert(kept.end(), c, c + kTriangle);
    }
    return kept;
}

constexpr float kLinkTop = -0.0063f;  // m: the links' and lug's outer faces lie at -0.0065

}  // namespace

std::vector<float> shoeOnly(const std::vector<float>& corners)
{
    return withoutTriangles(corners, [](const float* p) { return p[1] < kLinkTop; });
}

std::vector<float> withoutGuideLug(const std::vector<float>& corners)
{
    // Between the links: within 3 cm of the belt's middle.
    return withoutTriangles(corners, [](const float* p) { return p[1] < kLinkTop && std::fabs(p[2]) < 0.031f; });
}

size_t keepFacing(float* corners, size_t count, const Vector3& eye)
{
    constexpr size_t n = Mesh::kCornerFloats, position = 5;
    size_t kept = 0;
    for (size_t k = 0; k + 3 * n <= count; k += 3 * n) {
        const float* a = corners + k + position;
        const float* b = a + n;
        const float* c = b + n;
        const Vector3 ab(b[0] - a[0], b[1] - a[1], b[2] - a[2]), ac(c[0] - a[0], c[1] - a[1], c[2] - a[2]);
        if (dot(cross(ab, ac), Vector3(eye.x - a[0], eye.y - a[1], eye.z - a[2])) <= 0.0)
            continue;
        if (kept != k)
            std::copy(corners + k, corners + k + 3 * n, corners + kept);
        kept += 3 * n;
    }
    return kept;
}

void ExcavatorView::drawBelts(const ExcavatorPose& pose)
{
    // The 70 elements go out as one array: drawn one list at a time, the
    // calls cost the software renderer more than the triangles.
    beltVertices.resize(2 * beltElementCount * beltElement.size());
    float* out = beltVertices.data();
    // Belt frames sit on the track outlines' pivots.
    const Vector3 beltShift(0.0, -0.519 + 0.495846, 0.0);
    const struct {
        Vector3 origin;
        double phase;
    } belts[2] = {{leftTrackPivot + beltShift, pose.leftBeltPhase},
                  {rightTrackPivot + beltShift, pose.rightBeltPhase}};
    for (const auto& belt : belts) {
        BeltPlace places[beltElementCount];
        beltElementPlaces(belt.phase, places);
        for (const BeltPlace& p : places) {
            // Over the wheels' centres the links and guide lug face down
            // into the track frame, which hides them from every eye: the
            // shoe alone is drawn there, and the links only where the
            // lower run shows them between the rollers. The guide lug
            // stays hidden between its links, and where it peeps out, is
            // as dark as the plate behind it.
            const std::vector<float>& element = p.y < beltWheelCentreHeight ? beltLowerRun : beltShoe;
            // Turned about z by the element's angle, then moved to its place.
            const float c = float(std::cos(p.angle / degrees)), s = float(std::sin(p.angle / degrees));
            const float x = float(belt.origin.x - p.x), y = float(belt.origin.y + p.y), z = float(belt.origin.z);
            for (size_t k = 0; k < element.size(); k += Mesh::kCornerFloats, out += Mesh::kCornerFloats) {
                const float* in = &element[k];
                out[0] = in[0];
                out[1] = in[1];
                out[2] = c * in[2] - s * in[3];
                out[3] = s * in[2] + c * in[3];
                out[4] = in[4];
                out[5] = c * in[5] - s * in[6] + x;
                out[6] = s * in[5] + c * in[6] + y;
                out[7] = in[7] + z;
            }
        }
    }
    // Half the belts' triangles face away from the eye: left out here, the
    // renderer is spared lighting their corners before it culls them. The
    // eye in the model frame, from the rigid modelview.
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    const Vector3 eye(-(m[0] * m[12] + m[1] * m[13] + m[2] * m[14]), -(m[4] * m[12] + m[5] * m[13] + m[6] * m[14]),
                      -(m[8] * m[12] + m[9] * m[13] + m[10] * m[14]));
    const size_t kept = keepFacing(beltVertices.data(), static_cast<size_t>(out - beltVertices.data()), eye);
    glCallList(beltMaterialList);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glInterleavedArrays(GL_T2F_N3F_V3F, 0, beltVertices.data());
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(kept / Mesh::kCornerFloats));
    glPopClientAttrib();
}

void ExcavatorView::drawTransparent(const ExcavatorPose& pose) const
{
    glPushMatrix();
    enterModelFrame(pose.position, pose.orientation, pose.comOffset);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    translate(bodyworkPivot);
    turnY(pose.slew * degrees);
    glCallList(cabinGlassList);
    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE);
    glPopMatrix();
}
