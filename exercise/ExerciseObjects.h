#pragma once

#include <memory>
#include <vector>

#include "assets/Material.h"
#include "exercise/Exercise.h"
#include "exercise/TruckFaults.h"

class ModelLoader;
class Object;
class Terrain;

// The static bodies an exercise adds to the world, built by hand: closed
// boxes that stand on the ground and reach a little into it, so that they
// stand on a slope too. The caller owns them (World::addScenery).

// The hopper: four walls round its footprint, `wallHeight` above the
// ground's highest point under it.
std::unique_ptr<Object> makeHopper(const HopperTarget& hopper, const Terrain& terrain, const Material& material);
// A marker post, its top `height` above the ground at its middle.
std::unique_ptr<Object> makePost(const MarkerPost& post, double width, const Terrain& terrain,
                                 const Material& material);
// The truck of "truck.obj" (read by `model`): its cab, body and chassis as
// static bodies, the middle of its body at the target's place on the ground
// there, turned to its heading; its outlines and heights into `shape`.
std::vector<std::unique_ptr<Object>> makeTruck(const TruckTarget& truck, const ModelLoader& model,
                                               const Terrain& terrain, TruckShape& shape);
// The height of the ground at (x, z) as it was built; 0 off the terrain.
double initialGround(const Terrain& terrain, double x, double z);
