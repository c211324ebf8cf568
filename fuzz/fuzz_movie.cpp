// Fuzz target for the movie reader: arbitrary bytes as a movie file, opened
// and read to the end, pictures and sound, then a seek. The reader must never
// crash, and every picture it gives must hold the bytes its size claims.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/media/MovieReader.h"

namespace {

// A tiny movie may claim many pictures; the run stops well before a timeout.
constexpr int kMaxPictures = 2000;
constexpr int kMaxSoundBlocks = 20000;

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "movie reader: %s\n", what);
    std::abort();
  }
}

void checkPicture(const media::VideoSample& s) {
  check(s.pixels != nullptr, "a picture without pixels");
  const media::PixelBuffer& p = *s.pixels;
  check(p.width > 0 && p.height > 0, "a picture without a size");
  check(p.bytesPerRow >= p.width * 4, "rows shorter than the width");
  check(p.data.size() >= static_cast<std::size_t>(p.bytesPerRow) * p.height, "fewer bytes than the size claims");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("fuzz_movie_" + std::to_string(::getpid()) + ".mov");
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  struct RemoveAfter {
    ~RemoveAfter() {
      std::error_code ec;
      std::filesystem::remove(file, ec);
    }
  } removeAfter;
  auto opened = media::MovieReader::open(file);
  if (!opened) {
    check(!opened.error().empty(), "a failure without a message");
    return 0;
  }
  media::MovieReader& reader = **opened;
  reader.setReadsAudio(true);
  int pictures = 0, blocks = 0;
  while (pictures < kMaxPictures) {
    auto picture = reader.nextVideoFrame();
    if (!picture) break;
    checkPicture(*picture);
    ++pictures;
    while (blocks < kMaxSoundBlocks) {
      auto sound = reader.nextAudioSamples();
      if (!sound) break;
      check(sound->channels == 1, "sound that is not mono");
      ++blocks;
    }
  }
  while (blocks < kMaxSoundBlocks && reader.nextAudioSamples()) ++blocks;
  if (reader.status() == media::MovieReader::Status::Failed) check(!reader.error().empty(), "a failure without a message");
  if (reader.hasVideo()) {
    if (auto picture = reader.frameAt(reader.duration() / 2)) checkPicture(*picture);
  }
  return 0;
}
