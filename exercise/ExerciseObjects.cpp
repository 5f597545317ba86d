#include "exercise/ExerciseObjects.h"

#include <algorithm>
#include <cmath>

#include "assets/ModelLoader.h"
#include "physics/Collision.h"
#include "physics/Object.h"
#include "terrain/Terrain.h"

namespace {

constexpr double kWall = 0.15;    // m thick
constexpr double kFooting = 0.6;  // m below the ground's lowest point under it

// A box along the heading (unit (ux, uz)): `along` x `across` round
// (cx, cz), from y0 up to y1, its faces wound outwards.
void addBox(Mesh& mesh, double cx, double cz, double ux, double uz, double along, double across, double y0, double y1)
{
    Vector3 corner[8];
    for (int i = 0; i < 8; ++i) {
        const double a = (i & 1 ? 0.5 : -0.5) * along, c = (i & 4 ? 0.5 : -0.5) * across;
        corner[i] = Vector3(cx + a * ux - c * uz, i & 2 ? y1 : y0, cz + a * uz + c * ux);
    }
    const Vector3 middle(cx, (y0 + y1) / 2, cz);
    const int faces[6][4] = {{0, 2, 6, 4}, {1, 5, 7, 3}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 6, 7, 5}};
    for (const auto& f : faces) {
        Vector3 p[4];
        for (int k = 0; k < 4; ++k)
            p[k] = corner[f[k]];
        const Vector3 centre = (p[0] + p[1] + p[2] + p[3]) * 0.25;
        if (dot(cross(p[1] - p[0], p[2] - p[0]), centre - middle) < 0.0)
            std::swap(p[1], p[3]);
        auto uv = [](const Vector3& v) { return Vector3(0.5 * (v.x + v.z), 0.5 * v.y, 0.0); };
        mesh.addTriangle(p[0], p[1], p[2], uv(p[0]), uv(p[1]), uv(p[2]), 0);
        mesh.addTriangle(p[0], p[2], p[3], uv(p[0]), uv(p[2]), uv(p[3]), 0);
    }
}

// A static body of the mesh, its origin at the mesh's centre of mass, as
// the scene's bodies are built.
std::unique_ptr<Object> staticBody(Mesh& mesh, const Material& material)
{
    auto o = std::make_unique<Object>(0);
    o->meshes = new Mesh[1];
    o->meshCount = 1;
    Mesh& m = o->meshes[0];
    m = mesh;
    m.material = material;
    m.computeProperties();
    m.referencePoint = Vector3();
    m.translate(-m.centreOfMass);
    o->radius = m.boundingRadius;
    o->position = o->predictedPosition = m.centreOfMass;
    return o;
}

// The ground's lowest and highest heights over the rectangle's corners and middle.
void groundSpan(const Terrain& terrain, double cx, double cz, double ux, double uz, double along, double across,
                double& low, double& high)
{
    low = 1e30;
    high = -1e30;
    for (double a : {-0.5, 0.0, 0.5})
        for (double c : {-0.5, 0.0, 0.5}) {
            const double y = initialGround(terrain, cx + a * along * ux - c * across * uz,
                                           cz + a * along * uz + c * across * ux);
            low = std::min(low, y);
            high = std::max(high, y);
        }
}

// How far from p, going along `axis` (0 x, 1 y, 2 z) in the direction of
// `sign`, the nearest of the mesh's faces lies; HUGE_VAL past none. The
// mesh is turned so that the way points down, as the drop test takes it.
double firstFace(const Mesh& mesh, const Vector3& p, int axis, double sign)
{
    const auto turn = [&](const Vector3& v) {
        double c[3] = {v.x, v.y, v.z};
        std::swap(c[1], c[axis]);
        return Vector3(c[0], -sign * c[1], c[2]);
    };
    double nearest = HUGE_VAL, distance = 0.0;
    for (const MeshTriangle& t : mesh.triangles) {
        const Vector3 a = turn(mesh.positions[t.vertices[0]]), b = turn(mesh.positions[t.vertices[1]]),
                      c = turn(mesh.positions[t.vertices[2]]);
        // Faces along the way are never met.
        const Vector3 n = cross(b - a, c - a);
        if (std::fabs(n.y) > 1e-9 * length(n) && dropOntoTriangle(turn(p), a, b, c, distance) && distance >= 0.0)
            nearest = std::min(nearest, distance);
    }
    return nearest;
}

}  // namespace

double initialGround(const Terrain& terrain, double x, double z)
{
    const double drop = terrain.surfaceDistanceBelow(Vector3(x, 1000.0, z));
    return drop > 0.0 ? 1000.0 - drop : 0.0;
}

std::unique_ptr<Object> makeHopper(const HopperTarget& h, const Terrain& terrain, const Material& material)
{
    const double r = h.headingDegrees * M_PI / 180.0, ux = std::cos(r), uz = -std::sin(r);
    double low = 0, high = 0;
    groundSpan(terrain, h.x, h.z, ux, uz, h.length, h.width, low, high);
    const double y0 = low - kFooting, y1 = high + h.wallHeight;
    Mesh mesh;
    // The ends span the whole width; the sides fit between them, a hair
    // short, so that no corner is shared between walls.
    for (int s : {-1, 1}) {
        const double a = s * (h.length - kWall) / 2;
        addBox(mesh, h.x + a * ux, h.z + a * uz, ux, uz, kWall, h.width, y0, y1);
        const double c = s * (h.width - kWall) / 2;
        addBox(mesh, h.x - c * uz, h.z + c * ux, ux, uz, h.length - 2 * kWall - 0.002, kWall, y0, y1);
    }
    return staticBody(mesh, material);
}

std::unique_ptr<Object> makePost(const MarkerPost& post, double width, const Terrain& terrain,
                                 const Material& material)
{
    double low = 0, high = 0;
    groundSpan(terrain, post.x, post.z, 1.0, 0.0, width, width, low, high);
    const double top = initialGround(terrain, post.x, post.z) + post.height;
    Mesh mesh;
    addBox(mesh, post.x, post.z, 1.0, 0.0, width, width, low - kFooting, top);
    return staticBody(mesh, material);
}

std::vector<std::unique_ptr<Object>> makeTruck(const TruckTarget& t, const ModelLoader& model, const Terrain& terrain,
                                               TruckShape& shape)
{
    const double r = t.headingDegrees * M_PI / 180.0, ux = std::cos(r), uz = -std::sin(r);
    const char* parts[] = {"truckCab", "truckBed", "truckChassis"};
    Mesh local[3];
    Vector3 low[3], high[3];  // each part's bounds in the model's frame
    for (int i = 0; i < 3; ++i) {
        local[i] = model.getMesh(parts[i], false);
        low[i] = high[i] = local[i].positions.at(0);
        for (const Vector3& p : local[i].positions) {
            low[i] = Vector3(std::min(low[i].x, p.x), std::min(low[i].y, p.y), std::min(low[i].z, p.z));
            high[i] = Vector3(std::max(high[i].x, p.x), std::max(high[i].y, p.y), std::max(high[i].z, p.z));
        }
    }
    // The model's frame: x ahead, z across; its body's middle goes to the target's place.
    const Vector3 middle = (low[1] + high[1]) * 0.5;
    const double ground = initialGround(terrain, t.x, t.z);
    const auto place = [&](const Vector3& p) {
        const double a = p.x - middle.x, c = p.z - middle.z;
        return Vector3(t.x + a * ux - c * uz, ground + p.y, t.z + a * uz + c * ux);
    };
    const Vector3 cabMiddle = place((low[0] + high[0]) * 0.5);
    shape.headingDegrees = t.headingDegrees;
    shape.bodyX = t.x;
    shape.bodyZ = t.z;
    shape.bodyLength = high[1].x - low[1].x;
    shape.bodyWidth = high[1].z - low[1].z;
    shape.rimY = ground + high[1].y;
    shape.cabX = cabMiddle.x;
    shape.cabZ = cabMiddle.z;
    shape.cabLength = high[0].x - low[0].x;
    shape.cabWidth = high[0].z - low[0].z;
    shape.cabTopY = ground + high[0].y;
    shape.releaseAbove = t.releaseAboveM;
    // The floor between the body's walls, as far as the faces met from its
    // middle: straight down from over the rim, then out both ways half way
    // up the walls.
    const Mesh& body = local[1];
    const double floorTop = high[1].y + 1.0 - std::min(firstFace(body, {middle.x, high[1].y + 1.0, middle.z}, 1, -1.0),
                                                       high[1].y + 1.0 - low[1].y);
    const Vector3 inside(middle.x, (floorTop + high[1].y) / 2, middle.z);
    double ends[4];  // -x, +x, -z, +z from the middle, within the bounds
    for (int k = 0; k < 4; ++k) {
        const int axis = k < 2 ? 0 : 2;
        const double sign = k % 2 ? 1.0 : -1.0, bound = (axis == 0 ? high[1].x - low[1].x : high[1].z - low[1].z) / 2;
        ends[k] = std::min(firstFace(body, inside, axis, sign), bound);
    }
    const Vector3 floorMiddle = place({middle.x + (ends[1] - ends[0]) / 2, 0.0, middle.z + (ends[3] - ends[2]) / 2});
    shape.bed = makeSoilBed(floorMiddle.x, floorMiddle.z, t.headingDegrees, ends[0] + ends[1], ends[2] + ends[3],
                            ground + floorTop, shape.rimY, 0.0);
    std::vector<std::unique_ptr<Object>> bodies;
    for (const Mesh& m : local) {
        Mesh placed;
        for (const MeshTriangle& f : m.triangles)
            placed.addTriangle(place(m.positions[f.vertices[0]]), place(m.positions[f.vertices[1]]),
                               place(m.positions[f.vertices[2]]), f.texCoords[0], f.texCoords[1], f.texCoords[2],
                               f.smoothingGroup);
        bodies.push_back(staticBody(placed, m.material));
    }
    return bodies;
}
