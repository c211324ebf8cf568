#include "platform/ui/Types.h"

#include <algorithm>

namespace ui {

Rect contentRect(ContentMode mode, const Rect& b, Size s) {
  switch (mode) {
    case ContentMode::ScaleToFill:
    case ContentMode::Redraw: return b;
    case ContentMode::ScaleAspectFit:
    case ContentMode::ScaleAspectFill: {
      if (s.width <= 0 || s.height <= 0) return b;
      float kx = b.width / s.width, ky = b.height / s.height;
      float k = mode == ContentMode::ScaleAspectFit ? std::min(kx, ky) : std::max(kx, ky);
      float w = s.width * k, h = s.height * k;
      return {b.x + (b.width - w) / 2, b.y + (b.height - h) / 2, w, h};
    }
    default: break;
  }
  // The positioning modes keep the picture's size: a table of where it sits
  // along each axis (0 leading, 0.5 centred, 1 trailing).
  struct Place {
    ContentMode mode;
    float fx, fy;
  };
  static constexpr Place kPlaces[] = {
      {ContentMode::Center, 0.5f, 0.5f}, {ContentMode::Top, 0.5f, 0},       {ContentMode::Bottom, 0.5f, 1},
      {ContentMode::Left, 0, 0.5f},      {ContentMode::Right, 1, 0.5f},     {ContentMode::TopLeft, 0, 0},
      {ContentMode::TopRight, 1, 0},     {ContentMode::BottomLeft, 0, 1},   {ContentMode::BottomRight, 1, 1},
  };
  for (const Place& p : kPlaces)
    if (p.mode == mode)
      return {b.x + (b.width - s.width) * p.fx, b.y + (b.height - s.height) * p.fy, s.width, s.height};
  return b;
}

}  // namespace ui
