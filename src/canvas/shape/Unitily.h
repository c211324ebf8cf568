#pragma once
// Entry to the shape recogniser: turns a finished stroke into a ShapeRecord,
// keeping a short history of recent strokes so that a shaft and a head drawn
// one after the other can be read as an arrow. Main thread only.
#include <span>
#include <string>

#include "canvas/shape/ShapeRecord.h"

namespace fd {
class Value;
}

// Notification name and user-info key of postShape.
inline constexpr const char* kNeedDrawShapeNotification = "NeedDrawShapeNotification";
inline constexpr const char* kShapePointsKey = "ShapePoints";

class Unitily {
 public:
  // points: the stroke's touch points in order. An empty stroke gives kShapeNone
  // and leaves the history untouched.
  static ShapeRecord recogniseWithPoints(std::span<const ShapePoint> points);

  // Posts kNeedDrawShapeNotification on the default centre with
  // userInfo {kShapePointsKey: shape}.
  static void postShape(const fd::Value& shape);

  // Empties the stroke history (tests; the program never needs it).
  static void resetHistory();
  // Number of strokes recorded since the history was last emptied (0..9).
  static int historyCount();
};
