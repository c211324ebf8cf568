#pragma once
// A sound clip player: the whole file decoded to the output's rate (within
// the bounds of SoundReader), played into the shared output from any
// position, several at once. Position, volume, loops and meters are read and
// set from the main thread; the end of a clip is told on the main run loop.
// `load` decodes on a thread of its own, so the main thread never waits for
// a long file.
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/foundation/Expected.h"
#include "platform/media/AudioOutput.h"

namespace media {

class ClipPlayer : public AudioSource, public std::enable_shared_from_this<ClipPlayer> {
 public:
  // Decodes the file before answering. Fails with a message naming the file
  // when it is not a sound the program plays. Not for the main thread.
  static fd::Expected<std::shared_ptr<ClipPlayer>> open(const std::filesystem::path& file);
  // Answers at once with a player that decodes the file on a thread of its
  // own (one decode at a time). Until the sound is there the player takes its
  // settings and plays silence, keeping time, so it starts in step with
  // whatever started it. `loaded` is told on the main run loop with the
  // outcome (a refusal names the file and says why); a player let go before
  // its sound is read stops the decode and tells nothing. A refused player
  // plays nothing and ends silently.
  static std::shared_ptr<ClipPlayer> load(const std::filesystem::path& file,
                                          std::function<void(const fd::Status&)> loaded = {});
  // Tests: waits until every load started so far has finished, then runs the
  // main loop so their handlers are told. Main thread only.
  static void waitForLoads();
  // A clip from samples already at the output's rate (tests, generated sounds).
  static std::shared_ptr<ClipPlayer> fromSamples(std::vector<float> samples);

  const std::filesystem::path& file() const { return file_; }
  bool isLoading() const;
  // 0 while loading.
  double duration() const;

  // Starts (or goes on) from the current time. False when the current time is
  // at or past the end.
  bool play();
  // Stops playing and keeps the position, as pause does.
  void stop();
  void pause() { stop(); }
  bool isPlaying() const;

  double currentTime() const;
  // Seconds from the start, held to [0, duration] (while loading, to the
  // longest sound there can be).
  void setCurrentTime(double seconds);

  // 0..1.
  void setVolume(float volume);
  float volume() const;
  // Times the clip starts again after its end; a negative count loops until
  // stopped.
  void setNumberOfLoops(int loops);

  void setMeteringEnabled(bool enabled);
  bool meteringEnabled() const;
  // Refreshes the meters from what was played last.
  void updateMeters();
  float averagePower() const;
  float peakPower() const;

  // Told on the main run loop when the clip plays to its end (not on stop).
  void setFinishHandler(std::function<void()> handler);

  bool mixInto(float* mix, std::size_t frames) override;

 private:
  ClipPlayer() = default;
  // The decode's outcome, taken in; a refusal is answered back.
  fd::Status finishLoading(fd::Expected<std::vector<float>> samples);

  std::filesystem::path file_;
  std::vector<float> samples_;
  mutable std::mutex mutex_;
  std::size_t position_ = 0;
  bool loading_ = false;
  bool refused_ = false;
  bool playing_ = false;
  float volume_ = 1.0f;
  int loopsLeft_ = 0;
  bool metering_ = false;
  std::vector<float> lastBlock_;
  LevelMeter meter_;
  std::shared_ptr<std::function<void()>> finish_;
};

}  // namespace media
