// The generated excavator model, read back through the program's own loader and checked against
// the machine's fixed points: outlines that the physics can use, a bucket whose cutting edge and
// soil cells sit where the digging code expects them, parts that slew with the bodywork inside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "assets/ModelLoader.h"
#include "draw/ExcavatorView.h"
#include "draw/PartDetail.h"
#include "excavator/BucketGrid.h"
#include "physics/Collision.h"
#include "tests/TestShapes.h"

namespace {

const char* const kOutlines[7] = {"rightTrackOutline", "leftTrackOutline", "platformOutline", "bodyworkOutline",
                                  "monoblockOutline",  "bendingArmOutline", "groundPlateOutline"};

const Vector3 p6(3.938, 0.42, -0.05), plateBracketPivot(3.474, 0.461, -0.05), linkJoint(3.892, 0.094, -0.05);

// How far p lies outside a convex outline (checked below): the largest signed distance to its face
// planes, the distance to the surface.
double outside(const Vector3& p, const Mesh& m)
{
    double d = -1e9;
    for (const MeshTriangle& t : m.triangles) d = std::max(d, dot(t.normal, p - m.positions[t.vertices[0]]));
    return d;
}

class KoparkaModel : public ::testing::Test {
protected:
    static const ModelLoader& models()
    {
        static ModelLoader loader;
        if (loader.getGroups().empty()) {
            loader.directory = std::string(KELVARRO_BINARY_DIR) + "/data/";
            loader.loadFile("koparka.obj");
        }
        return loader;
    }
    static Mesh outline(const char* name)
    {
        Mesh m = models().getMesh(name, false);
        m.computeProperties();
        return m;
    }
};

TEST_F(KoparkaModel, EveryGroupLoadsAndTheOutlinesAreClosedSolids)
{
    for (const char* name : kOutlines) {
        SCOPED_TRACE(name);
        const Mesh m = outline(name);
        expectClosedSolid(m, name);
        // Convex: no corner in front of any face.
        for (const Vector3& p : m.positions) EXPECT_LE(outside(p, m), 1e-9);
    }
    for (const ModelGroup& g : models().getGroups()) {
        const std::string& name = g.name;
        if (name.size() > 7 && name.compare(name.size() - 7, 7, "Outline") == 0)
            continue;
        SCOPED_TRACE(name);
        Mesh m = models().getMesh(name, true);
        EXPECT_EQ(m.triangles.size(), g.faces.size());
        EXPECT_NO_THROW(m.computeProperties());  // no edge on three faces
        EXPECT_EQ(m.material.diffuse[3] < 1.0f, name == "cabinGlass");  // only the glass is blended
        // 2D texturing stays on while the world draws: a part without a texture of its own would
        // be painted with whatever the scenery bound last.
        EXPECT_TRUE(m.material.diffuse[0] + m.material.diffuse[1] + m.material.diffuse[2] > 0.0f &&
                    !m.material.textureFile.empty());
    }
}

TEST_F(KoparkaModel, OutlinesStandOnTheGroundAndHoldTheirJoints)
{
    for (int i = 0; i < 2; ++i) {
        const Mesh track = outline(kOutlines[i]);
        EXPECT_NEAR(track.boxMin.y, 0.0, 1e-9) << kOutlines[i];  // the machine stands on its track outlines
        EXPECT_NEAR(0.5 * (track.boxMin.z + track.boxMax.z), i == 0 ? 1.213 : -1.213, 1e-9);
    }
    EXPECT_NEAR(outline("platformOutline").boxMax.y, 1.193, 1e-6);
    const Mesh body = outline("bodyworkOutline");
    EXPECT_NEAR(body.boxMin.y, 1.193, 1e-6);  // slews on the platform's top
    // Whatever slews with the bodywork stays in its outline's box, clear of the tracks below.
    for (const char* name : {"bodyworkBottom", "bodyworkMain", "bodyworkBack", "cabin", "cabinGlass"})
        for (const Vector3& p : models().getMesh(name, true).positions)
            EXPECT_TRUE(p.x >= body.boxMin.x && p.y >= body.boxMin.y && p.z >= body.boxMin.z && p.x <= body.boxMax.x &&
                        p.y <= body.boxMax.y && p.z <= body.boxMax.z) << name;

    // The bucket holds its pins; the links meet below it.
    const Mesh bucket = outline("groundPlateOutline");
    EXPECT_TRUE(outside(p6, bucket) < -0.05 && outside(plateBracketPivot, bucket) < -0.05);
    EXPECT_FALSE(pointInsideMesh(linkJoint, bucket));
}

TEST_F(KoparkaModel, BucketCuttingEdgeIsEdge31FromVertex16To17ThroughTheTip)
{
    const Mesh m = outline("groundPlateOutline");
    ASSERT_TRUE(m.positions.size() >= 18u && m.edges.size() >= 32u);
    const Vector3 &v16 = m.positions[16], &v17 = m.positions[17];
    // The tip point (4.391, 1.857, 0) lies on the edge.
    EXPECT_TRUE(v16.x == 4.391 && v16.y == 1.857 && v17.x == 4.391 && v17.y == 1.857 && v16.z < 0.0 && v17.z > 0.0);
    const MeshEdge& e = m.edges[31];
    EXPECT_TRUE(std::min(e.v0, e.v1) == 16 && std::max(e.v0, e.v1) == 17 && e.convex) << e.v0 << "-" << e.v1;

    // One face on the edge is the lip plate, sloping back from the tip at beta.
    const double beta = std::acos(0.192 / std::sqrt(0.03898));
    const Vector3 lip(std::cos(beta), std::sin(beta), 0.0);
    int lipFaces = 0;
    for (const MeshTriangle& t : m.triangles)
        lipFaces += (t.edges[0] == 31 || t.edges[1] == 31 || t.edges[2] == 31) && std::fabs(dot(t.normal, lip)) < 1e-5 &&
                    t.normal.y > 0.0;
    EXPECT_EQ(lipFaces, 1);
}

TEST_F(KoparkaModel, BucketSoilCellsLieInsideTheBucketAndSpillAtItsOpening)
{
    const Mesh m = outline("groundPlateOutline");
    // The opening: the faces through b6-b7 (vertices 6, 7) and b7-b8 (7, 16).
    const Vector3 b6 = m.positions[6], b7 = m.positions[7], b8 = m.positions[16];
    auto depthBehind = [](const Vector3& p, const Vector3& a, const Vector3& b) {
        const Vector3 inward = normalized(cross(Vector3(0, 0, 1), b - a));  // profile runs counter-clockwise
        return dot(p - a, inward);
    };
    const BucketGrid grid;  // its cell counts are checked with the grid itself
    for (int i = 0; i < BucketGrid::sizeI; ++i)
        for (int j = 0; j < BucketGrid::sizeJ; ++j)
            for (int k = 0; k < BucketGrid::sizeK; ++k) {
                const BucketCell& c = grid.cell(i, j, k);
                const Vector3 p = c.position + p6;
                if (c.state == BucketCell::Empty) {
                    EXPECT_LE(outside(p, m), -0.05) << "Empty cell " << i << j << k;
                } else if (c.state == BucketCell::Spill && pointInsideMesh(p, m)) {
                    EXPECT_LE(std::min(depthBehind(p, b6, b7), depthBehind(p, b7, b8)), 0.05)
                        << "Spill cell " << i << j << k << " deep inside the bucket";
                }
            }
}

}  // namespace

// Over the wheels the belts are drawn as shoes alone: the plate and the
// grouser stay whole (two prisms), the two links and the guide lug go.
TEST_F(KoparkaModel, TrackShoeKeepsThePlateAndGrouserOnly)
{
    const std::vector<float> element = models().getMesh("trackElement", true).cornerArray();
    const size_t triangle = 3 * Mesh::kCornerFloats;
    EXPECT_EQ(element.size() / triangle, 52u);  // no face against the plate
    EXPECT_EQ(shoeOnly(element).size() / triangle, 22u);
    EXPECT_EQ(withoutGuideLug(element).size() / triangle, 42u);
}

// Each round part the view draws by detail has its coarse and rough groups,
// no larger, and within 6 and 14 mm of the whole part: what the view's
// choice of the roughest level that shows less than half a pixel trusts.
TEST_F(KoparkaModel, CoarserLevelsOfEachRoundPartLieWithinTheirDepthOfTheWhole)
{
    const double depth[DetailedPart::kLevels] = {0.0, 0.006, 0.014};
    int parts = 0;
    for (const ModelGroup& g : models().getGroups()) {
        const std::string whole = g.name.substr(0, g.name.size() - 5);
        if (g.name.size() <= 5 || g.name.compare(whole.size(), 5, "Rough") != 0)
            continue;
        SCOPED_TRACE(whole);
        ++parts;
        const Mesh m = models().getMesh(whole, true);
        size_t previous = m.triangles.size();
        for (int k = 1; k < DetailedPart::kLevels; ++k) {
            const Mesh level = models().getMesh(whole + DetailedPart::kSuffixes[k], true);
            EXPECT_LE(level.triangles.size(), previous);
            previous = level.triangles.size();
            EXPECT_LE(surfaceGap(m, level), depth[k] * 1.0001);
        }
        EXPECT_LT(previous, m.triangles.size());
    }
    EXPECT_EQ(parts, 19);
}
