#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "GLContext.h"
#include "assets/ModelLoader.h"
#include "excavator/Cutting.h"
#include "excavator/Excavator.h"
#include "excavator/SoilTable.h"
#include "excavator/TerrainContact.h"
#include "math/Quaternion.h"
#include "tests/TestShapes.h"
#include "physics/Collision.h"
#include "physics/PairRecord.h"
#include "terrain/Terrain.h"

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

TEST_F(DiggingTest, CuttingBucketTakesTheSoilAtItsEdgeUntilFull)
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
    for (int n = 0; n < 31; ++n)
        e.bucket.addSoil();
    e.groundPlateRate = -1.0;
    e.cutOwed = 3.0;
    digWith(GroundPlate);
    EXPECT_EQ(e.bucket.soilCount, 33) << "stops full although more soil is at the edge";
    EXPECT_EQ(soil - ground->soilVoxelCount(), 2);
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

TEST_F(DiggingTest, BucketContactsGiveWayToAirDiggingSoilAndTheCuttingLip)
{
    // One part triangle (vertices 15, 16, 17) with corner 16 1 mm under the
    // flat ground; five far-off triangles before it only fill vertices 0..14.
    Mesh part;
    for (int n = 0; n < 5; ++n) {
        const Vector3 far(100.0 + 10 * n, 50.0, 0.0);
        part.addTriangle(far, far + Vector3(1, 0, 0), far + Vector3(0, 1, 0), {}, {}, {}, 0);
    }
    const Vector3 corner = site + Vector3(0.3, -0.001, 0.2);
    part.addTriangle(corner + Vector3(-0.4, 0.5, 0), corner, corner + Vector3(0.4, 0.5, 0.3), {}, {}, {}, 0);
    part.computeProperties();
    part.workingPositions = part.positions;
    ASSERT_EQ(part.triangles.back().vertices[1], 16);
    Mesh& block = ground->meshes[b];
    int16_t x, y, z;
    ground->voxelCoordsAt(b, corner, x, y, z);
    struct Case {
        const char* what;
        bool air, digging, inSoil, lip, cutting;
        ContactResult result;
        bool cut, contact;
    } cases[] = {
        {"on soil", false, false, false, false, false, Touching, false, true},
        {"on air", true, false, false, false, false, NoContact, true, false},
        {"while digging", false, true, false, false, false, NoContact, false, false},
        {"in the soil", false, false, true, false, false, InSoil, false, false},
        {"the lip, still", false, false, false, true, false, Touching, false, true},
        {"the lip, cutting", false, false, false, true, true, NoContact, true, false},
    };
    for (const Case& c : cases) {
        Excavator& e = *machine;
        ground->world.setVoxel(b, x, y, z, !c.air);
        ground->digging = c.digging;
        ground->cutThisStep = ground->touchedThisStep = false;
        e.bucketInSoil = c.inSoil;
        e.terrainContact = e.cuttingContact = false;
        e.groundPlateRate = c.cutting ? -1.0 : 0.0;
        part.index = c.lip ? GroundPlate : BendingArm;
        PairRecord record;
        const ContactResult r =
            testBucketTriangles(block.triangles[0], block, *ground, part.triangles.back(), part, e, record);
        const ContactResult other =
            testBucketTriangles(block.triangles[1], block, *ground, part.triangles.back(), part, e, record);
        EXPECT_EQ(r == NoContact ? other : r, c.result) << c.what;
        EXPECT_EQ(ground->cutThisStep, c.cut) << c.what;
        EXPECT_TRUE(ground->touchedThisStep) << c.what;
        EXPECT_EQ(e.terrainContact, c.inSoil) << c.what;
        EXPECT_EQ(e.cuttingContact, c.cutting) << c.what;
        EXPECT_EQ(!record.contacts.empty(), c.contact) << c.what;
    }
}

TEST_F(DiggingTest, ModesFollowTheContactsOfTheDetectionBefore)
{
    // Lifted clear of the ground: only the flags of the last detection count.
    Excavator& e = *machine;
    e.position.y += 50.0;
    e.predict(0.0);
    struct Case {
        bool terrainContact, inSoil, cuttingContact, cut, touched, digging;
        bool inSoilAfter, diggingAfter;
    } cases[] = {
        {false, true, false, false, false, false, false, false},  // left the soil
        {true, true, false, false, false, false, true, false},    // still in it
        {false, true, true, false, false, false, true, false},    // left, but cut again
        {false, false, true, false, false, false, true, false},   // a cut puts it in
        {false, false, false, true, true, false, false, true},    // a suppressed contact: digging
        {false, false, false, true, false, false, false, false},  // ... but nothing touched
        {false, false, false, false, true, true, false, true},    // digging while touching
        {false, false, false, false, false, true, false, false},  // and not without
    };
    for (const Case& c : cases) {
        e.terrainContact = c.terrainContact, e.bucketInSoil = c.inSoil, e.cuttingContact = c.cuttingContact;
        ground->cutThisStep = c.cut, ground->touchedThisStep = c.touched, ground->digging = c.digging;
        PairRecord record;
        EXPECT_EQ(testExcavatorTerrain(e, *ground, record), NoContact);
        EXPECT_EQ(e.bucketInSoil, c.inSoilAfter) << &c - cases;
        EXPECT_EQ(ground->digging, c.diggingAfter) << &c - cases;
        EXPECT_FALSE(e.terrainContact || e.cuttingContact || ground->cutThisStep || ground->touchedThisStep);
    }
}

TEST_F(DiggingTest, SoilSlowsTheArmAndSoilLeavesTheBucketAtAFifthOfItsSpeed)
{
    Excavator& e = *machine;
    pose(-1, 1, 0);  // the bucket level (pitch 0)
    e.position.y += 20.0;
    for (bool inSoil : {false, true}) {
        e.bucketInSoil = inSoil;
        // Slow enough that the valves pass the whole flow.
        e.monoblockRate = e.bendingArmRate = 0.05, e.groundPlateRate = -0.05;
        e.integrateState(0.003);
        const double kept = inSoil ? 0.9 : 1.0;
        EXPECT_NEAR(e.monoblockRate, 0.05 * kept, 1e-12) << inSoil;
        EXPECT_NEAR(e.groundPlateRate, -0.05 * kept, 1e-12) << inSoil;
    }
    e.monoblockRate = e.bendingArmRate = e.groundPlateRate = 0.0;
    e.bucketInSoil = false;
    pose(-1, 1, 0);
    e.position.y += 20.0;
    e.momentum = Vector3(2.0, 0.0, 0.0) * e.mass;  // carried along x at 2 m/s
    e.bucket.cell(5, 2, 2).state = BucketCell::Soil;  // at the open side: spills in the next sweep
    e.bucket.soilCount = 1;
    for (int step = 0; step < 4; ++step)
        e.integrateState(0.003);
    ASSERT_EQ(ground->grainCount(), 1u);
    EXPECT_NEAR(ground->grains.front().velocity.x, 0.4, 1e-9);
    EXPECT_NEAR(length(ground->grains.front().velocity), 0.4, 1e-9);
}

// The cutting edge 1.5 m deep: clay needs more than the relief gives, so
// it stalls with the operator told why, while loose sand gives way; the
// standing tracks hold the machine against the pull.
TEST_F(DiggingTest, ACutTooDeepForClayStallsAtTheReliefAndTheTracksHoldTheMachine)
{
    Excavator& e = *machine;
    const SoilTable soils = readSoilTable("data/soils.json");
    for (const char* name : {"loose-sand", "stiff-clay"}) {
        pose(-32, 30, 60);
        e.soil = *findSoil(soils, name);
        e.hit = JointHit();
        std::vector<double> angles;
        for (int step = 0; step < 100; ++step) {
            e.bucketInSoil = true;
            e.groundPlateRate = -0.3;  // held, as key repeat sets it again
            e.leftTrackContacts = e.rightTrackContacts = 1;
            e.integrateState(0.003);
            angles.push_back(e.groundPlateAngle());
        }
        const bool clay = name[0] == 's';
        EXPECT_EQ(e.hit.cause, clay ? HitCause::CutTooDeep : HitCause::None) << name;
        EXPECT_EQ(angles.back() == angles[angles.size() - 10], clay) << name;
        EXPECT_EQ(e.hydraulicLoad >= 1.0, clay) << name;
        EXPECT_GT(e.cutForce, clay ? 100e3 : 1e3) << name;
        e.computeForces();
        EXPECT_TRUE(std::isfinite(length(e.force) + length(e.torque))) << name;
        EXPECT_NEAR(e.force.x, 0.0, 1e-6) << name;
        EXPECT_NEAR(e.force.z, 0.0, 1e-6) << name;
    }
    EXPECT_EQ(hitReason(e.hit), "the cut is too deep for this ground: raise the boom or open the bucket");
}

// A bite drawn through flat bank by the arm alone (the attack stays put):
// the bucket takes what its edge slices, the edge's width times its depth
// along its path, to a voxel's steps, not the soil its buried outline
// sweeps (at a bucket angle of 60 degrees the heel runs 0.27 m below the
// edge); the ledger stays whole.
TEST_F(DiggingTest, DragTakesWhatTheEdgeSlices)
{
    struct Case {
        double plate;  // degrees
        double depth;  // m: the edge below the ground as the bite starts
    };
    const Case cases[] = {{80, 0.2}, {80, 0.4}, {100, 0.55}, {60, 0.35}};
    for (const Case& c : cases) {
        SetUp();
        pose(15, 85, c.plate);
        Excavator& e = *machine;
        Mesh& plate = e.meshes[GroundPlate];
        const MeshEdge& lip = plate.edges[cutting::edgeIndex];
        auto lipAt = [&] { return 0.5 * (plate.workingPositions[lip.v0] + plate.workingPositions[lip.v1]); };
        e.position.y -= lipAt().y + c.depth;
        e.predict(0.0);
        // Let down into its own cut: no bank inside the outline to begin with.
        for (int x = 0; x < terrain::kVoxelsX; ++x)
            for (int y = 0; y < terrain::kVoxelsY; ++y)
                for (int z = 0; z < terrain::kVoxelsZ; ++z)
                    if (pointInsideMesh(ground->voxelCentre(b, x, y, z), plate))
                        ground->removeSoilVoxel(b, x, y, z);
        const int64_t before = ground->soilVoxelCount();
        double sliced = 0.0;  // m3: the edge's width by its depth along its path
        Vector3 last = lipAt();
        for (int step = 0; step < 2000 && e.bucket.soilCount < 25 && e.bendingArmAngle() > 0.1; ++step) {
            e.bucketInSoil = true;
            e.bendingArmRate = -0.3;
            e.monoblockRate = e.groundPlateRate = 0.0;
            e.predict(0.003);
            digWith(GroundPlate);
            e.integrateState(0.003);
            e.predict(0.0);
            const Vector3 now = lipAt();
            sliced += 0.84 * std::max(-now.y, 0.0) * length(now - last);
            last = now;
        }
        const double taken = (before - ground->soilVoxelCount()) * 0.040619;
        EXPECT_GT(sliced, 0.45) << c.depth;
        EXPECT_NEAR(taken, sliced, 0.2 * sliced + 0.05) << c.depth << " " << c.plate;
        EXPECT_EQ(ground->soilVoxelCount() + e.bucket.soilCount + static_cast<int64_t>(ground->grainCount()), before)
            << c.depth;
    }
}
