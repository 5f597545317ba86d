#include "draw/SoilBedView.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "terrain/SoilBed.h"

namespace {

constexpr double kLift = 0.01;  // m over the floor, which has its own face there

}  // namespace

std::vector<Vector3> soilBedSurface(const SoilBed& bed)
{
    const double r = bed.headingDegrees * M_PI / 180.0, ux = std::cos(r), uz = -std::sin(r);
    const double da = bed.length / bed.cellsAlong, dc = bed.width / bed.cellsAcross;
    // The outer rows stand at the walls; the inner ones at the cells' middles.
    const auto offset = [](int k, int cells, double size, double spacing) {
        return k == 0 ? -size / 2 : k == cells + 1 ? size / 2 : -size / 2 + (k - 0.5) * spacing;
    };
    std::vector<Vector3> points;
    for (int i = 0; i <= bed.cellsAlong + 1; ++i)
        for (int j = 0; j <= bed.cellsAcross + 1; ++j) {
            const double a = offset(i, bed.cellsAlong, bed.length, da);
            const double c = offset(j, bed.cellsAcross, bed.width, dc);
            const int cell = std::clamp(i - 1, 0, bed.cellsAlong - 1) * bed.cellsAcross +
                             std::clamp(j - 1, 0, bed.cellsAcross - 1);
            points.emplace_back(bed.x + a * ux - c * uz, bedSurface(bed, cell), bed.z + a * uz + c * ux);
        }
    return points;
}

void drawSoilBeds(const std::vector<SoilBed>& beds, unsigned int soilTexture)
{
    glBindTexture(GL_TEXTURE_2D, soilTexture);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    for (const SoilBed& bed : beds) {
        const std::vector<Vector3> p = soilBedSurface(bed);
        const int rows = bed.cellsAlong + 2, cols = bed.cellsAcross + 2;
        const auto at = [&](int i, int j) { return p[std::clamp(i, 0, rows - 1) * cols + std::clamp(j, 0, cols - 1)]; };
        const auto vertex = [&](int i, int j) {
            Vector3 n = cross(at(i, j + 1) - at(i, j - 1), at(i + 1, j) - at(i - 1, j));
            normalize(n);
            if (n.y < 0.0)
                n = -n;
            const Vector3& v = at(i, j);
            glNormal3d(n.x, n.y, n.z);
            glTexCoord2d(v.x * 0.5, v.z * 0.5);
            glVertex3d(v.x, v.y + kLift, v.z);
        };
        glBegin(GL_TRIANGLES);
        for (int i = 0; i + 1 < rows; ++i)
            for (int j = 0; j + 1 < cols; ++j) {
                const double top = std::max({at(i, j).y, at(i + 1, j).y, at(i, j + 1).y, at(i + 1, j + 1).y});
                if (top <= bed.floorY)
                    continue;  // bare floor
                static const int corners[6][2] = {{0, 0}, {1, 1}, {1, 0}, {0, 0}, {0, 1}, {1, 1}};  // upwards
                for (const auto& c : corners)
                    vertex(i + c[0], j + c[1]);
            }
        glEnd();
    }
}
