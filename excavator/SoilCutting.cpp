#include "excavator/SoilCutting.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr double kGravity = 9.81;
constexpr double kPi = 3.141592653589793;
constexpr double kLowRake = 15.0 * kPi / 180.0, kHighRake = kPi / 2.0;
constexpr double kInfinite = std::numeric_limits<double>::infinity();

// cos(rake+delta) + sin(rake+delta) cot(beta+phi): the N-factors' common
// denominator; it reaches 0 as the wedge's angles close to pi.
double denominator(double rake, double beta, double friction, double toolFriction)
{
    return std::cos(rake + toolFriction) + std::sin(rake + toolFriction) / std::tan(beta + friction);
}
}  // namespace

NFactors nFactors(double rake, double beta, double friction, double toolFriction)
{
    NFactors n;
    const double d = denominator(rake, beta, friction, toolFriction);
    if (!(d > 1e-9) || rake + beta + friction + toolFriction >= kPi)
        return n;
    const double k = 1.0 / std::tan(rake) + 1.0 / std::tan(beta);
    n.weight = k / (2.0 * d);
    n.cohesion = (1.0 + 1.0 / (std::tan(beta) * std::tan(beta + friction))) / d;
    n.adhesion = (1.0 - 1.0 / (std::tan(rake) * std::tan(beta + friction))) / d;
    n.surcharge = k / d;
    n.physical = true;
    return n;
}

double wedgeForce(const SoilState& s, const CutGeometry& c, double beta)
{
    const NFactors n = nFactors(c.rake, beta, s.friction, s.toolFriction);
    if (!n.physical)
        return kInfinite;
    const double d = c.depth;
    // The wedge set moving at the blade's speed (McKyes's acceleration term).
    const double inertia = s.density * c.speed * c.speed * d *
                           (std::tan(beta) + 1.0 / std::tan(beta + s.friction)) /
                           ((1.0 + std::tan(beta) / std::tan(c.rake)) *
                            denominator(c.rake, beta, s.friction, s.toolFriction));
    return (s.density * kGravity * d * d * n.weight + s.cohesion * d * n.cohesion + s.adhesion * d * n.adhesion +
            c.surcharge * d * n.surcharge + inertia) *
           c.width;
}

double failureAngle(const SoilState& s, const CutGeometry& c)
{
    // A coarse scan brackets the least force, a golden section narrows it:
    // P is smooth and has one minimum over the wedges that can form.
    const double low = 0.5 * kPi / 180.0, high = std::min(89.5 * kPi / 180.0, kPi - c.rake - s.friction - s.toolFriction);
    const int n = 36;
    const double h = (high - low) / n;
    int best = 0;
    double bestP = kInfinite;
    for (int i = 0; i <= n; ++i) {
        const double p = wedgeForce(s, c, low + i * h);
        if (p < bestP) {
            bestP = p;
            best = i;
        }
    }
    double a = low + std::max(best - 1, 0) * h, b = low + std::min(best + 1, n) * h;
    const double r = 0.6180339887498949;
    double x1 = b - r * (b - a), x2 = a + r * (b - a);
    double f1 = wedgeForce(s, c, x1), f2 = wedgeForce(s, c, x2);
    while (b - a > 1e-7) {
        if (f1 < f2) {
            b = x2;
            x2 = x1;
            f2 = f1;
            x1 = b - r * (b - a);
            f1 = wedgeForce(s, c, x1);
        } else {
            a = x1;
            x1 = x2;
            f1 = f2;
            x2 = a + r * (b - a);
            f2 = wedgeForce(s, c, x2);
        }
    }
    return 0.5 * (a + b);
}

CutForce cuttingForce(const SoilState& s, const CutGeometry& cut)
{
    CutForce f;
    if (!(cut.depth > 0.0) || !(cut.width > 0.0) || !std::isfinite(cut.rake))
        return f;
    CutGeometry c = cut;
    c.rake = std::clamp(cut.rake, kLowRake, kHighRake);
    f.beta = failureAngle(s, c);
    const double p = wedgeForce(s, c, f.beta);
    if (!std::isfinite(p))
        return CutForce();
    // P leans at delta from the blade's normal; adhesion drags along the blade.
    const double adhesion = s.adhesion * c.depth * c.width;
    f.horizontal = p * std::sin(c.rake + s.toolFriction) + adhesion / std::tan(c.rake);
    f.vertical = p * std::cos(c.rake + s.toolFriction) - adhesion;
    return f;
}
