#include "excavator/TerrainContact.h"

#include "excavator/Excavator.h"
#include "physics/Collision.h"
#include "physics/Simulation.h"
#include "world/Terrain.h"

namespace {

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

ContactResult testPartAgainstBlock(Excavator& excavator, Mesh& part, Terrain& terrain, Mesh& block,
                                   PairRecord& record)
{
    bool touching = false;
    for (const MeshTriangle& ta : block.triangles)
        for (const MeshTriangle& tb : part.triangles) {
            const ContactResult r = testTriangles(ta, block, terrain, tb, part, excavator, record);
            if (r == Penetrating)
                return Penetrating;
            touching |= r == Touching;
        }
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
        return true;
    };
    hooks.raised = machine;
    hooks.driving = [](const Object& body) {
        const Excavator* e = dynamic_cast<const Excavator*>(&body);
        return e && (e->leftTrackThrottle != 0.0 || e->rightTrackThrottle != 0.0);
    };
    return hooks;
}
