#include "excavator/SoilLedger.h"

#include <algorithm>

#include "excavator/Excavator.h"
#include "terrain/Terrain.h"

namespace {

SoilLedger looseAndGone(const Terrain& terrain)
{
    SoilLedger l;
    l.loose = static_cast<int64_t>(terrain.grainCount());
    l.gone = terrain.soilGone();
    l.beds = terrain.soilInBeds();
    return l;
}

}  // namespace

SoilLedger soilLedger(const Terrain& terrain, const std::vector<const Excavator*>& machines)
{
    SoilLedger l = looseAndGone(terrain);
    l.ground = terrain.soilVoxelCount();
    for (const Excavator* e : machines)
        l.buckets += e->bucket.soilCount;
    return l;
}

SoilLedger recountSoil(const Terrain& terrain, const std::vector<const Excavator*>& machines)
{
    SoilLedger l = looseAndGone(terrain);
    l.ground = terrain.world.countSoilVoxels();
    for (const Excavator* e : machines)
        l.buckets += std::count_if(std::begin(e->bucket.cells), std::end(e->bucket.cells),
                                   [](const BucketCell& c) { return c.state == BucketCell::Soil; });
    return l;
}
