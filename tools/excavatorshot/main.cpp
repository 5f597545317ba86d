// excavatorshot <out-folder>
// Renders the excavator in its rest pose and with each joint at both of its
// limits, through the machine's own drawing, to PPM images for looking at: one file
// "excavator_<pose>.ppm" per pose in the given (existing) folder.
#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <string>
#include <vector>

#include "base/EntryPoint.h"
#include "draw/ExcavatorView.h"
#include "excavator/Excavator.h"
#include "world/FrameSnapshot.h"

namespace {

constexpr int width = 960, height = 720;
constexpr double degree = 3.141592653589793 / 180.0;

struct Shot {
    const char* name;
    double slew, monoblock, bendingArm, groundPlate;  // degrees
    Vector3 eye, centre;                              // model frame
    double beltPhase;
};

void setUpLighting()
{
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_NORMALIZE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const float ambient[4] = {0.45f, 0.45f, 0.45f, 1.0f};
    const float diffuse[4] = {0.9f, 0.9f, 0.9f, 1.0f};
    const float specular[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glClearColor(0.62f, 0.74f, 0.86f, 1.0f);
}

bool writePpm(const std::string& path)
{
    std::vector<unsigned char> pixels(width * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    for (int row = height - 1; row >= 0; --row)
        std::fwrite(pixels.data() + row * width * 3, 1, width * 3, f);
    return std::fclose(f) == 0;
}

void render(Excavator& e, ExcavatorView& view, const Shot& s)
{
    e.meshes[Bodywork].angle = s.slew * degree;
    e.meshes[Monoblock].angle = s.monoblock * degree;
    e.meshes[BendingArm].angle = s.bendingArm * degree;
    e.meshes[GroundPlate].angle = s.groundPlate * degree;
    e.updateMassProperties();
    e.updateCylinders();
    e.leftBeltPhase = e.rightBeltPhase = s.beltPhase;
    // World frame = model frame.
    e.position = e.comOffset;
    e.orientation = Quaternion();

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(40.0, double(width) / height, 0.3, 200.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(s.eye.x, s.eye.y, s.eye.z, s.centre.x, s.centre.y, s.centre.z, 0.0, 1.0, 0.0);
    const float lightDirection[4] = {0.4f, 1.0f, 0.7f, 0.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, lightDirection);

    // A floor below the deepest reach of the bucket, for contrast.
    glDisable(GL_LIGHTING);
    glColor3f(0.45f, 0.42f, 0.35f);
    glBegin(GL_QUADS);
    glVertex3f(-30.0f, -6.2f, 30.0f);
    glVertex3f(30.0f, -6.2f, 30.0f);
    glVertex3f(30.0f, -6.2f, -30.0f);
    glVertex3f(-30.0f, -6.2f, -30.0f);
    glEnd();
    glEnable(GL_LIGHTING);

    ExcavatorPose pose;
    copyPose(e, 0, pose);
    view.draw(pose, 0);
    view.drawTransparent(pose);
}

}  // namespace

int runTool(int argc, char** argv)
{
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(argc == 2 && std::string(argv[1]) == "--help" ? stdout : stderr,
                     "usage: excavatorshot <out-folder>   (writes excavator_<pose>.ppm there)\n");
        return argc == 2 && std::string(argv[1]) == "--help" ? 0 : 1;
    }
    std::error_code error;
    if (!std::filesystem::is_directory(argv[1], error)) {
        std::fprintf(stderr, "[excavatorshot] No folder %s\n", argv[1]);
        return 1;
    }
    const std::string out = std::string(argv[1]) + "/";
    if (SDL_Init(SDL_INIT_VIDEO) != 0 || SDL_SetVideoMode(width, height, 32, SDL_OPENGL) == nullptr) {
        std::fprintf(stderr, "[excavatorshot] No OpenGL window: %s\n", SDL_GetError());
        return 1;
    }
    setUpLighting();
    {
        Excavator e(nullptr);
        ExcavatorView view(e);
        const Vector3 side(3.0, 2.0, 17.0), sideCentre(3.0, 1.6, 0.0);
        const Vector3 far(4.0, 3.0, 22.0), farCentre(4.0, 2.0, 0.0);
        const Vector3 quarter(-7.0, 6.0, 11.0), quarterCentre(1.5, 1.2, 0.0);
        const Shot shots[] = {
            {"rest", 0, 0, 0, 0, side, sideCentre, 0.0},
            {"rest_quarter", 0, 0, 0, 0, quarter, quarterCentre, 0.0},
            {"monoblock_low", 0, -32, 0, 0, side, sideCentre, 0.0},
            {"monoblock_high", 0, 65, 0, 0, far, farCentre, 0.0},
            {"arm_in", 0, 0, 1, 0, side, sideCentre, 0.0},
            {"arm_out", 0, 0, 120, 0, far, farCentre, 0.0},
            {"plate_open", 0, 0, 60, -15, side, sideCentre, 0.0},
            {"plate_curled", 0, 0, 60, 140, side, sideCentre, 0.0},
            {"plate_zero_open", 0, 0, 0, -15, side, sideCentre, 0.0},
            {"plate_zero_curled", 0, 0, 0, 140, side, sideCentre, 0.0},
            {"reach_high", 0, 65, 120, 140, far, farCentre, 0.0},
            {"reach_deep", 0, -32, 103, 127, far, Vector3(4.0, -0.5, 0.0), 0.0},
            {"slew_quarter", 90, 20, 60, 40, quarter, quarterCentre, 0.0},
            {"linkage_open", 0, 0, 0, -15, Vector3(4.6, 1.0, 4.5), Vector3(4.6, 0.6, 0.0), 0.0},
            {"linkage_rest", 0, 0, 0, 0, Vector3(4.6, 1.0, 4.5), Vector3(4.6, 0.6, 0.0), 0.0},
            {"linkage_curled", 0, 0, 0, 140, Vector3(4.6, 1.0, 4.5), Vector3(4.6, 0.6, 0.0), 0.0},
            {"linkage_arm_out_open", 0, 0, 120, -15, Vector3(7.8, -0.1, 5.0), Vector3(7.8, -0.3, 0.0), 0.0},
            {"linkage_arm_out_curled", 0, 0, 120, 140, Vector3(7.8, -0.1, 5.0), Vector3(7.8, -0.3, 0.0), 0.0},
            {"boom_cylinder_low", 0, -32, 0, 0, Vector3(1.5, 2.0, 5.5), Vector3(1.5, 1.6, 0.0), 0.0},
            {"boom_cylinder_high", 0, 65, 0, 0, Vector3(1.5, 2.6, 6.5), Vector3(1.5, 2.6, 0.0), 0.0},
            {"arm_cylinder_in", 0, 0, 1, 0, Vector3(5.5, 2.2, 6.0), Vector3(5.5, 2.0, 0.0), 0.0},
            {"arm_cylinder_out", 0, 0, 120, 0, Vector3(5.5, 2.2, 6.0), Vector3(5.5, 1.6, 0.0), 0.0},
            {"belt_close", 0, 0, 0, 0, Vector3(-1.2, 0.9, 6.0), Vector3(-1.2, 0.5, 1.2), 0.13},
            {"belt_close_front", 0, 0, 0, 0, Vector3(1.4, 0.9, 6.0), Vector3(1.4, 0.5, 1.2), 0.13},
        };
        for (const Shot& s : shots) {
            render(e, view, s);
            const std::string path = out + "excavator_" + s.name + ".ppm";
            if (!writePpm(path)) {
                std::fprintf(stderr, "[excavatorshot] Couldn't write %s\n", path.c_str());
                return 1;
            }
            SDL_GL_SwapBuffers();
        }
    }
    SDL_Quit();
    return 0;
}

int main(int argc, char** argv)
{
    return runEntryPoint("excavatorshot", [&] { return runTool(argc, argv); });
}
