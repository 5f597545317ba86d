#pragma once
#include "tools/datagen/BmpWriter.h"
#include "tools/datagen/ObjWriter.h"
// Writes every group of the excavator model into w (materials included).
void buildKoparka(ObjWriter& w);
// The plain white texture every excavator material names (koparkaTextureFile). Each part's display
// list then binds a texture of its own, so none left bound by the scenery tints the machine.
extern const char* const koparkaTextureFile;
Image koparkaTexture();
