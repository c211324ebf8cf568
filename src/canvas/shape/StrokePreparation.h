#pragma once
// Turns a raw stroke into evenly spaced points for the corner finder and the
// shape fits: long dense strokes are thinned, long segments filled in.
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "canvas/shape/ShapeRecord.h"

namespace shape {

// A prepared stroke longer than this is not a hand-drawn shape on a canvas
// (a scribble going round many times), and the quadrangle fit, cubic in the
// worst case, would stall touch-up for most of a second on 2000 points.
inline constexpr std::size_t kMaxPreparedPoints = 1200;
// Coordinates beyond this magnitude (or not finite) are no canvas points.
inline constexpr float kMaxCoordinate = 1.0e7f;

// Thinned and densified points, sized for exactly what they hold; nullopt when
// the stroke has coordinates out of range or would exceed kMaxPreparedPoints.
std::optional<std::vector<ShapePoint>> PrepareStrokePoints(std::span<const ShapePoint> raw);

// A stroke smaller than kMinShapeExtent across (a tap), or one that runs back
// and forth within a band narrower than kMaxRetraceBreadth, is no shape: the
// fits would make a dot a line and a retraced line a folded polyline.
inline constexpr float kMinShapeExtent = 5;
inline constexpr float kMaxRetraceBreadth = 4;
bool IsDegenerateStroke(std::span<const ShapePoint> points);

// Every k-th point (k from the mean spacing r), then the last point.
std::vector<ShapePoint> SubsampleStrokePoints(std::span<const ShapePoint> points, int r);

// Number of points DensifyStrokePoints would write, counted without writing.
std::size_t DensifiedCount(std::span<const ShapePoint> points);
// Inserts points so that no gap of 16 or more is left without intermediates.
std::vector<ShapePoint> DensifyStrokePoints(std::span<const ShapePoint> points);

}  // namespace shape
