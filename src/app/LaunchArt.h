#pragma once
// Pictures of the launch screen, drawn by the program: the paper behind
// everything and the carousel cards with their emblems.
#include "platform/graphics/Image.h"

namespace launch_art {

// The backdrop: a warm paper gradient with faint ruled lines.
gfx::Image backdrop(float width, float height, float scale);
// A card for a carousel entry (0 desk, 1 rotoscoping, 2 community).
gfx::Image card(int entry, float width, float height, float scale);
// A blank page, in the desk paper's colour, standing for a project that has
// no drawing yet.
gfx::Image blankPage(float width, float height, float scale);

}  // namespace launch_art
