#pragma once
// The recogniser's memory of recent strokes, and arrow detection, which reads
// the current stroke together with the one before it.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "canvas/shape/ShapeRecord.h"

namespace shape {

inline constexpr int kHistorySlots = 10;
// Only this code is ever tested: it says the stroke in that slot was a line.
inline constexpr std::int32_t kHistoryLine = 8;

struct StrokeHistory {
  std::array<std::vector<ShapePoint>, kHistorySlots> strokes;  // prepared points
  std::array<std::int32_t, kHistorySlots> types{};             // HistoryTypeCode
  int counter = 0;  // the slot the next stroke fills

  // Empties every slot, as after the tenth stroke of a cycle.
  void clear();
};

// Code stored for a final shape type: a line is 8, an arrow 9, types 1..7 keep
// their value, everything else is -1.
std::int32_t HistoryTypeCode(std::int32_t type);

// classified: ClassifyShape's record for this stroke (type 0 or 10). The
// stroke itself is history.strokes[history.counter].
ShapeRecord DetectArrow(std::span<const ShapePoint> points, const ShapeRecord& classified,
                        const StrokeHistory& history);

// Which end of the previous stroke meets which end of this one.
enum JunctionCase : int {
  kJunctionFirstFirst = 0,  // previous first point, this first point
  kJunctionFirstLast = 1,
  kJunctionLastFirst = 2,
  kJunctionLastLast = 3,
};
// 0 when the two strokes joined at the junction look like an arrow side by
// their outline (long and thin), 1 otherwise.
int TwoStrokeArrowTest(const StrokeHistory& history, JunctionCase junction);

struct NearestCorner {
  float index;  // vertex index into the polyline
  float side;   // 0 nearest the first point, 1 nearest the last
};
NearestCorner NearestPolylineCorner(ShapePoint first, ShapePoint last, std::span<const ShapePoint> vertices);

// Arrow from tail to head with a head that grows with length (k = 12).
ShapeRecord BuildArrow(double length, ShapePoint tail, ShapePoint head, int k = 12);

}  // namespace shape
