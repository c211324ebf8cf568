#include "canvas/shape/ReachBound.h"

namespace shape {

ReachBound::ReachBound(std::span<const ShapePoint> points) : magnitude_(points), suffixes_(points.size() + 1) {
  if (!usable()) return;
  for (std::size_t k = points.size(); k-- > 0;) {
    suffixes_[k] = suffixes_[k + 1];
    suffixes_[k].include(points[k]);
  }
}

}  // namespace shape
