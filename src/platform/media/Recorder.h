#pragma once
// A sound recorder: the microphone into a 16-bit linear PCM file whose
// container follows the file name (".caf", ".wav", ".aif"/".aiff"). Captured
// samples are written on the main run loop in blocks, a turn of the loop
// taking no more than a slice of time however slow the writes are, and the
// header never counts less than the file holds by more than a fraction of a
// second of sound (and counts it all on a pause), so that a recording whose
// process is killed still reads back all but its last moments; the file is
// whole once recording stops. Main thread only.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/foundation/Expected.h"
#include "platform/foundation/RunLoop.h"
#include "platform/media/AudioCapture.h"
#include "platform/media/AudioOutput.h"

namespace media {

struct RecordingSettings {
  double sampleRate = 44100;
  int channels = 1;
};

class Recorder {
 public:
  // Opens the microphone and creates the file. A failure says why (no
  // microphone, a path that cannot be written, settings not supported) and
  // leaves no file behind.
  static fd::Expected<std::unique_ptr<Recorder>> prepare(const std::filesystem::path& file,
                                                          const RecordingSettings& settings = {});
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  bool record();
  // Records until `seconds` of sound are in the file, then stops by itself.
  bool recordForDuration(double seconds);
  void pause();
  // Ends the recording; the file is complete when this returns.
  void stop();

  bool isRecording() const { return recording_; }
  // Seconds recorded so far.
  double currentTime() const;
  const std::filesystem::path& url() const { return file_; }

  void setMeteringEnabled(bool enabled) { metering_ = enabled; }
  bool meteringEnabled() const { return metering_; }
  void updateMeters();
  float averagePower() const { return meter_.averagePower; }
  float peakPower() const { return meter_.peakPower; }

  // Told when a recording ends by itself (a duration reached) or by stop:
  // true when the file was written whole.
  void setFinishHandler(std::function<void(bool)> handler) { finish_ = std::move(handler); }

  // Captured samples are moved into the file; the recorder does this on its
  // own timer, tests may call it after moving the clock. One call takes what
  // was captured when it began, and leaves what it has not written once its
  // slice of time is spent to the next.
  void drain();

 private:
  Recorder() = default;
  // Writes what was captured when called, all of it or (with `turn`) until
  // that many seconds have passed on the run loop's clock; false when the
  // file refused a write.
  bool moveCaptured(std::optional<double> turn);
  bool writeSamples(const float* samples, std::size_t n);
  void fail();
  void finish();
  void updateHeader();

  struct File;
  std::unique_ptr<File> out_;
  std::unique_ptr<CaptureSource> capture_;
  std::filesystem::path file_;
  fd::TimerRef timer_;
  bool recording_ = false;
  bool stopped_ = false;
  bool failed_ = false;
  std::size_t written_ = 0;
  std::size_t headerCounts_ = 0;  // the samples the file's header counts
  std::size_t limit_ = 0;  // 0: none
  bool metering_ = false;
  std::vector<float> lastBlock_;
  LevelMeter meter_;
  std::function<void(bool)> finish_;
};

// Tests: called with the file's path before each write a recorder makes to
// its file (samples or header), so that a test can make the writes slow, as
// a network or user-space file system makes them. An empty function ends it.
void setRecordingWriteHookForTesting(std::function<void(const std::filesystem::path& file)> hook);

}  // namespace media
