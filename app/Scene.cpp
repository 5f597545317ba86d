#include "app/Scene.h"

#include <GL/gl.h>
#include <SDL.h>

#include "app/Camera.h"
#include "draw/GroundMarks.h"
#include "draw/Overlay.h"
#include "draw/SceneView.h"
#include "excavator/Excavator.h"
#include "terrain/Terrain.h"
#include "world/World.h"

Scene::Scene(World& world_, InputSystem* input, int width_, int height_)
    : world(world_), camera(std::make_unique<Camera>(input)), width(width_), height(height_)
{
    camera->ground = &world.terrain();
    view = std::make_unique<SceneView>(world);
    overlay = std::make_unique<Overlay>(Overlay::kFontPath, 0, height);
}

Scene::~Scene() = default;

void Scene::capture()
{
    world.snapshot(snapshot);
    if (world.excavator) {
        camera->follow(snapshot.machine);
        figures = overlayFigures(world.work, *world.excavator);
    } else {
        camera->deriveAngles();  // the sky still needs the view's angles
    }
    camera->viewChanged = false;
    snapshot.view = ViewPose{camera->eye, camera->center, camera->up, camera->pitch, camera->yaw};

    // The world's pace over the last two seconds of frames.
    const auto now = std::chrono::steady_clock::now();
    clock.emplace_back(now, snapshot.time);
    while (clock.size() > 2 && now - clock.front().first > std::chrono::seconds(2))
        clock.pop_front();
    const double wall = std::chrono::duration<double>(now - clock.front().first).count();
    figures.realTimeFactor = wall > 0.0 ? (snapshot.time - clock.front().second) / wall : -1.0;
}

void Scene::draw()
{
    view->draw(snapshot);
    drawGroundMarks(groundMarks);
    if (overlayShown)
        overlay->draw(overlayLines(figures), width, height);
    glFlush();
    SDL_GL_SwapBuffers();
}

void Scene::render()
{
    capture();
    draw();
}
