#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "assets/ModelLoader.h"
#include "TestFiles.h"

using testfiles::fatalText;
using testfiles::writeText;

namespace {

class ModelLoaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = testfiles::scratchDir("models");
        loader.reset();
        loader.directory = dir;
    }
    void TearDown() override
    {
        loader.reset();
        loader.directory = "data/";
        std::filesystem::remove_all(dir);
    }

    // Writes the file and reads it; returns the fatal text, "" on success.
    std::string load(const std::string& name, const std::string& text)
    {
        writeText(dir + name, text);
        return fatalText([&] { loader.loadFile(name); });
    }

    const ModelGroup& group(size_t i) const { return loader.getGroups().at(i); }

    ModelLoader& loader = ModelLoader::getInstance();
    std::string dir;
};

// A tagged error that names each of the parts.
void expectError(const std::string& error, std::initializer_list<std::string> parts)
{
    EXPECT_EQ(error.rfind("[ModelLoader] ", 0), 0u) << error;
    for (const std::string& part : parts)
        EXPECT_NE(error.find(part), std::string::npos) << part << " in: " << error;
}

void expectVec(const Vector3& v, double x, double y, double z)
{
    EXPECT_DOUBLE_EQ(v.x, x);
    EXPECT_DOUBLE_EQ(v.y, y);
    EXPECT_DOUBLE_EQ(v.z, z);
}

void expectColour(const float* c, float r, float g, float b, float a)
{
    EXPECT_FLOAT_EQ(c[0], r);
    EXPECT_FLOAT_EQ(c[1], g);
    EXPECT_FLOAT_EQ(c[2], b);
    EXPECT_FLOAT_EQ(c[3], a);
}

const char* const kTriangle =
    "v 0.000000 0.000000 0.000000\n"
    "v 1.000000 0.000000 0.000000\n"
    "v 0.000000 1.000000 0.000000\n"
    "vt 0.000000 0.000000 0.000000\n"
    "vt 1.000000 0.000000 0.000000\n"
    "vt 0.000000 1.000000 0.000000\n"
    "vn 0.000000 0.000000 1.000000\n";

} // namespace

TEST_F(ModelLoaderTest, ReadsGroupsFacesAndMaterials)
{
    writeText(dir + "parts.mtl",
              "# materials\n"
              "newmtl steel\n"
              "Ka 0.100000 0.200000 0.300000\n"
              "Kd 1.000000 0.000000 0.000000\n"
              "Ks 0.500000 0.500000 0.500000\n"
              "d 0.500000\n"
              "Ns 50.000000\n"
              "map_Kd steel.bmp\n"
              "\n"
              "newmtl glass\n"
              "   Kd 0.000000 0.000000 1.000000   \r\n");  // trimmed, CR LF
    ASSERT_EQ(load("parts.obj", "mtllib parts.mtl\n"
                                "v 1.000000 -2.500000 3.000000\n"
                                "v 4.000000 5.000000 6.000000\n"
                                "v 7.000000 8.000000 9.500000\n"
                                "vt 0.100000 0.200000 0.000000\n"
                                "vt 0.300000 0.400000 0.000000\n"
                                "vn 0.000000 0.000000 2.000000\n"
                                "vn 3.000000 4.000000 0.000000\n"
                                "g boom\n"
                                "usemtl glass\n"
                                "usemtl steel\n"
                                "s 4\n"
                                "f 3/2/1 1/1/2 2/2/1\n"
                                "s -3\r\n"
                                "f 1/1/1 2/2/2 3/1/2\n"
                                "g cabin# driver's cab\n"
                                "f 2/2/2 3/2/2 1/1/1\n"),
              "");

    ASSERT_EQ(loader.getGroups().size(), 2u);
    const ModelGroup& boom = group(0);
    EXPECT_EQ(boom.name, "boom");
    EXPECT_EQ(boom.materialName, "steel");  // the last usemtl wins
    ASSERT_EQ(boom.faces.size(), 2u);
    const ModelFace& f = boom.faces[0];
    expectVec(f.positions[0], 7, 8, 9.5);
    expectVec(f.positions[1], 1, -2.5, 3);
    expectVec(f.positions[2], 4, 5, 6);
    expectVec(f.texCoords[0], 0.3, 0.4, 0);
    expectVec(f.texCoords[1], 0.1, 0.2, 0);
    expectVec(f.normals[0], 0, 0, 1);  // normalised on reading
    expectVec(f.normals[1], 0.6, 0.8, 0);
    EXPECT_EQ(f.smoothingGroup, 4);
    EXPECT_EQ(boom.faces[1].smoothingGroup, -3);
    EXPECT_EQ(group(1).name, "cabin");
    EXPECT_EQ(group(1).materialName, "");
    EXPECT_EQ(group(1).faces.size(), 1u);
    EXPECT_EQ(group(1).faces[0].smoothingGroup, -3);

    ASSERT_EQ(loader.getMaterials().size(), 2u);
    const Material& steel = loader.getMaterials()[0];
    EXPECT_EQ(steel.name, "steel");
    expectColour(steel.ambient, 0.1f, 0.2f, 0.3f, 0.5f);
    expectColour(steel.diffuse, 1, 0, 0, 0.5f);
    expectColour(steel.specular, 0.5f, 0.5f, 0.5f, 0.5f);
    EXPECT_FLOAT_EQ(steel.shininess, 64.0f);
    EXPECT_EQ(steel.textureFile, "steel.bmp");
    const Material& glass = loader.getMaterials()[1];
    expectColour(glass.diffuse, 0, 0, 1, 0);
    expectColour(glass.ambient, 0, 0, 0, 0);  // omitted: zero
    EXPECT_EQ(glass.textureFile, "");
}

TEST_F(ModelLoaderTest, SkipsLinesOutsideTheSubset)
{
    writeText(dir + "m.mtl", "newmtl a\n"
                             "Kd 0.500000 0.500000 0.500000\n"
                             "Kd 1.000000 1.000000 1.000000 # white\n"  // blank before '#' stays
                             "Ns 10\n"                                  // not a float
                             "illum 2\n");
    ASSERT_EQ(load("skip.obj", "# comment only\n"
                               "mtllib m.mtl\n"
                               "o object\n"
                               "v 0.000000 0.000000 0.000000\n"
                               "v 1.000000 0.000000 0.000000\n"
                               "v 0.000000 1.000000 0.000000\n"
                               "vt 0.250000 0.750000 0.000000\n"
                               "vn 0.000000 1.000000 0.000000\n"
                               "g a b\n"
                               "g solid\n"
                               "s 2\n"
                               "s off\n"  // leaves smoothing group 2
                               "usemtl a\n"
                               "f 1/1/1 2/1/1 3/1/1\n"
                               "l 1 2\n"
                               "g other # comment after a blank\n"
                               "f 3/1/1 2/1/1 1/1/1\n"
                               "   \t\n"
                               "\n"),
              "");
    ASSERT_EQ(loader.getGroups().size(), 1u);
    const ModelGroup& g = group(0);
    EXPECT_EQ(g.name, "solid");
    EXPECT_EQ(g.materialName, "a");
    ASSERT_EQ(g.faces.size(), 2u);  // the line after "g other ..." still goes to solid
    expectVec(g.faces[0].positions[1], 1, 0, 0);
    expectVec(g.faces[0].positions[2], 0, 1, 0);
    expectVec(g.faces[0].texCoords[0], 0.25, 0.75, 0);
    expectVec(g.faces[1].positions[0], 0, 1, 0);
    EXPECT_EQ(g.faces[0].smoothingGroup, 2);

    ASSERT_EQ(loader.getMaterials().size(), 1u);
    expectColour(loader.getMaterials()[0].diffuse, 0.5f, 0.5f, 0.5f, 0);
    EXPECT_FLOAT_EQ(loader.getMaterials()[0].shininess, 0.0f);
}

TEST_F(ModelLoaderTest, EachFileHasItsOwnCoordinates)
{
    ASSERT_EQ(load("first.obj", std::string(kTriangle) + "s 5\ng first\nf 1/1/1 2/2/1 3/3/1\n"), "");
    ASSERT_EQ(load("second.obj", "v 10.000000 0.000000 0.000000\n"
                                 "v 11.000000 0.000000 0.000000\n"
                                 "v 10.000000 1.000000 0.000000\n"
                                 "vt 0.500000 0.500000 0.000000\n"
                                 "vn 0.000000 0.000000 -1.000000\n"
                                 "g second\n"
                                 "f 1/1/1 2/1/1 3/1/1\n"),
              "");
    ASSERT_EQ(loader.getGroups().size(), 2u);
    expectVec(group(1).faces[0].positions[0], 10, 0, 0);  // the second file's first v
    EXPECT_EQ(group(1).faces[0].smoothingGroup, 0);        // reset per file
    expectVec(group(0).faces[0].positions[0], 0, 0, 0);   // the first file's copy stays
    EXPECT_EQ(group(0).faces[0].smoothingGroup, 5);

    // The second file's coordinates are gone with it: a third file cannot use them.
    expectError(load("third.obj", "g third\nf 1/1/1 2/1/1 3/1/1\n"), {"third.obj:2"});
}

TEST_F(ModelLoaderTest, BuildsMeshesWithMaterialAndSmoothedNormals)
{
    writeText(dir + "m.mtl", "newmtl red\nKd 1.000000 0.000000 0.000000\nNs 100.000000\nmap_Kd red.bmp\n");
    // Two triangles folded by 90 degrees along the edge (0,0,0)-(1,0,0):
    // one in the z = 0 plane (normal +z), one in the y = 0 plane (normal +y).
    const std::string fold = "v 0.000000 0.000000 0.000000\n"
                             "v 1.000000 0.000000 0.000000\n"
                             "v 0.000000 1.000000 0.000000\n"
                             "v 0.000000 0.000000 1.000000\n"
                             "vt 0.000000 0.000000 0.000000\n"
                             "vt 1.000000 0.000000 0.000000\n"
                             "vn 0.000000 0.000000 1.000000\n";
    ASSERT_EQ(load("fold.obj", "mtllib m.mtl\n" + fold +
                                   "g fold\nusemtl red\ns 1\n"
                                   "f 1/1/1 2/2/1 3/1/1\n"
                                   "f 2/2/1 1/1/1 4/1/1\n"
                                   "g hinge\ns 1\nf 1/1/1 2/2/1 3/1/1\ns 2\nf 2/2/1 1/1/1 4/1/1\n"
                                   "g bare\nf 1/1/1 2/2/1 3/1/1\n"
                                   "g fold\nf 1/1/1 2/2/1 3/1/1\n"),  // a later namesake is ignored
              "");

    Mesh flat = loader.getMesh("fold", false);
    ASSERT_EQ(flat.triangles.size(), 2u);
    EXPECT_EQ(flat.positions.size(), 4u);
    EXPECT_EQ(flat.material.name, "red");
    expectColour(flat.material.diffuse, 1, 0, 0, 0);
    EXPECT_FLOAT_EQ(flat.material.shininess, 128.0f);
    EXPECT_EQ(flat.material.textureFile, "red.bmp");
    EXPECT_EQ(flat.triangles[0].smoothingGroup, 1);
    expectVec(flat.triangles[1].texCoords[0], 1, 0, 0);
    for (const MeshTriangle& t : flat.triangles)
        for (const Vector3& n : t.cornerNormals)
            expectVec(n, 0, 0, 0);  // no averaging asked

    Mesh smooth = loader.getMesh("fold", true);
    const MeshTriangle& a = smooth.triangles[0];
    const MeshTriangle& b = smooth.triangles[1];
    expectVec(a.normal, 0, 0, 1);
    expectVec(b.normal, 0, 1, 0);
    const double h = std::sqrt(0.5);
    // The hinge vertices average both faces; the others keep their own.
    expectVec(a.cornerNormals[0], 0, h, h);
    expectVec(a.cornerNormals[1], 0, h, h);
    expectVec(a.cornerNormals[2], 0, 0, 1);
    expectVec(b.cornerNormals[0], 0, h, h);
    expectVec(b.cornerNormals[1], 0, h, h);
    expectVec(b.cornerNormals[2], 0, 1, 0);

    // Different smoothing groups are not averaged together.
    Mesh hinge = loader.getMesh("hinge", true);
    for (int k = 0; k < 3; ++k) {
        expectVec(hinge.triangles[0].cornerNormals[k], 0, 0, 1);
        expectVec(hinge.triangles[1].cornerNormals[k], 0, 1, 0);
    }

    // A group without usemtl gets the zero material.
    Mesh bare = loader.getMesh("bare", false);
    EXPECT_EQ(bare.triangles.size(), 1u);
    EXPECT_EQ(bare.material.name, "");
    expectColour(bare.material.diffuse, 0, 0, 0, 0);
}

TEST_F(ModelLoaderTest, MissingFilesNameTheFile)
{
    expectError(fatalText([&] { loader.loadFile("absent.obj"); }), {dir + "absent.obj", "not found"});
    expectError(load("lib.obj", "v 0.000000 0.000000 0.000000\nmtllib nowhere.mtl\n"),
                {dir + "nowhere.mtl", "lib.obj:2"});
    ASSERT_EQ(load("one.obj", std::string(kTriangle) + "g one\nusemtl ghost\nf 1/1/1 2/2/1 3/3/1\n"), "");
    expectError(fatalText([&] { loader.getMesh("two", true); }), {"no model group named 'two'", dir + "one.obj"});
    expectError(fatalText([&] { loader.getMesh("one", true); }), {"'ghost'"});
}

TEST_F(ModelLoaderTest, MalformedFilesStopWithFileLineAndFault)
{
    const std::string huge = std::string(400, '9') + ".0";  // matches [float], overflows a double
    struct Case {
        const char* what;
        std::string text;
        int line;
        const char* fault;
        bool library = false;  // text is the MTL file that "mtllib bad.mtl" names
    } cases[] = {
        {"overflowing float", "v " + huge + " 0.000000 0.000000\n", 1, "malformed number"},
        {"overflowing texture coordinate", "vt 0.000000 -" + huge + " 0.000000\n", 1, "malformed number"},
        {"overflowing smoothing group", "s 99999999999\n", 1, "malformed number"},
        {"overflowing index", std::string(kTriangle) + "g x\nf 1/1/1 2/2/1 4294967297/3/1\n", 9, "malformed number"},
        {"position past the end", std::string(kTriangle) + "g x\nf 1/1/1 2/2/1 4/3/1\n", 9, "position 4"},
        {"texture coordinate past the end", std::string(kTriangle) + "g x\nf 1/1/1 2/4/1 3/3/1\n", 9,
         "texture coordinate 4"},
        {"normal past the end", std::string(kTriangle) + "g x\nf 1/1/1 2/2/2 3/3/1\n", 9, "normal 2"},
        {"index zero", std::string(kTriangle) + "g x\nf 0/1/1 2/2/1 3/3/1\n", 9, "position 0"},
        {"relative index", std::string(kTriangle) + "g x\nf -1/1/1 2/2/1 3/3/1\n", 9, "position -1"},
        {"face before any group", std::string(kTriangle) + "f 1/1/1 2/2/1 3/3/1\n", 8, "before the first group"},
        {"usemtl before any group", "usemtl steel\ng x\n", 1, "before the first group"},
        {"zero normal", "vn 0.000000 0.000000 0.000000\n", 1, "normal"},
        // A coordinate or face line that reads as nothing would shift every later index.
        {"vertex of whole numbers", "v 100000 0.089 1.513\n", 1, "'v' line does not read"},
        {"vertex not a number", "v 0.000000 0.000000 0.000000\nv nan 0.0 0.0\n", 2, "'v' line does not read"},
        {"two-part texture coordinate", "vt 0.500000 0.500000\n", 1, "'vt' line does not read"},
        {"four-part normal", "vn 0.000000 1.000000 0.000000 1.000000\n", 1, "'vn' line does not read"},
        {"face without texture indices", std::string(kTriangle) + "g x\nf 1//1 2//1 3//1\n", 9, "'f' line"},
        {"quad face", std::string(kTriangle) + "g x\nf 1/1/1 2/2/1 3/3/1 1/1/1\n", 9, "'f' line"},
        {"line too long", "v 1.000000 2.000000 3.000000\n# " + std::string(510, 'x') + "\n", 2, "longer than 511"},
        {"binary content", std::string("v 1.0 2.0 3.0\ng x\0y\n", 19), 2, "NUL"},
        {"colour before newmtl", "# lib\nKa 0.100000 0.100000 0.100000\nnewmtl a\n", 2, "before the first newmtl", true},
        {"alpha before newmtl", "d 0.500000\n", 1, "before the first newmtl", true},
        {"shininess before newmtl", "Ns 10.000000\n", 1, "before the first newmtl", true},
        {"texture before newmtl", "map_Kd x.bmp\n", 1, "before the first newmtl", true},
        {"overflowing colour", "newmtl a\nKd 1.000000 " + huge + " 0.000000\n", 2, "malformed number", true},
    };
    for (const Case& c : cases) {
        loader.reset();
        if (c.library)
            writeText(dir + "bad.mtl", c.text);
        const std::string error = c.library ? load("uses.obj", "mtllib bad.mtl\n") : load("bad.obj", c.text);
        const std::string where = dir + (c.library ? "bad.mtl:" : "bad.obj:") + std::to_string(c.line) + ": ";
        EXPECT_EQ(error.rfind("[ModelLoader] " + where, 0), 0u) << c.what << ": " << error;
        expectError(error, {c.fault});
    }

    // A line of exactly 511 characters is still read.
    loader.reset();
    EXPECT_EQ(load("edge.obj", "g " + std::string(509, 'n') + "\n"), "");
    EXPECT_EQ(loader.getGroups().size(), 1u);

    // A face of a later file never lands in the last group of an earlier one.
    loader.reset();
    ASSERT_EQ(load("a.obj", "g a\n"), "");
    expectError(load("b.obj", std::string(kTriangle) + "f 1/1/1 2/2/1 3/3/1\n"), {"b.obj:8: face before the first group"});
    EXPECT_TRUE(group(0).faces.empty());
}
