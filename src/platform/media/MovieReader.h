#pragma once
// Reads a movie file: its pictures as BGRA at their own media times, and its
// sound as mono 44100 Hz samples, in the order they play. A file that is not
// a movie, or is cut short, is an error or an early end, never a crash; one
// whose pictures are larger than the limits is refused before any decoding,
// and one whose picture track gives no picture (none decodes in its first few
// hundred packets, or it ends first) fails when its pictures are asked for.
// Only local files are read (and FIFOs, once something comes through them,
// when the movie's index comes before its pictures).
// One thread at a time.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Expected.h"
#include "platform/media/VideoFrame.h"

namespace media {

struct MovieReadOptions {
  PictureLimits limits;
  // Asked now and then while the movie is opened and read; true gives up at
  // once (an owner that is going away).
  std::function<bool()> interrupt;
  // How long a FIFO may stay silent before it is given up, in seconds.
  double waitForData = 5;
};

class MovieReader {
 public:
  enum class Status { Reading, Completed, Failed };

  static fd::Expected<std::unique_ptr<MovieReader>> open(const std::filesystem::path& file,
                                                         const MovieReadOptions& options = {});
  ~MovieReader();
  MovieReader(const MovieReader&) = delete;
  MovieReader& operator=(const MovieReader&) = delete;

  double duration() const;
  bool hasVideo() const;
  bool hasAudio() const;
  int width() const;
  int height() const;
  double nominalFrameRate() const;
  // Degrees the picture is meant to be turned by to show upright (0, 90, 180, 270).
  int rotationDegrees() const;
  // The transform stored with the pictures (identity when none).
  VideoTransform preferredTransform() const;

  // Sound is decoded only when asked for (keeps memory bounded for readers
  // that want pictures only).
  void setReadsAudio(bool reads);

  // The next picture, or nullopt at the end (see status()).
  std::optional<VideoSample> nextVideoFrame();
  // The next stretch of sound, or nullopt when the sound has ended.
  std::optional<AudioSamples> nextAudioSamples();

  // The first picture whose time is at or after `seconds` (the last one when
  // seconds lies past the end); reading continues after it.
  std::optional<VideoSample> frameAt(double seconds);

  Status status() const;
  const std::string& error() const;

 private:
  MovieReader() = default;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace media
