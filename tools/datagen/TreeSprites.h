#pragma once
#include "tools/datagen/BmpWriter.h"

constexpr int treeSpriteWidth = 128, treeSpriteHeight = 256;

// Tree sprite `kind` 0..2 ("tree01".."tree03"): a broadleaf tree, a spruce and
// a pine, standing on the bottom row; alpha 0 around the tree. Transparent
// pixels carry the crown's colour so filtering leaves no dark fringe.
Image makeTreeSprite(int kind);
