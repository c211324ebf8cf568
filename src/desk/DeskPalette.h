#pragma once
// The colours every picture the desk draws is made of: walnut panels, brass
// edges, cream paper, ink and one accent.
#include "platform/graphics/Context.h"

namespace desk_palette {

constexpr gfx::Color kWood{0.42f, 0.27f, 0.15f, 1};
constexpr gfx::Color kWoodLight{0.58f, 0.4f, 0.24f, 1};
constexpr gfx::Color kWoodDark{0.25f, 0.15f, 0.08f, 1};
constexpr gfx::Color kBrass{0.86f, 0.7f, 0.38f, 1};
constexpr gfx::Color kPaper{0.99f, 0.97f, 0.91f, 1};
constexpr gfx::Color kInk{0.16f, 0.13f, 0.11f, 1};
constexpr gfx::Color kAccent{0.86f, 0.36f, 0.16f, 1};

}  // namespace desk_palette
