#pragma once
// The sound track's pictures (the track bar, its cursor, the record, add and
// stop buttons, the tag bars in their long, short and selected looks, the tag's
// delete button and the single-sound button), drawn by the program at the
// screen's scale and kept by name.
#include <string>
#include <vector>

#include "platform/graphics/Image.h"
#include "platform/ui/Picture.h"

namespace sound_art {

// The picture of that name at the main screen's scale; empty for an unknown name.
ui::Picture named(const std::string& name);
// The same picture drawn at scale 1 or 2, not cached.
gfx::Image draw(const std::string& name, float scale);
std::vector<std::string> names();

}  // namespace sound_art
