#pragma once
// The frame manager's sound timeline: frames 1..N spread over x 45 to 375,
// tags kept between x 49 and 380. Single precision, as the tag positions
// stored in projects were computed.
#include <algorithm>
#include <cmath>
#include <string>

#include "model/Timeline.h"
#include "model/ZTDataModel.h"

namespace sound_timeline {

inline constexpr float kTrackStart = timeline::kTrackStartX;  // frame 1
inline constexpr float kSpan = timeline::kSpanX;
inline constexpr float kLeftLimit = timeline::kStartX;  // a tag's leftmost x
inline constexpr float kRightLimit = timeline::kEndX;   // a tag's rightmost edge
inline constexpr float kCursorEnd = kTrackStart + kSpan;  // 375: the last frame
inline constexpr int kMinimumLimitFrames = 8;

inline ProjectDataModel* project() { return ZTDataModel::sharedInstance().prjDataModel().get(); }

inline int frameCount() {
  ProjectDataModel* p = project();
  return p ? static_cast<int>(p->imagesArray().size()) : 0;
}

// Frames per point. A project with no frame counts as one.
inline float framesPerPoint(int n) { return static_cast<float>(std::max(n, 1) - 1) / kSpan; }

// trunc((N - 1) / 330 * (x - offset) + 1): 45 for a start, 40 or 50 for ends.
inline int frameAt(float x, int n, float offset = kTrackStart) {
  return static_cast<int>(std::trunc(framesPerPoint(n) * (x - offset) + 1));
}

// The width of `frames` frames on the timeline.
inline float widthOfFrames(int frames, int n) { return static_cast<float>(frames) * kSpan / static_cast<float>(std::max(n, 1)); }

// Where the cursor stands for page p (held to 1..N).
inline float cursorXForPage(int p, int n) {
  if (n <= 1) return 46;
  p = std::clamp(p, 1, n);
  return 46 + static_cast<float>(p - 1) * 329.0f / static_cast<float>(n - 1);
}

// The sound's frame limit; 0 when none is known.
inline int limitOf(const std::string& name) {
  const auto& limits = ZTDataModel::sharedInstance().extendDataModel().limitFramesDict();
  auto it = limits.find(name);
  return it == limits.end() ? 0 : it->second;
}

}  // namespace sound_timeline
