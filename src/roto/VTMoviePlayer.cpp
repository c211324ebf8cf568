#include "roto/VTMoviePlayer.h"

#include <algorithm>

#include "roto/RotoFrameExport.h"

namespace roto {

namespace {
constexpr double kFrameInterval = 1.0 / 30;
}

VTMoviePlayer::VTMoviePlayer(std::filesystem::path contentURL)
    : url_(std::move(contentURL)), view_(std::make_shared<ui::ImageView>()) {
  view_->setContentMode(ui::ContentMode::ScaleAspectFill);
  view_->setClipsToBounds(true);
}

VTMoviePlayer::~VTMoviePlayer() {
  pause();
  ++*generation_;
  ++*thumbnailGeneration_;
}

void VTMoviePlayer::setContentURL(std::filesystem::path url) {
  pause();
  ++*generation_;
  ++*thumbnailGeneration_;
  url_ = std::move(url);
  reader_.reset();
  duration_ = time_ = 0;
  prepareToPlay();
}

void VTMoviePlayer::prepareToPlay() {
  if (!reader_) {
    auto r = media::MovieReader::open(url_);
    if (!r) {
      loadError_ = r.error();
      return;
    }
    if (!(*r)->hasVideo()) {
      loadError_ = url_.filename().string() + " holds no pictures";
      return;
    }
    loadError_.clear();
    reader_ = std::move(*r);
    duration_ = reader_->duration();
    rotation_ = reader_->rotationDegrees();
  }
  showPicture();
  std::weak_ptr<int> gen = generation_;
  const int at = *generation_;
  fd::RunLoop::main().post([this, gen, at] {
    auto g = gen.lock();
    if (g && *g == at && onDurationAvailable) onDurationAvailable();
  });
}

void VTMoviePlayer::setCurrentPlaybackTime(double t) {
  time_ = std::clamp(t, 0.0, duration_);
  showPicture();
}

gfx::Image VTMoviePlayer::thumbnailImageAtTime(double t, int) {
  if (!reader_) return {};
  auto f = reader_->frameAt(std::clamp(t, 0.0, duration_));
  if (!f || !f->pixels) return {};
  return RotoFrameExport::uprightPicture(*f->pixels, rotation_);
}

void VTMoviePlayer::showPicture() {
  gfx::Image picture = thumbnailImageAtTime(time_, kOptionExact);
  if (!picture.empty()) view_->setImage(ui::Picture(std::move(picture)));
}

void VTMoviePlayer::play() {
  if (timer_ || !reader_) return;
  if (time_ >= duration_) time_ = 0;
  lastTick_ = fd::RunLoop::main().now();
  timer_ = fd::RunLoop::main().scheduleTimer(kFrameInterval, true, [this] { tick(); });
}

void VTMoviePlayer::pause() {
  if (timer_) timer_->invalidate();
  timer_.reset();
}

void VTMoviePlayer::tick() {
  const double now = fd::RunLoop::main().now();
  time_ = std::min(duration_, time_ + (now - lastTick_));
  lastTick_ = now;
  showPicture();
  if (time_ < duration_) return;
  pause();
  if (onPlaybackDidFinish) onPlaybackDidFinish(kFinishReasonPlaybackEnded);
}

void VTMoviePlayer::requestThumbnailImagesAtTimes(const std::vector<double>& times, int option) {
  std::weak_ptr<int> gen = thumbnailGeneration_;
  const int at = *thumbnailGeneration_;
  for (double t : times)
    fd::RunLoop::main().post([this, gen, at, t, option] {
      auto g = gen.lock();
      if (!g || *g != at || !onThumbnail) return;
      gfx::Image picture = thumbnailImageAtTime(t, option);
      if (picture.empty())
        onThumbnail(std::nullopt);
      else
        onThumbnail(std::move(picture));
    });
}

void VTMoviePlayer::cancelAllThumbnailImageRequests() { ++*thumbnailGeneration_; }

}  // namespace roto
