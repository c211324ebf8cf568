#pragma once
// The process's one sound recorder: records the microphone into a linear-PCM
// file and switches the audio session's category around recording. The frame
// manager's sound track records its clips with it. The file is written by
// the recorder's own thread and is complete some moments after a stop, when
// the finish handler is told. Main thread only.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/media/Recorder.h"

class AudioRecorderManager {
 public:
  static AudioRecorderManager& sharedManager();

  static constexpr const char* kErrorDomain = "AudioRecorderManagerErrorDomain";

  // Completes any recording still held, then prepares a new one into `file`
  // (44100 Hz, mono, linear PCM; the container follows the extension). The
  // error says why nothing can be recorded (no microphone, a file that cannot
  // be made); nullopt when ready.
  std::optional<fd::Error> prepareToRecordFile(const std::filesystem::path& file);

  bool record();
  bool recordForDuration(double seconds);
  void pause();
  void stop();
  // The recorder's handlers (see media::Recorder): the recording stopped by
  // itself, and its file complete.
  void setHandlers(std::function<void()> ended, std::function<void(const media::RecordingOutcome&)> finished);
  // The end of the program: the file of a stopped recording waited for, at
  // most `seconds`; true when it is complete.
  bool waitUntilWritten(double seconds);
  void setMeteringEnabled(bool enabled);
  // Decibels of the channel after refreshing the meters; 0 with metering off.
  float averagePower();
  float peakPower();
  // Stops if recording, sets the ambient category and lets the recorder go
  // (a file not yet complete is finished by its thread, nobody told).
  void completeRecording();
  bool isRecording() const;
  double currentTime() const;
  // The file's URL as an absolute string ("file:///..."), empty without a recorder.
  std::string fileUrl() const;

  // An interruption (a call, another program taking the sound) has ended:
  // recording resumes.
  void interruptionEnded();

  bool hasRecorder() const { return recorder_ != nullptr; }

 private:
  AudioRecorderManager() = default;
  std::unique_ptr<media::Recorder> recorder_;
};
