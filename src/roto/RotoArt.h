#pragma once
// The rotoscoping screen's pictures, drawn by the program at the screen's
// scale: record, play, trim, export and close buttons, the timeline's handle
// and indicator ("rotoscroping_trim_limited@2x.png").
#include <string>
#include <vector>

#include "platform/graphics/Image.h"
#include "platform/ui/Picture.h"

namespace roto_art {

// Lets the shared image cache answer for these pictures (the screen takes the
// timeline's mark from it); called once at start-up.
void registerWithImageCache();
// The picture of that name at the main screen's scale, drawn on first use and
// kept until memory runs low; empty for a name the screen does not know. A
// name with "@2x" asks for the same picture (the scale is the screen's).
ui::Picture named(const std::string& name);
// The picture drawn at a given scale (1 or 2), not cached.
gfx::Image draw(const std::string& name, float scale);
std::vector<std::string> names();
void purge();

}  // namespace roto_art
