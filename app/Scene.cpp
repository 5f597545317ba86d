#include "app/Scene.h"

#include "app/Camera.h"
#include "draw/SceneView.h"
#include "excavator/Excavator.h"
#include "world/Terrain.h"
#include "world/World.h"

Scene::Scene(World& world_, bool listen) : world(world_), camera(std::make_unique<Camera>(listen))
{
    camera->ground = &world.terrain();
    view = std::make_unique<SceneView>(world);
}

Scene::~Scene() = default;

void Scene::capture()
{
    world.snapshot(snapshot);
    if (world.excavator)
        camera->follow(snapshot.machine);
    else
        camera->deriveAngles();  // the sky still needs the view's angles
    camera->viewChanged = false;
    snapshot.view = ViewPose{camera->eye, camera->center, camera->up, camera->pitch, camera->yaw};
}

void Scene::draw() { view->draw(snapshot); }

void Scene::render()
{
    capture();
    draw();
}
