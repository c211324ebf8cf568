#pragma once
// The stamp tool's pictures, drawn by the program: its frame, window and
// handles, the command buttons in their two states, the nine built-in shape
// masks, the pack-list pictures and the grid's frame. They stand in the
// bundle, so the named-image cache finds them by their resource names.
#include <string>
#include <vector>

#include "platform/graphics/Image.h"

namespace stamp_art {

// The picture of that name drawn at the scale (1 or 2); empty for a name the
// stamp tool does not draw.
gfx::Image draw(const std::string& name, float scale);
// Every name drawn here, for checks that none is missing.
std::vector<std::string> names();
// The built-in shapes, in the order the grid shows them.
std::vector<std::string> shapeNames();

}  // namespace stamp_art
