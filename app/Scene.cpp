#include "app/Scene.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <cmath>

#include "app/Camera.h"
#include "assets/ModelLoader.h"
#include "excavator/Excavator.h"
#include "excavator/TerrainContact.h"
#include "input/ExcavatorController.h"
#include "input/InputSystem.h"
#include "physics/Object.h"
#include "world/Billboard.h"
#include "world/Skybox.h"
#include "world/Terrain.h"

Scene::Scene()
{
    try {
        ModelLoader::getInstance().loadFile("scene.obj");
        skybox = new Skybox();
        camera = new Camera();
        excavator = nullptr;
        Terrain* terrain = new Terrain();
        add(terrain);
        camera->ground = terrain;
        for (const char* name : {"wall", "rock01", "rock02", "rock03"})
            add(new Object(name, HUGE_VAL));

        Excavator* machine = new Excavator(terrain);
        add(machine);
        excavator = machine;
        ExcavatorController::getInstance().setExcavator(machine);

        for (const char* name : {"forest01", "forest02", "forest03"}) {
            Billboard* forest = new Billboard(name, camera, terrain);
            add(forest);
            InputSystem::getInstance().addKeyboardListener(forest);
        }
        const int n = static_cast<int>(objects.size());
        pairCount = n * (n - 1) / 2;
        pairRecords = new PairRecord[pairCount];
        simulation = new Simulation(objects, pairRecords, pairCount);
        simulation->hooks = machineHooks(machine);
    } catch (...) {
        // A failed load leaves nothing behind; main reports it.
        release();
        throw;
    }
}

Scene::~Scene() { release(); }

void Scene::add(Object* object)
{
    object->index = static_cast<int32_t>(objects.size());
    objects.push_back(object);
}

void Scene::release()
{
    // The controller must not keep writing into a machine that is gone.
    if (excavator)
        ExcavatorController::getInstance().setExcavator(nullptr);
    // Listeners leave the input system before they are freed.
    for (Object* o : objects) {
        if (Billboard* forest = dynamic_cast<Billboard*>(o))
            InputSystem::getInstance().removeKeyboardListener(forest);
        delete o;
    }
    objects.clear();
    excavator = nullptr;
    delete camera;
    camera = nullptr;
    delete skybox;
    skybox = nullptr;
    delete simulation;
    simulation = nullptr;
    delete[] pairRecords;
    pairRecords = nullptr;
    pairCount = 0;
}

void Scene::render()
{
    // Depth only: the sky covers every pixel the objects leave.
    glClear(GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    if (excavator)
        camera->follow(*excavator);
    else
        camera->deriveAngles();  // the sky still needs the view's angles
    gluLookAt(camera->eye.x, camera->eye.y, camera->eye.z, camera->center.x, camera->center.y, camera->center.z,
              camera->up.x, camera->up.y, camera->up.z);
    camera->viewChanged = false;

    // Given after the view, so the light stays fixed in the world.
    const float light[4] = {-30.0f, 300.0f, -300.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, light);

    // Opaque objects first: the sky, further away than any of them, then
    // fills only the pixels they left, and the blended trees come after it.
    // The machine, nearest the eye, goes first, so that the ground it hides
    // fails the depth test instead of being shaded and painted over.
    if (excavator)
        excavator->draw();
    for (Object* o : objects)
        if (o != excavator && !dynamic_cast<Billboard*>(o))
            o->draw();

    // The sky turns with the view but never moves with the eye.
    glPushMatrix();
    glLoadIdentity();
    glRotatef(static_cast<float>(90.0 - camera->pitch * 57.29577951308232), 1.0f, 0.0f, 0.0f);
    glRotatef(static_cast<float>(-camera->yaw * 57.29577951308232), 0.0f, 1.0f, 0.0f);
    // Its far corners lie a few depth units short of the cleared depth, so
    // equal passes too; nothing drawn later lies beyond it.
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_FALSE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glCallList(skybox->displayList);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LESS);
    glPopMatrix();

    for (Object* o : objects)
        if (dynamic_cast<Billboard*>(o))
            o->draw();
    // The cabin glass last, blended over everything behind it.
    if (excavator)
        excavator->drawTransparent();

    glFlush();
    SDL_GL_SwapBuffers();
}

void Scene::simulate(double step)
{
    if (simulation)
        lastStep = simulation->step(step);
    if (excavator)
        work.update({excavator->soilDug, excavator->bucket.soilCount, excavator->bucketInSoil, excavator->slewRate},
                    step);
}
