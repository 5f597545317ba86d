#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestFiles.h"
#include "base/DataFolder.h"

// The working folder wins when it holds data/; else the executable's folder;
// else the error names both places (a file called data is no folder).
TEST(DataFolder, WorkingFolderFirstThenBesideTheProgram)
{
    const std::string root = testfiles::scratchDir("datafolder");
    const std::string with = root + "with", without = root + "without", fileOnly = root + "file";
    std::filesystem::create_directories(with + "/data");
    std::filesystem::create_directories(without);
    std::filesystem::create_directories(fileOnly);
    testfiles::writeText(fileOnly + "/data", "not a folder");
    struct Case {
        std::string working, executable, found;
    } cases[] = {
        {with, without, with},
        {with, with, with},
        {without, with, with},
        {fileOnly, with, with},
        {"", with, with},
    };
    for (const Case& c : cases)
        EXPECT_EQ(findDataFolder(c.working, c.executable), c.found) << c.working << " | " << c.executable;

    for (const std::string& exe : {without, fileOnly, std::string()}) {
        const std::string error = testfiles::fatalText([&] { findDataFolder(without, exe); });
        EXPECT_EQ(error.rfind("[Kelvarro] No data/ folder in the working folder " + without, 0), 0u) << error;
        EXPECT_EQ(error.find(" beside the program in " + exe) != std::string::npos, !exe.empty()) << error;
    }
}
