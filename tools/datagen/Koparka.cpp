// The excavator model: seven coarse collision outlines and the drawn parts, all in model
// coordinates (x forward to the arm, y up, z across with the right track at +z) and in the
// transport pose (every joint angle 0). The program fixes the pivots, wheel centres, belt path,
// cylinder and linkage dimensions as constants; every number below that meets one of them is
// derived from the same values, so the drawn machine moves the way the simulation computes it.
#include "tools/datagen/Koparka.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "base/Fatal.h"

namespace {

const double kPi = 3.141592653589793;

struct P2 {
    double x, y;
};

P2 operator+(P2 a, P2 b) { return {a.x + b.x, a.y + b.y}; }
P2 operator-(P2 a, P2 b) { return {a.x - b.x, a.y - b.y}; }
P2 operator*(P2 a, double s) { return {a.x * s, a.y * s}; }
double cross2(P2 a, P2 b) { return a.x * b.y - a.y * b.x; }
double len2(P2 a) { return std::sqrt(a.x * a.x + a.y * a.y); }
P2 unit2(P2 a) { return a * (1.0 / len2(a)); }
P2 leftOf(P2 d) { return {-d.y, d.x}; }
P2 xy(const Vector3& v) { return {v.x, v.y}; }

// ---- The machine's fixed points (model coordinates) ----------------------------------------

const double kArmZ = -0.05;  // plane of the boom, arm, cylinders and links

const Vector3 kMonoblockPivot(0.219, 1.95, kArmZ);
const Vector3 kBendingArmPivot(6.365, 1.268, kArmZ);
const Vector3 kGroundPlatePivot(3.938, 0.42, kArmZ);

const double kWheelX = 1.85, kWheelY = 0.392, kWheelZ = 1.212;
const double kRim = 0.301;
const double kTrackZ = 1.213;  // track pivot and belt plane

const Vector3 kMonoServoPivot(0.956, 1.352, kArmZ);
const Vector3 kArmServoPivot(3.738, 2.932, kArmZ);
const Vector3 kPlateServoPivot(6.312, 0.536, kArmZ);
const Vector3 kArmBracketPivot(4.304, 0.471, kArmZ);
const Vector3 kPlateBracketPivot(3.474, 0.461, kArmZ);
// Where the bucket cylinder's rod eye and both links meet at zero angles.
const Vector3 kLinkJoint(3.892, 0.094, kArmZ);

// Rest angles (degrees) the program undoes at load, and the pin distances at zero angles.
const double kMonoServoRest = -55.134, kMonoServoLength = 2.33023;
const double kArmServoRest = -114.141, kArmServoLength = 3.95387;
const double kPlateServoRest = -79.631, kPlateServoLength = 2.46003;
// Longest barrel or rod that stays inside the other at the shortest stroke.
const double kMonoServoPiece = 1.80, kArmServoPiece = 2.15, kPlateServoPiece = 1.45;
const double kMonoServoZ = 0.264;  // one of the pair; the program draws its twin at -0.364

// The bucket: cutting tip, lip slope and the prism of its outline.
const Vector3 kTip(4.391, 1.857, 0.0);
const double kBucketZ0 = -0.37, kBucketZ1 = 0.47;

double lipSlope() { return std::acos(0.192 / std::sqrt(0.03898)); }

// Outline profile b0..b8 of the bucket, counter-clockwise from +z; b8 is the tip and b0 lies on
// the lip line running back from the tip at the lip slope.
std::vector<P2> bucketProfile()
{
    const double b0x = 3.788;
    const double b0y = kTip.y - (kTip.x - b0x) * std::tan(lipSlope());
    return {{b0x, b0y},   {3.438, 1.57}, {3.218, 1.22}, {3.238, 0.52}, {3.378, 0.35},
            {4.438, 0.35}, {4.638, 0.52}, {4.638, 1.52}, {kTip.x, kTip.y}};
}

// Unit vector along a cylinder or link at rest angle psi (degrees): the piece's local +y.
P2 restDirection(double psiDegrees)
{
    const double psi = psiDegrees * kPi / 180.0;
    return {-std::sin(psi), std::cos(psi)};
}

// ---- Shape writers ----------------------------------------------------------------------------

// Smoothing groups: curved surfaces share one group; flat faces that meet at a vertex get
// different groups so the loader's averaging keeps their edges sharp.
const int kSmooth = 1, kCap = 2, kSideA = 3, kSideB = 4, kSideC = 5;

struct Frame {
    Vector3 origin;
    Vector3 ex{1, 0, 0}, ey{0, 1, 0}, ez{0, 0, 1};  // right-handed
    Vector3 at(double x, double y, double z) const { return origin + ex * x + ey * y + ez * z; }
};

Frame frameAt(const Vector3& origin)
{
    Frame f;
    f.origin = origin;
    return f;
}

// A frame whose ez runs along axis (unit) and whose ex lies in the x-y plane where possible.
Frame frameAlong(const Vector3& origin, const Vector3& axis)
{
    Frame f;
    f.origin = origin;
    f.ez = normalized(axis);
    const Vector3 helper = std::fabs(f.ez.z) < 0.9 ? Vector3(0, 0, 1) : Vector3(1, 0, 0);
    f.ex = normalized(cross(helper, f.ez));
    f.ey = cross(f.ez, f.ex);
    return f;
}

double signedArea(const std::vector<P2>& poly)
{
    double a = 0.0;
    for (size_t i = 0; i < poly.size(); ++i) a += cross2(poly[i], poly[(i + 1) % poly.size()]);
    return 0.5 * a;
}

bool insideTriangle(P2 p, P2 a, P2 b, P2 c)
{
    return cross2(b - a, p - a) >= 0.0 && cross2(c - b, p - b) >= 0.0 && cross2(a - c, p - c) >= 0.0;
}

// Ear clipping of a simple counter-clockwise polygon without collinear corners.
std::vector<std::array<int, 3>> triangulate(const std::vector<P2>& poly)
{
    std::vector<int> left;
    for (int i = 0; i < static_cast<int>(poly.size()); ++i) left.push_back(i);
    std::vector<std::array<int, 3>> out;
    while (left.size() > 3) {
        const int m = static_cast<int>(left.size());
        bool clipped = false;
        for (int i = 0; i < m && !clipped; ++i) {
            const int a = left[(i + m - 1) % m], b = left[i], c = left[(i + 1) % m];
            if (cross2(poly[b] - poly[a], poly[c] - poly[b]) <= 1e-12) continue;  // reflex
            bool blocked = false;
            for (int j : left)
                if (j != a && j != b && j != c && insideTriangle(poly[j], poly[a], poly[b], poly[c])) blocked = true;
            if (blocked) continue;
            out.push_back({a, b, c});
            left.erase(left.begin() + i);
            clipped = true;
        }
        if (!clipped)
            throwFatal("[Koparka] The profile of " + std::to_string(poly.size()) + " corners starting at (" +
                       std::to_string(poly[0].x) + ", " + std::to_string(poly[0].y) + ") cannot be triangulated.");
    }
    out.push_back({left[0], left[1], left[2]});
    return out;
}

// Closed prism: profile (either orientation) in the frame's x-y plane, from z0 to z1. A side whose
// both corners lie at y == `coveredY` is left out: it lies against another part's face.
void prism(ObjWriter& w, const Frame& f, std::vector<P2> profile, double z0, double z1, bool smoothSides = false,
           double coveredY = std::nan(""))
{
    if (signedArea(profile) < 0.0) std::reverse(profile.begin(), profile.end());
    const int n = static_cast<int>(profile.size());
    std::vector<Vector3> bottom, top;
    for (const P2& p : profile) {
        bottom.push_back(f.at(p.x, p.y, z0));
        top.push_back(f.at(p.x, p.y, z1));
    }
    w.setSmoothing(kCap);
    for (const auto& t : triangulate(profile)) {
        w.addTriangle(top[t[0]], top[t[1]], top[t[2]]);
        w.addTriangle(bottom[t[0]], bottom[t[2]], bottom[t[1]]);
    }
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        if (profile[i].y == coveredY && profile[j].y == coveredY) continue;
        int group = kSmooth;
        if (!smoothSides) group = (i == n - 1 && n % 2 == 1) ? kSideC : (i % 2 == 0 ? kSideA : kSideB);
        w.setSmoothing(group);
        w.addQuad(bottom[i], bottom[j], top[j], top[i]);
    }
}

void box(ObjWriter& w, const Vector3& lo, const Vector3& hi)
{
    prism(w, frameAt({0, 0, 0}), {{lo.x, lo.y}, {hi.x, lo.y}, {hi.x, hi.y}, {lo.x, hi.y}}, lo.z, hi.z);
}

// Solid of revolution about the frame's z axis. The profile (r, z) starts on the axis at its low
// end, runs outward and up, and ends on the axis again, so every face points outward.
void lathe(ObjWriter& w, const Frame& f, const std::vector<P2>& profile, int segments, double phase = 0.0)
{
    const int n = static_cast<int>(profile.size());
    std::vector<std::vector<Vector3>> rings(n);
    for (int k = 0; k < n; ++k)
        for (int j = 0; j < segments; ++j) {
            const double a = phase + 2.0 * kPi * j / segments;
            const double r = profile[k].x;
            rings[k].push_back(r == 0.0 ? f.at(0, 0, profile[k].y)
                                        : f.at(r * std::cos(a), r * std::sin(a), profile[k].y));
        }
    for (int k = 0; k + 1 < n; ++k) {
        w.setSmoothing(profile[k].y == profile[k + 1].y ? kCap : kSmooth);
        for (int j = 0; j < segments; ++j) {
            const int jn = (j + 1) % segments;
            const Vector3 &a = rings[k][j], &b = rings[k][jn], &c = rings[k + 1][jn], &d = rings[k + 1][j];
            if (profile[k].x == 0.0)
                w.addTriangle(a, c, d);
            else if (profile[k + 1].x == 0.0)
                w.addTriangle(a, b, c);
            else
                w.addQuad(a, b, c, d);
        }
    }
}

// Plain cylinder from p0 to p1; an end whose cap lies inside another part goes open.
enum Ends { BothCapped, OpenAtP0, OpenAtP1, OpenAtBoth };
void cylinder(ObjWriter& w, const Vector3& p0, const Vector3& p1, double radius, int segments, Ends ends = BothCapped)
{
    const double h = length(p1 - p0);
    std::vector<P2> profile = {{radius, 0}, {radius, h}};
    if (ends == BothCapped || ends == OpenAtP1) profile.insert(profile.begin(), P2{0, 0});
    if (ends == BothCapped || ends == OpenAtP0) profile.push_back({0, h});
    lathe(w, frameAlong(p0, p1 - p0), profile, segments);
}

// The round parts are written whole and twice more, coarse and rough: their round pieces with the
// fewest sides whose facets lie within `depth` of the circle. The program measures each apart
// from the whole part and draws the roughest one that shows less than half a pixel of difference
// (a texel of the shadow's map in the sun's view, 16 mm or more): 6 mm is half a pixel about 8 m
// from the eye, 14 mm about 19 m.
struct Detail {
    const char* suffix;  // of the group's name
    double depth;        // m; 0 for the whole part
};
const Detail kDetails[] = {{"", 0.0}, {"Coarse", 0.006}, {"Rough", 0.014}};

// Sides of a round piece of this radius: `full`, or fewer in a coarser group.
int sides(int full, double radius, const Detail& detail)
{
    int n = detail.depth > 0.0 ? 3 : full;
    while (n < full && radius * (1.0 - std::cos(kPi / n)) > detail.depth) ++n;
    return n;
}

// Arc segments of a round plate's ends (a half circle each), as sides() would give the whole circle.
int arcs(double radius, const Detail& detail) { return (sides(12, radius, detail) + 1) / 2; }

std::string groupName(const std::string& name, const Detail& detail) { return name + detail.suffix; }

// Flat plate with round ends around a and b (in the x-y plane), from z0 to z1.
void roundPlate(ObjWriter& w, P2 a, P2 b, double radius, double z0, double z1, int arcSegments = 6)
{
    const P2 d = unit2(b - a), n = leftOf(d);
    std::vector<P2> profile;
    for (int i = 0; i <= arcSegments; ++i) {  // around b, from its right side to its left
        const double t = -0.5 * kPi + kPi * i / arcSegments;
        profile.push_back(b + (d * std::cos(t) + n * std::sin(t)) * radius);
    }
    for (int i = 0; i <= arcSegments; ++i) {  // around a, from its left side to its right
        const double t = 0.5 * kPi + kPi * i / arcSegments;
        profile.push_back(a + (d * std::cos(t) + n * std::sin(t)) * radius);
    }
    prism(w, frameAt({0, 0, 0}), profile, z0, z1, true);
}

// Side profile of a beam along a centre line with a half-depth per corner, round at both ends.
std::vector<P2> beamProfile(const std::vector<P2>& centre, const std::vector<double>& half, int arcSegments = 5)
{
    const int n = static_cast<int>(centre.size());
    std::vector<P2> upper, lower;
    for (int i = 0; i < n; ++i) {
        P2 normal;
        double scale = 1.0;
        if (i == 0)
            normal = leftOf(unit2(centre[1] - centre[0]));
        else if (i == n - 1)
            normal = leftOf(unit2(centre[i] - centre[i - 1]));
        else {
            const P2 n1 = leftOf(unit2(centre[i] - centre[i - 1])), n2 = leftOf(unit2(centre[i + 1] - centre[i]));
            normal = unit2(n1 + n2);
            scale = 1.0 / (normal.x * n1.x + normal.y * n1.y);
        }
        upper.push_back(centre[i] + normal * (half[i] * scale));
        lower.push_back(centre[i] - normal * (half[i] * scale));
    }
    std::vector<P2> profile(upper);
    const P2 dEnd = unit2(centre[n - 1] - centre[n - 2]), nEnd = leftOf(dEnd);
    for (int i = 1; i < arcSegments; ++i) {
        const double t = 0.5 * kPi - kPi * i / arcSegments;
        profile.push_back(centre[n - 1] + (dEnd * std::cos(t) + nEnd * std::sin(t)) * half[n - 1]);
    }
    for (int i = n - 1; i >= 0; --i) profile.push_back(lower[i]);
    const P2 dStart = unit2(centre[1] - centre[0]), nStart = leftOf(dStart);
    for (int i = 1; i < arcSegments; ++i) {
        const double t = -0.5 * kPi - kPi * i / arcSegments;
        profile.push_back(centre[0] + (dStart * std::cos(t) + nStart * std::sin(t)) * half[0]);
    }
    return profile;
}

// ---- Materials ----------------------------------------------------------------------------------

ObjMaterial material(const char* name, Vector3 colour, double specular, double shininess, double alpha = 1.0)
{
    ObjMaterial m;
    m.texture = koparkaTextureFile;
    m.name = name;
    m.ka = colour * 0.35;  // the light adds its full ambient on top of the scene's
    m.kd = colour;
    m.ks = Vector3(specular, specular, specular);
    m.d = alpha;
    m.ns = shininess;
    return m;
}

void addMaterials(ObjWriter& w)
{
    w.addMaterial(material("koparkaOutline", {0.5, 0.5, 0.5}, 0.0, 1.0));
    w.addMaterial(material("koparkaYellow", {0.92, 0.63, 0.08}, 0.35, 40.0));
    w.addMaterial(material("koparkaUndercarriage", {0.20, 0.20, 0.22}, 0.2, 20.0));
    w.addMaterial(material("koparkaTrack", {0.07, 0.07, 0.075}, 0.15, 10.0));
    w.addMaterial(material("koparkaSteel", {0.78, 0.79, 0.82}, 0.9, 100.0));
    w.addMaterial(material("koparkaDark", {0.12, 0.12, 0.13}, 0.25, 30.0));
    w.addMaterial(material("koparkaBucket", {0.38, 0.37, 0.35}, 0.3, 30.0));
    w.addMaterial(material("koparkaGlass", {0.22, 0.33, 0.38}, 0.8, 90.0, 0.35));
}

// ---- Collision outlines -------------------------------------------------------------------------

void trackOutline(ObjWriter& w, const char* name, double z0, double z1)
{
    w.beginGroup(name, "koparkaOutline");
    prism(w, frameAt({0, 0, 0}),
          {{-1.985, 0}, {1.985, 0}, {2.154, 0.089}, {2.279, 0.393}, {2.154, 0.696}, {1.912, 0.789},
           {0.676, 0.985}, {-0.613, 0.985}, {-1.909, 0.789}, {-2.154, 0.696}, {-2.279, 0.393}, {-2.154, 0.089}},
          z0, z1);
}

// The bucket outline keeps a fixed face order: vertices 16 and 17 are the two ends of the cutting
// edge and edge 31 joins them, which the digging code relies on.
void bucketOutline(ObjWriter& w)
{
    w.beginGroup("groundPlateOutline", "koparkaOutline");
    const std::vector<P2> b = bucketProfile();
    std::vector<Vector3> a, c;
    for (const P2& p : b) {
        a.push_back({p.x, p.y, kBucketZ0});
        c.push_back({p.x, p.y, kBucketZ1});
    }
    for (int n = 1; n <= 6; ++n) w.addTriangle(a[0], a[n + 1], a[n]);
    for (int n = 1; n <= 6; ++n) w.addTriangle(c[0], c[n], c[n + 1]);
    w.addTriangle(a[0], a[8], a[7]);
    w.addTriangle(c[0], c[7], c[8]);
    w.addTriangle(a[7], a[8], c[8]);
    w.addTriangle(a[7], c[8], c[7]);
    for (int n : {8, 0, 1, 2, 3, 4, 5, 6}) {
        const int m = (n + 1) % 9;
        w.addTriangle(a[n], a[m], c[m]);
        w.addTriangle(a[n], c[m], c[n]);
    }
}

void outlines(ObjWriter& w)
{
    const Frame model = frameAt({0, 0, 0});
    trackOutline(w, "rightTrackOutline", 0.913, 1.513);
    trackOutline(w, "leftTrackOutline", -1.513, -0.913);
    w.beginGroup("platformOutline", "koparkaOutline");
    box(w, {-1.2, 0.45, -0.913}, {1.2, 1.193, 0.913});
    w.beginGroup("bodyworkOutline", "koparkaOutline");
    box(w, {-2.75, 1.193, -1.45}, {1.15, 3.0, 1.45});
    w.beginGroup("monoblockOutline", "koparkaOutline");
    prism(w, model, {{-0.06, 1.95}, {0.19, 1.68}, {6.35, 0.99}, {6.62, 1.28}, {3.80, 3.21}, {0.12, 2.23}}, -0.25, 0.15);
    w.beginGroup("bendingArmOutline", "koparkaOutline");
    prism(w, model, {{3.70, 0.50}, {3.88, 0.18}, {6.36, 0.31}, {7.56, 1.28}, {7.38, 1.54}, {6.32, 1.49}}, -0.22, 0.12);
    bucketOutline(w);
}

// ---- Undercarriage --------------------------------------------------------------------------------

void platform(ObjWriter& w)
{
    w.beginGroup("platform", "koparkaUndercarriage");
    // Car body, chamfered at the corners, seen from above (profile in x and -z, extruded up).
    Frame up;
    up.ey = Vector3(0, 0, -1);
    up.ez = Vector3(0, 1, 0);
    prism(w, up, {{-1.2, -0.65}, {-0.95, -0.9}, {0.95, -0.9}, {1.2, -0.65}, {1.2, 0.65}, {0.95, 0.9}, {-0.95, 0.9},
                  {-1.2, 0.65}},
          0.45, 1.06);
}

// Slewing ring between the car body and the upper structure, open at the top: the bodywork's floor
// hides it.
void slewingRing(ObjWriter& w, const Detail& detail)
{
    w.beginGroup(groupName("slewingRing", detail), "koparkaUndercarriage");
    Frame ring;
    ring.ey = Vector3(0, 0, -1);
    ring.ez = Vector3(0, 1, 0);
    lathe(w, ring, {{0, 1.06}, {0.98, 1.06}, {0.98, 1.12}, {0.92, 1.12}, {0.92, 1.185}}, sides(32, 0.98, detail));
}

void trackJoist(ObjWriter& w, const char* name, double side)
{
    w.beginGroup(name, "koparkaUndercarriage");
    const double zc = side * kTrackZ;
    // Track frame between the wheels, kept inside the belt (top run inner face 0.889, bottom 0.0957).
    prism(w, frameAt({0, 0, 0}),
          {{-1.50, 0.27}, {1.50, 0.27}, {1.62, 0.39}, {1.50, 0.58}, {0.60, 0.76}, {-0.60, 0.76}, {-1.50, 0.58},
           {-1.62, 0.39}},
          zc - 0.20, zc + 0.20);
    // Cross member to the car body.
    const double inner = side * 0.86, outer = side * (kTrackZ - 0.19);
    box(w, {-0.65, 0.46, std::fmin(inner, outer)}, {0.65, 0.72, std::fmax(inner, outer)});
    // Wheel axle blocks, reaching into the hubs.
    for (double x : {-kWheelX, kWheelX}) box(w, {x * 0.86 - 0.1, 0.30, zc - 0.19}, {x * 0.86 + 0.1, 0.49, zc + 0.19});
}

void trackRollers(ObjWriter& w, const char* name, double side, const Detail& detail)
{
    w.beginGroup(groupName(name, detail), "koparkaUndercarriage");
    const double zc = side * kTrackZ;
    // Track rollers ride on the links of the bottom run (inner face y 0.0957), flanges outside them.
    const std::vector<P2> roller = {{0, -0.20},  {0.125, -0.20}, {0.125, -0.17}, {0.10, -0.17},
                                    {0.10, 0.17}, {0.125, 0.17},  {0.125, 0.20},  {0, 0.20}};
    for (double x : {-1.2, -0.6, 0.0, 0.6, 1.2}) lathe(w, frameAt({x, 0.0957 + 0.1005, zc}), roller, sides(10, 0.125, detail));
    // Carrier rollers under the top run (inner face y 0.889).
    const std::vector<P2> carrier = {{0, -0.17}, {0.07, -0.17}, {0.07, 0.17}, {0, 0.17}};
    for (double x : {-0.32, 0.32}) lathe(w, frameAt({x, 0.889 - 0.0705, zc}), carrier, sides(10, 0.07, detail));
}

// Drive sprocket: teeth inside the rim radius, the hydraulic motor on the outer side.
void driveWheel(ObjWriter& w, const char* name, double side, const Detail& detail)
{
    w.beginGroup(groupName(name, detail), "koparkaUndercarriage");
    const Vector3 centre(-kWheelX, kWheelY, side * kWheelZ);
    std::vector<P2> star;
    const int teeth = 9;
    for (int k = 0; k < teeth; ++k) {
        const double a = 2.0 * kPi * k / teeth, step = 2.0 * kPi / teeth;
        for (double da : {-0.06, 0.06}) star.push_back({kRim * std::cos(a + da), kRim * std::sin(a + da)});
        for (double da : {0.5 * step - 0.11, 0.5 * step + 0.11})
            star.push_back({0.245 * std::cos(a + da), 0.245 * std::sin(a + da)});
    }
    prism(w, frameAt(centre), star, -0.07, 0.07);
    // Hub inside, motor housing outside (its side is -z for the left track, +z for the right),
    // both open where they meet the sprocket's faces.
    Frame axis = frameAt(centre);
    axis.ez = Vector3(0, 0, side);
    axis.ey = Vector3(0, side, 0);
    const int n = sides(16, 0.21, detail);
    lathe(w, axis, {{0, -0.19}, {0.12, -0.19}, {0.12, -0.07}}, n);
    lathe(w, axis, {{0.21, 0.07}, {0.21, 0.23}, {0.16, 0.27}, {0, 0.27}}, n);
    // Bolt heads on the motor cover show the wheel turning.
    for (int k = 0; k < 6; ++k) {
        const double a = 2.0 * kPi * k / 6;
        const Vector3 p = centre + Vector3(0.1 * std::cos(a), 0.1 * std::sin(a), side * 0.27);
        cylinder(w, p, p + Vector3(0, 0, side * 0.025), 0.022, sides(6, 0.022, detail), OpenAtP0);
    }
}

// Idler: two rims with the guide groove between them.
void idlerWheel(ObjWriter& w, const char* name, double side, const Detail& detail)
{
    w.beginGroup(groupName(name, detail), "koparkaUndercarriage");
    const Vector3 centre(kWheelX, kWheelY, side * kWheelZ);
    lathe(w, frameAt(centre),
          {{0, -0.19}, {0.11, -0.19}, {0.11, -0.13}, {0.29, -0.13}, {kRim, -0.115}, {kRim, -0.04}, {0.255, -0.03},
           {0.255, 0.03}, {kRim, 0.04}, {kRim, 0.115}, {0.29, 0.13}, {0.11, 0.13}, {0.11, 0.19}, {0, 0.19}},
          sides(16, kRim, detail));
    // Spoke holes as raised pads so the turning is visible.
    for (int k = 0; k < 5; ++k) {
        const double a = 2.0 * kPi * k / 5;
        const Vector3 p = centre + Vector3(0.19 * std::cos(a), 0.19 * std::sin(a), side * 0.13);
        cylinder(w, p, p + Vector3(0, 0, side * 0.02), 0.04, sides(8, 0.04, detail), OpenAtP0);
    }
}

// One track shoe in the belt frame: x along the belt, +y outward, z across. The ground face lies
// 0.025671 outside the belt line and the link faces 0.070027 inside it, on the wheel rims.
void trackElement(ObjWriter& w)
{
    w.beginGroup("trackElement", "koparkaTrack");
    const double ground = 0.025671, inner = -0.070027;
    const Frame f = frameAt({0, 0, 0});
    prism(w, f, {{-0.135, -0.006}, {0.135, -0.006}, {0.135, 0.012}, {-0.135, 0.012}}, -0.30, 0.30);
    // Grouser, links and guide lug lie half a millimetre off the plate: their faces towards it
    // are never seen.
    prism(w, f, {{-0.045, 0.0125}, {0.045, 0.0125}, {0.018, ground}, {-0.018, ground}}, -0.299, 0.299, false, 0.0125);
    for (double s : {-1.0, 1.0})
        prism(w, f, {{-0.118, inner}, {0.118, inner}, {0.128, -0.0065}, {-0.128, -0.0065}}, s > 0 ? 0.10 : -0.17,
              s > 0 ? 0.17 : -0.10, false, -0.0065);
    // Guide lug between the links, running in the idler groove.
    prism(w, f, {{-0.06, -0.0065}, {0.06, -0.0065}, {0.035, -0.06}, {-0.035, -0.06}}, -0.03, 0.03, false, -0.0065);
}

// ---- Upper structure ---------------------------------------------------------------------------

void bodyworkBottom(ObjWriter& w, const Detail& detail)
{
    w.beginGroup(groupName("bodyworkBottom", detail), "koparkaDark");
    Frame up;
    up.ey = Vector3(0, 0, -1);
    up.ez = Vector3(0, 1, 0);
    // Revolving frame over the slewing ring; its front carries the boom cylinder mounts.
    prism(w, up, {{-2.45, -1.40}, {0.85, -1.40}, {1.10, -1.15}, {1.10, 1.40}, {-2.45, 1.40}}, 1.20, 1.45);
    // Boom cylinder mounting lugs around their pivot.
    for (double z : {kMonoServoZ, kMonoServoZ - 0.628})
        roundPlate(w, {0.70, 1.40}, xy(kMonoServoPivot), 0.11, z - 0.11, z + 0.11, arcs(0.11, detail));
    // Engine grilles on both sides of the hood and its back.
    for (double s : {-1.0, 1.0}) {
        const double z = s * 1.40;
        box(w, {-2.15, 1.62, std::fmin(z, z + s * 0.012)}, {-1.25, 2.18, std::fmax(z, z + s * 0.012)});
    }
    // Hand rail along the top of the tool box; the posts stand on the box and end inside the rail.
    const double railY = 2.22 + 0.32, railZ = 1.32;
    for (double x : {-0.68, 0.12, 0.92})
        cylinder(w, {x, 2.221, railZ}, {x, railY, railZ}, 0.02, sides(6, 0.02, detail), OpenAtBoth);
    cylinder(w, {-0.70, railY, railZ}, {0.94, railY, railZ}, 0.022, sides(6, 0.022, detail));
}

void bodyworkMain(ObjWriter& w, const Detail& detail)
{
    w.beginGroup(groupName("bodyworkMain", detail), "koparkaYellow");
    const Frame model = frameAt({0, 0, 0});
    // Engine hood behind the cab, sloping down at its front edge.
    prism(w, model, {{-2.28, 1.45}, {-0.80, 1.45}, {-0.80, 2.18}, {-0.98, 2.40}, {-2.28, 2.40}}, -1.40, 1.40);
    // Tank and tool box on the right front, clear of the boom cylinders.
    prism(w, model, {{-0.78, 1.45}, {1.06, 1.45}, {1.06, 2.05}, {0.90, 2.22}, {-0.78, 2.22}}, 0.46, 1.40);
    // Boom foot: two plates on either side of the boom root.
    for (double z : {kArmZ - 0.25, kArmZ + 0.20})
        prism(w, model, {{-0.30, 1.45}, {0.70, 1.45}, {0.46, 1.95}, {0.219, 2.19}, {-0.02, 2.12}, {-0.30, 1.75}}, z,
              z + 0.05);
    // Exhaust pipe and air intake on the hood.
    cylinder(w, {-1.55, 2.40, 0.95}, {-1.55, 2.78, 0.95}, 0.06, sides(10, 0.06, detail), OpenAtP0);
    box(w, {-2.05, 2.40, -1.10}, {-1.55, 2.52, -0.70});
}

void bodyworkBack(ObjWriter& w)
{
    w.beginGroup("bodyworkBack", "koparkaYellow");
    Frame up;
    up.ey = Vector3(0, 0, -1);
    up.ez = Vector3(0, 1, 0);
    // Counterweight, rounded at the back (profile in x and -z, extruded up).
    std::vector<P2> profile = {{-2.30, 1.40}, {-2.30, -1.40}};
    for (int i = 0; i <= 10; ++i) {
        const double phi = -0.5 * kPi + kPi * i / 10;
        profile.push_back({-2.44 - 0.31 * std::cos(phi), 1.40 * std::sin(phi)});
    }
    prism(w, up, profile, 1.24, 2.32, true);
}

// Cab on the left front: walls of plates so that its inside is seen from the driver's eye.
const double kCabX0 = -0.75, kCabX1 = 1.05, kCabZ0 = -1.42, kCabZ1 = -0.47;
const double kCabFloor = 1.45, kCabSill = 1.90, kCabHead = 2.90, kCabTop = 3.0;

void cabin(ObjWriter& w)
{
    w.beginGroup("cabin", "koparkaYellow");
    const double t = 0.04, g = 0.002;  // wall thickness; gap so that no two plates share a corner
    box(w, {kCabX0, kCabFloor, kCabZ0}, {kCabX1, kCabFloor + 0.05, kCabZ1});
    box(w, {kCabX1 - t, kCabFloor + 0.05 + g, kCabZ0}, {kCabX1, kCabSill, kCabZ1});
    box(w, {kCabX0, kCabFloor + 0.05 + g, kCabZ0}, {kCabX0 + t, kCabSill, kCabZ1});
    box(w, {kCabX0 + t + g, kCabFloor + 0.05 + g, kCabZ0}, {kCabX1 - t - g, kCabSill, kCabZ0 + t});
    box(w, {kCabX0 + t + g, kCabFloor + 0.05 + g, kCabZ1 - t}, {kCabX1 - t - g, kCabSill, kCabZ1});
    box(w, {kCabX0 - 0.02, kCabHead, kCabZ0 - 0.02}, {kCabX1 + 0.06, kCabTop, kCabZ1 + 0.02});
    // Corner posts and a door post on the left side.
    const double p = 0.06;
    for (double x : {kCabX0 + g, kCabX1 - p - g})
        for (double z : {kCabZ0 + g, kCabZ1 - p - g}) box(w, {x, kCabSill + g, z}, {x + p, kCabHead - g, z + p});
    box(w, {0.05, kCabSill + g, kCabZ0 + g}, {0.05 + p, kCabHead - g, kCabZ0 + g + p});
    // Seat and control consoles inside: no sunlight through the cab that meets them reaches the
    // ground, so they cast no shadow of their own.
    w.beginGroup("cabinInside", "koparkaYellow");
    box(w, {-0.42, kCabFloor + 0.05 + g, -1.13}, {0.02, 1.95, -0.67});
    box(w, {-0.52, 1.95 + g, -1.12}, {-0.40, 2.45, -0.68});
    box(w, {-0.30, kCabFloor + 0.05 + g, -1.33}, {0.35, 1.98, -1.19});
    box(w, {-0.30, kCabFloor + 0.05 + g, -0.61}, {0.35, 1.98, -0.53});
}

void cabinGlass(ObjWriter& w)
{
    w.beginGroup("cabinGlass", "koparkaGlass");
    const double i = 0.02, y0 = kCabSill, y1 = kCabHead;
    // Single panes: the glass is drawn with face culling off.
    w.addQuad({kCabX1 - i, y0, kCabZ0 + i}, {kCabX1 - i, y0, kCabZ1 - i}, {kCabX1 - i, y1, kCabZ1 - i},
              {kCabX1 - i, y1, kCabZ0 + i});
    w.addQuad({kCabX0 + i, y0, kCabZ1 - i}, {kCabX0 + i, y0, kCabZ0 + i}, {kCabX0 + i, y1, kCabZ0 + i},
              {kCabX0 + i, y1, kCabZ1 - i});
    w.addQuad({kCabX0 + i, y0, kCabZ0 + i}, {kCabX1 - i, y0, kCabZ0 + i}, {kCabX1 - i, y1, kCabZ0 + i},
              {kCabX0 + i, y1, kCabZ0 + i});
    w.addQuad({kCabX1 - i, y0, kCabZ1 - i}, {kCabX0 + i, y0, kCabZ1 - i}, {kCabX0 + i, y1, kCabZ1 - i},
              {kCabX1 - i, y1, kCabZ1 - i});
}

// ---- Arm --------------------------------------------------------------------------------------------

void monoblock(ObjWriter& w, const Detail& detail)
{
    w.beginGroup(groupName("monoblock", detail), "koparkaYellow");
    const P2 knee{3.30, 2.80};
    const Frame model = frameAt({0, 0, 0});
    prism(w, model, beamProfile({xy(kMonoblockPivot), knee, xy(kBendingArmPivot)}, {0.20, 0.30, 0.17}), -0.22, 0.12);
    // Pin bosses at the root and the arm end, and the lug of the arm cylinder on the top.
    cylinder(w, {kMonoblockPivot.x, kMonoblockPivot.y, -0.245}, {kMonoblockPivot.x, kMonoblockPivot.y, 0.145}, 0.12,
             sides(14, 0.12, detail));
    cylinder(w, {kBendingArmPivot.x, kBendingArmPivot.y, -0.245}, {kBendingArmPivot.x, kBendingArmPivot.y, 0.145},
             0.11, sides(14, 0.11, detail));
    roundPlate(w, {3.45, 2.98}, xy(kArmServoPivot), 0.10, kArmZ - 0.13, kArmZ + 0.13, arcs(0.10, detail));
    // Pin through the boom for the boom cylinder rods.
    const P2 rodEye = xy(kMonoServoPivot) + restDirection(kMonoServoRest) * kMonoServoLength;
    cylinder(w, {rodEye.x, rodEye.y, kMonoServoZ - 0.628 - 0.09}, {rodEye.x, rodEye.y, kMonoServoZ + 0.09}, 0.04,
             sides(10, 0.04, detail));
}

// Points of the bending arm given along its line from p5 towards p6 (u) and across it (v, towards
// the bucket cylinder side).
P2 onArm(double u, double v)
{
    const P2 p5 = xy(kBendingArmPivot), a = unit2(xy(kGroundPlatePivot) - p5);
    return p5 + a * u + leftOf(a) * v;
}

void bendingArm(ObjWriter& w, const Detail& detail)
{
    w.beginGroup(groupName("bendingArm", detail), "koparkaYellow");
    const double arm = len2(xy(kGroundPlatePivot) - xy(kBendingArmPivot));
    std::vector<P2> profile;
    for (P2 uv : std::vector<P2>{{-1.06, 0.17}, {-0.93, 0.40}, {-0.35, 0.37}, {0.40, 0.28}, {2.30, 0.15},
                                 {arm + 0.05, 0.10}, {arm + 0.12, 0.0}, {arm + 0.05, -0.10}, {arm - 0.05, -0.12},
                                 {2.30, -0.13}, {0.30, -0.24}, {-0.10, -0.26}, {-0.40, -0.22}, {-0.72, -0.06}})
        profile.push_back(onArm(uv.x, uv.y));
    prism(w, frameAt({0, 0, 0}), profile, -0.22, 0.12);
    // Lug of the bucket cylinder and the boss of the bucket pin.
    const P2 c = xy(kPlateServoPivot);
    roundPlate(w, onArm(0.25, 0.22), c, 0.10, kArmZ - 0.10, kArmZ + 0.10, arcs(0.10, detail));
    cylinder(w, {kGroundPlatePivot.x, kGroundPlatePivot.y, -0.245},
             {kGroundPlatePivot.x, kGroundPlatePivot.y, 0.145}, 0.085, sides(12, 0.085, detail));
    cylinder(w, {kBendingArmPivot.x, kBendingArmPivot.y, -0.235}, {kBendingArmPivot.x, kBendingArmPivot.y, 0.135},
             0.13, sides(14, 0.13, detail));
}

// Offset of a polyline to its left by t, with mitred corners.
std::vector<P2> offsetLeft(const std::vector<P2>& line, double t)
{
    const int n = static_cast<int>(line.size());
    std::vector<P2> out;
    for (int i = 0; i < n; ++i) {
        if (i == 0 || i == n - 1) {
            const P2 d = i == 0 ? unit2(line[1] - line[0]) : unit2(line[i] - line[i - 1]);
            out.push_back(line[i] + leftOf(d) * t);
            continue;
        }
        const P2 n1 = leftOf(unit2(line[i] - line[i - 1])), n2 = leftOf(unit2(line[i + 1] - line[i]));
        const P2 m = unit2(n1 + n2);
        out.push_back(line[i] + m * (t / (m.x * n1.x + m.y * n1.y)));
    }
    return out;
}

// The bucket drawn as a shell on its outline, open at b6-b7-b8: the curved plate from the tip
// round the back to b6, two side plates, teeth on the cutting edge and the ears for the pins.
void groundPlate(ObjWriter& w)
{
    w.beginGroup("groundPlate", "koparkaBucket");
    const std::vector<P2> b = bucketProfile();
    const std::vector<P2> chain = {b[8], b[0], b[1], b[2], b[3], b[4], b[5], b[6]};
    const std::vector<P2> inner = offsetLeft(chain, 0.035);  // the profile runs counter-clockwise
    std::vector<P2> band(chain);
    for (int i = static_cast<int>(inner.size()) - 1; i >= 0; --i) band.push_back(inner[i]);
    const Frame model = frameAt({0, 0, 0});
    prism(w, model, band, kBucketZ0 + 0.01, kBucketZ1 - 0.01);
    prism(w, model, b, kBucketZ0, kBucketZ0 + 0.03);
    prism(w, model, b, kBucketZ1 - 0.03, kBucketZ1);
    // Teeth along the cutting edge, pointing along the lip.
    const double beta = lipSlope();
    const P2 d{std::cos(beta), std::sin(beta)}, n = leftOf(d);
    const P2 tip = xy(kTip);
    for (int k = 0; k < 5; ++k) {
        const double z = 0.05 + (k - 2) * 0.17;
        prism(w, model, {tip - d * 0.10 + n * 0.03, tip - d * 0.10 - n * 0.04, tip + d * 0.07 - n * 0.012,
                         tip + d * 0.07 + n * 0.012},
              z - 0.035, z + 0.035);
    }
    // The lip: a wear plate under the cutting edge's last 30 cm, thicker
    // than the shell, across the whole width.
    prism(w, model, {tip, tip - d * 0.30, tip - d * 0.30 + n * 0.03, tip + n * 0.02}, kBucketZ0, kBucketZ1);
    // Side cutters: the side plates' front edges thickened from the tip up
    // the mouth, and a rim bar along the mouth's back edge.
    const P2 mouthBack = b[6], mouthTop = b[7];
    auto strip = [](P2 from, P2 to, double half) {
        const P2 m = leftOf(unit2(to - from)) * half;
        return std::vector<P2>{from + m, from - m, to - m, to + m};
    };
    for (double z : {kBucketZ0 - 0.015, kBucketZ1 - 0.015}) {
        prism(w, model, strip(tip, mouthTop, 0.035), z, z + 0.03);
        prism(w, model, strip(mouthTop, mouthBack, 0.035), z, z + 0.03);
    }
    prism(w, model, {mouthBack + P2{-0.05, -0.02}, mouthBack + P2{0.03, -0.02}, mouthBack + P2{0.03, 0.06},
                     mouthBack + P2{-0.05, 0.06}},
          kBucketZ0, kBucketZ1);
    // Ears carrying the bucket pin and the link pin.
    for (double z : {kArmZ - 0.23, kArmZ + 0.19})
        prism(w, model, {{3.33, 0.37}, {4.12, 0.37}, {4.08, 0.56}, {3.92, 0.60}, {3.46, 0.63}, {3.33, 0.55}}, z, z + 0.04);
}

// One hydraulic cylinder, modelled at rest along u from its fixed pivot: the barrel ("Outer") from
// the pivot, the rod ("Inner") ending at the pivot + restLength·u. reversed puts the barrel at the
// rod eye's far side instead (the bucket cylinder hangs from the arm and pushes back towards J).
void hydraulicCylinder(ObjWriter& w, const std::string& name, const Vector3& pivot, double restDegrees,
                       double restLength, double piece, double barrelRadius, bool reversed, const Detail& detail)
{
    const P2 u2 = restDirection(restDegrees);
    const Vector3 u = Vector3(u2.x, u2.y, 0) * (reversed ? -1.0 : 1.0);
    const double eye = 0.07, rodRadius = barrelRadius * 0.55, gland = barrelRadius + 0.015;
    w.beginGroup(groupName(name + "Outer", detail), "koparkaYellow");
    // Barrel from just past its eye to the gland (along the direction the rod leaves it), open
    // where the gland's face closes it.
    cylinder(w, pivot + u * (eye * 0.6), pivot + u * (piece - 0.06), barrelRadius, sides(14, barrelRadius, detail),
             OpenAtP1);
    cylinder(w, pivot + u * (piece - 0.06), pivot + u * piece, gland, sides(14, gland, detail));
    const Vector3 across(0, 0, barrelRadius + 0.01);
    cylinder(w, pivot - across, pivot + across, eye, sides(16, eye, detail));
    w.beginGroup(groupName(name + "Inner", detail), "koparkaSteel");
    const Vector3 end = pivot + u * restLength;
    // The rod's inner end never leaves the barrel.
    cylinder(w, end - u * (piece - eye), end - u * (eye * 0.6), rodRadius, sides(12, rodRadius, detail), OpenAtP0);
    cylinder(w, end - Vector3(0, 0, rodRadius + 0.02), end + Vector3(0, 0, rodRadius + 0.02), eye * 0.8,
             sides(16, eye * 0.8, detail));
}

void cylinders(ObjWriter& w, const Detail& detail)
{
    const Vector3 monoPivot(kMonoServoPivot.x, kMonoServoPivot.y, kMonoServoZ);
    hydraulicCylinder(w, "monoblockServo", monoPivot, kMonoServoRest, kMonoServoLength, kMonoServoPiece, 0.085, false,
                      detail);
    hydraulicCylinder(w, "bendingArmServo", kArmServoPivot, kArmServoRest, kArmServoLength, kArmServoPiece, 0.09,
                      false, detail);
    hydraulicCylinder(w, "groundPlateServo", kPlateServoPivot, kPlateServoRest, kPlateServoLength, kPlateServoPiece,
                      0.075, true, detail);
}

// The two bucket links: plate pairs from their pivot to the joint J with the rod eye.
void bracket(ObjWriter& w, const char* name, const Vector3& pivot, double plateOffset, double plateRadius,
             double pinRadius, const Detail& detail)
{
    w.beginGroup(groupName(name, detail), "koparkaDark");
    for (double s : {-1.0, 1.0}) {
        const double z = kArmZ + s * plateOffset;
        roundPlate(w, xy(pivot), xy(kLinkJoint), plateRadius, z - 0.015, z + 0.015, arcs(plateRadius, detail));
    }
    const double reach = plateOffset + 0.03;
    for (const Vector3& p : {pivot, kLinkJoint})
        cylinder(w, {p.x, p.y, kArmZ - reach}, {p.x, p.y, kArmZ + reach}, pinRadius, sides(10, pinRadius, detail));
}

}  // namespace

const char* const koparkaTextureFile = "koparka.bmp";

Image koparkaTexture()
{
    Image image(8, 8);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) image.set(x, y, 255, 255, 255);
    return image;
}

void buildKoparka(ObjWriter& w)
{
    addMaterials(w);
    outlines(w);
    // The parts with round pieces at each detail.
    const auto roundParts = [&w](const Detail& detail) {
        slewingRing(w, detail);
        trackRollers(w, "leftTrackRollers", -1.0, detail);
        trackRollers(w, "rightTrackRollers", 1.0, detail);
        driveWheel(w, "leftDriveWheel", -1.0, detail);
        idlerWheel(w, "leftIdlerWheel", -1.0, detail);
        driveWheel(w, "rightDriveWheel", 1.0, detail);
        idlerWheel(w, "rightIdlerWheel", 1.0, detail);
        bodyworkBottom(w, detail);
        bodyworkMain(w, detail);
        monoblock(w, detail);
        bendingArm(w, detail);
        cylinders(w, detail);
        bracket(w, "bendingArmBracket", kArmBracketPivot, 0.26, 0.065, 0.034, detail);
        bracket(w, "groundPlateBracket", kPlateBracketPivot, 0.155, 0.06, 0.030, detail);
    };
    platform(w);
    roundParts(kDetails[0]);
    trackJoist(w, "leftTrackJoist", -1.0);
    trackJoist(w, "rightTrackJoist", 1.0);
    trackElement(w);
    bodyworkBack(w);
    cabin(w);
    cabinGlass(w);
    groundPlate(w);
    roundParts(kDetails[1]);
    roundParts(kDetails[2]);
}
