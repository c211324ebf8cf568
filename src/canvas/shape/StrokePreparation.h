#pragma once
// Turns a raw stroke into evenly spaced points for the corner finder and the
// shape fits: long dense strokes are thinned, long segments filled in.
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "canvas/shape/ShapeRecord.h"

namespace shape {

// No hand-drawn stroke on a page comes near this many prepared points (twenty
// seconds of 1000 Hz input, or hundreds of laps); the cap bounds the memory
// and the direction searches of the corner finder for absurd input. The
// costly closed-shape fits have their own, lower limit (kMaxFittedPoints).
inline constexpr std::size_t kMaxPreparedPoints = 20000;
// Coordinates beyond this magnitude (or not finite) are no canvas points.
inline constexpr float kMaxCoordinate = 1.0e7f;

// Thinned and densified points, sized for exactly what they hold; nullopt when
// the stroke has coordinates out of range or would exceed kMaxPreparedPoints.
std::optional<std::vector<ShapePoint>> PrepareStrokePoints(std::span<const ShapePoint> raw);

// A stroke smaller than kMinShapeExtent across (a tap), or one that runs back
// and forth within a band narrower than kMaxRetraceBreadth, is no shape: the
// fits would make a dot a line and a retraced line a folded polyline. Going
// back and forth is measured along the band, so that the sideways steps of
// pixel-stepped input along a slanted line do not count as retracing.
inline constexpr float kMinShapeExtent = 5;
inline constexpr float kMaxRetraceBreadth = 4;
bool IsDegenerateStroke(std::span<const ShapePoint> points);

// A stroke of two to five prepared points is a line from its first to its
// last point whatever its shape; only a dot, all of it within kMaxDotExtent,
// is none.
inline constexpr std::size_t kMaxFewPoints = 5;
inline constexpr float kMaxDotExtent = 1;
bool IsDot(std::span<const ShapePoint> points);

// Every k-th point (k from the mean spacing r), then the last point.
std::vector<ShapePoint> SubsampleStrokePoints(std::span<const ShapePoint> points, int r);

// Number of points DensifyStrokePoints would write, counted without writing.
std::size_t DensifiedCount(std::span<const ShapePoint> points);
// Inserts points so that no gap of 16 or more is left without intermediates.
std::vector<ShapePoint> DensifyStrokePoints(std::span<const ShapePoint> points);

}  // namespace shape
