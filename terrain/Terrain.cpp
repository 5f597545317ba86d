#include "terrain/Terrain.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "physics/Collision.h"

using namespace terrain;

namespace {

// Voxel bits: 0 set is air; a free voxel is air with bit 1 clear.
bool isFree(uint8_t v) { return (v & 3) == 1; }

void setFloats(float out[3], const Vector3& v)
{
    out[0] = static_cast<float>(v.x);
    out[1] = static_cast<float>(v.y);
    out[2] = static_cast<float>(v.z);
}

}  // namespace

Terrain::Terrain(const HeightGrid& heights) : Object(2)
{
    buildGround(heights);
    stitchBlockBorders();
}

Terrain::~Terrain() = default;

void Terrain::buildGround(const HeightGrid& heights)
{
    material.name = "terrain";
    const float ambient[4] = {0.22f, 0.22f, 0.22f, 1.0f}, diffuse[4] = {0.88f, 0.88f, 0.88f, 1.0f};
    const float specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    std::copy(ambient, ambient + 4, material.ambient);
    std::copy(diffuse, diffuse + 4, material.diffuse);
    std::copy(specular, specular + 4, material.specular);
    material.shininess = 0.0f;
    material.textureFile = "grass.bmp";

    meshCount = kBlocks * kBlocks;
    meshes = new Mesh[meshCount];
    for (int i = 0; i < kBlocks; ++i)
        for (int j = 0; j < kBlocks; ++j) {
            const int b = i * kBlocks + j;
            const std::array<Vector3, 4> P = blockCorners(heights, i, j);
            const auto tex = [&](int di, int dj) { return Vector3((j + dj) * 12.05, (i + di) * 12.05, 0.0); };
            Mesh& mesh = meshes[b];
            mesh.addTriangle(P[0], P[2], P[1], tex(0, 0), tex(1, 0), tex(0, 1), 1);
            mesh.addTriangle(P[2], P[3], P[1], tex(1, 0), tex(1, 1), tex(0, 1), 1);
            mesh.material = material;
            mesh.computeProperties();
            // The box reaches under the surface, so that bodies sinking in still meet it.
            mesh.boxMin.y -= 10.0;
            mesh.index = b;
        }
    world.build(heights);
    radius = kBlocks * 0.75 * kBlockSize;
    restitution = 0.08;
    friction = 0.5;
}

void Terrain::stitchBlockBorders()
{
    // Border edges of neighbouring blocks get one shared normal, so that the
    // blocks meet contacts as one surface.
    const auto stitch = [](Mesh& a, Mesh& b) {
        for (const MeshTriangle& ta : a.triangles)
            for (const MeshTriangle& tb : b.triangles)
                for (int sa = 0; sa < 3; ++sa)
                    for (int sb = 0; sb < 3; ++sb) {
                        MeshEdge& ea = a.edges[ta.edges[sa]];
                        MeshEdge& eb = b.edges[tb.edges[sb]];
                        const Vector3 &a0 = a.positions[ea.v0], &a1 = a.positions[ea.v1];
                        const Vector3 &b0 = b.positions[eb.v0], &b1 = b.positions[eb.v1];
                        if (!((a0 == b0 && a1 == b1) || (a0 == b1 && a1 == b0)))
                            continue;
                        Vector3 n = ea.normal + eb.normal;
                        normalize(n);
                        ea.normal = ea.workingNormal = eb.normal = eb.workingNormal = n;
                        const Vector3 d = a.workingPositions[ea.v0] - a.workingPositions[ea.v1];
                        if (dot(cross(ta.normal, d) + cross(d, tb.normal), ea.workingNormal) >= 0.0)
                            ea.convex = eb.convex = false;
                    }
    };
    for (int i = 0; i < kBlocks; ++i)
        for (int j = 0; j < kBlocks; ++j) {
            const int b = i * kBlocks + j;
            if (i + 1 < kBlocks)
                stitch(meshes[b], meshes[b + kBlocks]);
            if (j + 1 < kBlocks)
                stitch(meshes[b], meshes[b + 1]);
        }
}

void Terrain::integrateState(double dt) { settleGrains(dt); }

bool Terrain::grainFits(const SoilGrain& grain, int16_t cell[3])
{
    const int b = world.blockIndexAt(grain.position);
    world.voxelCoordsAt(b, grain.position, cell[0], cell[1], cell[2]);
    // A grain with no finite motion would be lost at once: the bucket keeps it.
    const Vector3& v = grain.velocity;
    if (!world.validBlock(b) || !std::isfinite(v.x + v.y + v.z) || !isFree(world.voxelAt(b, cell[0], cell[1], cell[2])))
        return false;
    // Nor into a bed's soil: it would fall through the floor.
    const Vector3& p = grain.position;
    for (const SoilBed& bed : beds) {
        const int c = bedCellAt(bed, p.x, p.z);
        if (c >= 0 && p.y >= bed.floorY && p.y <= bedSurface(bed, c))
            return false;
    }
    // Cells are compared without their block, as the list keeps none.
    for (const SoilGrain& g : grains)
        if (g.cell[0] == cell[0] && g.cell[1] == cell[1] && g.cell[2] == cell[2])
            return false;
    return true;
}

bool Terrain::canDropGrain(SoilGrain grain)
{
    int16_t cell[3];
    return grainFits(grain, cell);
}

bool Terrain::dropGrain(SoilGrain grain)
{
    int16_t cell[3];
    if (!grainFits(grain, cell))
        return false;
    std::copy(cell, cell + 3, grain.cell);
    std::lock_guard<std::mutex> lock(mutex);
    grains.push_back(grain);
    return true;
}

size_t Terrain::grainCount() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return grains.size();
}

void Terrain::settleGrains(double dt)
{
    std::lock_guard<std::mutex> lock(mutex);
    for (auto it = grains.begin(); it != grains.end();)
        it = stepGrain(*it, dt) ? std::next(it) : grains.erase(it);
}

void Terrain::placeGrain(SoilGrain& g, const Vector3& p) const
{
    // The cell always follows from the position, so the two never disagree.
    g.position = p;
    world.voxelCoordsAt(world.blockIndexAt(p), p, g.cell[0], g.cell[1], g.cell[2]);
}

bool Terrain::withinWalls(const Vector3& p) const
{
    for (const SoilBed& bed : beds) {
        const int cell = bedCellAt(bed, p.x, p.z);
        if (cell >= 0 && p.y >= bed.floorY && p.y < std::max(bed.rimY, bedSurface(bed, cell)))
            return true;
    }
    return false;
}

Terrain::BedLanding Terrain::landInBed(SoilGrain& g, const Vector3& candidate)
{
    for (SoilBed& bed : beds) {
        const int cell = bedCellAt(bed, candidate.x, candidate.z);
        if (cell < 0)
            continue;
        const double top = bedSurface(bed, cell);
        // Down onto the soil (or the soil risen round it), into the body
        // over its rim rather than through a wall or the floor.
        if (candidate.y > top || g.position.y < bed.floorY ||
            (g.position.y < bed.rimY && bedCellAt(bed, g.position.x, g.position.z) < 0))
            continue;
        Vector3 spill;
        if (addBedUnit(bed, cell, spill))
            return BedLanding::Landed;
        placeGrain(g, spill);
        g.velocity = Vector3();
        return BedLanding::Spilled;
    }
    return BedLanding::Missed;
}

bool Terrain::stepGrain(SoilGrain& g, double dt)
{
    g.velocity += Vector3(0.0, -9.81, 0.0) * dt;
    const Vector3 candidate = g.position + g.velocity * dt;
    if (!beds.empty()) {
        const BedLanding landing = landInBed(g, candidate);
        if (landing != BedLanding::Missed)
            return landing == BedLanding::Spilled;
    }
    int b = world.blockIndexAt(candidate);
    if (!world.validBlock(b)) {
        ++grainsGone;  // thrown off the terrain
        return false;
    }
    int16_t x, y, z;
    world.voxelCoordsAt(b, candidate, x, y, z);
    const bool candidateFree = isFree(world.voxelAt(b, x, y, z));
    if (candidateFree && isFree(world.voxelAt(b, x, y + 1, z))) {
        placeGrain(g, candidate);
        return true;
    }
    // The grain comes to rest at the candidate when it is open, else where it is.
    Vector3 base = candidate;
    if (!candidateFree) {
        base = g.position;
        b = world.blockIndexAt(base);
        world.voxelCoordsAt(b, base, x, y, z);
        if (isFree(world.voxelAt(b, x, y, z)) && isFree(world.voxelAt(b, x, y + 1, z))) {
            // It struck a wall or an overhang in the air: it drops from rest.
            g.velocity = Vector3();
            return true;
        }
    }
    static const int slides[4][2] = {{-1, 0}, {0, 1}, {1, 0}, {0, -1}};
    for (const auto& s : slides) {
        const Vector3 to = base + Vector3(s[0] * kVoxel, -kVoxel, s[1] * kVoxel);
        if (isFree(world.voxelAt(b, x + s[0], y + 1, z + s[1])) && !withinWalls(to)) {
            placeGrain(g, to);
            return true;
        }
    }
    if (settleGrain(b, x, y, z))
        return false;
    // No air in its column to settle into: it stays a grain, resting here.
    g.velocity = Vector3();
    return true;
}

bool Terrain::settleGrain(int b, int x, int y, int z)
{
    // Never into soil: the grain climbs its column to the first air voxel.
    for (y = std::min(y, kVoxelsY - 1); y >= 0; --y) {
        const uint8_t* v = world.storedVoxel(b, x, y, z);
        if (!v)
            return false;
        if ((*v & 1) == 0)
            continue;
        if (isFree(*v)) {
            moveColumn(b, x, z, static_cast<float>(kVoxel));
            for (int cx = x - 1; cx <= x + 1; ++cx)
                for (int cz = z - 1; cz <= z + 1; ++cz)
                    world.changeColumn(b, cx, cz).soil = true;
        }
        if (!world.setVoxel(b, x, y, z, true))
            return false;
        *world.storedVoxel(b, x, y, z) |= terrain::kLooseVoxel;
        return true;
    }
    return false;
}

bool Terrain::removeSoilVoxel(int b, int x, int y, int z)
{
    const uint8_t* v = world.storedVoxel(b, x, y, z);
    if (!v || (*v & 3) != 0)
        return false;
    world.setVoxel(b, x, y, z, false);
    moveColumn(b, x, z, -static_cast<float>(kVoxel));
    world.changeColumn(b, x, z).soil = true;
    return true;
}

void Terrain::moveColumn(int b, int x, int z, float dy)
{
    world.changeColumn(b, x, z).position[1] += dy;
    world.refineAround(b, x, z);
    for (int cx = x - 1; cx <= x + 1; ++cx)
        for (int cz = z - 1; cz <= z + 1; ++cz) {
            const Vector3 n = world.columnNormal(b, cx, cz);
            setFloats(world.changeColumn(b, cx, cz).normal, n);
        }
}

TerrainState Terrain::save() const
{
    TerrainState state;
    state.voxels = world.save();
    {
        std::lock_guard<std::mutex> lock(mutex);
        state.grains.assign(grains.begin(), grains.end());
        state.grainsGone = grainsGone;
        state.beds = beds;
    }
    state.cutThisStep = cutThisStep;
    state.touchedThisStep = touchedThisStep;
    state.digging = digging;
    return state;
}

void Terrain::restore(const TerrainState& state)
{
    world.restore(state.voxels);
    {
        std::lock_guard<std::mutex> lock(mutex);
        grains.assign(state.grains.begin(), state.grains.end());
        grainsGone = state.grainsGone;
        beds = state.beds;
    }
    cutThisStep = state.cutThisStep;
    touchedThisStep = state.touchedThisStep;
    digging = state.digging;
}

int64_t Terrain::soilGone() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return grainsGone;
}

size_t Terrain::addBed(const SoilBed& bed)
{
    std::lock_guard<std::mutex> lock(mutex);
    beds.push_back(bed);
    return beds.size() - 1;
}

int64_t Terrain::soilInBed(size_t which) const
{
    std::lock_guard<std::mutex> lock(mutex);
    return which < beds.size() ? bedUnits(beds[which]) : 0;
}

int64_t Terrain::soilInBeds() const
{
    std::lock_guard<std::mutex> lock(mutex);
    int64_t n = 0;
    for (const SoilBed& bed : beds)
        n += bedUnits(bed);
    return n;
}

double Terrain::surfaceDistanceBelow(const Vector3& p) const
{
    if (!world.validBlock(world.blockIndexAt(p)))
        return 0.0;
    // The voxel blocks begin half a voxel before the mesh blocks: the mesh
    // under p goes by the meshes' own grid.
    const auto cell = [](double c) {
        return std::clamp(static_cast<int>(std::floor(c / terrain::kBlockSize + terrain::kBlocks / 2)), 0,
                          terrain::kBlocks - 1);
    };
    const int b = cell(p.z) * terrain::kBlocks + cell(p.x);
    if (b >= static_cast<int>(meshCount))
        return 0.0;
    const Mesh& mesh = meshes[b];
    for (const MeshTriangle& t : mesh.triangles) {
        double distance;
        if (dropOntoTriangle(p, mesh.positions[t.vertices[0]], mesh.positions[t.vertices[1]],
                             mesh.positions[t.vertices[2]], distance) &&
            distance >= 0.0)
            return distance;
    }
    return 0.0;
}
