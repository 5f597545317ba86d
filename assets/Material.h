#pragma once

#include <string>

// Surface material read from an MTL file; copied into every mesh that uses it.
struct Material {
    std::string name;
    float ambient[4] = {0, 0, 0, 0};   // Ka, alpha from d
    float diffuse[4] = {0, 0, 0, 0};   // Kd, alpha from d
    float specular[4] = {0, 0, 0, 0};  // Ks, alpha from d
    float shininess = 0.0f;            // Ns × 1.28 (fixed-function exponent)
    std::string textureFile;           // map_Kd, empty if none
};
