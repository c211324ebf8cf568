#pragma once
// Mixing sound clips placed at time offsets into one recording-format file
// (44100 Hz, mono, 16-bit linear PCM CAF), each clip read through the bounded
// SoundReader a block at a time.
#include <filesystem>
#include <string>
#include <vector>

namespace media {

struct MixClip {
  std::filesystem::path file;
  double offsetSeconds = 0;
};

struct MixOutcome {
  bool written = false;
  // One message per clip left out or cut short, naming its file.
  std::vector<std::string> problems;
  explicit operator bool() const { return written; }
};

// The sum of every readable clip, each starting at its offset (rounded to the
// nearest sample). The mix lasts at most kMaxSoundSeconds, so that it can be
// played again: a clip running past that is cut there, one starting after it
// is left out. Clips that cannot be read are left out; nothing is written
// (and `error` says why) when none could be read.
MixOutcome mixClipsToCaf(const std::vector<MixClip>& clips, const std::filesystem::path& output,
                         std::string* error = nullptr);

}  // namespace media
