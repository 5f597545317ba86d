#include "assets/ModelLoader.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "base/Fatal.h"
#include "base/Log.h"
#include "assets/PatternMatcher.h"

namespace {

// Lines are read into a 512-character buffer: 511 characters and the end.
constexpr size_t kMaxLine = 511;

const char* const kMtllib = "['mtllib'] [?]";
const char* const kVertex = "['v'] [float] [float] [float]";
const char* const kTexCoord = "['vt'] [float] [float] [float]";
const char* const kNormal = "['vn'] [float] [float] [float]";
const char* const kSmoothing = "['s'] [int]";
const char* const kGroup = "['g'] [?]";
const char* const kUseMaterial = "['usemtl'] [?]";
const char* const kFace =
    " ['f'] [int]['/'][int]['/'][int] [int]['/'][int]['/'][int] [int]['/'][int]['/'][int] ]";

const char* const kNewMaterial = "['newmtl'] [?]";
const char* const kAmbient = "['Ka'] [float] [float] [float]";
const char* const kDiffuse = "['Kd'] [float] [float] [float]";
const char* const kSpecular = "['Ks'] [float] [float] [float]";
const char* const kAlpha = "['d'] [float]";
const char* const kShininess = "['Ns'] [float]";
const char* const kTexture = "['map_Kd'] [?]";

// Each pattern compiled once per file rather than once per line: a model
// has thousands of lines.
class PatternCache {
public:
    const std::vector<PatternElement>& operator()(const char* pattern)
    {
        auto at = kept.find(pattern);
        if (at == kept.end()) {
            at = kept.emplace(pattern, std::vector<PatternElement>()).first;
            compilePattern(pattern, at->second);
        }
        return at->second;
    }

private:
    std::map<const char*, std::vector<PatternElement>> kept;
};

// Where a fault is: the file and, while reading, the line number.
struct Place {
    const std::string& path;
    int line = 0;
};

[[noreturn]] void fail(const Place& place, const std::string& fault)
{
    std::string text = "[ModelLoader] " + place.path;
    if (place.line > 0)
        text += ":" + std::to_string(place.line);
    throwFatal(text + ": " + fault);
}

// One line without its end (LF or CR LF); false at the end of the file.
bool readLine(std::istream& in, std::string& line, Place& place)
{
    if (!std::getline(in, line))
        return false;
    ++place.line;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.size() > kMaxLine)
        fail(place, "line longer than " + std::to_string(kMaxLine) + " characters");
    if (line.find('\0') != std::string::npos)
        fail(place, "NUL character in line (not a text file?)");
    return true;
}

// Drops a comment: the first '#' and everything after it.
void cutComment(std::string& line)
{
    const size_t hash = line.find('#');
    if (hash != std::string::npos)
        line.erase(hash);
}

// The matcher only lets digits, a sign and a point through, so conversion
// fails only when the value does not fit.
double toDouble(const char* text, const Place& place)
{
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(value))
        fail(place, "malformed number '" + std::string(text) + "'");
    return value;  // underflow to zero or a subnormal is fine
}

int toInt(const char* text, const Place& place)
{
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || value < INT_MIN || value > INT_MAX)
        fail(place, "malformed number '" + std::string(text) + "'");
    return static_cast<int>(value);
}

Vector3 toVector(const LineMatch& m, const Place& place)
{
    return {toDouble(m[1], place), toDouble(m[2], place), toDouble(m[3], place)};
}

// A 1-based index into one of the current file's lists.
const Vector3& pick(const std::vector<Vector3>& list, const char* text, const char* what, const Place& place)
{
    const int index = toInt(text, place);
    if (index < 1 || static_cast<size_t>(index) > list.size())
        fail(place, std::string("face names ") + what + " " + text + ", but the file has " +
                        std::to_string(list.size()) + " so far");
    return list[static_cast<size_t>(index) - 1];
}

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string firstWord(const std::string& line)
{
    size_t first = 0;
    while (first < line.size() && isSpace(line[first]))
        ++first;
    size_t last = first;
    while (last < line.size() && !isSpace(line[last]))
        ++last;
    return line.substr(first, last - first);
}

// What a line of that keyword must look like, for the error message.
std::string patternFor(const std::string& keyword)
{
    if (keyword == "f")
        return "'f v/t/n v/t/n v/t/n' (three corners, whole numbers)";
    return "'" + keyword + " x.x y.y z.z' (three numbers with a decimal point)";
}

void setColour(float colour[4], const Vector3& rgb)
{
    colour[0] = static_cast<float>(rgb.x);
    colour[1] = static_cast<float>(rgb.y);
    colour[2] = static_cast<float>(rgb.z);
}

} // namespace

const ModelLoader& ModelLoader::forData(const std::string& directory)
{
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<ModelLoader>> folders;  // read-only once made
    std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<ModelLoader>& models = folders[directory];
    if (!models) {
        auto read = std::make_unique<ModelLoader>();
        read->directory = directory;
        read->loadFile("scene.obj");
        read->loadFile("koparka.obj");
        models = std::move(read);  // a fault leaves none, and is met again next time
    }
    return *models;
}

void ModelLoader::reset()
{
    groups.clear();
    materials.clear();
    positions.clear();
    normals.clear();
    texCoords.clear();
    smoothingGroup = 0;
    filesRead.clear();
}

void ModelLoader::loadFile(const std::string& fileName)
{
    const std::string path = directory + fileName;
    Place place{path};
    std::ifstream in(path);
    if (!in)
        fail(place, "model file not found");
    filesRead.push_back(path);

    positions.clear();
    normals.clear();
    texCoords.clear();
    smoothingGroup = 0;

    // Faces and usemtl belong to a group of this file, never to the last
    // group of an earlier one.
    bool groupInFile = false;
    std::string line;
    PatternCache compiled;
    while (readLine(in, line, place)) {
        cutComment(line);
        if (line.empty())
            continue;
        LineMatch m;
        auto matches = [&](const char* pattern) { return static_cast<bool>(m = matchLine(compiled(pattern), line.c_str())); };

        if (matches(kMtllib)) {
            loadMaterialFile(m[1], path + ":" + std::to_string(place.line));
        } else if (matches(kVertex)) {
            positions.push_back(toVector(m, place));
        } else if (matches(kTexCoord)) {
            texCoords.push_back(toVector(m, place));
        } else if (matches(kNormal)) {
            const Vector3 n = toVector(m, place);
            const double l = length(n);
            if (!(l > 0.0) || !std::isfinite(l))
                fail(place, "normal of zero or unbounded length");
            normals.push_back(n / l);
        } else if (matches(kSmoothing)) {
            smoothingGroup = toInt(m[1], place);
        } else if (matches(kGroup)) {
            groups.push_back(ModelGroup{m[1], std::string(), {}});
            groupInFile = true;
        } else if (matches(kUseMaterial)) {
            if (!groupInFile)
                fail(place, "usemtl before the first group (g)");
            groups.back().materialName = m[1];
        } else if (matches(kFace)) {
            if (!groupInFile)
                fail(place, "face before the first group (g)");
            ModelFace face;
            // Slots per corner: v, '/', t, '/', n after the keyword in slot 0.
            for (int k = 0; k < 3; ++k) {
                const int slot = 1 + 5 * k;
                face.positions[k] = pick(positions, m[slot], "position", place);
                face.texCoords[k] = pick(texCoords, m[slot + 2], "texture coordinate", place);
                face.normals[k] = pick(normals, m[slot + 4], "normal", place);
            }
            face.smoothingGroup = smoothingGroup;
            groups.back().faces.push_back(face);
        }
        else if (const std::string keyword = firstWord(line);
                 keyword == "v" || keyword == "vt" || keyword == "vn" || keyword == "f") {
            // Skipped, it would shift every later index; stop where the fault is.
            fail(place, "'" + keyword + "' line does not read as " + patternFor(keyword) + ": " + line);
        }
        // Any other line is not ours to read.
    }
    if (in.bad())
        fail(place, "read error");
}

void ModelLoader::loadMaterialFile(const std::string& fileName, const std::string& namedBy)
{
    const std::string path = directory + fileName;
    Place place{path};
    std::ifstream in(path);
    if (!in)
        throwFatal("[ModelLoader] " + namedBy + ": material library " + path + " not found");

    std::string line;
    PatternCache compiled;
    while (readLine(in, line, place)) {
        // Trimmed first, then cut at '#': a blank before a comment stays.
        size_t first = 0, last = line.size();
        while (first < last && isSpace(line[first]))
            ++first;
        while (last > first && isSpace(line[last - 1]))
            --last;
        line = line.substr(first, last - first);
        cutComment(line);
        if (line.empty())
            continue;
        LineMatch m;
        auto matches = [&](const char* pattern) { return static_cast<bool>(m = matchLine(compiled(pattern), line.c_str())); };

        if (matches(kNewMaterial)) {
            Material material;
            material.name = m[1];
            materials.push_back(material);
            continue;
        }

        Material* current = materials.empty() ? nullptr : &materials.back();
        auto target = [&]() -> Material& {
            if (current == nullptr)
                fail(place, "material property before the first newmtl");
            return *current;
        };
        if (matches(kAmbient)) {
            setColour(target().ambient, toVector(m, place));
        } else if (matches(kDiffuse)) {
            setColour(target().diffuse, toVector(m, place));
        } else if (matches(kSpecular)) {
            setColour(target().specular, toVector(m, place));
        } else if (matches(kAlpha)) {
            const float alpha = static_cast<float>(toDouble(m[1], place));
            Material& material = target();
            material.ambient[3] = material.diffuse[3] = material.specular[3] = alpha;
        } else if (matches(kShininess)) {
            const double value = toDouble(m[1], place);
            target().shininess = static_cast<float>(value * 1.28);
        } else if (matches(kTexture)) {
            target().textureFile = m[1];
        }
    }
    if (in.bad())
        fail(place, "read error");
}

Mesh ModelLoader::getMesh(const std::string& groupName, bool smooth) const
{
    logMessage(("[ModelLoader] loading mesh: " + groupName).c_str());

    const ModelGroup* group = nullptr;
    for (const ModelGroup& g : groups) {
        if (g.name == groupName) {
            group = &g;
            break;
        }
    }
    if (group == nullptr) {
        std::string read;
        for (const std::string& f : filesRead)
            read += (read.empty() ? "" : ", ") + f;
        throwFatal("[ModelLoader] no model group named '" + groupName + "' in the files read (" +
                   (read.empty() ? "none" : read) + ")");
    }

    const Material* material = nullptr;
    if (!group->materialName.empty()) {
        for (const Material& m : materials) {
            if (m.name == group->materialName) {
                material = &m;
                break;
            }
        }
        if (material == nullptr)
            throwFatal("[ModelLoader] group '" + groupName + "' uses material '" + group->materialName +
                       "', which no material library defines");
    }

    Mesh mesh;
    for (const ModelFace& f : group->faces)
        mesh.addTriangle(f.positions[0], f.positions[1], f.positions[2], f.texCoords[0], f.texCoords[1],
                         f.texCoords[2], f.smoothingGroup);
    if (material != nullptr)
        mesh.material = *material;

    if (smooth) {
        // Sum of the face normals per (vertex, smoothing group), in triangle
        // order; a triangle counts once per vertex even if degenerate.
        std::map<std::pair<int32_t, int32_t>, Vector3> sums;
        for (const MeshTriangle& t : mesh.triangles) {
            for (int k = 0; k < 3; ++k) {
                const int32_t v = t.vertices[k];
                if ((k > 0 && t.vertices[0] == v) || (k > 1 && t.vertices[1] == v))
                    continue;
                sums[{v, t.smoothingGroup}] += t.normal;
            }
        }
        for (auto& entry : sums)
            normalize(entry.second);
        for (MeshTriangle& t : mesh.triangles)
            for (int k = 0; k < 3; ++k)
                t.cornerNormals[k] = sums[{t.vertices[k], t.smoothingGroup}];
    }
    return mesh;
}
