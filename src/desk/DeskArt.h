#pragma once
// The desk's interface pictures, drawn by the program at the screen's scale
// and kept by name: buttons, strips and bars, tool images, the paint can and
// its mask, the eraser ring, the paper, the page indicator, the palette.
#include <string>
#include <vector>

#include "platform/graphics/Image.h"
#include "platform/ui/Picture.h"

namespace desk_art {

// The picture of that name at the main screen's scale, drawn on first use;
// empty for a name the desk does not know.
ui::Picture named(const std::string& name);
// The same picture drawn at a given scale (1 or 2), not cached.
gfx::Image draw(const std::string& name, float scale);
// Every name the desk draws, for checks that none is missing.
std::vector<std::string> names();
// Drops the cached pictures (low memory, a new screen scale).
void purge();

}  // namespace desk_art
