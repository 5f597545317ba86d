#include "excavator/TrackBelt.h"

#include <cmath>

namespace {
constexpr double pi = 3.141592653589793;
constexpr double wrapRadius = 0.37114520558399994;  // rim plus the element's inner face
constexpr double topEnd = 1.2844580825536;
constexpr double frontSlopeEnd = 2.5935035623744;
constexpr double frontWheelEnd = 3.7039824667967998;
constexpr double bottomEnd = 7.4037632897567995;
constexpr double rearWheelEnd = 8.5114605503428;
}  // namespace

BeltPlace beltPlace(double s)
{
    BeltPlace p;
    if (s <= topEnd) {
        p.x = s - 0.6737024659431999;
        p.y = 0.9820175345232;
        p.angle = 0.0;
    } else if (s <= frontSlopeEnd) {
        p.x = std::cos(0.1496) * (s - topEnd) + 0.6107556166104;
        p.y = 0.9820175345232 - std::sin(0.1496) * (s - topEnd);
        p.angle = 8.571448615157117;
    } else if (s < frontWheelEnd) {
        const double phi = pi + (s - frontWheelEnd) / wrapRadius;
        p.x = std::sin(phi) * wrapRadius + 1.8498904114799999;
        p.y = (std::cos(phi) - 1.0) * wrapRadius + 0.7869717810436;
        p.angle = phi * 57.29577951308232;
    } else if (s <= bottomEnd) {
        p.x = 5.54967123444 - s;
        p.y = 0.048824657548;
        p.angle = 180.0;
    } else if (s < rearWheelEnd) {
        const double phi = pi + (s - bottomEnd) / wrapRadius;
        p.x = std::sin(phi) * wrapRadius - 1.8498904114799999;
        p.y = std::cos(phi) * wrapRadius + beltWheelCentreHeight;
        p.angle = phi * 57.29577951308232;
    } else {
        p.x = std::cos(-0.1571) * (s - rearWheelEnd) - 1.907954795058;
        p.y = 0.7865438358379999 - std::sin(-0.1571) * (s - rearWheelEnd);
        p.angle = -9.001166961505232;
    }
    return p;
}

void beltElementPlaces(double phase, BeltPlace places[beltElementCount])
{
    double s = phase;
    for (int n = 0; n < beltElementCount; ++n) {
        if (s >= beltLength)
            s -= beltLength;
        places[n] = beltPlace(s);
        s += beltPitch;
    }
}

double wheelTurnDegrees(double phase) { return phase * 180.0 / 0.945989494432906; }
