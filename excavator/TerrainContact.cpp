#include "excavator/TerrainContact.h"

#include <algorithm>
#include <cmath>

#include "excavator/Cutting.h"
#include "excavator/Excavator.h"
#include "physics/Collision.h"
#include "physics/Simulation.h"
#include "terrain/Terrain.h"

namespace {

constexpr double kRightAngle = 1.5707963267948966;
constexpr double kHalfVoxel = 0.5 * terrain::kVoxel;
// m: soil the edge ran under this far back is still coming in through the
// mouth (the outline's front leans back from the lip); beyond, the heel.
constexpr double kPassedBy = 2.0 * terrain::kVoxel;

bool isFree(uint8_t voxel) { return (voxel & 3) == 1; }
bool isSoil(uint8_t voxel) { return (voxel & 3) == 0; }

// The voxel of the block at a world point is air.
bool airAt(Terrain& t, const Mesh& block, const Vector3& p)
{
    int16_t x = 0, y = 0, z = 0;
    t.voxelCoordsAt(block.index, p, x, y, z);
    return isFree(t.voxelAt(block.index, x, y, z));
}

void addContact(PairRecord& record, Object& a, Object& b, const Vector3& point, const Vector3& normal, double depth,
                Mesh& ma, Mesh& mb)
{
    Contact c;
    c.bodyA = &a;
    c.bodyB = &b;
    c.point = point;
    c.normal = normal;
    c.depth = depth;
    c.meshA = &ma;
    c.meshB = &mb;
    record.contacts.push_back(c);
}

bool isLipVertex(const Mesh& part, int vertex)
{
    return part.index == GroundPlate && (vertex == cutting::edgeVertexA || vertex == cutting::edgeVertexB);
}

// Voxels [from, to) of one axis whose centres lie in the scaled interval
// [low, high]; non-finite bounds give none, so no wild value reaches an int.
void voxelSpan(double low, double high, int limit, int& from, int& to)
{
    const double a = std::ceil(low * terrain::kInvVoxel), b = std::ceil(high * terrain::kInvVoxel);
    from = to = 0;
    if (!std::isfinite(a) || !std::isfinite(b))
        return;
    from = static_cast<int>(std::clamp(a, 0.0, static_cast<double>(limit)));
    to = static_cast<int>(std::clamp(b, 0.0, static_cast<double>(limit)));
}

double distanceToSegment(const Vector3& p, const Vector3& a, const Vector3& b)
{
    const Vector3 d = b - a;
    const double dd = dot(d, d);
    const double u = dd > 0.0 ? std::clamp(dot(p - a, d) / dd, 0.0, 1.0) : 0.0;
    return length(p - (a + u * d));
}

// Up, and sideways towards any free neighbour: the way out of the soil.
Vector3 escapeDirection(Terrain& t, int b, int x, int y, int z)
{
    Vector3 d(0.0, 1.0, 0.0);
    if (isFree(t.voxelAt(b, x - 1, y, z)))
        d.x = -1.0;
    if (isFree(t.voxelAt(b, x + 1, y, z)))
        d.x += 1.0;
    if (isFree(t.voxelAt(b, x, y, z - 1)))
        d.z = -1.0;
    if (isFree(t.voxelAt(b, x, y, z + 1)))
        d.z += 1.0;
    return normalized(d);
}

// The part pushes into soil it may not take: no contact, and the joints
// that drive it stop (a zero impulse on a moving part).
void stopPart(Excavator& e, const Mesh& part)
{
    e.terrainContact = false;
    e.pushingIntoSoil = true;
    e.applyCollisionImpulse(Vector3(), Vector3(), part.index);
    e.pushingIntoSoil = false;
}

// The voxel into the bucket, or nothing at all when the bucket has no room.
void takeVoxel(Terrain& t, int b, int x, int y, int z, Excavator& e)
{
    if (e.bucket.hasRoom() && t.removeSoilVoxel(b, x, y, z)) {
        e.bucket.addSoil();
        ++e.soilDug;
        e.cutOwed -= 1.0;
    }
}

// A voxel the edge slices off goes into the bucket with the soil over it
// up to the ground's surface (y counts down from the top): the slice is
// the edge's depth below the surface, and nothing is left hanging.
void takeSlice(Terrain& t, int b, int x, int y, int z, Excavator& e)
{
    for (int up = y; up >= 0 && isSoil(t.voxelAt(b, x, up, z)) && e.bucket.soilCount < cutting::fullBucket; --up)
        takeVoxel(t, b, x, up, z, e);
}

// The surface the cutting edge sweeps: through the lip, along the lip's
// motion; soil reaching above it is what the edge slices off.
struct EdgePath {
    Vector3 lip, ahead, inner;  // unit: the lip's motion; the normal towards the bucket's inside
    bool moving = false;
};

EdgePath edgePath(const Excavator& e, const Mesh& plate)
{
    EdgePath path;
    const MeshEdge& lip = plate.edges[cutting::edgeIndex];
    path.lip = 0.5 * (plate.workingPositions[lip.v0] + plate.workingPositions[lip.v1]);
    const JointAngles angles = jointAngles(e.meshes);
    const Vector3 v = tipVelocityInBucket(armPivots(e.meshes), angles, e.jointRates());
    const double speed = length(v);
    if (!(speed > 0.0))
        return path;
    // In the bucket's frame its inside lies a quarter turn clockwise from
    // the motion of a lip that leads.
    const Vector3 inner(v.y / speed, -v.x / speed, 0.0);
    const double pitch = angles.monoblock + angles.bendingArm + angles.groundPlate;
    auto toWorld = [&](const Vector3& d) {
        return rotate(rotateAboutY(rotateAboutZ(d, pitch), angles.slew), e.orientation);
    };
    path.ahead = toWorld(v / speed);
    path.inner = toWorld(inner);
    path.moving = true;
    return path;
}

// Whether the edge, passing under or through the voxel at `offset` from the
// lip now, slices it off: most of it lies above the edge's path, or its top
// does and the sliced volume still owes a unit. Soil further back in the
// bucket's outline was passed by before, or never by the edge at all.
bool slicedOff(const EdgePath& path, const Vector3& offset, double owed)
{
    const double along = dot(offset, path.ahead);
    if (!path.moving || along > kHalfVoxel || along < -kPassedBy)
        return false;
    const double above = dot(offset, path.inner);
    return above >= 0.0 || (above > -kHalfVoxel && owed >= 1.0);
}

// Mode switches of the bucket and the terrain, once per detection.
void updateDiggingFlags(Excavator& e, Terrain& t)
{
    if (!e.terrainContact && e.bucketInSoil)
        e.bucketInSoil = false;
    if (e.cuttingContact && !e.bucketInSoil)
        e.bucketInSoil = true;
    e.terrainContact = false;
    e.cuttingContact = false;
    if (t.cutThisStep && !t.digging)
        t.digging = true;
    if (!t.touchedThisStep && t.digging)
        t.digging = false;
    t.cutThisStep = false;
    t.touchedThisStep = false;
}

}  // namespace

bool cuttingTest(Excavator& e)
{
    const Vector3 v = tipVelocityInBucket(armPivots(e.meshes), jointAngles(e.meshes), e.jointRates());
    if (length(v) == 0.0 || !inCuttingWindow(attackAngle(v)))
        return false;
    e.cuttingContact = true;
    return true;
}

BucketAnswer bucketAccepts(const Excavator& e, const Vector3& motion)
{
    if (e.slewRate != 0.0)
        return Blocked;
    const JointAngles angles = jointAngles(e.meshes);
    if (e.bucket.soilCount < cutting::fullBucket) {
        const Vector3 v = tipVelocityInBucket(armPivots(e.meshes), angles, e.jointRates());
        if (length(v) == 0.0)
            return TakeSoil;
        return inCuttingWindow(attackAngle(v)) ? TakeSoil : Blocked;
    }
    // Full: soil the bucket moves through far from its own up passes by.
    Vector3 u = rotateAboutY(rotate(motion, conjugate(e.orientation)), -angles.slew);
    u = rotateAboutZ(u, -(angles.monoblock + angles.bendingArm + angles.groundPlate));
    return clampedAcos(u.y) > cutting::fullBucketAngle ? PassThrough : Blocked;
}

ContactResult testBucketTriangles(const MeshTriangle& ta, Mesh& block, Terrain& t, const MeshTriangle& tb, Mesh& part,
                                  Excavator& e, PairRecord& record)
{
    if (length(ta.workingCentre - tb.workingCentre) > ta.radius + tb.radius)
        return NoContact;
    const Vector3 pa[3] = {block.workingPositions[ta.vertices[0]], block.workingPositions[ta.vertices[1]],
                           block.workingPositions[ta.vertices[2]]};
    const Vector3 pb[3] = {part.workingPositions[tb.vertices[0]], part.workingPositions[tb.vertices[1]],
                           part.workingPositions[tb.vertices[2]]};
    const bool meet = trianglesIntersect(pa[0], pa[1], pa[2], pb[0], pb[1], pb[2]);
    if (e.bucketInSoil) {
        if (meet)
            t.touchedThisStep = e.terrainContact = true;
        return InSoil;
    }
    if (!meet)
        return NoContact;
    t.touchedThisStep = true;
    if (t.digging)
        return NoContact;

    // air and cut hold the latest check only.
    bool found = false, air = false, cut = false;
    for (int k = 0; k < 3; ++k) {
        double depth = 0.0;
        if (!vertexOnTriangle(pa[k], pb[0], pb[1], pb[2], depth))
            continue;
        found = true;
        air = airAt(t, block, pa[k]);
        if (!air && !hasContactNear(record, pa[k]))
            addContact(record, t, e, pa[k], triangleNormal(pb[0], pb[1], pb[2]), depth, block, part);
    }
    for (int k = 0; k < 3; ++k) {
        double depth = 0.0;
        if (!vertexOnTriangle(pb[k], pa[0], pa[1], pa[2], depth))
            continue;
        found = true;
        air = airAt(t, block, pb[k]);
        if (air)
            continue;
        if (isLipVertex(part, tb.vertices[k]) && (cut = cuttingTest(e)))
            continue;
        if (!hasContactNear(record, pb[k]))
            addContact(record, e, t, pb[k], triangleNormal(pa[0], pa[1], pa[2]), depth, part, block);
    }
    for (int i = 0; i < 3; ++i) {
        const MeshEdge& ea = block.edges[ta.edges[i]];
        const Vector3 &a0 = block.workingPositions[ea.v0], &a1 = block.workingPositions[ea.v1];
        for (int j = 0; j < 3; ++j) {
            const MeshEdge& eb = part.edges[tb.edges[j]];
            const Vector3 &b0 = part.workingPositions[eb.v0], &b1 = part.workingPositions[eb.v1];
            const SegmentPoints s = closestPointsOfSegments(a0, a1, b0, b1, contact::kEdgeEdge);
            if (!s.touch)
                continue;
            found = true;
            air = airAt(t, block, s.midpoint);
            if (!ea.convex || !eb.convex || air)
                continue;
            if (part.index == GroundPlate && tb.edges[j] == cutting::edgeIndex && (cut = cuttingTest(e)))
                continue;
            Vector3 normal;
            if (hasContactNear(record, s.midpoint) || !edgeContactNormal(a1 - a0, b1 - b0, eb.workingNormal, normal))
                continue;
            addContact(record, t, e, s.midpoint, normal, edgeContactDepth(normal, s.gap), block, part);
        }
    }
    if (air || cut) {
        t.cutThisStep = true;
        return NoContact;
    }
    return found ? Touching : Penetrating;
}

void dig(Terrain& t, Mesh& block, Mesh& part, Excavator& e)
{
    if (!t.digging)
        return;
    const int b = block.index;
    const Vector3 origin = t.world.block(b).origin;
    int from[3], to[3];
    voxelSpan(part.boxMin.x - origin.x + 11.0, part.boxMax.x - origin.x + 11.0, terrain::kVoxelsX, from[0], to[0]);
    voxelSpan(origin.y - part.boxMax.y, origin.y - part.boxMin.y, terrain::kVoxelsY, from[1], to[1]);
    voxelSpan(part.boxMin.z - origin.z + 11.0, part.boxMax.z - origin.z + 11.0, terrain::kVoxelsZ, from[2], to[2]);
    const bool bucket = part.index == GroundPlate;
    const MeshEdge& lip = part.edges[bucket ? cutting::edgeIndex : 0];
    // Only the edge takes soil: the voxels it runs under and, as far as the
    // sliced volume owes them (Excavator::cutOwed), those it runs through.
    // The heel and sides ride over the rest, which stays.
    const EdgePath path = bucket && e.bucketInSoil ? edgePath(e, part) : EdgePath();

    for (int x = from[0]; x < to[0]; ++x)
        for (int y = from[1]; y < to[1]; ++y)
            for (int z = from[2]; z < to[2]; ++z) {
                if (!isSoil(t.voxelAt(b, x, y, z)))
                    continue;
                const Vector3 p = t.voxelCentre(b, x, y, z);
                if (bucket && distanceToSegment(p, part.workingPositions[lip.v0], part.workingPositions[lip.v1]) <
                                  cutting::edgeReach)
                    cuttingTest(e);  // only for cuttingContact
                if (!pointInsideMesh(p, part))
                    continue;
                Vector3 v;
                e.pointVelocity(v, p, part.index);
                if (dot(v, v) > 0.0)
                    normalize(v);
                if (!e.bucketInSoil || !bucket) {
                    if (clampedAcos(dot(escapeDirection(t, b, x, y, z), v)) >= kRightAngle)
                        stopPart(e, part);
                    continue;
                }
                switch (bucketAccepts(e, v)) {
                case Blocked:
                    // Short of full, a bucket that does not cut meets the soil its
                    // edge left (ridden over, or not yet cut) as any part does: it
                    // stops only where it drives into it, not on its way out.
                    if (e.bucket.soilCount >= cutting::fullBucket ||
                        clampedAcos(dot(escapeDirection(t, b, x, y, z), v)) >= kRightAngle)
                        stopPart(e, part);
                    break;
                case TakeSoil:
                    if (slicedOff(path, p - path.lip, e.cutOwed))
                        takeSlice(t, b, x, y, z, e);
                    break;
                case PassThrough:
                    break;
                }
            }
}

ContactResult testPartAgainstBlock(Excavator& excavator, Mesh& part, Terrain& terrain, Mesh& block,
                                   PairRecord& record)
{
    const bool digs = part.index == GroundPlate || (part.index == BendingArm && terrain.digging);
    bool touching = false;
    for (const MeshTriangle& ta : block.triangles)
        for (const MeshTriangle& tb : part.triangles) {
            const ContactResult r = digs ? testBucketTriangles(ta, block, terrain, tb, part, excavator, record)
                                         : testTriangles(ta, block, terrain, tb, part, excavator, record);
            if (r == Penetrating)
                return Penetrating;
            touching |= r == Touching;
        }
    if (digs)
        dig(terrain, block, part, excavator);
    return touching ? Touching : NoContact;
}

ContactResult testExcavatorTerrain(Excavator& excavator, Terrain& terrain, PairRecord& record)
{
    bool touching = false;
    const Vector3 d = terrain.predictedPosition - excavator.predictedPosition;
    const double reach = terrain.radius + excavator.radius;
    if (dot(d, d) < reach * reach) {
        for (uint32_t b = 0; b < terrain.meshCount; ++b)
            for (uint32_t p = 0; p < excavator.meshCount; ++p) {
                Mesh& block = terrain.meshes[b];
                Mesh& part = excavator.meshes[p];
                if (!boxesOverlap(block, part))
                    continue;
                const ContactResult r = testPartAgainstBlock(excavator, part, terrain, block, record);
                if (r == Penetrating)
                    return Penetrating;  // flags wait for a step size that works
                touching |= r == Touching;
            }
    }
    updateDiggingFlags(excavator, terrain);
    return touching ? Touching : NoContact;
}

SimulationHooks machineHooks(Excavator* machine)
{
    SimulationHooks hooks;
    hooks.pairTest = [](Object& first, Object& second, PairRecord& record, ContactResult& result) {
        Terrain* terrain = dynamic_cast<Terrain*>(&first);
        Excavator* e = dynamic_cast<Excavator*>(&second);
        if (!terrain || !e) {
            terrain = dynamic_cast<Terrain*>(&second);
            e = dynamic_cast<Excavator*>(&first);
        }
        if (!terrain || !e)
            return false;
        result = testExcavatorTerrain(*e, *terrain, record);
        // What a hit in this step's impulses ran into: the ground or not.
        e->groundParts = 0;
        for (const Contact& c : record.contacts) {
            const Mesh* part = c.bodyA == e ? c.meshA : c.meshB;
            e->groundParts |= 1u << part->index;
        }
        return true;
    };
    hooks.raised = machine;
    hooks.driving = [](const Object& body) {
        const Excavator* e = dynamic_cast<const Excavator*>(&body);
        return e && (e->leftTrackThrottle != 0.0 || e->rightTrackThrottle != 0.0);
    };
    return hooks;
}
