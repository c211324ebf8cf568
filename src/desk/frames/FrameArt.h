#pragma once
// The frame manager's pictures (backdrop, bars, player and paging buttons,
// papers, badges), drawn by the program at the screen's scale and kept by name.
#include <string>
#include <vector>

#include "platform/graphics/Image.h"
#include "platform/ui/Picture.h"

namespace frame_art {

// The picture of that name at the main screen's scale; empty for an unknown name.
ui::Picture named(const std::string& name);
// The same picture drawn at scale 1 or 2, not cached.
gfx::Image draw(const std::string& name, float scale);
std::vector<std::string> names();
void purge();

}  // namespace frame_art
