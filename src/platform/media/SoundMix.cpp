#include "platform/media/SoundMix.h"

#include <cmath>

#include "platform/media/AudioFile.h"

namespace media {

bool mixClipsToCaf(const std::vector<MixClip>& clips, const std::filesystem::path& output, std::string* error) {
  std::vector<float> mix;
  bool any = false;
  for (const MixClip& clip : clips) {
    std::optional<std::vector<float>> samples = readMonoSamples(clip.file, kRecordingSampleRate);
    if (!samples) continue;
    any = true;
    const auto start = static_cast<std::size_t>(std::lround(std::max(clip.offsetSeconds, 0.0) * kRecordingSampleRate));
    if (mix.size() < start + samples->size()) mix.resize(start + samples->size(), 0.0f);
    for (std::size_t i = 0; i < samples->size(); ++i) mix[start + i] += (*samples)[i];
  }
  if (!any) {
    if (error != nullptr) *error = "no readable clip";
    return false;
  }
  return writeMonoCaf(output, mix, kRecordingSampleRate, error);
}

}  // namespace media
