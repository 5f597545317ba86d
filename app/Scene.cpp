#include "app/Scene.h"

#include <GL/gl.h>
#include <SDL.h>

Scene::Scene() = default;

Scene::~Scene() = default;

void Scene::render()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glFlush();
    SDL_GL_SwapBuffers();
}

void Scene::simulate(double) {}
