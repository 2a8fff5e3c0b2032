#pragma once
// Image lists made from the executable's icon resources.

#include <span>

#include "common/handles.h"

namespace ui {

// A list of size x size 32-bit images, image i taken from icon resource iconIds[i] at the
// size nearest to size. An icon that cannot be loaded leaves its place empty.
common::UniqueHImageList LoadIconList(std::span<const int> iconIds, int size);

}  // namespace ui
