#pragma once
#include "tools/datagen/ObjWriter.h"
// Writes every group of the excavator model into w (materials included).
void buildKoparka(ObjWriter& w);
