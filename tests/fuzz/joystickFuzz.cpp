// A saved joystick assignment; one that reads must read back the same
// once written again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "input/JoystickAssignment.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<SavedAxis> axes, back;
    std::string error;
    if (!readAssignment(in, "fuzz.cfg", axes, error)) {
        if (error.find('\n') != std::string::npos)
            std::abort();
        return 0;
    }
    std::stringstream written;
    writeAssignment(written, axes);
    if (!readAssignment(written, "fuzz.cfg", back, error) || back.size() != axes.size())
        std::abort();
    for (size_t i = 0; i < axes.size(); ++i)
        if (back[i].movement != axes[i].movement || back[i].joystick != axes[i].joystick || back[i].axis != axes[i].axis)
            std::abort();
    return 0;
}
