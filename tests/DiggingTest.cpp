#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "GLContext.h"
#include "assets/ModelLoader.h"
#include "excavator/Cutting.h"
#include "excavator/Excavator.h"
#include "excavator/TerrainContact.h"
#include "math/Quaternion.h"
#include "tests/TestShapes.h"
#include "world/Terrain.h"

namespace {

constexpr double kDeg = 3.141592653589793 / 180.0;
const ArmPivots kPivots{{0, 1.193, 0}, {0.219, 1.95, -0.05}, {6.365, 1.268, -0.05}, {3.938, 0.42, -0.05}};

// Attack angle in degrees, 0..360 as the window reads it.
double attackDegrees(const JointAngles& pose, const JointAngles& rates)
{
    return attackAngle(tipVelocityInBucket(kPivots, pose, rates)) / kDeg;
}

}  // namespace

TEST(Cutting, OnlyLipFirstMotionCuts)
{
    struct Case {
        JointAngles pose;   // degrees
        JointAngles rates;  // rad/s, the controller's at that pose
        double attack;      // degrees
        bool cuts;
    };
    const Case cases[] = {
        {{0, 0, 0, 0}, {0, 0, 0, -5.818}, 329.0, true},  // plate alone: tip forward and down
        {{0, 0, 0, 0}, {0, 0, 0, 5.818}, 149.0, false},
        {{0, 0, 0, 0}, {0, 0.7676, 0, 0}, 75.2, false},
        {{0, 0, 0, 0}, {0, -0.7676, 0, 0}, 255.2, false},
        {{0, 0, 0, 0}, {0, 0, 2.0187, 0}, 239.9, false},
        {{0, 0, 0, 0}, {0, 0, -2.0187, 0}, 59.9, false},
        {{0, 0, 90, 90}, {0, 0, -1.0, 0}, -7.6, true},  // the drag towards the machine
        {{0, -32, 120, 0}, {0, 0.5, 0, 0}, 294.5, true},
        {{90, 0, 0, 0}, {0, 0, 0, -5.818}, 329.0, true},  // the slew plays no part
    };
    for (const Case& c : cases) {
        const JointAngles pose{c.pose.slew * kDeg, c.pose.monoblock * kDeg, c.pose.bendingArm * kDeg,
                               c.pose.groundPlate * kDeg};
        const double attack = attackDegrees(pose, c.rates);
        EXPECT_NEAR(attack, c.attack, 0.05) << c.pose.monoblock << " " << c.pose.bendingArm;
        EXPECT_EQ(inCuttingWindow(attack * kDeg), c.cuts) << c.attack;
    }
    EXPECT_TRUE(std::isnan(attackDegrees({}, {})));
    EXPECT_FALSE(inCuttingWindow(std::nan(""))) << "still joints never cut";
    // Rounding just past +-1 must not give NaN.
    EXPECT_EQ(clampedAcos(1.0000000000000002), 0.0);
    EXPECT_EQ(clampedAcos(-1.0000000000000002), std::acos(-1.0));
}

namespace {

// The machine on flat ground at 0, level, its model origin at `site`,
// with its arm buried by the pose.
class DiggingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext()) << SDL_GetError();
        ModelLoader::getInstance().reset();
        ModelLoader::getInstance().directory = "data/";
        ground = std::make_unique<Terrain>(flatGrid(0.0));
        machine = std::make_unique<Excavator>(ground.get());
        b = ground->blockIndexAt(site);
    }
    void pose(double monoblock, double arm, double plate)
    {
        Excavator& e = *machine;
        e.meshes[Monoblock].angle = monoblock * kDeg;
        e.meshes[BendingArm].angle = arm * kDeg;
        e.meshes[GroundPlate].angle = plate * kDeg;
        e.updateMassProperties();
        e.orientation = Quaternion(1, 0, 0, 0);
        e.inverseInertiaWorld = e.inverseInertiaBody;
        e.position = e.comOffset + site;
        e.predict(0.0);
    }
    int freeVoxels()
    {
        int n = 0;
        for (uint8_t v : ground->world.block(b).voxels)
            n += (v & 3) == 1;
        return n;
    }
    float columnY(int x, int z) { return ground->columnAt(b, x, z).position[1]; }

    const Vector3 site{5.0, 0.0, 11.0};
    int b = 0;
    std::unique_ptr<Terrain> ground;
    std::unique_ptr<Excavator> machine;
};

}  // namespace

TEST_F(DiggingTest, CuttingBucketTakesVoxelsIntoItselfUntilFull)
{
    pose(-32, 1, 0);  // bucket about 1.7 m deep
    Excavator& e = *machine;
    ground->digging = e.bucketInSoil = true;
    e.groundPlateRate = -1.0;
    std::vector<float> before;
    for (int x = 0; x < 64; ++x)
        for (int z = 0; z < 64; ++z)
            before.push_back(columnY(x, z));
    const int freeBefore = freeVoxels();
    dig(*ground, ground->meshes[b], e.meshes[GroundPlate], e);

    EXPECT_EQ(e.bucket.soilCount, 33) << "stops full although more soil is inside";
    EXPECT_EQ(e.soilDug, 33);
    EXPECT_EQ(freeVoxels() - freeBefore, 33) << "one voxel out of the ground per unit in the bucket";
    // Every column went down by whole voxels, as many as it lost.
    int lowered = 0;
    for (int x = 0; x < 64; ++x)
        for (int z = 0; z < 64; ++z) {
            int taken = 0;
            for (int y = 0; y < terrain::kVoxelsY; ++y)
                taken += ground->voxelAt(b, x, y, z) == 1 && ground->voxelCentre(b, x, y, z).y < 0.0;
            EXPECT_EQ(before[x * 64 + z] - columnY(x, z), 0.34375f * taken) << x << "," << z;
            if (taken) {
                EXPECT_TRUE(ground->columnAt(b, x, z).soil);
                ++lowered;
            }
        }
    EXPECT_GT(lowered, 3);
    EXPECT_EQ(e.groundPlateRate, 0.0) << "full, the soil left inside stops it";

    const int freeFull = freeVoxels();
    dig(*ground, ground->meshes[b], e.meshes[GroundPlate], e);
    EXPECT_EQ(freeVoxels(), freeFull);
    EXPECT_EQ(e.bucket.soilCount, 33);
}

TEST_F(DiggingTest, FullBucketLetsSoilThroughOnlyWhenTiltedPastItsLimit)
{
    pose(20, 40, 30);
    Excavator& e = *machine;
    e.meshes[Bodywork].angle = 0.7;
    e.orientation = fromEulerDegrees(4, 30, -6);
    e.bucket.soilCount = 33;
    const double alpha = (20 + 40 + 30) * kDeg;
    // Directions at a given angle from the bucket's own y, in the world.
    auto fromBucketUp = [&](double degrees) {
        const Vector3 inBucket(std::sin(degrees * kDeg), std::cos(degrees * kDeg), 0.0);
        return rotate(rotateAboutY(rotateAboutZ(inBucket, alpha), 0.7), e.orientation);
    };
    EXPECT_EQ(bucketAccepts(e, fromBucketUp(118.0)), Blocked);
    EXPECT_EQ(bucketAccepts(e, fromBucketUp(119.6)), PassThrough);
    EXPECT_EQ(bucketAccepts(e, fromBucketUp(180.0)), PassThrough);
    EXPECT_EQ(bucketAccepts(e, fromBucketUp(0.0)), Blocked);

    e.bucket.soilCount = 32;
    e.groundPlateRate = -1.0;
    EXPECT_EQ(bucketAccepts(e, fromBucketUp(0.0)), TakeSoil);
    e.groundPlateRate = 1.0;
    EXPECT_EQ(bucketAccepts(e, fromBucketUp(0.0)), Blocked);
    e.slewRate = 0.1;
    e.groundPlateRate = -1.0;
    EXPECT_EQ(bucketAccepts(e, fromBucketUp(0.0)), Blocked) << "no digging while slewing";
}

TEST_F(DiggingTest, PartsPushingIntoSoilStopButMayLeaveIt)
{
    struct Case {
        const char* what;
        JointAngles rates;
        bool stops;
    };
    const Case cases[] = {
        {"arm swinging out and down", {0, 0, 1.0, 0}, true},
        {"bucket curling", {0, 0, 0, 1.0}, true},
        {"boom lifting out", {0, 0.5, 0, 0}, false},
    };
    for (const Case& c : cases) {
        pose(-32, 1, 0);
        Excavator& e = *machine;
        ground->digging = true;
        e.bucketInSoil = false;
        e.monoblockRate = c.rates.monoblock;
        e.bendingArmRate = c.rates.bendingArm;
        e.groundPlateRate = c.rates.groundPlate;
        const int freeBefore = freeVoxels();
        dig(*ground, ground->meshes[b], e.meshes[GroundPlate], e);
        dig(*ground, ground->meshes[b], e.meshes[BendingArm], e);
        const JointAngles after = e.jointRates();
        EXPECT_EQ(after.monoblock == 0 && after.bendingArm == 0 && after.groundPlate == 0, c.stops) << c.what;
        EXPECT_EQ(freeVoxels(), freeBefore) << c.what << ": nothing taken outside the soil mode";
    }
}

TEST_F(DiggingTest, WildBoxesReachNoIntegerUnclamped)
{
    pose(-32, 1, 0);
    Excavator& e = *machine;
    ground->digging = e.bucketInSoil = true;
    e.groundPlateRate = -1.0;
    Mesh& part = e.meshes[GroundPlate];
    const Vector3 low = part.boxMin;
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity()}) {
        part.boxMin.x = bad;
        dig(*ground, ground->meshes[b], part, e);
    }
    EXPECT_EQ(e.bucket.soilCount, 0) << "a non-finite box digs nothing";
    part.boxMin.x = -1e300;  // finite: clamped to the block's edge
    dig(*ground, ground->meshes[b], part, e);
    part.boxMin = low;
    EXPECT_EQ(e.bucket.soilCount, 33);
}
