#include "app/SimulationWindow.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <string>

#include "base/Fatal.h"
#include "base/Log.h"
#include "input/ExcavatorController.h"
#include "input/InputSystem.h"

SimulationWindow::SimulationWindow(const char* caption_, int32_t width_, int32_t height_,
                                   int32_t bitsPerPixel_, bool fullscreen_, ExcavatorController* controller)
    : caption(caption_), width(width_), height(height_), bitsPerPixel(bitsPerPixel_), fullscreen(fullscreen_)
{
    initVideo(controller);
    setViewModel();
    initOpenGL();
}

SimulationWindow::~SimulationWindow()
{
    input.reset();  // before SDL, whose mutex it holds
    SDL_Quit();
}

void SimulationWindow::initVideo(ExcavatorController* controller)
{
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) < 0)
        throwFatal(std::string("[SimulationWindow] Couldn't initialize SDL: ") + SDL_GetError() + ".");
    input = std::make_unique<InputSystem>();
    if (controller)
        controller->config(*input);
    logMessage("[SimulationWindow] Creating SDL window.");
    const Uint32 flags = fullscreen ? (SDL_OPENGL | SDL_FULLSCREEN) : SDL_OPENGL;
    if (!SDL_SetVideoMode(width, height, bitsPerPixel, flags)) {
        SDL_Quit();
        throwFatal("[SimulationWindow] Couldn't set video mode.");
    }
    SDL_WM_SetCaption(caption, nullptr);
}

void SimulationWindow::setViewModel()
{
    logMessage("[SimulationWindow] Setting view model.");
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, static_cast<double>(width) / static_cast<double>(height), 0.001, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void SimulationWindow::initOpenGL()
{
    logMessage("[SimulationWindow] Initializing OpenGl.");
    glPolygonMode(GL_FRONT, GL_FILL);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glShadeModel(GL_SMOOTH);
    glDepthFunc(GL_LESS);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0);
    initLighting();
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
    glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
    glHint(GL_TEXTURE_COMPRESSION_HINT, GL_NICEST);
    glHint(GL_GENERATE_MIPMAP_HINT, GL_NICEST);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    // Blending stays off; transparent parts switch it on around themselves.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void SimulationWindow::initLighting()
{
    const GLfloat ambientModel[] = {0.2f, 0.2f, 0.2f, 0.2f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambientModel);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    const GLfloat white[] = {1.0f, 1.0f, 1.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, white);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, white);
    glEnable(GL_LIGHT0);  // positioned by the scene every frame
}
