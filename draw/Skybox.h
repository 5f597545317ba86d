#pragma once

#include <string>

// A textured cube of side 800 around the eye, compiled once; the scene
// turns it with the camera's yaw and pitch only.
class Skybox {
public:
    // Loads directory + "sky_*.bmp"; needs a current GL context.
    explicit Skybox(const std::string& directory = "data/");
    virtual ~Skybox() = default;

    unsigned int displayList = 0;
};
