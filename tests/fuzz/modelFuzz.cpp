// The MTL file "f.mtl", a line "%%", then the OBJ file (all OBJ without it);
// every group read is then made into a mesh.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include <unistd.h>

#include "assets/ModelLoader.h"
#include "base/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string dir = "/tmp/kelvarro_fuzz_model_" + std::to_string(getpid()) + "/";
    static const bool made = system(("mkdir -p " + dir).c_str()) == 0;
    if (!made)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t split = text.find("%%\n");
    const bool both = split != std::string::npos && (split == 0 || text[split - 1] == '\n');
    std::ofstream(dir + "f.mtl", std::ios::binary) << (both ? text.substr(0, split) : "");
    std::ofstream(dir + "f.obj", std::ios::binary) << (both ? text.substr(split + 3) : text);
    ModelLoader loader;
    loader.directory = dir;
    try {
        loader.loadFile("f.obj");
        for (const ModelGroup& g : loader.getGroups()) {
            loader.getMesh(g.name, false);
            loader.getMesh(g.name, true);
        }
    } catch (const Error&) {
    }
    return 0;
}
