#pragma once
#include "tools/datagen/ObjWriter.h"

// "truck.obj": a dump truck in its own frame, x forward (the cab at +x),
// y up from the ground under it, z across. Three groups, each a closed
// solid of boxes that share no corner: "truckCab", "truckBed" (the open
// body: floor and four walls) and "truckChassis" (frame and wheels).
void buildTruck(ObjWriter& writer);
