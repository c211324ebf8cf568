#pragma once
// Shared vocabulary of the view toolkit: the graphics layer's geometry under
// the toolkit's names, edge insets and the autoresizing and content modes.
#include <cmath>

#include "platform/graphics/Geometry.h"

namespace ui {

using gfx::AffineTransform;
using gfx::Color;
using gfx::Point;
using gfx::Rect;
using gfx::Size;

struct EdgeInsets {
  float top = 0, left = 0, bottom = 0, right = 0;
  bool operator==(const EdgeInsets&) const = default;
};

inline Rect insetRect(const Rect& r, const EdgeInsets& in) {
  return {r.x + in.left, r.y + in.top, r.width - in.left - in.right, r.height - in.top - in.bottom};
}
inline Rect insetRect(const Rect& r, float dx, float dy) { return {r.x + dx, r.y + dy, r.width - 2 * dx, r.height - 2 * dy}; }
inline Point rectCenter(const Rect& r) { return {r.x + r.width / 2, r.y + r.height / 2}; }
inline float distance(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

// Flags of how a view follows its superview's size changes.
enum Autoresizing : unsigned {
  AutoresizingNone = 0,
  FlexibleLeftMargin = 1 << 0,
  FlexibleWidth = 1 << 1,
  FlexibleRightMargin = 1 << 2,
  FlexibleTopMargin = 1 << 3,
  FlexibleHeight = 1 << 4,
  FlexibleBottomMargin = 1 << 5,
  FlexibleAll = 63,
};

// How an image view (or a view's cached drawing) fills its bounds.
enum class ContentMode {
  ScaleToFill,
  ScaleAspectFit,
  ScaleAspectFill,
  Redraw,
  Center,
  Top,
  Bottom,
  Left,
  Right,
  TopLeft,
  TopRight,
  BottomLeft,
  BottomRight,
};

// Where a button's picture and title sit across its width.
enum class ContentHorizontalAlignment { Center, Left, Right };

// Where a picture of the given size lands inside bounds under a content mode.
Rect contentRect(ContentMode mode, const Rect& bounds, Size content);

}  // namespace ui
