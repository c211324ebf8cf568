#pragma once
// Points, sizes, rectangles, affine transforms and colours with the phone's
// semantics, in single precision as its 32-bit CGFloat was.
#include <cstdint>

namespace gfx {

struct Size {
  float width = 0, height = 0;
  bool operator==(const Size&) const = default;
};
struct Point {
  float x = 0, y = 0;
  bool operator==(const Point&) const = default;
};
struct Rect {
  float x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;

  float minX() const { return width < 0 ? x + width : x; }
  float minY() const { return height < 0 ? y + height : y; }
  float maxX() const { return width < 0 ? x : x + width; }
  float maxY() const { return height < 0 ? y : y + height; }
  bool isEmpty() const { return width == 0 || height == 0; }
  // Same rectangle with non-negative width and height.
  Rect standardized() const { return {minX(), minY(), maxX() - minX(), maxY() - minY()}; }
  bool contains(Point p) const { return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY(); }
  // Empty (all zero) when the two do not overlap.
  Rect intersection(const Rect& o) const;
  Rect unionWith(const Rect& o) const;
};

// x' = a*x + c*y + tx, y' = b*x + d*y + ty. "Concat" keeps the phone's order:
// t1.concat(t2) applies t1 first, then t2; translated/scaled/rotated apply the
// new step first and then this transform (as CGAffineTransformTranslate does).
struct AffineTransform {
  float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
  bool operator==(const AffineTransform&) const = default;

  static AffineTransform identity() { return {}; }
  static AffineTransform makeTranslation(float x, float y) { return {1, 0, 0, 1, x, y}; }
  static AffineTransform makeScale(float sx, float sy) { return {sx, 0, 0, sy, 0, 0}; }
  static AffineTransform makeRotation(float radians);

  bool isIdentity() const { return *this == AffineTransform{}; }
  AffineTransform concat(const AffineTransform& then) const;
  AffineTransform translated(float x, float y) const { return makeTranslation(x, y).concat(*this); }
  AffineTransform scaled(float sx, float sy) const { return makeScale(sx, sy).concat(*this); }
  AffineTransform rotated(float radians) const { return makeRotation(radians).concat(*this); }
  // A singular transform is returned unchanged, as the phone does.
  AffineTransform inverted() const;

  Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
  // Sizes ignore the translation.
  Size apply(Size s) const { return {a * s.width + c * s.height, b * s.width + d * s.height}; }
  // The bounding box of the transformed corners.
  Rect apply(const Rect& r) const;
};

// A straight (not premultiplied) colour with components 0..1.
struct Color {
  float r = 0, g = 0, b = 0, a = 0;
  bool operator==(const Color&) const = default;

  static Color rgba8(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255) {
    return {r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f};
  }
  static Color white(float w, float alpha = 1.0f) { return {w, w, w, alpha}; }
  static Color clear() { return {}; }
  static Color black() { return {0, 0, 0, 1}; }
  Color withAlpha(float alpha) const { return {r, g, b, alpha}; }
};

}  // namespace gfx
