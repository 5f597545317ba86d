// datagen <out-dir>: writes every model, image and heightmap the simulator reads.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "tools/datagen/DataSet.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: datagen <out-dir>\n");
        return 2;
    }
    try {
        std::error_code error;
        std::filesystem::create_directories(argv[1], error);
        if (error) {
            std::fprintf(stderr, "[datagen] Couldn't create \"%s\": %s\n", argv[1], error.message().c_str());
            return 1;
        }
        writeDataSet(std::string(argv[1]) + "/");
    } catch (const char* message) {
        std::fprintf(stderr, "%s\n", message);
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "[datagen] %s\n", e.what());
        return 1;
    }
    return 0;
}
