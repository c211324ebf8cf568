#pragma once
// A sound recorder: the microphone into a 16-bit linear PCM file whose
// container follows the file name (".caf", ".wav", ".aif"/".aiff"). The main
// loop only moves what the microphone captured to a thread of the recorder's
// own, which writes the file in whole pages (in larger blocks while it is
// behind) and rewrites the header after each block, so that the main loop
// never waits on the file, however slow its storage, and a recording whose
// process is killed still reads back all but its last moments. Storage that
// falls too far behind, or refuses a write (a full disk), ends the recording
// at what the file holds. Main thread only.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
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

// What a recording's file holds once it is complete.
struct RecordingOutcome {
  enum class End {
    Whole,        // all that was recorded up to the stop
    DiskFull,     // a write was refused for want of space
    TooSlow,      // the storage fell too far behind the microphone
    WriteFailed,  // a write failed otherwise
    Unfinished,   // the program ended while writes were still under way
  };
  End end = End::Whole;
  double seconds = 0;  // of sound in the file
  std::string error;   // the system's words for a failed write
  bool whole() const { return end == End::Whole; }
};

class Recorder {
 public:
  // Opens the microphone, creates the file and starts the thread that writes
  // it. A failure says why (no microphone, a path that cannot be written,
  // settings not supported, no thread) and leaves no file behind.
  static fd::Expected<std::unique_ptr<Recorder>> prepare(const std::filesystem::path& file,
                                                          const RecordingSettings& settings = {});
  // A file still being written is finished by its thread; no handler is told.
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  bool record();
  // Records until `seconds` of sound are taken, then stops by itself.
  bool recordForDuration(double seconds);
  // What was captured goes to the file whole, the header counting it all.
  void pause();
  // Ends the recording at once: all captured up to now goes to the file,
  // which is complete when the finish handler is told.
  void stop();
  // The end of the program: waits at most `seconds` for the file. True when
  // it is complete (the finish told); otherwise the writes under way are left
  // to go on, and the finish tells what the header counts by now.
  bool waitUntilWritten(double seconds);

  bool isRecording() const { return recording_; }
  // Stopped, the file not yet complete.
  bool isWriting() const { return stopped_ && !finished_; }
  // Seconds recorded so far; once the file is complete, what it holds.
  double currentTime() const;
  const std::filesystem::path& url() const { return file_; }

  void setMeteringEnabled(bool enabled) { metering_ = enabled; }
  bool meteringEnabled() const { return metering_; }
  void updateMeters();
  float averagePower() const { return meter_.averagePower; }
  float peakPower() const { return meter_.peakPower; }

  // Told on the main loop when the recording stops by itself (its duration
  // reached, a write refused, the storage too far behind), before the file is
  // complete.
  void setEndHandler(std::function<void()> handler) { end_ = std::move(handler); }
  // Told on the main loop once, when the file is complete.
  void setFinishHandler(std::function<void(const RecordingOutcome&)> handler) { finish_ = std::move(handler); }

  // Captured samples go to the writer; the recorder does this on its own
  // timer, tests may call it after moving the clock. On a virtual clock it
  // waits until the writer has done what it can before the clock moves on.
  void drain();

 private:
  struct Writer;
  Recorder() = default;
  // Hands what the microphone captured to the writer.
  void moveCaptured();
  // No more samples: the writer finishes the file.
  void endRecording();
  void finished(const RecordingOutcome& outcome);
  // On a virtual clock: the loop in step with the writer.
  void keepStep();

  std::shared_ptr<Writer> writer_;
  std::unique_ptr<CaptureSource> capture_;
  std::filesystem::path file_;
  fd::TimerRef timer_;
  bool recording_ = false;
  bool stopped_ = false;
  bool finished_ = false;
  std::size_t taken_ = 0;  // samples handed to the writer
  std::size_t limit_ = 0;  // 0: none
  double stepAt_ = -1;
  bool metering_ = false;
  std::vector<float> lastBlock_;
  LevelMeter meter_;
  std::function<void()> end_;
  std::function<void(const RecordingOutcome&)> finish_;
};

// Tests: asked before each write a recorder makes to its file (samples or
// the header, so many bytes), on the thread that writes: how long the write
// takes on the main loop's clock (the writer waits for the clock to get
// there, as a slow network or user-space mount keeps a program waiting), or
// the error number that refuses it (ENOSPC: the disk is full). An empty
// function ends it.
struct RecordingWrite {
  double seconds = 0;
  int error = 0;
};
using RecordingWriteHook = std::function<RecordingWrite(const std::filesystem::path& file, std::size_t bytes)>;
void setRecordingWriteHookForTesting(RecordingWriteHook hook);

}  // namespace media
