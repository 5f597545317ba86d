#pragma once

#include "excavator/Articulation.h"
#include "math/Vector3.h"

// The bucket's cutting edge: where its tip is, how the pitch joints move it
// in the bucket's own frame, and whether that motion cuts.
namespace cutting {
// Model frame, ground plate at rest: the point of the lip whose motion decides.
inline const Vector3 tipPoint(4.391, 1.857, 0.0);
// Slope of the lip in the bucket frame (rad): forward and a little up.
extern const double edgeSlope;
// Attack angles (rad) that cut: below 15 degrees or beyond 270.
constexpr double windowLow = 0.2617993877991494;
constexpr double windowHigh = 4.71238898038469;
constexpr int edgeVertexA = 16, edgeVertexB = 17;  // ground plate outline
constexpr int edgeIndex = 31;                      // joins them through the tip
constexpr double edgeReach = 0.36;                 // m: voxels this near wake the test
constexpr int fullBucket = 33;                     // units of soil
constexpr double fullBucketAngle = 2.0734511513692637;  // rad from the bucket's y: tilted out
}  // namespace cutting

// acos with its argument clamped to [-1, 1]; NaN reads as -1 (pi).
double clampedAcos(double x);

// The tip's velocity from the monoblock, bending arm and ground plate
// rates, turned into the bucket frame (the slew plays no part).
Vector3 tipVelocityInBucket(const ArmPivots& pivots, const JointAngles& angles, const JointAngles& rates);

// Direction of a bucket-frame motion in [0, 2pi) less the lip's slope; NaN
// for no motion.
double attackAngle(const Vector3& bucketVelocity);
bool inCuttingWindow(double attack);
