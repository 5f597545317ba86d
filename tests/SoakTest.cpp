#include <gtest/gtest.h>

#include <memory>

#include "GLContext.h"
#include "ScenarioSoil.h"
#include "app/Scene.h"
#include "assets/ModelLoader.h"
#include "tools/scenario/Scenario.h"

// Five working cycles of the soak on the real scene (the full run is
// `kelvarro-scenario soak`): after every step nothing is NaN, the tracks
// stay on top of the ground and not one unit of soil is lost or made; the
// cycles dig and dump soil that the work meter counts as moved.
TEST(Soak, RepeatedCyclesKeepTheWorldSound)
{
    ASSERT_TRUE(ensureGLContext()) << SDL_GetError();
    ModelLoader::getInstance().reset();
    ModelLoader::getInstance().directory = "data/";
    Scene scene;
    ScenarioRun run(scene, *findScenario("soak"));
    while (run.time < 65.0) {
        run.step();
        ASSERT_FALSE(run.nan) << "at " << run.time << " s";
        ASSERT_EQ(run.worstBalance, 0) << "at " << run.time << " s";
        ASSERT_GT(run.lowestClearance, -0.02) << "at " << run.time << " s";
    }
    EXPECT_GT(scene.work.movedM3(), 2.0) << run.summary();
    EXPECT_GT(scene.work.lastCycleSeconds(), 1.0) << run.summary();
    expectSoilBalanced(run);
}
