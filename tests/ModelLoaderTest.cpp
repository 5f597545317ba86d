#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "TestFiles.h"
#include "TestShapes.h"
#include "assets/ModelLoader.h"

using testfiles::fatalText;
using testfiles::writeText;

namespace {

class ModelLoaderTest : public ::testing::Test {
protected:
    void SetUp() override { loader.directory = dir = testfiles::scratchDir("models"); }
    void TearDown() override { std::filesystem::remove_all(dir); }
    // Writes the file and reads it; returns the fatal text, "" on success.
    std::string load(const std::string& name, const std::string& text)
    {
        writeText(dir + name, text);
        return fatalText([&] { loader.loadFile(name); });
    }
    const ModelGroup& group(size_t i) const { return loader.getGroups().at(i); }

    ModelLoader loader;
    std::string dir;
};

// A tagged error that names each of the parts.
void expectError(const std::string& error, std::initializer_list<std::string> parts)
{
    EXPECT_EQ(error.rfind("[ModelLoader] ", 0), 0u) << error;
    for (const std::string& part : parts)
        EXPECT_NE(error.find(part), std::string::npos) << part << " in: " << error;
}

void expectColour(const float* c, float r, float g, float b, float a) { EXPECT_EQ(std::vector<float>(c, c + 4), (std::vector<float>{r, g, b, a})); }

// Corners (0,0,0), (1,0,0), (0,1,0), (0,0,1); three texture coordinates; one normal.
const std::string kCorners = "v 0.0 0.0 0.0\nv 1.0 0.0 0.0\nv 0.0 1.0 0.0\nv 0.0 0.0 1.0\n"
                             "vt 0.0 0.0 0.0\nvt 1.0 0.0 0.0\nvt 0.0 1.0 0.0\nvn 0.0 0.0 1.0\n";

} // namespace

TEST_F(ModelLoaderTest, ReadsGroupsFacesAndMaterialsAndSkipsTheRest)
{
    writeText(dir + "parts.mtl", "# materials\nnewmtl steel\nKa 0.1 0.2 0.3\nKd 1.0 0.0 0.0\nKs 0.5 0.5 0.5\n"
                                 "d 0.5\nNs 50.0\nmap_Kd steel.bmp\nillum 2\n\n"
                                 "newmtl glass\n   Kd 0.0 0.0 1.0   \r\nKd 1.0 1.0 1.0 # white\nNs 10\n");
    ASSERT_EQ(load("parts.obj", "mtllib parts.mtl\no object\nv 1.0 -2.5 3.0\nv 4.0 5.0 6.0\nv 7.0 8.0 9.5\n"
                                "vt 0.1 0.2 0.0\nvt 0.3 0.4 0.0\nvn 0.0 0.0 2.0\nvn 3.0 4.0 0.0\n"
                                "g a b\ng boom\nusemtl glass\nusemtl steel\ns 4\nf 3/2/1 1/1/2 2/2/1\n"
                                "s -3\r\ns off\nl 1 2\nf 1/1/1 2/2/2 3/1/2\n   \t\n"
                                "g cabin# driver's cab\nf 2/2/2 3/2/2 1/1/1\n"
                                "g other # comment after a blank\nf 2/2/2 3/2/2 1/1/1\n"),
              "");
    ASSERT_EQ(loader.getGroups().size(), 2u);
    const ModelGroup& boom = group(0);
    ASSERT_TRUE(boom.name == "boom" && boom.materialName == "steel" && boom.faces.size() == 2u);  // the last usemtl wins
    const ModelFace& f = boom.faces[0];
    const Vector3 want[3][3] = {{{7, 8, 9.5}, {1, -2.5, 3}, {4, 5, 6}},
                                {{0.3, 0.4, 0}, {0.1, 0.2, 0}, {0.3, 0.4, 0}},
                                {{0, 0, 1}, {0.6, 0.8, 0}, {0, 0, 1}}};  // normals normalised on reading
    for (int k = 0; k < 3; ++k) {
        expectNear(f.positions[k], want[0][k]);
        expectNear(f.texCoords[k], want[1][k]);
        expectNear(f.normals[k], want[2][k]);
    }
    EXPECT_TRUE(f.smoothingGroup == 4 && boom.faces[1].smoothingGroup == -3);  // "s off" leaves it
    EXPECT_TRUE(group(1).name == "cabin" && group(1).faces.size() == 2u);  // "g other ..." is no group line

    ASSERT_EQ(loader.getMaterials().size(), 2u);
    const Material& steel = loader.getMaterials()[0];
    expectColour(steel.ambient, 0.1f, 0.2f, 0.3f, 0.5f);
    expectColour(steel.diffuse, 1, 0, 0, 0.5f);
    expectColour(steel.specular, 0.5f, 0.5f, 0.5f, 0.5f);
    EXPECT_TRUE(steel.shininess == 64.0f && steel.textureFile == "steel.bmp") << steel.shininess << steel.textureFile;
    const Material& glass = loader.getMaterials()[1];
    expectColour(glass.diffuse, 0, 0, 1, 0);
    expectColour(glass.ambient, 0, 0, 0, 0);  // omitted: zero
    EXPECT_EQ(glass.shininess, 0.0f);         // "Ns 10" is no float, and the blank before '#' stays

    // Each file has its own coordinates, smoothing group and last group.
    ASSERT_EQ(load("second.obj", "v 10.0 0.0 0.0\nv 11.0 0.0 0.0\nv 10.0 1.0 0.0\nvt 0.5 0.5 0.0\nvn 0.0 0.0 -1.0\n"
                                 "g second\nf 1/1/1 2/1/1 3/1/1\n"),
              "");
    expectNear(group(2).faces[0].positions[0], {10, 0, 0});
    EXPECT_EQ(group(2).faces[0].smoothingGroup, 0);
    expectError(load("third.obj", "f 1/1/1 2/1/1 3/1/1\n"), {"third.obj:1: face before the first group"});
    EXPECT_EQ(group(2).faces.size(), 1u);
    expectError(load("fourth.obj", "g t\nf 1/1/1 2/1/1 3/1/1\n"), {"fourth.obj:2: ", "position 1"});
}

TEST_F(ModelLoaderTest, BuildsMeshesWithMaterialAndSmoothedNormals)
{
    writeText(dir + "m.mtl", "newmtl red\nKd 1.0 0.0 0.0\nNs 100.0\nmap_Kd red.bmp\n");
    // Two triangles folded by 90 degrees along the edge (0,0,0)-(1,0,0): normals +z and +y.
    const std::string pair = "f 1/1/1 2/2/1 3/1/1\n" + std::string("f 2/2/1 1/1/1 4/1/1\n");
    ASSERT_EQ(load("fold.obj", "mtllib m.mtl\n" + kCorners + "g fold\nusemtl red\ns 1\n" + pair +
                                   "g hinge\ns 1\nf 1/1/1 2/2/1 3/1/1\ns 2\nf 2/2/1 1/1/1 4/1/1\n"
                                   "g bare\nf 1/1/1 2/2/1 3/1/1\ng fold\nf 1/1/1 2/2/1 3/1/1\n"),
              "");
    const Mesh flat = loader.getMesh("fold", false);
    ASSERT_TRUE(flat.triangles.size() == 2u && flat.positions.size() == 4u);  // a later namesake is ignored
    EXPECT_TRUE(flat.material.name == "red" && flat.material.shininess == 128.0f && flat.material.textureFile == "red.bmp");
    expectNear(flat.triangles[1].texCoords[0], {1, 0, 0});
    for (const MeshTriangle& t : flat.triangles)
        for (const Vector3& n : t.cornerNormals)
            expectNear(n, {}, 0);  // no averaging asked

    // The hinge vertices average both faces; the others, and other smoothing groups, keep their own.
    const double h = std::sqrt(0.5);
    const Mesh smooth = loader.getMesh("fold", true), hinge = loader.getMesh("hinge", true);
    for (int t = 0; t < 2; ++t)
        for (int k = 0; k < 3; ++k) {
            expectNear(smooth.triangles[t].cornerNormals[k], k < 2 ? Vector3(0, h, h) : Vector3(0, double(t), double(1 - t)));
            expectNear(hinge.triangles[t].cornerNormals[k], {0, double(t), double(1 - t)});
        }
    expectColour(loader.getMesh("bare", false).material.diffuse, 0, 0, 0, 0);  // without usemtl: the zero material
}

TEST_F(ModelLoaderTest, BadFilesStopWithFileLineAndFault)
{
    expectError(fatalText([&] { loader.loadFile("absent.obj"); }), {dir + "absent.obj", "not found"});
    expectError(load("lib.obj", "v 0.0 0.0 0.0\nmtllib nowhere.mtl\n"), {dir + "nowhere.mtl", "lib.obj:2"});
    ASSERT_EQ(load("one.obj", kCorners + "g one\nusemtl ghost\nf 1/1/1 2/2/1 3/3/1\n"), "");
    expectError(fatalText([&] { loader.getMesh("two", true); }), {"no model group named 'two'", dir + "one.obj"});
    expectError(fatalText([&] { loader.getMesh("one", true); }), {"'ghost'"});

    const std::string huge = std::string(400, '9') + ".0";  // matches [float], overflows a double
    const std::string g = kCorners + "g x\n";                // faces below are on line 10
    const struct {
        std::string text;
        int line;
        const char* fault;
        bool library;  // text is the MTL file that "mtllib bad.mtl" names
    } cases[] = {
        {"v " + huge + " 0.0 0.0\n", 1, "malformed number", false},
        {g + "f 1/1/1 2/2/1 4294967297/3/1\n", 10, "malformed number", false},
        {g + "f 1/1/1 2/2/1 5/3/1\n", 10, "position 5", false},
        {g + "f 1/1/1 2/2/2 3/3/1\n", 10, "normal 2", false},
        {g + "f -1/1/1 2/2/1 3/3/1\n", 10, "position -1", false},
        {"vn 0.0 0.0 0.0\n", 1, "normal", false},
        // A coordinate or face line that reads as nothing would shift every later index.
        {"v 100000 0.089 1.513\n", 1, "'v' line does not read", false},
        {g + "f 1//1 2//1 3//1\n", 10, "'f' line", false},
        {"v 1.0 2.0 3.0\n# " + std::string(510, 'x') + "\n", 2, "longer than 511", false},
        {std::string("v 1.0 2.0 3.0\ng x\0y\n", 19), 2, "NUL", false},
        {"# lib\nKa 0.1 0.1 0.1\nnewmtl a\n", 2, "before the first newmtl", true},
        {"newmtl a\nKd 1.0 " + huge + " 0.0\n", 2, "malformed number", true},
    };
    for (const auto& c : cases) {
        loader.reset();
        if (c.library)
            writeText(dir + "bad.mtl", c.text);
        const std::string error = c.library ? load("uses.obj", "mtllib bad.mtl\n") : load("bad.obj", c.text);
        const std::string where = dir + (c.library ? "bad.mtl:" : "bad.obj:") + std::to_string(c.line) + ": ";
        EXPECT_EQ(error.rfind("[ModelLoader] " + where, 0), 0u) << c.text << ": " << error;
        expectError(error, {c.fault});
    }
    loader.reset();  // a line of exactly 511 characters is still read
    EXPECT_EQ(load("edge.obj", "g " + std::string(509, 'n') + "\n"), "");
}
