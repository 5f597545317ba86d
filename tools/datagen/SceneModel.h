#pragma once
#include "tools/datagen/ObjWriter.h"

// Where the machine's slew axis stands at rest; scenery keeps clear of its reach.
constexpr double startAxisX = 3.12, startAxisZ = -2.13;
constexpr double sceneryClearance = 8.6;
constexpr double forestBottom = 9.75, forestTop = 10.25;

// Every group of "scene.obj": the wall, three rocks, three forest volumes and the soil clod.
void buildSceneModel(ObjWriter& writer);
