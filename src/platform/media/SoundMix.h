#pragma once
// Mixing sound clips placed at time offsets into one recording-format file
// (44100 Hz, mono, 16-bit linear PCM CAF).
#include <filesystem>
#include <string>
#include <vector>

namespace media {

struct MixClip {
  std::filesystem::path file;
  double offsetSeconds = 0;
};

// The sum of every readable clip, each starting at its offset (rounded to the
// nearest sample). Clips that cannot be read are left out; false (and no file)
// when none could be read.
bool mixClipsToCaf(const std::vector<MixClip>& clips, const std::filesystem::path& output,
                   std::string* error = nullptr);

}  // namespace media
