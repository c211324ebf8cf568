#include "platform/media/SoundMix.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "platform/media/AudioFile.h"

namespace media {

namespace {

constexpr std::size_t kBlock = 16384;

std::string quoted(const std::filesystem::path& file) { return "\"" + file.filename().string() + "\""; }

}  // namespace

MixOutcome mixClipsToCaf(const std::vector<MixClip>& clips, const std::filesystem::path& output, std::string* error) {
  MixOutcome outcome;
  const auto longest = static_cast<std::size_t>(kMaxSoundSeconds * kRecordingSampleRate);
  auto startOf = [&](const MixClip& clip) {
    const double at = clip.offsetSeconds > 0 ? clip.offsetSeconds * kRecordingSampleRate : 0.0;  // also NaN
    return at < static_cast<double>(longest) ? static_cast<std::size_t>(std::lround(at)) : longest;
  };
  std::vector<float> mix;
  bool any = false;
  try {
    // The headers' lengths size the mix once.
    std::size_t expected = 0;
    for (const MixClip& clip : clips) {
      if (auto seconds = soundDuration(clip.file))
        expected = std::max(expected, startOf(clip) + static_cast<std::size_t>(*seconds * kRecordingSampleRate));
    }
    mix.reserve(std::min(expected, longest));
    std::vector<float> block(kBlock);
    for (const MixClip& clip : clips) {
      const std::size_t start = startOf(clip);
      if (start >= longest) {
        outcome.problems.push_back(quoted(clip.file) + " starts after the first " +
                                   std::to_string(static_cast<int>(kMaxSoundSeconds / 60)) +
                                   " minutes of the mix and is left out");
        continue;
      }
      auto reader = SoundReader::open(clip.file, kRecordingSampleRate);
      if (!reader) {
        outcome.problems.push_back(reader.error());
        continue;
      }
      any = true;
      std::size_t at = start;
      for (;;) {
        auto got = (*reader)->read(block.data(), block.size());
        if (!got) {
          outcome.problems.push_back(got.error());
          break;
        }
        const std::size_t n = std::min(*got, longest - at);
        if (mix.size() < at + n) mix.resize(at + n, 0.0f);
        for (std::size_t i = 0; i < n; ++i) mix[at + i] += block[i];
        at += n;
        if (*got == 0) break;
        if (n < *got) {
          outcome.problems.push_back(quoted(clip.file) + " is cut where the mix reaches " +
                                     std::to_string(static_cast<int>(kMaxSoundSeconds / 60)) + " minutes");
          break;
        }
      }
    }
  } catch (const std::bad_alloc&) {
    if (error != nullptr) *error = "not enough memory to mix the sounds";
    return outcome;
  }
  if (!any) {
    if (error != nullptr) *error = "no readable clip";
    return outcome;
  }
  outcome.written = writeMonoCaf(output, mix, kRecordingSampleRate, error);
  return outcome;
}

}  // namespace media
