#include "canvas/shape/Unitily.h"

#include <optional>
#include <vector>

#include "canvas/shape/ShapeClassification.h"
#include "canvas/shape/ShapeGeometry.h"
#include "canvas/shape/StrokeHistory.h"
#include "canvas/shape/StrokePreparation.h"

namespace shape {

void StrokeHistory::clear() {
  for (auto& stroke : strokes) std::vector<ShapePoint>().swap(stroke);
  types.fill(-1);
  counter = 0;
}

std::int32_t HistoryTypeCode(std::int32_t type) {
  if (type == kShapeLine) return kHistoryLine;
  if (type >= 1 && type <= 7) return type;
  if (type == kShapeArrow) return 9;
  return -1;
}

namespace {

StrokeHistory& history() {
  static StrokeHistory instance = [] {
    StrokeHistory h;
    h.types.fill(-1);
    return h;
  }();
  return instance;
}

// The prepared stroke as kept: a last point at or below zero on either axis,
// or repeating the one before it, is left out.
std::vector<ShapePoint> keptPoints(std::vector<ShapePoint> prepared) {
  if (prepared.empty()) return prepared;
  const ShapePoint last = prepared.back();
  const bool offCanvas = last.x < 0.00001f || last.y < 0.00001f;
  const bool repeated = prepared.size() >= 2 && prepared[prepared.size() - 2] == last;
  if (offCanvas || repeated) prepared.pop_back();
  prepared.shrink_to_fit();
  return prepared;
}

ShapeRecord regularise(ShapeRecord record, std::span<const ShapePoint> points, const StrokeHistory& h) {
  switch (record.type) {
    case kShapeLine:
    case kShapeNone:
      return points.size() >= 3 ? DetectArrow(points, record, h) : record;
    case kShapeRectangle: {
      QuadPoints corners;
      std::copy(std::begin(record.output.rectangle.corners), std::end(record.output.rectangle.corners),
                corners.p);
      const QuadPoints adjusted = AdjustRectangle(corners);
      std::copy(std::begin(adjusted.p), std::end(adjusted.p), record.output.rectangle.corners);
      return record;
    }
    case kShapeParallelogram: {
      QuadPoints vertices;
      std::copy(std::begin(record.output.quadrangle.points), std::end(record.output.quadrangle.points),
                vertices.p);
      const QuadPoints adjusted = AdjustParallelogram(vertices);
      std::copy(std::begin(adjusted.p), std::end(adjusted.p), record.output.quadrangle.points);
      return record;
    }
    default:
      return record;
  }
}

// A straight stroke's kept points are laid evenly on its snapped line, so a
// later arrow test measures the line as drawn on screen.
void straightenStoredLine(ShapeRecord& record, std::vector<ShapePoint>& stored) {
  const LinePoints snapped = SnapLineToAxis(record.output.line.points[0], record.output.line.points[1]);
  record.output.line.points[0] = snapped.start;
  record.output.line.points[1] = snapped.end;
  const ShapePoint s = snapped.start, e = snapped.end;
  const bool horizontal = s.y == e.y;
  if (!horizontal && s.x != e.x) return;
  const std::size_t m = stored.size();
  const float steps = static_cast<float>(m - 1);
  for (std::size_t i = 0; i < m; ++i) {
    const float t = static_cast<float>(i);
    stored[i] = horizontal ? ShapePoint{s.x + t * (e.x - s.x) / steps, s.y}
                           : ShapePoint{s.x, s.y + t * (e.y - s.y) / steps};
  }
  stored.back() = horizontal ? ShapePoint{e.x, s.y} : ShapePoint{s.x, e.y};
}

}  // namespace

}  // namespace shape

ShapeRecord Unitily::recogniseWithPoints(std::span<const ShapePoint> points) {
  using namespace shape;
  if (points.empty()) return {};
  std::optional<std::vector<ShapePoint>> prepared = PrepareStrokePoints(points);

  // A refused stroke still takes its turn in the history, kept without points,
  // so that the next stroke is not read together with the one before it.
  StrokeHistory& h = history();
  std::vector<ShapePoint>& slot = h.strokes[h.counter];
  slot = prepared ? keptPoints(std::move(*prepared)) : std::vector<ShapePoint>{};

  const bool fewPoints = slot.size() >= 2 && slot.size() <= kMaxFewPoints;
  ShapeRecord record;
  if (fewPoints) {
    if (!IsDot(slot)) record = regularise(ClassifyShape(slot), slot, h);
  } else if (prepared && !IsDegenerateStroke(slot)) {
    record = regularise(ClassifyShape(slot), slot, h);
    if (record.type == kShapeLine && DistanceBetweenPoints(record.output.line.points[0],
                                                           record.output.line.points[1]) < kMinShapeExtent)
      record = {};
  }

  h.types[h.counter] = HistoryTypeCode(record.type);
  if (++h.counter == kHistorySlots) h.clear();

  // The tenth stroke of a cycle has just been forgotten with the rest, so a
  // line drawn then is not straightened.
  if (record.type == kShapeLine && h.counter >= 1 && h.strokes[h.counter - 1].size() >= 4)
    straightenStoredLine(record, h.strokes[h.counter - 1]);
  return record;
}

void Unitily::resetHistory() { shape::history().clear(); }

int Unitily::historyCount() { return shape::history().counter; }
