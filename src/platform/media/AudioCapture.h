#pragma once
// The microphone: mono samples at 44100 Hz from the machine's capture device
// through SDL, or from a sound file played as the microphone (set by
// setCaptureInputFile or $FLIPDESK_AUDIO_INPUT), which delivers its samples
// in step with the main run loop's clock, so that tests on the virtual clock
// record exactly what the file holds. After the file's end it is silent.
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>

#include "platform/foundation/Expected.h"

namespace media {

class CaptureSource {
 public:
  virtual ~CaptureSource() = default;
  virtual void start() = 0;
  virtual void pause() = 0;
  // How many captured samples wait to be read now.
  virtual std::size_t available() = 0;
  // Moves up to `max` captured samples (in [-1, 1), s16 / 32768) into out;
  // answers how many.
  virtual std::size_t read(float* out, std::size_t max) = 0;
};

// Whose time a sound file played as the microphone follows: the main run
// loop's (virtual in tests; what the recorder uses) or the real clock (for
// capture threads such as the camera's).
enum class CaptureClock { RunLoop, RealTime };

// A fresh capture source, or a failure naming why there is no microphone.
fd::Expected<std::unique_ptr<CaptureSource>> openCapture(CaptureClock clock = CaptureClock::RunLoop);

// Tests and machines without a microphone: the file every later openCapture
// plays (nullopt: the real device again).
void setCaptureInputFile(std::optional<std::filesystem::path> file);

}  // namespace media
