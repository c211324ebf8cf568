#pragma once
// The replay under the rotoscoping screen's timeline: a view that shows the
// movie's picture at the playback time, playing on the main loop's clock,
// with seeking, thumbnails at asked times and the three notices the screen
// waits for (duration known, playback ended, thumbnail ready), each delivered
// on the main loop.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/graphics/Image.h"
#include "platform/media/MovieReader.h"
#include "platform/ui/ImageView.h"

namespace roto {

class VTMoviePlayer {
 public:
  // Why playback finished.
  static constexpr int kFinishReasonPlaybackEnded = 0;
  // Thumbnail options.
  static constexpr int kOptionNearestKeyFrame = 0;
  static constexpr int kOptionExact = 1;

  explicit VTMoviePlayer(std::filesystem::path contentURL);
  ~VTMoviePlayer();
  VTMoviePlayer(const VTMoviePlayer&) = delete;
  VTMoviePlayer& operator=(const VTMoviePlayer&) = delete;

  const std::shared_ptr<ui::ImageView>& view() const { return view_; }
  const std::filesystem::path& contentURL() const { return url_; }
  void setContentURL(std::filesystem::path url);

  // Opens the movie; the duration notice follows on the main loop. A movie
  // that cannot be played gives no notice: loadError() says why.
  void prepareToPlay();
  bool isLoaded() const { return reader_ != nullptr; }
  const std::string& loadError() const { return loadError_; }
  double duration() const { return duration_; }
  double currentPlaybackTime() const { return time_; }
  void setCurrentPlaybackTime(double t);
  bool isPlaying() const { return timer_ != nullptr; }
  void play();
  void pause();
  void beginSeekingForward() { seeking_ = 1; }
  void beginSeekingBackward() { seeking_ = -1; }
  void endSeeking() { seeking_ = 0; }
  int seeking() const { return seeking_; }

  // Each thumbnail arrives as its own notice, in the order asked.
  void requestThumbnailImagesAtTimes(const std::vector<double>& times, int option);
  void cancelAllThumbnailImageRequests();
  // The picture on show at t, upright; empty when there is none.
  gfx::Image thumbnailImageAtTime(double t, int option);

  // Notices (main loop).
  std::function<void()> onDurationAvailable;
  std::function<void(int reason)> onPlaybackDidFinish;
  // The picture, or nullopt when the thumbnail failed.
  std::function<void(std::optional<gfx::Image>)> onThumbnail;

 private:
  void showPicture();
  void tick();
  std::filesystem::path url_;
  std::unique_ptr<media::MovieReader> reader_;
  std::string loadError_;
  int rotation_ = 0;
  double duration_ = 0;
  double time_ = 0;
  double lastTick_ = 0;
  int seeking_ = 0;
  fd::TimerRef timer_;
  // Bumped to drop notices of requests made before.
  std::shared_ptr<int> generation_ = std::make_shared<int>(0);
  std::shared_ptr<int> thumbnailGeneration_ = std::make_shared<int>(0);
  std::shared_ptr<ui::ImageView> view_;
};

}  // namespace roto
