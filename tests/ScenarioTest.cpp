#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>

#include "GLContext.h"
#include "ScenarioSoil.h"
#include "app/Scene.h"
#include "assets/ModelLoader.h"
#include "excavator/Articulation.h"
#include "excavator/Excavator.h"
#include "excavator/TerrainContact.h"
#include "math/Quaternion.h"
#include "physics/Collision.h"
#include "physics/Simulation.h"
#include "tests/TestShapes.h"
#include "tools/scenario/Scenario.h"
#include "world/Terrain.h"

namespace {

// A scenario of the table on the real scene from data/.
class ScenarioTest : public ::testing::Test {
protected:
    void start(const char* name)
    {
        ASSERT_TRUE(ensureGLContext()) << SDL_GetError();
        ModelLoader::getInstance().reset();
        ModelLoader::getInstance().directory = "data/";
        scene = std::make_unique<Scene>();
        const Scenario* s = findScenario(name);
        ASSERT_NE(s, nullptr) << name;
        run = std::make_unique<ScenarioRun>(*scene, *s);
    }
    Excavator& machine() { return *scene->excavator; }
    void TearDown() override
    {
        if (run)
            expectSoilBalanced(*run);
    }

    std::unique_ptr<Scene> scene;
    std::unique_ptr<ScenarioRun> run;
};

Vector3 upOf(const Quaternion& q) { return rotate({0, 1, 0}, q); }

double degreesBetween(const Vector3& a, const Vector3& b)
{
    return std::acos(std::clamp(dot(a, b), -1.0, 1.0)) * 57.29577951308232;
}

// The track outlines' lowest corners, in the world.
std::vector<Vector3> trackBottom(Excavator& e)
{
    e.predict(0.0);
    std::vector<Vector3> corners;
    for (int part = RightTrack; part <= LeftTrack; ++part) {
        const Mesh& m = e.meshes[part];
        double low = 1e9;
        for (const Vector3& p : m.positions)
            low = std::min(low, p.y);
        for (size_t v = 0; v < m.positions.size(); ++v)
            if (m.positions[v].y < low + 0.01)
                corners.push_back(m.workingPositions[v]);
    }
    return corners;
}

}  // namespace

TEST_F(ScenarioTest, LandFallsFreelyThenRestsOnItsTracksWhereItStarted)
{
    start("land");
    const Quaternion startOrientation = machine().orientation;
    const double y0 = machine().position.y;
    run->run(333 * ScenarioRun::kStep);
    EXPECT_NEAR(y0 - machine().position.y, 4.925, 0.005) << "free fall over 333 steps";
    EXPECT_EQ(run->firstContactStep, -1);
    run->run(5.0);
    EXPECT_NEAR(run->firstContactStep, 475, 6);
    EXPECT_FALSE(run->nan);
    // One impulse at a time at 14 m/s sets it turning: it bounces about
    // 0.6 m and lands turned and shifted. The machine's dead band then
    // holds it still.
    EXPECT_LT(length(machine().velocity), 0.01);
    EXPECT_LT(std::hypot(machine().position.x - run->startPosition.x, machine().position.z - run->startPosition.z), 1.0);
    EXPECT_LT(degreesBetween(upOf(machine().orientation), upOf(startOrientation)), 2.0);

    // Only the tracks touch, and only the ground.
    const int n = static_cast<int>(scene->objects.size());
    int contacts = 0;
    for (int k = 0; k < scene->pairCount; ++k)
        for (const Contact& c : scene->pairRecords[k].contacts) {
            EXPECT_EQ(k, pairIndex(0, machine().index, n));
            const Mesh* part = c.bodyA == &machine() ? c.meshA : c.meshB;
            EXPECT_TRUE(part->index == RightTrack || part->index == LeftTrack) << part->index;
            ++contacts;
        }
    EXPECT_GE(contacts, 1);
    for (const Vector3& p : trackBottom(machine())) {
        double h = 0;
        Vector3 normal;
        ASSERT_TRUE(groundBelow(*scene, p.x, p.z, h, normal));
        const double d = dot(p - Vector3(p.x, h, p.z), normal);
        EXPECT_GE(d, -0.002);
        // Below 2 cm/s and 0.02 rad/s the pose is frozen: a corner may stay
        // a fraction of a millimetre short of touching.
        EXPECT_LE(d, 0.001);
    }
}

TEST_F(ScenarioTest, WallStopsTheMachineWhichBouncesBackSlowly)
{
    start("wall");
    // The wall's near face and the machine's lead along the drive.
    const Vector3 towards = normalized(machine().velocity);
    double face = 1e30;
    for (const Vector3& w : scene->objects[1]->meshes[0].workingPositions)
        face = std::min(face, dot(towards, Vector3(w.x, 0, w.z)));
    auto lead = [&] {
        double reach = -1e30;
        for (uint32_t m = 0; m < machine().meshCount; ++m)
            for (const Vector3& w : machine().meshes[m].workingPositions)
                reach = std::max(reach, dot(towards, Vector3(w.x, 0, w.z)));
        return reach;
    };
    EXPECT_NEAR(face - lead(), 1.0, 0.01);
    double rebound = 0, closest = 1e9;
    bool hit = false;
    while (run->time < run->scenario.seconds) {
        run->step();
        const double along = dot(machine().velocity, towards);
        closest = std::min(closest, face - lead());
        hit |= closest < 0.01;
        if (hit)
            rebound = std::max(rebound, -along);
        ASSERT_FALSE(run->nan);
    }
    EXPECT_TRUE(hit) << "reaches the wall";
    // The arm reaches over the wall's crown; nothing gets past its far face.
    EXPECT_GT(closest, -0.5) << "never passes through it";
    EXPECT_LE(rebound, 0.11 * 3.0 + 0.02);
    EXPECT_LT(dot(machine().velocity, towards), 0.1) << "stopped";
}

TEST_F(ScenarioTest, CycleMovesACubicMetreAsideWithinTwentySeconds)
{
    start("cycle");
    Terrain& ground = *machine().terrain;
    std::vector<float> before;
    for (int n = 0; n < 64 * 64 * 64; ++n)
        before.push_back(ground.world.block(n / 4096).columns[n % 4096].position[1]);
    const int64_t soil = ground.soilVoxelCount();
    for (; run->time < run->scenario.seconds; run->step()) {
        ASSERT_EQ(sceneSoil(*scene).total(), run->startSoil) << "at " << run->time << " s";
        if (run->steps == std::lround(findScenario("dig")->seconds / ScenarioRun::kStep)) {  // the bite done
            EXPECT_GE(machine().bucket.soilCount, 20);
            EXPECT_EQ(soil - ground.soilVoxelCount(), machine().bucket.soilCount);
        }
    }
    EXPECT_LE(run->time, 20.0);
    EXPECT_EQ(machine().bucket.soilCount + ground.grainCount() + ground.soilGone(), 0) << "all back on the ground";
    EXPECT_LT(std::fabs(machine().slewAngle()), 0.05) << "slewed back";
    // Columns that end higher hold the pile; the hole's end lower.
    double piled = 0;
    for (int n = 0; n < 64 * 64 * 64; ++n)
        piled += std::max(0.0, (ground.world.block(n / 4096).columns[n % 4096].position[1] - before[n]) / terrain::kVoxel);
    EXPECT_GE(piled, 25.0 - 1e-3);
}

TEST_F(ScenarioTest, SameScenarioGivesTheSameTrace)
{
    std::string traces[2];
    for (std::string& t : traces) {
        start("land");
        run->run(0.6);
        std::ostringstream out;
        run->writeTrace(out);
        t = out.str();
        EXPECT_NE(run->summary().find("summary time=0.600 x="), std::string::npos) << run->summary();
    }
    EXPECT_EQ(traces[0], traces[1]);
}

TEST_F(ScenarioTest, DumpPilesTheWholeLoadUnderTheBucket)
{
    start("dump");
    Terrain& ground = *machine().terrain;
    std::vector<float> before;
    for (int n = 0; n < 64 * 64 * 64; ++n)
        before.push_back(ground.world.block(n / 4096).columns[n % 4096].position[1]);
    run->run(run->scenario.seconds);
    EXPECT_EQ(machine().bucket.soilCount + ground.grainCount() + ground.soilGone(), 0);
    EXPECT_NE(run->summary().find(" balance=0"), std::string::npos) << run->summary();
    const PartTransform plate(GroundPlate, machine().meshes[GroundPlate].referencePoint, armPivots(machine().meshes),
                              jointAngles(machine().meshes));
    const Vector3 bucket = machine().modelToWorld(plate.point(machine().bucket.cell(3, 2, 2).position));
    double risen = 0.0;
    for (int n = 0; n < 64 * 64 * 64; ++n) {
        const TerrainColumn& c = ground.world.block(n / 4096).columns[n % 4096];
        const double rise = (c.position[1] - before[n]) / terrain::kVoxel;
        if (rise == 0.0)
            continue;
        EXPECT_NEAR(rise, std::round(rise), 1e-4);
        EXPECT_LT(std::hypot(c.position[0] - bucket.x, c.position[2] - bucket.z), 2.0);
        risen += rise;
    }
    EXPECT_NEAR(risen, 33.0, 1e-3);
}

TEST(ScenarioFlat, MachineOnFlatGroundRestsOnItsTracks)
{
    ASSERT_TRUE(ensureGLContext()) << SDL_GetError();
    ModelLoader::getInstance().reset();
    ModelLoader::getInstance().directory = "data/";
    Terrain* terrain = new Terrain(flatGrid(0.0));
    Excavator* machine = new Excavator(terrain);
    machine->orientation = Quaternion(1, 0, 0, 0);
    machine->inverseInertiaWorld = machine->inverseInertiaBody;
    machine->position = {0.3, 1.5, 0.2};
    std::vector<Object*> objects{terrain, machine};
    terrain->index = 0;
    machine->index = 1;
    PairRecord record;
    Simulation sim(objects, &record, 1);
    sim.hooks = machineHooks(machine);
    for (int i = 0; i < 1000; ++i)
        ASSERT_FALSE(sim.step(0.003).gaveUp) << i;
    EXPECT_LT(length(machine->velocity), 0.03);
    EXPECT_GE(machine->position.y, 1.2311);
    EXPECT_LE(machine->position.y, 1.2333);
    delete machine;
    delete terrain;
}
