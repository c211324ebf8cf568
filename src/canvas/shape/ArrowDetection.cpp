#include <algorithm>
#include <cmath>

#include "canvas/shape/CornerFinding.h"
#include "canvas/shape/ShapeFitting.h"
#include "canvas/shape/ShapeGeometry.h"
#include "canvas/shape/StrokeHistory.h"

namespace shape {

namespace {

constexpr double kJunctionReach = 35;  // how near the strokes' ends must meet
constexpr double kMinShaftLength = 60;

// One side of the head drawn as its own line next to the shaft.
struct JunctionRule {
  bool shaftFromFirst;   // shaft directed from its first point (F) to E
  bool strokeFromFirst;  // this stroke directed from its first point
  float minAngle, maxAngle;
  bool headAtFirst;      // arrow head at F (else at E)
};
constexpr JunctionRule kJunctionRules[4] = {
    {true, true, 30, 65, true},
    {true, false, 30, 65, true},
    {false, true, 30, 65, false},
    {false, false, 20, 65, false},
};

ShapeRecord headDrawnInOneStroke(const ShapeRecord& inf, const ShapeRecord& fallback,
                                 std::span<const ShapePoint> shaft, double lp, double lc) {
  const ShapePoint f = shaft.front(), e = shaft.back();
  const std::span<const ShapePoint> vertices = inf.vertices();
  const NearestCorner corner = NearestPolylineCorner(f, e, vertices);
  const ShapePoint q = vertices[static_cast<std::size_t>(corner.index)];
  const double r = lp / lc;
  if (corner.side == 0) {
    if (DistanceBetweenPoints(q, f) >= kJunctionReach) return fallback;
    if (r > 2 && r < 25 && lp > kMinShaftLength) return BuildArrow(lp, e, f);
    return inf;
  }
  if (DistanceBetweenPoints(q, e) >= kJunctionReach) return fallback;
  if (r > 2 && r < 15 && lp > kMinShaftLength) return BuildArrow(lp, f, e);
  return inf;
}

ShapeRecord headSideDrawnAsLine(const ShapeRecord& inf, const ShapeRecord& fallback,
                                const StrokeHistory& history, double lp, double lc) {
  const std::vector<ShapePoint>& shaft = history.strokes[history.counter - 1];
  const std::vector<ShapePoint>& stroke = history.strokes[history.counter];
  const ShapePoint f = shaft.front(), e = shaft.back();
  const double distances[4] = {
      DistanceBetweenPoints(f, stroke.front()), DistanceBetweenPoints(f, stroke.back()),
      DistanceBetweenPoints(e, stroke.front()), DistanceBetweenPoints(e, stroke.back())};
  const auto nearest = std::min_element(std::begin(distances), std::end(distances));
  if (*nearest >= kJunctionReach) return fallback;
  const auto junction = static_cast<JunctionCase>(nearest - std::begin(distances));
  if (TwoStrokeArrowTest(history, junction) == 1) return inf;
  const double r = lp / lc;
  if (!(r > 6 && r < 16)) return fallback;

  const JunctionRule& rule = kJunctionRules[junction];
  const ShapePoint shaftFrom = rule.shaftFromFirst ? f : e, shaftTo = rule.shaftFromFirst ? e : f;
  const ShapePoint strokeFrom = rule.strokeFromFirst ? stroke.front() : stroke.back();
  const ShapePoint strokeTo = rule.strokeFromFirst ? stroke.back() : stroke.front();
  const float angle = AngleBetweenSegments(shaftFrom, shaftTo, strokeFrom, strokeTo);
  if (angle > rule.minAngle && angle < rule.maxAngle)
    return rule.headAtFirst ? BuildArrow(lp, e, f) : BuildArrow(lp, f, e);
  return inf;
}

}  // namespace

ShapeRecord DetectArrow(std::span<const ShapePoint> points, const ShapeRecord& classified,
                        const StrokeHistory& history) {
  const ShapeRecord inf = FindInflexionPoints(points);
  const ShapeRecord& fallback = classified.type == kShapeLine ? classified : inf;
  const int c = history.counter;
  if (c <= 0) return fallback;
  const std::vector<ShapePoint>& shaft = history.strokes[c - 1];
  const std::vector<ShapePoint>& stroke = history.strokes[c];
  // A previous stroke left without points cannot be a shaft.
  if (shaft.empty() || stroke.empty()) return fallback;
  const double lp = PolygonPerimeter(shaft);
  const double lc = PolygonPerimeter(stroke);
  const bool previousWasLine = history.types[c - 1] == kHistoryLine;

  if (inf.type == kShapePolyline) {
    if (!previousWasLine || inf.output.polyline.count > 5) return fallback;
    return headDrawnInOneStroke(inf, fallback, shaft, lp, lc);
  }
  if (inf.type == kShapeLine && previousWasLine) return headSideDrawnAsLine(inf, fallback, history, lp, lc);
  return fallback;
}

int TwoStrokeArrowTest(const StrokeHistory& history, JunctionCase junction) {
  const std::vector<ShapePoint>& previous = history.strokes[history.counter - 1];
  const std::vector<ShapePoint>& stroke = history.strokes[history.counter];
  std::vector<ShapePoint> joined;
  joined.reserve(previous.size() + stroke.size());
  switch (junction) {
    case kJunctionFirstFirst:
      joined.assign(stroke.rbegin(), stroke.rend());
      joined.insert(joined.end(), previous.begin(), previous.end());
      break;
    case kJunctionFirstLast:
      joined.assign(stroke.begin(), stroke.end());
      joined.insert(joined.end(), previous.begin(), previous.end());
      break;
    case kJunctionLastFirst:
      joined.assign(previous.begin(), previous.end());
      joined.insert(joined.end(), stroke.begin(), stroke.end());
      break;
    case kJunctionLastLast:
      joined.assign(previous.begin(), previous.end());
      joined.insert(joined.end(), stroke.rbegin(), stroke.rend());
      break;
  }
  const double length = PolygonPerimeter(joined);
  const FittedRectangle rect = FitMinimumRectangle(joined);
  const float s1 = static_cast<float>(DistanceBetweenPoints(rect.corners[0], rect.corners[1]));
  const float s2 = static_cast<float>(DistanceBetweenPoints(rect.corners[1], rect.corners[2]));
  const float box = s1 * s2;
  if (box <= 0) return 1;
  const double fill = length * length / box;
  const double elongation = std::max(s1 / s2, s2 / s1);
  return fill > 20 && elongation > 2 && elongation < 35 ? 0 : 1;
}

NearestCorner NearestPolylineCorner(ShapePoint first, ShapePoint last, std::span<const ShapePoint> vertices) {
  double bestFirst = 2147483647.0, bestLast = 2147483647.0;
  int nearFirst = 0, nearLast = 0;
  for (std::size_t i = 1; i + 1 < vertices.size(); ++i) {
    const double df = DistanceBetweenPoints(first, vertices[i]);
    const double dl = DistanceBetweenPoints(last, vertices[i]);
    if (df < bestFirst) bestFirst = df, nearFirst = static_cast<int>(i);
    if (dl < bestLast) bestLast = dl, nearLast = static_cast<int>(i);
  }
  if (bestFirst < bestLast) return {static_cast<float>(nearFirst), 0.0f};
  return {static_cast<float>(nearLast), 1.0f};
}

ShapeRecord BuildArrow(double length, ShapePoint tail, ShapePoint head, int k) {
  const float fk = static_cast<float>(k);
  const ShapePoint base{tail.x + (head.x - tail.x) * (fk - 1) / fk, tail.y + (head.y - tail.y) * (fk - 1) / fk};
  if (tail.x == head.x) {
    const double w = length / k, h = length / (2.0 * k);
    const double y = tail.y <= head.y ? head.y - w : head.y + w;
    const ShapePoint left{static_cast<float>((base.x + tail.x - h) / 2), static_cast<float>((base.y + y) / 2)};
    const ShapePoint right{static_cast<float>((base.x + tail.x + h) / 2), static_cast<float>((base.y + y) / 2)};
    return ShapeRecord::makeArrow(tail, head, left, right);
  }
  const float m = (tail.y - head.y) / (tail.x - head.x);
  const float t = static_cast<float>(length / (k * std::sqrt(3.0 * (m * m + 1))));
  return ShapeRecord::makeArrow(tail, head, {base.x + m * t / 2, base.y - t / 2},
                                {base.x - m * t / 2, base.y + t / 2});
}

}  // namespace shape
