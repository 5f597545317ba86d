#include "tools/datagen/ObjWriter.h"

#include <cstdio>
#include <fstream>

#include "base/Fatal.h"

namespace {

std::string number(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.9f", value);
    return text;
}

std::string vectorText(const char* keyword, const Vector3& v)
{
    return std::string(keyword) + " " + number(v.x) + " " + number(v.y) + " " + number(v.z);
}

}  // namespace

void ObjWriter::addMaterial(const ObjMaterial& m) { materials.push_back(m); }

void ObjWriter::beginGroup(const std::string& name, const std::string& material, int smoothing)
{
    if (name.empty() || name.find_first_of(" \t#") != std::string::npos)
        throwFatal("[ObjWriter] Group name \"" + name + "\" must be one word.");
    groups.push_back(Group{name, material, smoothing, smoothing, {}});
}

int ObjWriter::indexOf(const char* keyword, const Vector3& v, VectorLines& into)
{
    std::string line = vectorText(keyword, v);
    auto found = into.index.find(line);
    if (found != into.index.end()) return found->second;
    into.lines.push_back(line);
    const int index = static_cast<int>(into.lines.size());
    into.index.emplace(std::move(line), index);
    return index;
}

void ObjWriter::addTriangle(const Vector3& a, const Vector3& b, const Vector3& c, const Vector3& ta,
                            const Vector3& tb, const Vector3& tc)
{
    if (groups.empty()) throwFatal("[ObjWriter] Triangle before the first group.");
    // The loader computes its own face normals; this one only has to be a unit vector.
    Vector3 n = cross(c - b, a - b);
    n = length(n) > 0.0 ? normalized(n) : Vector3(0.0, 1.0, 0.0);
    const int ni = indexOf("vn", n, normals);
    const Vector3* corners[3] = {&a, &b, &c};
    const Vector3* uvs[3] = {&ta, &tb, &tc};
    std::string line = "f";
    for (int k = 0; k < 3; ++k) {
        const int vi = indexOf("v", *corners[k], positions);
        const int ti = indexOf("vt", *uvs[k], texCoords);
        line += " " + std::to_string(vi) + "/" + std::to_string(ti) + "/" + std::to_string(ni);
    }
    groups.back().faces += line + "\n";
}

void ObjWriter::setSmoothing(int smoothing)
{
    if (groups.empty()) throwFatal("[ObjWriter] Smoothing group before the first group.");
    Group& g = groups.back();
    if (g.current == smoothing) return;
    g.current = smoothing;
    g.faces += "s " + std::to_string(smoothing) + "\n";
}

void ObjWriter::addQuad(const Vector3& a, const Vector3& b, const Vector3& c, const Vector3& d)
{
    addTriangle(a, b, c, {0, 0, 0}, {1, 0, 0}, {1, 1, 0});
    addTriangle(a, c, d, {0, 0, 0}, {1, 1, 0}, {0, 1, 0});
}

std::string ObjWriter::objText(const std::string& mtlFileName) const
{
    for (const Group& g : groups) {
        bool known = g.material.empty();
        for (const ObjMaterial& m : materials) known = known || m.name == g.material;
        if (!known) throwFatal("[ObjWriter] Group \"" + g.name + "\" uses undefined material \"" + g.material + "\".");
    }
    std::string text = "mtllib " + mtlFileName + "\n";
    for (const auto* list : {&positions, &texCoords, &normals})
        for (const std::string& line : list->lines) text += line + "\n";
    for (const Group& g : groups) {
        text += "g " + g.name + "\n";
        if (!g.material.empty()) text += "usemtl " + g.material + "\n";
        text += "s " + std::to_string(g.smoothing) + "\n";
        text += g.faces;
    }
    return text;
}

std::string ObjWriter::mtlText() const
{
    std::string text;
    for (const ObjMaterial& m : materials) {
        text += "newmtl " + m.name + "\n";
        text += vectorText("Ka", m.ka) + "\n";
        text += vectorText("Kd", m.kd) + "\n";
        text += vectorText("Ks", m.ks) + "\n";
        text += "d " + number(m.d) + "\n";
        text += "Ns " + number(m.ns) + "\n";
        if (!m.texture.empty()) text += "map_Kd " + m.texture + "\n";
        text += "\n";
    }
    return text;
}

void writeTextFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) throwFatal("[datagen] Couldn't write \"" + path + "\".");
}
