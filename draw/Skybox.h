#pragma once

#include <string>

// A textured cube of side 800 around the eye, compiled once; the scene
// turns it with the camera's yaw and pitch only.
class Skybox {
public:
    // Loads directory + "sky_*.bmp"; needs a current GL context.
    explicit Skybox(const std::string& directory = "data/");
    virtual ~Skybox() = default;

    static constexpr double kHalfSide = 400.0;

    // The cube with its sides cut at height `lowest` (in its own units,
    // -400 to 400) and the floor left out above -400: the part of the sky
    // the ground is known to hide. The textures' environment is the caller's.
    void draw(double lowest) const;

    unsigned int displayList = 0;  // the whole cube
    unsigned int textures[6] = {};  // by face: front, right, back, left, floor, top
};
