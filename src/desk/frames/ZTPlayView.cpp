#include "desk/frames/ZTPlayView.h"

#include <algorithm>

#include "desk/DeskPalette.h"
#include "desk/frames/PictureLoad.h"
#include "model/Timeline.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/FileUtil.h"
#include "platform/media/AudioSession.h"

namespace {

ProjectDataModel* project() { return ZTDataModel::sharedInstance().prjDataModel().get(); }
ExtendDataModel& settings() { return ZTDataModel::sharedInstance().extendDataModel(); }

// The tags as the own step reads them: first and end frame, and the sound.
struct FrameTags {
  SoundTagLists lists;
  int count = 0;
  int first(int i) const { return lists.frames[2 * i]; }
  int end(int i) const { return lists.frames[2 * i + 1]; }
};

FrameTags frameTagsOf(const ProjectDataModel& p) {
  FrameTags t;
  t.lists = soundTagListsOf(p.soundTags());
  t.count = static_cast<int>(std::min(t.lists.frames.size() / 2, t.lists.names.size()));
  return t;
}

bool isAnimatedBackground(int type) { return type >= 3 && type <= 6; }

}  // namespace

std::shared_ptr<ZTPlayView> ZTPlayView::initWithFrame(const ui::Rect& frame) {
  return std::make_shared<ZTPlayView>(frame);
}

ZTPlayView::ZTPlayView(const ui::Rect& frame) : ui::View(frame) {
  // Frames are drawn on transparent layers; without a background picture
  // they would show on the manager's dark panel, so they play on the same
  // paper the desk draws them on.
  setBackgroundColor({desk_palette::kPaper.r, desk_palette::kPaper.g, desk_palette::kPaper.b, 1});
  const ui::Rect full{0, 0, frame.width, frame.height};
  background_ = std::make_shared<ui::ImageView>(full);
  imageView_ = std::make_shared<ui::ImageView>(full);
  for (ui::ImageView* v : {background_.get(), imageView_.get()}) {
    v->setBackgroundColor(ui::Color::clear());
    v->setUserInteractionEnabled(false);
  }
  if (ProjectDataModel* p = project()) {
    OptionalPath path;
    if (!isAnimatedBackground(p->backgroundType())) path = p->backgroundFullPath();
    else if (p->curBackgroundName())
      path = ZTDataModel::sharedInstance().dynamicBackgroundFullPathWithBackgroundName(*p->curBackgroundName(), 0);
    if (path) background_->setImage(ui::Picture::fromFile(*path));
    background_->setHidden(!p->isOpenBackground());
  }
  addSubview(background_);
  addSubview(imageView_);
}

ZTPlayView::~ZTPlayView() {
  delegate_ = nullptr;
  setTimer(nullptr);
  setAudioPlayer(nullptr);
  setPlayer(nullptr);
}

void ZTPlayView::setAudioPlayer(std::shared_ptr<media::ClipPlayer> p) {
  // A clip let go stops: the output would otherwise play it to its end.
  if (audioPlayer_ && audioPlayer_ != p) {
    audioPlayer_->stop();
    if (settings().avAudio() == audioPlayer_) settings().setAvAudio(nullptr);
  }
  audioPlayer_ = std::move(p);
}

std::shared_ptr<media::ClipPlayer> ZTPlayView::loadClip(const std::filesystem::path& file) {
  std::weak_ptr<ui::View> weak = weak_from_this();
  auto clip = media::ClipPlayer::load(file, [weak, name = file.string()](const fd::Status& loaded) {
    if (auto self = weak.lock(); self && !loaded) static_cast<ZTPlayView*>(self.get())->unplayable_.report(name, loaded.error());
  });
  setAudioPlayer(clip);
  return clip;
}

void ZTPlayView::setPlayer(std::shared_ptr<AudioPlayer> p) {
  if (player_ && player_ != p) {
    // At once: the buffers already queued would sound past the tag's end.
    player_->setAudioPlayerShouldStopImmediately(true);
    player_->stop();
    if (settings().player() == player_) settings().setPlayer(nullptr);
  }
  player_ = std::move(p);
}

void ZTPlayView::setTimer(fd::TimerRef t) {
  if (timer_) timer_->invalidate();
  timer_ = std::move(t);
}

int ZTPlayView::frameCount() const {
  ProjectDataModel* p = project();
  return p ? static_cast<int>(p->imagesArray().size()) : 0;
}

double ZTPlayView::stepInterval() {
  ProjectDataModel* p = project();
  const float speed = p && p->animationSpeed() > 0 ? p->animationSpeed() : 0.5f;
  return 0.08f / speed;
}

void ZTPlayView::play() {
  // The timer holds the view weakly: a player removed while playing stops.
  std::weak_ptr<ui::View> weak = weak_from_this();
  setTimer(fd::RunLoop::main().scheduleTicks(stepInterval(), [weak] {
    if (auto v = weak.lock()) static_cast<ZTPlayView*>(v.get())->nextPage();
  }));
  state_ = kForward;
  unplayable_.reset();
  if (delegate_) delegate_->playDidBegin(true);
  if (isRecorder_ && delegate_) {
    if (const int start = delegate_->getPage(); start > 0) page_ = start;
  }
  if (!isRecorder_ && delegate_) {
    if (auto start = delegate_->getPalySoundBeginAndEndFrameAndSoundName()) {
      firstPage_ = start->point;
      firstFew_ = start->index;
      page_ = start->point;
    }
  }
  if (isModelPlay_) startModelPlay();
}

void ZTPlayView::startModelPlay() {
  firstPage_ = settings().curPage();
  firstFew_ = 0;
  ProjectDataModel* p = project();
  if (!p) return;
  const FrameTags tags = frameTagsOf(*p);
  if (tags.count == 0 || firstPage_ <= tags.first(0) || firstPage_ >= tags.end(tags.count - 1)) return;
  for (int i = 1; i < tags.count; ++i) {
    if (tags.first(i) >= firstPage_) {
      firstFew_ = i;
      return;
    }
  }
}

void ZTPlayView::reverse() {
  stop();
  std::weak_ptr<ui::View> weak = weak_from_this();
  setTimer(fd::RunLoop::main().scheduleTicks(stepInterval(), [weak] {
    if (auto v = weak.lock()) static_cast<ZTPlayView*>(v.get())->perPage();
  }));
  state_ = kReverse;
  if (delegate_) delegate_->playDidBegin(false);
}

void ZTPlayView::stop() {
  setTimer(nullptr);
  state_ = kStopped;
  if (delegate_) delegate_->playDidStop(this);
  // No clip outlives the playing, whatever the owner did with it.
  setAudioPlayer(nullptr);
  isAudioPlayer_ = false;
  setPlayer(nullptr);
  isPlayer_ = false;
}

void ZTPlayView::setPage(int p) {
  if (p == page_ && p != 1) return;
  page_ = p;
  ProjectDataModel* model = project();
  OptionalPath snapshot, animated;
  bool hideBackground = false;
  if (model) {
    snapshot = model->snapshotFullPathAtPage(p, false);
    hideBackground = !model->isOpenBackground();
    if (!hideBackground && isAnimatedBackground(model->backgroundType()) && model->curBackgroundName())
      animated = ZTDataModel::sharedInstance().dynamicBackgroundFullPathWithBackgroundName(*model->curBackgroundName(), p);
  }
  const bool animatedKind = model && isAnimatedBackground(model->backgroundType());
  background_->setHidden(hideBackground);
  const std::uint64_t number = ++loadNumber_;
  auto self = std::static_pointer_cast<ZTPlayView>(shared_from_this());
  picture_load::start({snapshot, animated}, [self, number, animatedKind, hideBackground](picture_load::Pictures& pics) {
    if (number != self->loadNumber_) return;
    self->imageView_->setImage(pics[0] ? ui::Picture(std::move(*pics[0])) : ui::Picture());
    if (animatedKind && !hideBackground)
      self->background_->setImage(pics[1] ? ui::Picture(std::move(*pics[1])) : ui::Picture());
  });
  if (delegate_) delegate_->moveSliderBar(p);
}

void ZTPlayView::nextPage() {
  // Decided on the page at entry: the owner may show another page when a
  // recording stops, and that must not be stepped on from.
  const bool rec = isRecorder_;
  const int at = page_;
  const int count = frameCount();
  if (isRecorder_ && at == count) stop();
  if (at >= 0 && at < count) {
    setPage(at + 1);
  } else if (!rec) {
    setPage(1);
  } else {
    setTimer(nullptr);
    if (delegate_) delegate_->playDidStop(this);
  }
  // The sound step only while forward play goes on: a run that has just
  // stopped starts no clip.
  ProjectDataModel* p = project();
  if (isRecorder_ || state_ != kForward || !timer_ || !p || p->soundTags().empty() || count < 2) return;
  if (isModelPlay_) playMultiAudio();
  else if (delegate_) delegate_->playMultiAudio(page_ + 1);
}

void ZTPlayView::playMultiAudio() {
  ProjectDataModel* p = project();
  if (state_ == kReverse || isRecorder_ || !p) return;
  const FrameTags tags = frameTagsOf(*p);
  if (tags.count == 0) return;
  // Tags edited since play began may leave the counter's tag behind.
  if (firstFew_ < 0 || firstFew_ >= tags.count) firstFew_ = 0;
  const int s = tags.first(firstFew_), e = tags.end(firstFew_);
  // Reached or passed: a counter that starts late, or a tag too short for
  // its stop to come after its start, must still move on to the next tag.
  const bool ends = firstPage_ >= e - 1;
  if (firstPage_ == s && !ends) startClip(tags.lists.names[firstFew_], s, e);
  if (ends) {
    stopClips();
    if (firstFew_ + 1 < static_cast<int>(tags.lists.names.size())) ++firstFew_;
  }
  // Past the last frame every tag's stop has come: nothing sounds on into
  // the next round.
  if (firstPage_ >= frameCount()) {
    stopClips();
    firstPage_ = 0;
    firstFew_ = 0;
  }
  ++firstPage_;
}

void ZTPlayView::startClip(const std::string& name, int first, int end) {
  ProjectDataModel* p = project();
  media::AudioSession::shared().setCategory(media::SessionCategory::Playback);
  // Documents first, then the project's own copy; a sound found in neither,
  // or one that cannot be read, plays nothing and the frames go on.
  const OptionalPath file = p ? p->soundFilePathWithName(name) : std::nullopt;
  if (!file || !fd::files::exists(*file)) return;
  if (file->extension() == ".caf") {
    if (isAudioPlayer_) return;
    auto clip = loadClip(*file);
    settings().setAvAudio(clip);
    clip->play();
    isAudioPlayer_ = true;
    return;
  }
  if (isPlayer_) return;
  std::shared_ptr<AudioPlayer> queued = AudioPlayer::initWithURL(*file);
  if (!queued->openFailure().empty()) {
    unplayable_.report(file->string(), queued->openFailure());
    return;
  }
  const float duration = static_cast<float>(queued->getDuration());
  if (!(duration > 0)) return;
  const float speed = p->animationSpeed() > 0 ? p->animationSpeed() : timeline::kSoundSpeed;
  const float tagSeconds = static_cast<float>(end - first) * static_cast<float>(timeline::kFrameSeconds) / speed;
  // A clip long enough skips its first second.
  if (duration - 1.0f >= tagSeconds) queued->playAt(1.0);
  else queued->play();
  setPlayer(queued);
  settings().setPlayer(queued);
  isPlayer_ = true;
}

void ZTPlayView::stopClips() {
  if (isAudioPlayer_) {
    setAudioPlayer(nullptr);
    isAudioPlayer_ = false;
  }
  if (isPlayer_) {
    setPlayer(nullptr);
    isPlayer_ = false;
  }
}

void ZTPlayView::perPage() {
  if (page_ <= 1) setPage(frameCount());
  else setPage(page_ - 1);
}

void ZTPlayView::firstPage() {
  stop();
  setPage(1);
}

void ZTPlayView::lastPage() {
  stop();
  setPage(frameCount());
}
