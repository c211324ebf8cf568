#pragma once
// The frame manager's small player: one frame at a time, its snapshot over
// the project background, stepped forward or backward on a timer at the
// project's speed (a step for every interval the clock has passed, however
// late the timer's calls come); pictures are read off the main thread. Its sound step is
// its owner's, unless it is set to run its own (`isModelPlay`), which walks
// the tags by a frame counter of its own and starts each clip at its tag's
// first frame.
#include <cstdint>
#include <memory>
#include <optional>

#include "desk/sound/AudioPlayer.h"
#include "desk/sound/UnplayableSounds.h"
#include "platform/foundation/RunLoop.h"
#include "platform/media/ClipPlayer.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/View.h"

class ZTPlayView;

// Where forward play starts and which sound tag it waits for first.
struct PlaySoundStart {
  int point = 1;  // the page to start at
  int index = 0;  // the tag the sound step waits for
};

// What the player tells its owner; every message optional.
class ZTPlayViewDelegate {
 public:
  virtual ~ZTPlayViewDelegate() = default;
  virtual void playDidBegin(bool /*forward*/) {}
  virtual void playDidStop(ZTPlayView*) {}
  virtual void moveSliderBar(int /*page*/) {}
  // Recording mode: the page forward play starts from; 0 keeps the page.
  virtual int getPage() { return 0; }
  // Outside recording mode: where forward play starts; nullopt keeps the page.
  virtual std::optional<PlaySoundStart> getPalySoundBeginAndEndFrameAndSoundName() { return std::nullopt; }
  // The sound step for the page after the one now shown, on each forward step.
  virtual void playMultiAudio(int /*page*/) {}
};

class ZTPlayView : public ui::View {
 public:
  enum State { kStopped = 0, kForward = 1, kReverse = 2 };

  static std::shared_ptr<ZTPlayView> initWithFrame(const ui::Rect& frame);
  explicit ZTPlayView(const ui::Rect& frame);
  ~ZTPlayView() override;

  int page() const { return page_; }
  int state() const { return state_; }
  bool isPlay() const { return timer_ != nullptr; }
  bool isRecorder() const { return isRecorder_; }
  void setIsRecorder(bool r) { isRecorder_ = r; }
  ZTPlayViewDelegate* delegate() const { return delegate_; }
  void setDelegate(ZTPlayViewDelegate* d) { delegate_ = d; }
  ui::ImageView* imageView() const { return imageView_.get(); }
  ui::ImageView* background() const { return background_.get(); }
  // The tag the owner's sound step waits for, and the clip it plays.
  int firstFew() const { return firstFew_; }
  void setFirstFew(int f) { firstFew_ = f; }
  const std::shared_ptr<media::ClipPlayer>& audioPlayer() const { return audioPlayer_; }
  void setAudioPlayer(std::shared_ptr<media::ClipPlayer> p);
  bool isAudioPlayer() const { return isAudioPlayer_; }
  void setIsAudioPlayer(bool b) { isAudioPlayer_ = b; }
  // Starts a clip of the tags (read off the main thread) as the playing
  // clip; a sound that cannot be played is told of once while play lasts.
  std::shared_ptr<media::ClipPlayer> loadClip(const std::filesystem::path& file);

  // --- the view's own sound step
  bool isModelPlay() const { return isModelPlay_; }
  void setIsModelPlay(bool b) { isModelPlay_ = b; }
  // The sound counter (1-based); named apart from the step to the first frame.
  int firstPageCounter() const { return firstPage_; }
  void setFirstPage(int p) { firstPage_ = p; }
  // The queue player of the own step, for sounds that are not ".caf".
  const std::shared_ptr<AudioPlayer>& player() const { return player_; }
  void setPlayer(std::shared_ptr<AudioPlayer> p);
  bool isPlayer() const { return isPlayer_; }
  void setIsPlayer(bool b) { isPlayer_ = b; }
  // One forward step of the own sound step: a clip starts when the counter is
  // on its tag's first frame and stops one frame before the tag's end; the
  // counter wraps after the last frame.
  void playMultiAudio();

  void play();
  void reverse();
  void stop();
  void setPage(int p);
  void nextPage();
  void perPage();
  void firstPage();
  void lastPage();
  // Seconds between steps at the project's speed.
  static double stepInterval();

 private:
  void setTimer(fd::TimerRef t);
  int frameCount() const;
  // Where the own step's counter starts and which tag it waits for.
  void startModelPlay();
  void startClip(const std::string& name, int first, int end);
  void stopClips();

  int page_ = -1;
  std::shared_ptr<ui::ImageView> background_, imageView_;
  fd::TimerRef timer_;
  int state_ = kStopped;
  bool isRecorder_ = false;
  ZTPlayViewDelegate* delegate_ = nullptr;
  int firstFew_ = 0;
  int firstPage_ = 0;
  std::shared_ptr<media::ClipPlayer> audioPlayer_;
  bool isModelPlay_ = false;
  bool isPlayer_ = false;
  bool isAudioPlayer_ = false;
  std::shared_ptr<AudioPlayer> player_;
  UnplayableSounds unplayable_;
  // Only the newest page's pictures are shown.
  std::uint64_t loadNumber_ = 0;
};
