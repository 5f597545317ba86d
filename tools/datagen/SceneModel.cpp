#include "tools/datagen/SceneModel.h"

#include <cmath>
#include <string>

#include "base/Fatal.h"
#include "tools/datagen/Heightmap.h"
#include "tools/datagen/Noise.h"
#include "tools/datagen/Shell.h"

namespace {

constexpr double pi = 3.14159265358979323846;

void keepClearOfMachine(const Shell& shell, const std::string& name)
{
    for (const Vector3& p : shell.points)
        if (std::hypot(p.x - startAxisX, p.z - startAxisZ) < sceneryClearance)
            throwFatal("[datagen] \"" + name + "\" reaches into the machine's sweep.");
}

// A retaining wall of cast concrete along a straight line, following the ground:
// its foot 0.35 below the lower side, its crown 1.6 above the ground line.
Shell makeWall(double x0, double z0, double x1, double z1)
{
    const int stations = 9;
    const double halfThickness = 0.25, sink = 0.35, rise = 1.6;
    const double lx = x1 - x0, lz = z1 - z0, len = std::hypot(lx, lz);
    const double nx = -lz / len * halfThickness, nz = lx / len * halfThickness;  // across the wall
    Shell shell;
    for (int s = 0; s < stations; ++s) {
        const double f = static_cast<double>(s) / (stations - 1);
        const double x = x0 + lx * f, z = z0 + lz * f;
        const double gl = groundHeight(x + nx, z + nz), gr = groundHeight(x - nx, z - nz);
        const double top = groundHeight(x, z) + rise;
        shell.addPoint({x + nx, std::fmin(gl, gr) - sink, z + nz});  // 4s: foot, left
        shell.addPoint({x + nx, top, z + nz});                        // 4s + 1: crown, left
        shell.addPoint({x - nx, top, z - nz});                        // 4s + 2: crown, right
        shell.addPoint({x - nx, std::fmin(gl, gr) - sink, z - nz});  // 4s + 3: foot, right
    }
    for (int s = 0; s + 1 < stations; ++s) {
        const int a = 4 * s, b = 4 * (s + 1);
        for (int k = 0; k < 4; ++k) {
            const int k1 = (k + 1) % 4;
            shell.addQuad(a + k, b + k, b + k1, a + k1);
        }
    }
    const int e = 4 * (stations - 1);
    shell.addQuad(0, 1, 2, 3);
    shell.addQuad(e + 3, e + 2, e + 1, e);
    if (signedVolume(shell) < 0.0)
        for (auto& f : shell.faces) std::swap(f[1], f[2]);
    return shell;
}

// A weathered boulder: a lumpy, nearly convex blob, flattened, turned and sunk
// so that the ground cuts it at a third of its height.
Shell makeRock(double x, double z, double size, double flatten, double turn, uint32_t seed)
{
    Shell shell = makeBlob(2, [&](const Vector3& d) {
        const double lumps = fractal3(d * 1.4 + Vector3(seed, 0, 0), 2, seed) - 0.5;
        const double facets = valueNoise3(d * 4.0, seed + 7u) - 0.5;
        return size * (1.0 + 0.5 * lumps + 0.12 * facets);
    });
    const double c = std::cos(turn), s = std::sin(turn);
    for (Vector3& p : shell.points) {
        const Vector3 q(p.x * 1.15, p.y * flatten, p.z * 0.9);
        p = Vector3(q.x * c + q.z * s, q.y, q.z * c - q.x * s);
    }
    const double low = shellMin(shell).y, high = shellMax(shell).y;
    const double lift = groundHeight(x, z) - (low + 0.33 * (high - low));
    for (Vector3& p : shell.points) p = p + Vector3(x, lift, z);
    return shell;
}

// A forest area: a thin slab around y = 10 over an irregular, roughly round outline.
Shell makeForest(double x, double z, double radius, uint32_t seed)
{
    Random random(seed);
    std::vector<std::array<double, 2>> outline;
    const int corners = 14;
    for (int i = 0; i < corners; ++i) {
        const double a = 2.0 * pi * (i + random.range(-0.25, 0.25)) / corners;
        const double r = radius * random.range(0.82, 1.1);
        outline.push_back({x + r * std::cos(a), z - r * std::sin(a)});
    }
    for (const auto& p : outline)
        if (std::fabs(p[0]) > 87.8 || std::fabs(p[1]) > 87.8) throwFatal("[datagen] A forest leaves the terrain.");
    return makePrism(outline, forestBottom, forestTop);
}

// One loose clod of soil, about a voxel across, centred on the origin.
Shell makeClod()
{
    Random random(5u);
    return makeBlob(0, [&random](const Vector3&) { return 0.17 * random.range(0.85, 1.15); });
}

}  // namespace

void buildSceneModel(ObjWriter& writer)
{
    writer.addMaterial({"concrete", {0.30, 0.30, 0.29}, {0.74, 0.73, 0.70}, {0.08, 0.08, 0.08}, 1.0, 8.0, "concrete256.bmp"});
    writer.addMaterial({"granite", {0.28, 0.27, 0.26}, {0.72, 0.70, 0.68}, {0.12, 0.12, 0.12}, 1.0, 12.0, "rock256.bmp"});
    writer.addMaterial({"foliage", {0.60, 0.60, 0.60}, {0.45, 0.45, 0.45}, {0.0, 0.0, 0.0}, 1.0, 0.0, ""});
    writer.addMaterial({"looseSoil", {0.30, 0.28, 0.26}, {0.78, 0.75, 0.72}, {0.02, 0.02, 0.02}, 1.0, 4.0, "soil256.bmp"});

    const Shell wall = makeWall(-14.0, -9.0, -12.0, 8.0);
    keepClearOfMachine(wall, "wall");
    writer.beginGroup("wall", "concrete", 1);
    writeShell(writer, wall, 2.0);

    struct RockPlace { const char* name; double x, z, size, flatten, turn; uint32_t seed; };
    const RockPlace rocks[] = {{"rock01", -7.0, 8.5, 1.5, 0.72, 0.4, 11u},
                               {"rock02", 10.0, -11.5, 1.1, 0.80, 1.9, 23u},
                               {"rock03", -6.0, -13.0, 2.0, 0.62, 2.7, 37u}};
    for (const RockPlace& r : rocks) {
        const Shell rock = makeRock(r.x, r.z, r.size, r.flatten, r.turn, r.seed);
        keepClearOfMachine(rock, r.name);
        writer.beginGroup(r.name, "granite", 1);
        writeShell(writer, rock, 1.5);
    }

    // Over the basin to the south-west, the low ground to the south-east and
    // the western slope: all far from the start and low enough for the machine
    // to pass under the slabs.
    struct ForestPlace { const char* name; double x, z, radius; uint32_t seed; };
    const ForestPlace forests[] = {{"forest01", -50.0, 48.0, 26.0, 101u},
                                   {"forest02", 50.0, 62.0, 21.0, 202u},
                                   {"forest03", -68.0, -12.0, 17.0, 303u}};
    for (const ForestPlace& f : forests) {
        writer.beginGroup(f.name, "foliage", 1);
        writeShell(writer, makeForest(f.x, f.z, f.radius, f.seed), 10.0);
    }

    writer.beginGroup("terrainElement", "looseSoil", 1);
    writeShell(writer, makeClod(), 0.3);
}
