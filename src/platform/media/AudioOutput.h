#pragma once
// The process's sound output: one mono 44100 Hz stream that mixes every
// playing source. The sound card is opened on the first source through SDL;
// where none can be opened the stream is still consumed at real-time pace, so
// players advance and finish as they would with sound (by a thread of its
// own: where none can start, sounds wait until a later one added starts it).
// Tests render by hand.
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace media {

inline constexpr int kOutputSampleRate = 44100;

// Something that plays: adds its next samples into the mix.
class AudioSource {
 public:
  virtual ~AudioSource() = default;
  // Adds up to `frames` samples into `mix` (mono, output rate). Answers false
  // once the source has nothing more to play; the output then drops it.
  // Called on the output's thread.
  virtual bool mixInto(float* mix, std::size_t frames) = 0;
};

class AudioOutput {
 public:
  static AudioOutput& shared();

  void add(const std::shared_ptr<AudioSource>& source);
  void remove(const AudioSource* source);
  bool contains(const AudioSource* source) const;
  std::size_t sourceCount() const;

  // Tests drive the output themselves: no device, no pacing thread; render()
  // consumes as much as the test says.
  void setManualRendering(bool manual);
  bool manualRendering() const;
  // Mixes the next `frames` samples of every source into out (overwritten),
  // clipped to [-1, 1]; where the sum is not a number, or infinite, silence.
  void render(float* out, std::size_t frames);

  // Whether a real sound device plays the stream.
  bool hasDevice() const;

  AudioOutput(const AudioOutput&) = delete;
  AudioOutput& operator=(const AudioOutput&) = delete;
  ~AudioOutput();

 private:
  AudioOutput();
  void startLocked();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Level meter of a block of samples, in decibels as the phone reports them:
// 0 at full scale, down to -160 for silence.
struct LevelMeter {
  float averagePower = -160;
  float peakPower = -160;
  static LevelMeter measure(const float* samples, std::size_t count);
};

}  // namespace media
