#include "tools/datagen/Shell.h"

#include <cmath>
#include <map>

double signedVolume(const Shell& shell)
{
    double volume = 0.0;
    for (const auto& f : shell.faces)
        volume += dot(shell.points[f[0]], cross(shell.points[f[1]], shell.points[f[2]])) / 6.0;
    return volume;
}

Vector3 shellMin(const Shell& shell)
{
    Vector3 m = shell.points.at(0);
    for (const Vector3& p : shell.points) m = {std::fmin(m.x, p.x), std::fmin(m.y, p.y), std::fmin(m.z, p.z)};
    return m;
}

Vector3 shellMax(const Shell& shell)
{
    Vector3 m = shell.points.at(0);
    for (const Vector3& p : shell.points) m = {std::fmax(m.x, p.x), std::fmax(m.y, p.y), std::fmax(m.z, p.z)};
    return m;
}

Shell makeBlob(int refinements, const std::function<double(const Vector3&)>& radius)
{
    const double t = (1.0 + std::sqrt(5.0)) / 2.0;
    std::vector<Vector3> dirs = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0}, {0, -1, t}, {0, 1, t},
                                 {0, -1, -t}, {0, 1, -t}, {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    for (Vector3& d : dirs) normalize(d);
    std::vector<std::array<int, 3>> faces = {
        {0, 11, 5}, {0, 5, 1}, {0, 1, 7}, {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
        {11, 10, 2}, {10, 7, 6}, {7, 1, 8}, {3, 9, 4}, {3, 4, 2}, {3, 2, 6}, {3, 6, 8},
        {3, 8, 9}, {4, 9, 5}, {2, 4, 11}, {6, 2, 10}, {8, 6, 7}, {9, 8, 1}};
    for (int level = 0; level < refinements; ++level) {
        std::map<std::pair<int, int>, int> middles;
        auto middle = [&](int a, int b) {
            const auto key = std::make_pair(std::min(a, b), std::max(a, b));
            auto found = middles.find(key);
            if (found != middles.end()) return found->second;
            dirs.push_back(normalized(dirs[a] + dirs[b]));
            const int index = static_cast<int>(dirs.size()) - 1;
            middles.emplace(key, index);
            return index;
        };
        std::vector<std::array<int, 3>> finer;
        for (const auto& f : faces) {
            const int ab = middle(f[0], f[1]), bc = middle(f[1], f[2]), ca = middle(f[2], f[0]);
            finer.push_back({f[0], ab, ca});
            finer.push_back({f[1], bc, ab});
            finer.push_back({f[2], ca, bc});
            finer.push_back({ab, bc, ca});
        }
        faces.swap(finer);
    }
    Shell shell;
    for (const Vector3& d : dirs) shell.addPoint(d * radius(d));
    shell.faces = faces;
    if (signedVolume(shell) < 0.0)
        for (auto& f : shell.faces) std::swap(f[1], f[2]);
    return shell;
}

Shell makePrism(const std::vector<std::array<double, 2>>& outline, double yBottom, double yTop)
{
    Shell shell;
    const int n = static_cast<int>(outline.size());
    double cx = 0.0, cz = 0.0;
    for (const auto& p : outline) {
        cx += p[0] / n;
        cz += p[1] / n;
    }
    for (const auto& p : outline) shell.addPoint({p[0], yBottom, p[1]});
    for (const auto& p : outline) shell.addPoint({p[0], yTop, p[1]});
    const int bottomCentre = shell.addPoint({cx, yBottom, cz});
    const int topCentre = shell.addPoint({cx, yTop, cz});
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        shell.addTriangle(topCentre, n + j, n + i);
        shell.addTriangle(bottomCentre, i, j);
        shell.addQuad(i, n + i, n + j, j);
    }
    if (signedVolume(shell) < 0.0)
        for (auto& f : shell.faces) std::swap(f[1], f[2]);
    return shell;
}

void writeShell(ObjWriter& writer, const Shell& shell, double uvSize)
{
    for (const auto& f : shell.faces) {
        const Vector3& a = shell.points[f[0]];
        const Vector3& b = shell.points[f[1]];
        const Vector3& c = shell.points[f[2]];
        const Vector3 n = cross(c - b, a - b);
        auto uv = [&](const Vector3& p) {
            const double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
            if (ay >= ax && ay >= az) return Vector3(p.x / uvSize, p.z / uvSize, 0.0);
            if (ax >= az) return Vector3(p.z / uvSize, -p.y / uvSize, 0.0);
            return Vector3(p.x / uvSize, -p.y / uvSize, 0.0);
        };
        writer.addTriangle(a, b, c, uv(a), uv(b), uv(c));
    }
}
