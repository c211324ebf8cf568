// Sound tags of a project (three parallel lists) and the room a new tag gets
// on the sound timeline; picture counts of the animated backgrounds.
#include <algorithm>
#include <string_view>

#include "model/ProjectDataModel.h"

namespace {

constexpr float kTimelineEnd = 380.0f;
constexpr float kMinimumTagWidth = 20.0f;
constexpr float kPointerOffset = 5.0f;
constexpr float kSoundSpeed = 0.5f;

struct BackgroundCount {
  std::string_view name;
  int pictures;
};
constexpr BackgroundCount kAnimatedBackgrounds[] = {
    {"SDBackground000_", 30},
    {"SDBackground001_", 31},
    {"SDBackground002_", 31},
    {"SCBackground000_", 30},
};

// The tag starting at x, shortened to the room before `limit`; none when that
// room is kMinimumTagWidth or less.
std::vector<float> fitBefore(float x, float width, float limit, bool strictFit) {
  if (strictFit ? x + width < limit : x + width <= limit) return {x, width};
  float gap = limit - x;
  if (gap <= kMinimumTagWidth) return {0.0f, 0.0f};
  return {x, gap};
}

}  // namespace

bool ProjectDataModel::isCouldPlaySound() const {
  return animationSpeed_ == kSoundSpeed && !soundNameArray_.empty();
}

void ProjectDataModel::deleteSoundTagViewDataWithTag(int tag) {
  if (tag < 0) return;
  const std::size_t first = static_cast<std::size_t>(tag) * 2;
  auto erasePair = [first](auto& list) {
    if (first < list.size()) list.erase(list.begin() + first, list.begin() + std::min(first + 2, list.size()));
  };
  erasePair(soundTagPointsArray_);
  erasePair(soundFrameArray_);
  if (static_cast<std::size_t>(tag) < soundNameArray_.size()) soundNameArray_.erase(soundNameArray_.begin() + tag);
  soundTagPointsArrayArrange();
  soundTagFrameArrayArrange();
}

void ProjectDataModel::soundTagPointsArrayArrange() {
  std::stable_sort(soundTagPointsArray_.begin(), soundTagPointsArray_.end());
}

void ProjectDataModel::soundTagFrameArrayArrange() {
  std::stable_sort(soundFrameArray_.begin(), soundFrameArray_.end());
}

std::vector<float> ProjectDataModel::pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(float sliderX,
                                                                                             float width) const {
  std::vector<float> points = soundTagPointsArray_;
  std::stable_sort(points.begin(), points.end());
  const float x = sliderX + kPointerOffset;
  if (points.empty()) {
    if (x + width <= kTimelineEnd) return {x, width};
    if (x + kMinimumTagWidth <= kTimelineEnd) return {x, kTimelineEnd - x};
    return {0.0f, 0.0f};
  }
  const int count = static_cast<int>(points.size());
  int below = -1;  // last index with a value below x
  int above = -1;  // first index above x; a tag end exactly at x until then
  float next = 0.0f;
  bool sawGreater = false;
  for (int i = 0; i < count; ++i) {
    const float v = points[i];
    if (v < x) {
      below = i;
    } else if (v == x) {
      if (i % 2 == 0) return {0.0f, 0.0f};  // a tag starts exactly here
      if (above < 0) {
        above = i;
        next = x;
      }
    } else if (!sawGreater) {
      sawGreater = true;
      above = i;
      next = v;
    }
  }
  if (below < 0) return fitBefore(x, width, next, true);
  if (below % 2 == 1) {
    if (above >= 0 && above % 2 == 1) return {0.0f, 0.0f};
    if (below == count - 1) return fitBefore(x, width, kTimelineEnd, false);
    return fitBefore(x, width, next, true);
  }
  // x lies inside a tag; the new one starts where that tag ends.
  if (above < 0 || above % 2 == 0) return {0.0f, 0.0f};
  const float end = points[above];
  const float limit = above == count - 1 ? kTimelineEnd : points[above + 1];
  if (end + width < limit) return {end, width};
  const float gap = limit - end;
  if (gap > kMinimumTagWidth) return {end, gap};
  return {0.0f, 0.0f};
}

int ProjectDataModel::countOfBackground(const std::string& name) {
  for (const BackgroundCount& b : kAnimatedBackgrounds) {
    if (name == b.name) return b.pictures;
  }
  return 1;
}
