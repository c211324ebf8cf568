#pragma once
// Mixing sound clips placed at time offsets into one recording-format file
// (44100 Hz, mono, 16-bit linear PCM CAF). Each file is read once through the
// bounded SoundReader, however many clips it has, and only as far as they
// reach into the mix; the work of a mix as a whole is bounded too.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/media/AudioFile.h"

namespace media {

struct MixClip {
  std::filesystem::path file;
  double offsetSeconds = 0;
};

// The most sample values decoded (every channel, at the files' own rates):
// one sound of the largest kind the readers take, whole, so that no sound a
// project may tag is ever cut for its size alone; about ten seconds' work.
inline constexpr std::int64_t kMaxMixDecodedSamples =
    static_cast<std::int64_t>(kMaxSoundSeconds) * kMaxSoundSampleRate * kMaxSoundChannels;
// The most samples added into a mix: twenty ten-minute clips at 44100 Hz,
// twenty sounds playing at once for the whole of the longest mix.
inline constexpr std::int64_t kMaxMixSamples =
    20 * static_cast<std::int64_t>(kMaxSoundSeconds) * kRecordingSampleRate;
// The most files read: each costs an opening and a decoder's set-up,
// however short its sound.
inline constexpr int kMaxMixFiles = 1000;

// What a mix may take. Several mixes made as one (a combination's) share
// one budget by handing each what the ones before left over.
struct MixLimits {
  int files = kMaxMixFiles;
  // Every channel counted, at the files' own rates.
  std::int64_t decodedSamples = kMaxMixDecodedSamples;
  std::int64_t addedSamples = kMaxMixSamples;
};

struct MixOutcome {
  bool written = false;
  // Why clips were left out or cut short, naming their files: one message
  // for each file and reason, in the order of the clips.
  std::vector<std::string> problems;
  // The work done, as MixLimits counts it: every file tried counts once.
  int filesRead = 0;
  std::int64_t samplesDecoded = 0;
  std::int64_t samplesAdded = 0;
  explicit operator bool() const { return written; }
};

// The sum of every readable clip, each starting at its offset (rounded to the
// nearest sample). The mix lasts at most kMaxSoundSeconds, so that it can be
// played again: a clip running past that is cut there, one starting after it
// is left out. Clips that cannot be read are left out, and so are those past
// the limits (the clip that reaches one is cut there). Nothing is written
// (and `error` says why) when no clip could be read.
MixOutcome mixClipsToCaf(const std::vector<MixClip>& clips, const std::filesystem::path& output,
                         std::string* error = nullptr, const MixLimits& limits = {});

}  // namespace media
