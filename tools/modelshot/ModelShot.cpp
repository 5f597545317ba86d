// modelshot <models> <out.bmp> ex ey ez cx cy cz [terrain] [world] [outlines]
// <models>: one or more OBJ files joined by '+', each optionally placed as
// file@x,y,z[,degrees,ax,ay,az] (moved, then turned about the axis).
// Run in the folder that holds data/, as the simulator is. Draws every group of the model with the program's meshes and display lists,
// lit like the simulator, over the real terrain when asked; reads the frame
// back and writes it as a 24-bit BMP. Forest volumes and outline groups are
// collision shapes and stay hidden unless "outlines" is given. "world" adds
// the sky and the planted forests to the terrain, as the simulator shows them.
#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "assets/Mesh.h"
#include "base/EntryPoint.h"
#include "base/Fatal.h"
#include "assets/ModelLoader.h"
#include "tools/datagen/BmpWriter.h"
#include "app/Camera.h"
#include "app/SimulationWindow.h"
#include "draw/ForestView.h"
#include "draw/MeshDraw.h"
#include "draw/PartDetail.h"
#include "draw/Skybox.h"
#include "draw/TerrainView.h"
#include "world/Billboard.h"
#include "world/FrameSnapshot.h"
#include "terrain/Terrain.h"
#include "tools/ToolArguments.h"

namespace {

constexpr int width = 1024, height = 768;

struct Placed {
    std::string file;
    double at[7] = {0, 0, 0, 0, 0, 1, 0};
    size_t firstGroup = 0, endGroup = 0;
    std::vector<unsigned int> lists;
};

std::vector<Placed> parseModels(const std::string& text)
{
    std::vector<Placed> models;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find('+', start), text.size());
        const std::string item = text.substr(start, end - start);
        Placed p;
        const size_t at = item.find('@');
        p.file = item.substr(0, at);
        if (at != std::string::npos) {
            std::string numbers = item.substr(at + 1);
            for (int k = 0; k < 7 && !numbers.empty(); ++k) {
                const size_t comma = numbers.find(',');
                const std::string number = numbers.substr(0, comma);
                if (!toolargs::readDouble(number.c_str(), p.at[k]))
                    throwFatal("[modelshot] Bad number '" + number + "' in the placement " + item);
                numbers = comma == std::string::npos ? "" : numbers.substr(comma + 1);
            }
        }
        models.push_back(p);
        start = end + 1;
    }
    return models;
}

bool endsWith(const std::string& name, const std::string& tail)
{
    return name.size() > tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
}

bool hidden(const std::string& name, bool outlines)
{
    if (name == "terrainElement") return true;
    if (name.rfind("forest", 0) == 0) return !outlines;
    // A part's coarser levels of detail: the whole part stands for them.
    for (int k = 1; k < DetailedPart::kLevels; ++k)
        if (endsWith(name, DetailedPart::kSuffixes[k])) return true;
    return endsWith(name, "Outline") && !outlines;
}

void setUpGL()
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / height, 0.05, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_CULL_FACE);  // a face turned the wrong way shows as a hole
    glCullFace(GL_BACK);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    SimulationWindow::initLighting();
    glClearColor(0.62f, 0.75f, 0.88f, 1.0f);
}

}  // namespace

int runTool(int argc, char** argv)
{
    const char* const usage =
        "usage: modelshot <models> <out.bmp> ex ey ez cx cy cz [terrain] [world] [outlines]\n";
    double view[6] = {};
    bool good = argc >= 9;
    for (int i = 3; good && i < 9; ++i)
        good = toolargs::readDouble(argv[i], view[i - 3]);
    for (int i = 9; good && i < argc; ++i)
        good = std::string(argv[i]) == "terrain" || std::string(argv[i]) == "world" ||
               std::string(argv[i]) == "outlines";
    good = good && (view[0] != view[3] || view[1] != view[4] || view[2] != view[5]);  // a direction to look in
    if (!good) {
        std::fprintf(stderr, "%s", usage);
        return 1;
    }
    const std::string dir = "data/";
    bool withTerrain = false, withWorld = false, outlines = false;
    for (int i = 9; i < argc; ++i) {
        withWorld = withWorld || std::string(argv[i]) == "world";
        withTerrain = withTerrain || withWorld || std::string(argv[i]) == "terrain";
        outlines = outlines || std::string(argv[i]) == "outlines";
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0 || !SDL_SetVideoMode(width, height, 32, SDL_OPENGL)) {
        std::fprintf(stderr, "[modelshot] No OpenGL window: %s\n", SDL_GetError());
        return 1;
    }
    int status = 0;
    {
        setUpGL();
        ModelLoader loader;
        loader.directory = dir;
        std::vector<Placed> models = parseModels(argv[1]);
        for (Placed& m : models) {
            m.firstGroup = loader.getGroups().size();
            loader.loadFile(m.file);
            m.endGroup = loader.getGroups().size();
        }
        std::unique_ptr<Terrain> terrain;
        std::unique_ptr<TerrainView> ground;
        FrameSnapshot frame;
        if (withTerrain) {
            loader.loadFile("scene.obj");  // the terrain needs the soil clod
            terrain = std::make_unique<Terrain>(dir);
            ground = std::make_unique<TerrainView>(terrain->material, loader.getMesh("terrainElement", true), dir);
            copyGround(*terrain, 0, frame);
        }
        const Vector3 eye(view[0], view[1], view[2]);
        const Vector3 center(view[3], view[4], view[5]);
        Camera camera;
        camera.eye = eye;
        camera.center = center;
        {
            const Vector3 d = eye - center;
            camera.pitch = std::acos(d.y / length(d));
            camera.yaw = std::acos(d.z / std::hypot(d.x, d.z));
            if (d.x < 0.0) camera.yaw = 6.283185307179586 - camera.yaw;
        }
        std::unique_ptr<Skybox> sky;
        std::vector<std::unique_ptr<Billboard>> forests;
        std::unique_ptr<ForestView> trees;
        if (withWorld) {
            sky = std::make_unique<Skybox>(dir);
            std::vector<const Billboard*> planted;
            for (const char* name : {"forest01", "forest02", "forest03"}) {
                forests.push_back(std::make_unique<Billboard>(loader.getMesh(name, true), terrain.get()));
                planted.push_back(forests.back().get());
            }
            trees = std::make_unique<ForestView>(planted, dir);
        }
        for (Placed& m : models)
            for (size_t i = m.firstGroup; i < m.endGroup; ++i) {
                const ModelGroup& g = loader.getGroups()[i];
                if (hidden(g.name, outlines) || g.faces.empty()) continue;
                Mesh mesh = loader.getMesh(g.name, true);  // the first group of that name
                m.lists.push_back(buildDisplayList(mesh));
            }
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        gluLookAt(eye.x, eye.y, eye.z, center.x, center.y, center.z, 0, 1, 0);
        if (sky) {
            glPushMatrix();
            glLoadIdentity();
            glRotatef(static_cast<float>(90.0 - camera.pitch * 57.29577951308232), 1.0f, 0.0f, 0.0f);
            glRotatef(static_cast<float>(-camera.yaw * 57.29577951308232), 0.0f, 1.0f, 0.0f);
            glEnable(GL_TEXTURE_2D);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
            glDepthMask(GL_FALSE);
            glCallList(sky->displayList);
            glDepthMask(GL_TRUE);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
            glPopMatrix();
        }
        const GLfloat light[] = {-30.0f, 300.0f, -300.0f, 1.0f};
        glLightfv(GL_LIGHT0, GL_POSITION, light);
        if (ground) ground->draw(frame, Vector3(light[0], light[1], light[2]));
        for (const Placed& m : models) {
            glPushMatrix();
            glTranslated(m.at[0], m.at[1], m.at[2]);
            glRotated(m.at[3], m.at[4], m.at[5], m.at[6]);
            for (unsigned int list : m.lists)
                glCallList(list);
            glPopMatrix();
        }
        glEnable(GL_TEXTURE_2D);
        if (trees) trees->draw(eye, camera.yaw);
        glFinish();
        std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        Image image(width, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint8_t* p = &rgb[(static_cast<size_t>(height - 1 - y) * width + x) * 3];
                image.set(x, y, p[0], p[1], p[2]);
            }
        writeBmp(argv[2], image, 24);
    }
    SDL_Quit();
    return status;
}

int main(int argc, char** argv)
{
    return runEntryPoint("modelshot", [&] { return runTool(argc, argv); });
}
