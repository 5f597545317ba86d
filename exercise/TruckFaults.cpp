#include "exercise/TruckFaults.h"

#include <algorithm>

#include "excavator/Cutting.h"
#include "exercise/HopperMeter.h"

HopperTarget bodyOutline(const TruckShape& t, double goalM3)
{
    return {t.bodyX, t.bodyZ, t.headingDegrees, t.bodyLength, t.bodyWidth, 0.0, goalM3};
}

void watchTruck(TruckFaults& f, const TruckShape& t, const BucketStep& b, double dt)
{
    // Crumbs left after a dump do not make it loaded.
    const auto loaded = [](int units) { return units * 10 >= cutting::fullBucket; };
    bool overCab = false, overBody = false;
    double lowest = 1e30;
    for (const Vector3& p : b.corners) {
        overCab |= inRectangle(p.x, p.z, t.cabX, t.cabZ, t.headingDegrees, t.cabLength, t.cabWidth);
        overBody |= inRectangle(p.x, p.z, t.bodyX, t.bodyZ, t.headingDegrees, t.bodyLength, t.bodyWidth);
        lowest = std::min(lowest, p.y);
    }
    countTouch(f.cabPasses, f.cabFree, loaded(b.load) && overCab, dt);
    countTouch(f.hits, f.hitFree, b.touchingTruck, dt);
    // A dump is judged as it begins: the first soil a loaded bucket lets go over the body.
    if (b.load > f.lastLoad)
        f.judged = false;
    else if (b.load < f.lastLoad && loaded(f.lastLoad) && overBody && !b.inSoil && !f.judged) {
        f.highReleases += lowest > t.rimY + t.releaseAbove;
        f.judged = true;
    }
    f.lastLoad = b.load;
}
