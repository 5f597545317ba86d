#pragma once

// The loop a track belt runs along, in the track's x-y plane, and where its
// elements sit on it. Numbers fit the model's wheels and track outline.
struct BeltPlace {
    double x = 0.0;      // along the track, before the drawing mirrors it
    double y = 0.0;      // up
    double angle = 0.0;  // element tilt about z, degrees
};

constexpr double beltLength = 9.7610994548044;
constexpr int beltElementCount = 35;
constexpr double beltPitch = 0.2788885558515543;  // beltLength / beltElementCount
constexpr double beltWheelCentreHeight = 0.41582657545960006;  // m, up in the belt's frame: both wheels' centres
constexpr double beltWheelRadius = 0.301117808304;

// Place of a point s metres along the loop, 0 <= s < beltLength.
BeltPlace beltPlace(double s);

// Places of all elements of a belt at this phase (0 <= phase < beltLength),
// the first at the phase itself, each next one a pitch further on.
void beltElementPlaces(double phase, BeltPlace places[beltElementCount]);

// Degrees a wheel turns for a belt phase.
double wheelTurnDegrees(double phase);
