#pragma once
// The stroke side's last step: each dab centre and size from the generator
// becomes a fully specified dab (its extent with the tip squashed across,
// its angle, random or following the stroke's direction, and for the smudge
// where its paint comes from). Plain computation - it knows nothing of GL;
// the renderer only draws what it is given.
#include <span>
#include <vector>

#include "platform/graphics/Geometry.h"

// How the dabs of a brush are shaped.
struct DabStyle {
  bool rotate = false;           // a random angle per dab
  int radianMin = 0, radianMax = 0;  // its range in degrees
  bool directionFollow = false;  // turned along the stroke
  bool tipEffect = false;        // squashed across by tipValue
  float tipValue = 1.0f;
  bool operator==(const DabStyle&) const = default;
};

// One dab as the renderer draws it: a rectangle of width x height backing
// pixels centred on `center` (view points, bottom-left origin), turned by
// `angle` radians when `rotated`. A smudge dab carries paint picked up
// between `previous` and the centre; the first of a line only picks it up.
struct Dab {
  gfx::Point center;
  float width = 0, height = 0;
  float angle = 0;
  bool rotated = false;
  gfx::Point previous;
  bool first = false;
};

// Direction from (x0, y0) to (x1, y1) in radians, in -3pi/2 .. pi/2 as the
// dab rotation expects it.
float DabDirectionAngle(float x0, float y0, float x1, float y1);

class DabShaper {
 public:
  // A line starts at p: the next dab is its first.
  void beginLine(gfx::Point p) {
    lineBegin_ = true;
    prePoint_ = p;
  }
  bool lineBegin() const { return lineBegin_; }
  void setLineBegin(bool begin) { lineBegin_ = begin; }
  gfx::Point prePoint() const { return prePoint_; }
  void setPrePoint(gfx::Point p) { prePoint_ = p; }
  double radianStatic() const { return radianStatic_; }

  // One dab; false when it is to be skipped (a direction-following dab on
  // the point of the previous one while its line begins). With `smudge` the
  // first dab of a line is marked as only picking up paint.
  bool shape(gfx::Point p, float size, const DabStyle& style, bool smudge, Dab& out);
  // Every dab of a batch, skipped ones left out; returns how many.
  std::size_t shapeAll(std::span<const gfx::Point> points, std::span<const float> sizes, const DabStyle& style,
                       bool smudge, std::vector<Dab>& out);

 private:
  gfx::Point prePoint_;
  double radianStatic_ = 0;
  bool lineBegin_ = false;
};
