#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <cmath>
#include <vector>

#include "GLContext.h"
#include "app/Camera.h"
#include "app/Scene.h"
#include "assets/ModelLoader.h"
#include "excavator/Excavator.h"
#include "input/InputSystem.h"
#include "world/Billboard.h"
#include "terrain/Terrain.h"
#include "world/World.h"

// Terrain first, then the four scenery bodies, the machine and the three
// forests. The sky turns with the view's angles only: following the machine
// elsewhere leaves it as it was, an orbit turns it. With the scene gone, no
// listener of it hears input any more.
TEST(Scene, BuildsTheWorldInOrderFromTheGeneratedData)
{
    World world;  // no GL context needed
    const std::vector<BodyRole> roles = {BodyRole::Ground, BodyRole::Wall,    BodyRole::Rock,
                                         BodyRole::Rock,   BodyRole::Rock,    BodyRole::Machine,
                                         BodyRole::Forest, BodyRole::Forest, BodyRole::Forest};
    ASSERT_EQ(world.bodies().size(), roles.size());
    for (size_t k = 0; k < roles.size(); ++k) {
        const Object& body = *world.bodies()[k];
        EXPECT_EQ(body.index, static_cast<int>(k));
        EXPECT_EQ(world.roleOf(body), roles[k]) << k;
        EXPECT_EQ(dynamic_cast<const Billboard*>(&body) != nullptr, roles[k] == BodyRole::Forest) << k;
        EXPECT_EQ(body.mass == HUGE_VAL, roles[k] != BodyRole::Machine) << k;
    }
    EXPECT_EQ(world.bodies()[0], &world.terrain());
    EXPECT_EQ(world.bodiesOf(BodyRole::Machine), std::vector<Object*>{world.excavator});
    EXPECT_EQ(world.excavator->terrain, &world.terrain());
    ASSERT_TRUE(ensureGLContext()) << SDL_GetError();
    InputSystem input;
    {
        Scene scene(world, &input);
        glViewport(0, 0, 64, 64);
        for (int k = 0; k < 5; ++k)
            world.simulate(0.003);
        scene.render();  // the first frame sets the view up
        EXPECT_EQ(scene.snapshot.step, 5);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(60.0, 1.0, 0.001, 1000.0);
        glMatrixMode(GL_MODELVIEW);
        Excavator& machine = *world.excavator;
        const auto skyRows = [&] {
            scene.render();
            glFinish();
            std::vector<uint8_t> px(64 * 4 * 3);
            glReadBuffer(GL_BACK);  // the software renderer keeps it after the swap
            glReadPixels(0, 60, 64, 4, GL_RGB, GL_UNSIGNED_BYTE, px.data());
            return px;
        };
        scene.camera->startView = false;  // as once the operator has moved the view
        scene.camera->eye = machine.position + Vector3(15.0, 5.0, 10.0);  // beyond the leash
        const std::vector<uint8_t> before = skyRows();
        machine.position += Vector3(6.0, 1.0, -4.0);
        EXPECT_EQ(skyRows(), before);
        scene.camera->eye = machine.position + rotateAboutY(Vector3(15.0, 5.0, 10.0), 1.5707963267948966);
        EXPECT_NE(skyRows(), before);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
    for (Uint8 type : {SDL_KEYDOWN, SDL_KEYUP, SDL_MOUSEMOTION, SDL_MOUSEBUTTONDOWN}) {
        SDL_Event e{};
        e.type = type;
        SDL_PushEvent(&e);
    }
    input.poll();
    input.dispatch();  // must reach no freed listener
}
