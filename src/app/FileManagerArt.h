#pragma once
// The file-manager panel's pictures, drawn by the program in the desk's
// palette at the screen's scale and kept by name ("name@2x.png" asks for the
// same picture): the backdrop with its walnut plate, the tabs, the project
// and package cards, the buttons of its action bars and the combination's
// order badge.
#include <string>
#include <vector>

#include "platform/graphics/Image.h"
#include "platform/ui/Picture.h"

namespace file_art {

// Sizes the panel lays its pictures out at, in points.
inline constexpr float kCardWidth = 120, kCardHeight = 118;
inline constexpr float kButtonWidth = 136, kButtonHeight = 32;
inline constexpr float kTabWidth = 108, kTabHeight = 26;
inline constexpr float kBadgeSize = 26;
// The backdrop's walnut plate, between the top bar and the bottom buttons.
inline constexpr float kPlateTop = 34, kPlateBottomMargin = 46;

// The picture of that name at the main screen's scale; empty when unknown.
ui::Picture named(const std::string& name);
// The same drawn at a given scale, not cached.
gfx::Image draw(const std::string& name, float scale);
std::vector<std::string> names();

}  // namespace file_art
