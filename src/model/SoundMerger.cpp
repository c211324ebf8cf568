#include "model/SoundMerger.h"

#include <algorithm>
#include <mutex>

#include "model/ProjectDataModel.h"
#include "model/Timeline.h"
#include "platform/foundation/FileUtil.h"

namespace {

constexpr double kFrameSeconds = timeline::kFrameSeconds;

std::mutex& factoryMutex() {
  static std::mutex m;
  return m;
}

SoundMerger::Factory& factorySlot() {
  static SoundMerger::Factory f;
  return f;
}

}  // namespace

void SoundMerger::setFactory(Factory factory) {
  std::lock_guard lock(factoryMutex());
  factorySlot() = std::move(factory);
}

std::shared_ptr<SoundMerger> SoundMerger::make() {
  Factory f;
  {
    std::lock_guard lock(factoryMutex());
    f = factorySlot();
  }
  return f ? f() : nullptr;
}

std::vector<media::MixClip> soundMixClipsOfProject(const ProjectDataModel& project) {
  std::vector<media::MixClip> clips;
  const SoundTagLists tags = soundTagListsOf(project.soundTags());
  const std::vector<std::string>& names = tags.names;
  const std::vector<int>& frames = tags.frames;
  const double frameSeconds = kFrameSeconds / static_cast<double>(project.animationSpeed());
  for (std::size_t tag = 0; tag < names.size() && tag * 2 < frames.size(); ++tag) {
    OptionalPath file = project.soundFilePathWithName(names[tag]);
    if (!file || !fd::files::exists(*file)) continue;
    const int start = std::max(frames[tag * 2], 1);
    clips.push_back(media::MixClip{*file, (start - 1) * frameSeconds});
  }
  return clips;
}
