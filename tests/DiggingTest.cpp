#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

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
}

TEST(Cutting, OnlyLipFirstMotionCuts)
{
    const ArmPivots pivots{{0, 1.193, 0}, {0.219, 1.95, -0.05}, {6.365, 1.268, -0.05}, {3.938, 0.42, -0.05}};
    struct Case {
        double slew, monoblock, arm, plate;  // degrees
        JointAngles rates;                   // rad/s
        double attack;                       // degrees
    };
    const Case cases[] = {
        {0, 0, 0, 0, {0, 0, 0, -5.818}, 329.0},  {0, 0, 0, 0, {0, 0, 0, 5.818}, 149.0},
        {0, 0, 0, 0, {0, -0.7676, 0, 0}, 255.2}, {0, 0, 90, 90, {0, 0, -1.0, 0}, -7.6},
        {90, -32, 120, 0, {0, 0.5, 0, 0}, 294.5},
    };
    for (const Case& c : cases) {
        const JointAngles pose{c.slew * kDeg, c.monoblock * kDeg, c.arm * kDeg, c.plate * kDeg};
        const double attack = attackAngle(tipVelocityInBucket(pivots, pose, c.rates));
        EXPECT_NEAR(attack / kDeg, c.attack, 0.05) << c.monoblock << " " << c.arm << " " << c.plate;
        EXPECT_EQ(inCuttingWindow(attack), c.attack < 15 || c.attack > 270) << c.attack;
    }
    EXPECT_FALSE(inCuttingWindow(attackAngle(tipVelocityInBucket(pivots, {}, {})))) << "still joints";
    EXPECT_EQ(clampedAcos(1.0000000000000002), 0.0) << "rounding past 1 is no NaN";
}

namespace {

// The machine level on flat ground at 0, its arm posed, the terrain digging.
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
        pose(-32, 1, 0);  // the bucket about 1.7 m deep
        ground->digging = true;
    }
    void pose(double monoblock, double arm, double plate)
    {
        Excavator& e = *machine;
        e.meshes[Monoblock].angle = monoblock * kDeg;
        e.meshes[BendingArm].angle = arm * kDeg;
        e.meshes[GroundPlate].angle = plate * kDeg;
        e.updateMassProperties();
        e.position = e.comOffset + site;
        e.predict(0.0);
    }
    void digWith(int part) { dig(*ground, ground->meshes[b], machine->meshes[part], *machine); }

    const Vector3 site{5.0, 0.0, 11.0};
    int b = 0;
    std::unique_ptr<Terrain> ground;
    std::unique_ptr<Excavator> machine;
};

}  // namespace

TEST_F(DiggingTest, CuttingBucketTakesTheSoilInsideItUntilFull)
{
    Excavator& e = *machine;
    e.bucketInSoil = true;
    e.groundPlateRate = -1.0;
    Mesh& part = e.meshes[GroundPlate];
    const Vector3 box = part.boxMin;
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity()}) {
        part.boxMin.x = bad;
        digWith(GroundPlate);
    }
    EXPECT_EQ(e.bucket.soilCount, 0) << "a non-finite box reaches no voxel";
    part.boxMin = box;
    const int64_t soil = ground->soilVoxelCount();
    const BucketGrid empty = e.bucket;
    for (BucketCell& c : e.bucket.cells)  // no room left, though short of full
        if (c.state == BucketCell::Empty)
            c.state = BucketCell::Wall;
    digWith(GroundPlate);
    EXPECT_EQ(ground->soilVoxelCount(), soil) << "a bucket without room takes no voxel";
    e.bucket = empty;
    e.groundPlateRate = -1.0;
    digWith(GroundPlate);
    EXPECT_EQ(e.bucket.soilCount, 33) << "stops full although more soil is inside";
    EXPECT_EQ(soil - ground->soilVoxelCount(), 33);
    EXPECT_EQ(e.groundPlateRate, 0.0) << "full, the soil left inside stops it";
}

TEST_F(DiggingTest, FullBucketLetsSoilThroughOnlyWhenTiltedPastItsLimit)
{
    pose(20, 40, 30);
    Excavator& e = *machine;
    e.meshes[Bodywork].angle = 0.7;
    e.orientation = fromEulerDegrees(4, 30, -6);
    // A world direction at an angle from the bucket's own y.
    auto fromBucketUp = [&](double degrees) {
        const Vector3 inBucket(std::sin(degrees * kDeg), std::cos(degrees * kDeg), 0.0);
        return rotate(rotateAboutY(rotateAboutZ(inBucket, 90 * kDeg), 0.7), e.orientation);
    };
    e.bucket.soilCount = 33;
    EXPECT_EQ(bucketAccepts(e, fromBucketUp(118.0)), Blocked);
    EXPECT_EQ(bucketAccepts(e, fromBucketUp(119.6)), PassThrough);
    e.bucket.soilCount = 32;
    e.groundPlateRate = -1.0;
    EXPECT_EQ(bucketAccepts(e, fromBucketUp(0.0)), TakeSoil);
    e.slewRate = 0.1;
    EXPECT_EQ(bucketAccepts(e, fromBucketUp(0.0)), Blocked) << "no digging while slewing";
}

TEST_F(DiggingTest, PartsPushingIntoSoilStopButMayLeaveIt)
{
    const int64_t soil = ground->soilVoxelCount();
    const double into[][3] = {{0, 1.0, 0}, {0, 0, 1.0}}, out[3] = {0.5, 0, 0};  // boom, arm, plate
    for (const double* rates : {into[0], into[1], out}) {
        Excavator& e = *machine;
        e.monoblockRate = rates[0], e.bendingArmRate = rates[1], e.groundPlateRate = rates[2];
        digWith(GroundPlate);
        digWith(BendingArm);
        EXPECT_EQ(e.monoblockRate + e.bendingArmRate + e.groundPlateRate == 0.0, rates != out) << rates[0];
    }
    EXPECT_EQ(ground->soilVoxelCount(), soil) << "nothing taken until the bucket is in the soil";
}
