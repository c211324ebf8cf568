#pragma once
// Writes a movie file: H.264 pictures (yuv420p, even sizes) and AAC sound in
// a QuickTime or MPEG-4 container, each sample at its own media time. The
// file is written under a hidden temporary name beside the destination and
// takes the destination's name only when it is complete, so a writer that
// fails (a full disk, a bad path) leaves no file that claims to be a movie.
// Thread-safe: samples may come from one thread and finishing from another.
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "platform/foundation/Expected.h"
#include "platform/media/VideoFrame.h"

namespace media {

enum class MovieContainer { QuickTime, MPEG4 };

struct MovieVideoSettings {
  int width = 640;
  int height = 480;
  // At most this many frames between key frames.
  int keyFrameInterval = 30;
  double expectedFrameRate = 30;
};

struct MovieAudioSettings {
  int sampleRate = 44100;
  int channels = 1;
  int bitRate = 64000;
};

class MovieWriter {
 public:
  enum class Status { Unknown, Writing, Completed, Failed, Cancelled };

  // Fails when the destination's folder cannot take a file.
  static fd::Expected<std::unique_ptr<MovieWriter>> create(const std::filesystem::path& file,
                                                           MovieContainer container);
  ~MovieWriter();
  MovieWriter(const MovieWriter&) = delete;
  MovieWriter& operator=(const MovieWriter&) = delete;

  // Tracks are added before writing starts.
  fd::Status addVideoTrack(const MovieVideoSettings& settings);
  fd::Status addAudioTrack(const MovieAudioSettings& settings);
  // Before writing starts: the transform stored with the video track.
  fd::Status setVideoTransform(const VideoTransform& transform);
  bool hasVideoTrack() const;
  bool hasAudioTrack() const;
  // The encoded size (the settings' size made even).
  int videoWidth() const;
  int videoHeight() const;

  bool startWriting();
  // The time the movie's time line starts at; samples before it are dropped.
  void startSession(CMTime sourceTime);
  bool sessionStarted() const;

  // A picture at its time; scaled when its size is not the track's. False for
  // a time not after the previous picture's, or when the writer has failed.
  bool appendVideo(const PixelBuffer& picture, CMTime time);
  // Sound from its presentation time on; any rate and channel count.
  bool appendAudio(const AudioSamples& sound);

  // Flushes the encoders and closes the file; on success the movie is complete
  // and readable under its name when this returns.
  fd::Status finishWriting();
  // Stops and removes the unfinished file.
  void cancelWriting();

  Status status() const;
  std::string error() const;
  // The system's error number of the failure (ENOSPC: the disk is full), 0
  // when it has none or nothing failed.
  int errorNumber() const;
  const std::filesystem::path& file() const { return file_; }

 private:
  MovieWriter() = default;
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::filesystem::path file_;
};

}  // namespace media
