// Sound tags of a project and the room a new tag gets on the sound timeline;
// picture counts of the animated backgrounds.
#include <algorithm>
#include <string_view>

#include "model/ProjectDataModel.h"
#include "model/SoundTag.h"
#include "model/Timeline.h"

namespace {

using timeline::kMinimumTagWidth;
constexpr float kTimelineEnd = timeline::kEndX;
constexpr float kPointerOffset = timeline::kPointerOffsetX;

// Sorts one part (start and end kept together) over the tags that have it;
// the other parts stay where they are.
template <typename T>
void arrangePart(std::vector<SoundTag>& tags, std::optional<std::array<T, 2>> SoundTag::*part) {
  // Sorted as pairs: sorting the flat values would give overlapping tags
  // each other's starts and ends.
  std::vector<std::array<T, 2>> pairs;
  for (const SoundTag& t : tags) {
    if (t.*part) pairs.push_back(*(t.*part));
  }
  std::stable_sort(pairs.begin(), pairs.end());
  std::size_t next = 0;
  for (SoundTag& t : tags) {
    if (!(t.*part)) continue;
    t.*part = pairs[next++];
  }
}

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
  return animationSpeed_ == timeline::kSoundSpeed &&
         std::any_of(soundTags_.begin(), soundTags_.end(), [](const SoundTag& t) { return t.name.has_value(); });
}

std::vector<float> ProjectDataModel::soundTagPointsArray() const { return soundTagListsOf(soundTags_).points; }
std::vector<std::string> ProjectDataModel::soundNameArray() const { return soundTagListsOf(soundTags_).names; }
std::vector<int> ProjectDataModel::soundFrameArray() const { return soundTagListsOf(soundTags_).frames; }

void ProjectDataModel::deleteSoundTagViewDataWithTag(int tag) {
  if (tag < 0) return;
  if (static_cast<std::size_t>(tag) < soundTags_.size()) soundTags_.erase(soundTags_.begin() + tag);
  soundTagPointsArrayArrange();
  soundTagFrameArrayArrange();
}

void ProjectDataModel::soundTagPointsArrayArrange() { arrangePart(soundTags_, &SoundTag::points); }

void ProjectDataModel::soundTagFrameArrayArrange() { arrangePart(soundTags_, &SoundTag::frames); }

std::vector<float> ProjectDataModel::pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(float sliderX,
                                                                                             float width) const {
  std::vector<float> points = soundTagPointsArray();
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

std::vector<SoundTag> soundTagsFromLists(const SoundTagLists& lists) {
  const std::size_t count = std::max({lists.names.size(), lists.points.size() / 2, lists.frames.size() / 2});
  std::vector<SoundTag> tags(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (i < lists.names.size()) tags[i].name = lists.names[i];
    if (2 * i + 1 < lists.points.size()) tags[i].points = {lists.points[2 * i], lists.points[2 * i + 1]};
    if (2 * i + 1 < lists.frames.size()) tags[i].frames = {lists.frames[2 * i], lists.frames[2 * i + 1]};
  }
  return tags;
}

SoundTagLists soundTagListsOf(const std::vector<SoundTag>& tags) {
  SoundTagLists lists;
  for (const SoundTag& t : tags) {
    if (t.name) lists.names.push_back(*t.name);
    if (t.points) lists.points.insert(lists.points.end(), t.points->begin(), t.points->end());
    if (t.frames) lists.frames.insert(lists.frames.end(), t.frames->begin(), t.frames->end());
  }
  return lists;
}
