// datagen <out-dir>: writes every model, image and heightmap the simulator reads.
#include <cstdio>
#include <filesystem>
#include <string>

#include "base/EntryPoint.h"
#include "tools/datagen/DataSet.h"

namespace {

int generate(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: datagen <out-dir>\n");
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(argv[1], error);
    if (error) {
        std::fprintf(stderr, "[datagen] Couldn't create \"%s\": %s\n", argv[1], error.message().c_str());
        return 1;
    }
    writeDataSet(std::string(argv[1]) + "/");
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    return runEntryPoint("datagen", [&] { return generate(argc, argv); });
}
