#include "desk/frames/SoundTrack.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "desk/DesktopManagerController.h"
#include "desk/frames/SoundArt.h"
#include "desk/frames/SoundTimeline.h"
#include "desk/frames/ZTPicManagerView.h"
#include "desk/sound/AudioRecorderManager.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/media/AudioSession.h"
#include "platform/ui/Animation.h"
#include "platform/ui/NavigationController.h"

namespace st = sound_timeline;
namespace fs = std::filesystem;

namespace {

constexpr float kTagY = 20, kTagHeight = 58;
constexpr float kMinimumTagWidth = timeline::kMinimumTagWidth;
constexpr float kStepEnd = 378;  // the sound step's end of the timeline
constexpr double kRecordDelay = 0.01, kRenumberDelay = 0.5;
// The end of the program waits this long at most for a recording's file.
constexpr double kQuitWait = 1.0;
// Tags found outside the timeline when the manager closes are dropped.
constexpr float kNarrowestKept = 5;
// The titles sit under the buttons' glyphs. The toolkit's insets shrink the
// title's own rectangle, so the shift down keeps its height (a bottom inset
// of the same amount, negative).
constexpr ui::EdgeInsets kButtonTitleInsets{18, 0, -18, 0};
constexpr ui::EdgeInsets kTabTitleInsets{15, 2, -15, -2};
constexpr ui::Color kTitleGrey{0.78f, 0.8f, 0.83f, 1};

ExtendDataModel& settings() { return ZTDataModel::sharedInstance().extendDataModel(); }

std::string withoutExtension(const std::string& name) { return fs::path(name).stem().string(); }

// The text with its first "%@" replaced by the value.
std::string withValue(std::string text, const std::string& value) {
  if (const std::size_t at = text.find("%@"); at != std::string::npos) text.replace(at, 2, value);
  return text;
}

// Seconds as the alerts give them: one decimal, two below a tenth, so that a
// recording that holds sound never reads as 0.0 seconds.
std::string secondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, seconds < 0.095 ? "%.2f" : "%.1f", seconds);
  return text;
}

bool isPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

SoundTrack::SoundTrack(ZTPicManagerView& manager) : manager_(manager) {}

SoundTrack::~SoundTrack() {
  fd::RunLoop::main().cancelPerforms(this);
  if (auto picker = picker_.lock()) picker->setAudioSelectedDelegate(nullptr);
  for (auto& v : soundTagArray_) v->setDelegate(nullptr);
  // The panel's buttons may outlive the track (a finger still on one).
  for (ui::Button* b : {recorderBtn_.get(), addSoundBtn_.get(), delSoundBtn_.get(), tabBtn_.get()})
    if (b) b->removeTarget(this, ui::AllEvents);
  // A recording never outlives the screen that made it; a file still being
  // written is finished by the recorder's thread and stays in Documents.
  if (!recordingFile_.empty()) AudioRecorderManager::sharedManager().completeRecording();
}

std::shared_ptr<ui::Button> SoundTrack::makeTrackButton(const ui::Rect& frame, const char* title, const char* normal,
                                                        const char* pressed) {
  auto b = ui::Button::make(ui::ButtonType::Custom, frame);
  b->setTitle(fd::Localized(title));
  b->setTitleColor(kTitleGrey);
  gfx::Font font;
  font.size = 10;
  b->titleLabel()->setFont(font);
  b->setTitleEdgeInsets(kButtonTitleInsets);
  b->setBackgroundImage(sound_art::pictures().named(normal));
  b->setBackgroundImage(sound_art::pictures().named(pressed), ui::StateHighlighted);
  return b;
}

void SoundTrack::build() {
  const float w = manager_.bounds().width;
  audioSelectedView_ = std::make_shared<ui::View>(ui::Rect{w - kTabWidth, kPanelY, kPanelWidth, kPanelHeight});
  audioSelectedView_->setBackgroundColor(ui::Color::clear());
  auto bar = std::make_shared<ui::ImageView>(ui::Rect{0, 0, kPanelWidth, kPanelHeight});
  bar->setImage(sound_art::pictures().named("soundtrack_bar.png"));
  bar->setUserInteractionEnabled(false);
  audioSelectedView_->addSubview(bar);

  sliderBar_ = std::make_shared<ui::ImageView>(ui::Rect{46, 12, 13, 19});
  sliderBar_->setImage(sound_art::pictures().named("picsmanager_slider.png"));
  sliderBar_->setUserInteractionEnabled(false);
  audioSelectedView_->addSubview(sliderBar_);

  delSoundBtn_ = ui::Button::make(ui::ButtonType::Custom, {50, 28, 145, 49});
  delSoundBtn_->setTitleEdgeInsets({5, 20, 0, 32});
  delSoundBtn_->setHidden(true);
  delSoundBtn_->addTarget(this, [this](ui::Control*, const ui::Event*) { deleteSound(); }, ui::TouchUpInside);
  audioSelectedView_->addSubview(delSoundBtn_);

  tabBtn_ = ui::Button::make(ui::ButtonType::Custom, {0, 2, kTabWidth, 80});
  tabBtn_->setTitle(fd::Localized("Sound Track"));
  tabBtn_->setTitleColor(kTitleGrey);
  gfx::Font tabFont;
  tabFont.size = 10;
  tabBtn_->titleLabel()->setFont(tabFont);
  tabBtn_->titleLabel()->setTextAlignment(ui::TextAlignment::Left);
  tabBtn_->titleLabel()->setNumberOfLines(2);
  tabBtn_->titleLabel()->setLineBreakMode(ui::LineBreak::WordWrap);
  tabBtn_->setTitleEdgeInsets(kTabTitleInsets);
  tabBtn_->addTarget(this, [this](ui::Control*, const ui::Event*) { showAudioView(); }, ui::TouchUpInside);
  audioSelectedView_->addSubview(tabBtn_);

  recorderBtn_ = makeTrackButton({390, 14, 45, 66}, "Recorder", "add_record01.png", "add_record02.png");
  recorderBtn_->setTitle(fd::Localized("Stop"), ui::StateSelected);
  recorderBtn_->addTarget(this, [this](ui::Control* c, const ui::Event*) { recorder(static_cast<ui::Button*>(c)); },
                          ui::TouchUpInside);
  audioSelectedView_->addSubview(recorderBtn_);
  addSoundBtn_ = makeTrackButton({435, 14, 45, 66}, "Sound", "add_sound01.png", "add_sound02.png");
  addSoundBtn_->addTarget(this, [this](ui::Control*, const ui::Event*) { addSound(); }, ui::TouchUpInside);
  audioSelectedView_->addSubview(addSoundBtn_);
  manager_.addSubview(audioSelectedView_);

  isRecorder_ = false;
  ProjectDataModel* p = st::project();
  if (!p) return;
  // Tracks play at the one speed that has sound.
  p->setAnimationSpeed(timeline::kSoundSpeed);
  const SoundTagLists lists = soundTagListsOf(p->soundTags());
  for (std::size_t i = 0; 2 * i + 1 < lists.points.size(); ++i) {
    const float x0 = lists.points[2 * i], x1 = lists.points[2 * i + 1];
    const std::string name = i < lists.names.size() ? lists.names[i] : std::string();
    auto view = makeTagView({x0, kTagY, std::max(x1 - x0, kMinimumTagWidth), kTagHeight}, false,
                            "FN:" + withoutExtension(name));
    view->setSoundTag(static_cast<int>(i));
    view->setTag(SoundTagView::kViewTagBase + static_cast<int>(i));
    soundTagArray_.push_back(view);
    audioSelectedView_->addSubview(view);
  }
  // An older project's single sound becomes a tag that may span what it spanned.
  if (p->isNewVersion() && !lists.names.empty() && lists.frames.size() >= 2)
    settings().limitFramesDict()[lists.names[0]] = std::max(lists.frames[1], st::kMinimumLimitFrames);
}

std::shared_ptr<SoundTagView> SoundTrack::makeTagView(const ui::Rect& frame, bool isCreate, const std::string& label) {
  auto view = SoundTagView::initWithFrame(frame, isCreate);
  view->setDelegate(this);
  view->fileName()->setText(label);
  return view;
}

float SoundTrack::cursorX() const { return sliderBar_ ? sliderBar_->frame().x : 46; }

// --- sliding and the cursor

void SoundTrack::showAudioView() {
  isShow_ = !isShow_;
  manager_.isAudioShow_ = isShow_;
  const float w = manager_.bounds().width;
  const float offset = static_cast<float>(manager_.offsetx());
  ui::Rect f = audioSelectedView_->frame();
  if (offset > 0) f.x = isShow_ ? 2 * offset : w - kTabWidth;
  else f.x = isShow_ ? 0 : w - kTabWidth;
  ui::Animations::begin("ShowAudioView");
  audioSelectedView_->setFrame(f);
  ui::Animations::commit();
}

void SoundTrack::dragCursor(ui::Point inManager) {
  // Taken in the panel itself, so the cursor follows the finger wherever the
  // panel stands (the tall screen shows it 88 points further right).
  const ui::Point p = manager_.convertPointTo(inManager, audioSelectedView_.get());
  const ui::Rect c = sliderBar_->frame();
  const ui::Rect zone{c.x - 10, c.y - 10, c.width + 30, c.height + 30};
  if (p.x < zone.x || p.y < zone.y || p.x >= zone.x + zone.width || p.y >= zone.y + zone.height) return;
  ui::Rect f = c;
  f.x = std::clamp(p.x, st::kTrackStart, st::kCursorEnd);
  sliderBar_->setFrame(f);
  // The cursor stays under the finger: snapped to the frame's place, it would
  // leave the finger's reach (frame 1 always snaps back to x 46).
  followingFinger_ = true;
  if (ZTPlayView* player = manager_.playView()) player->setPage(getPage());
  followingFinger_ = false;
}

// --- the player's delegate

void SoundTrack::moveSliderBar(int page) {
  if (!sliderBar_ || followingFinger_) return;
  ui::Rect f = sliderBar_->frame();
  f.x = st::cursorXForPage(page, st::frameCount());
  sliderBar_->setFrame(f);
}

int SoundTrack::getPage() {
  const int n = st::frameCount();
  return std::clamp(st::frameAt(cursorX(), n), 1, std::max(n, 1));
}

std::optional<PlaySoundStart> SoundTrack::getPalySoundBeginAndEndFrameAndSoundName() {
  PlaySoundStart start;
  start.point = getPage();
  ProjectDataModel* p = st::project();
  const std::vector<float> points = p ? p->soundTagPointsArray() : std::vector<float>{};
  const float x = cursorX();
  if (points.size() >= 2 && x > points.front() && x <= points.back()) {
    for (std::size_t i = 1; i < points.size(); i += 2) {
      if (points[i] >= x) {
        start.index = static_cast<int>(i / 2);
        break;
      }
    }
  }
  return start;
}

void SoundTrack::setTagsTakeTouches(bool on) {
  for (auto& v : soundTagArray_) v->setUserInteractionEnabled(on);
}

void SoundTrack::playDidBegin(bool forward) {
  addSoundBtn_->setEnabled(false);
  delSoundBtn_->setEnabled(false);
  manager_.fullscreenBtn()->setEnabled(false);
  ZTPlayView* player = manager_.playView();
  if (forward && !(player && player->isRecorder())) recorderBtn_->setEnabled(false);
  setTagsTakeTouches(false);
}

void SoundTrack::playDidStop(ZTPlayView* player) {
  if (player && player->isRecorder()) {
    recorderBtn_->setSelected(false);
    player->setIsRecorder(false);
    manager_.playButton()->setSelected(false);
    recordingStopped();
  } else {
    recorderBtn_->setEnabled(recordingFile_.empty());
  }
  stopAudio();
  setTagsTakeTouches(true);
  manager_.fullscreenBtn()->setEnabled(true);
  delSoundBtn_->setEnabled(true);
  addSoundBtn_->setEnabled(true);
}

void SoundTrack::playMultiAudio(int) {
  ZTPlayView* player = manager_.playView();
  ProjectDataModel* p = st::project();
  if (!player || !p || player->state() == ZTPlayView::kReverse || player->isRecorder()) return;
  const SoundTagLists lists = soundTagListsOf(p->soundTags());
  const int i = player->firstFew();
  const std::size_t tags = std::min(lists.points.size() / 2, lists.names.size());
  if (i < 0 || static_cast<std::size_t>(i) >= tags) {
    player->setFirstFew(0);
    return;
  }
  const float a = cursorX() + 3, b = cursorX() + 6;
  const float start = lists.points[2 * i], end = lists.points[2 * i + 1];
  const bool ends = b >= end || b >= kStepEnd;
  // A clip the same step would stop again is not started at all.
  if (a >= start && a <= lists.points.back() && !ends && !player->isAudioPlayer()) {
    media::AudioSession::shared().setCategory(media::SessionCategory::Playback);
    // Documents first, then the project's own copy; a sound found in neither
    // plays nothing and the frames go on, one that cannot be played is told of.
    OptionalPath file = p->soundFilePathWithName(lists.names[i]);
    if (file && fd::files::exists(*file)) {
      auto clip = player->loadClip(*file);
      const float speed = p->animationSpeed() > 0 ? p->animationSpeed() : timeline::kSoundSpeed;
      const float frameWidth = st::widthOfFrames(1, st::frameCount());
      clip->setCurrentTime((a - start) / frameWidth * (static_cast<float>(timeline::kFrameSeconds) / speed));
      clip->play();
      player->setIsAudioPlayer(true);
    }
  }
  if (ends) {
    stopAudio();
    if (static_cast<std::size_t>(i) + 1 < lists.names.size()) player->setFirstFew(i + 1);
  }
  if (a >= kStepEnd) player->setFirstFew(0);
}

void SoundTrack::stopAudio() {
  ZTPlayView* player = manager_.playView();
  if (!player || !player->isAudioPlayer()) return;
  player->setAudioPlayer(nullptr);
  player->setIsAudioPlayer(false);
}

// --- alerts

void SoundTrack::showAlert(const std::string& message, const std::string& button, int tag, bool answered) {
  auto alert = ui::AlertView::make(fd::Localized("Warning"), message, answered ? this : nullptr, button);
  alert->setTag(tag);
  alert->show();
}

void SoundTrack::didDismissWithButtonIndex(ui::ButtonSheet& sheet, int index) {
  const int tag = sheet.tag();
  ProjectDataModel* p = st::project();
  if ((tag == 1 || tag == kAlertDeleteSound) && p) p->setAudioName(std::nullopt);
  if (tag == kAlertDeleteSound && index == 1) {
    const std::string title = delSoundBtn_->titleForState(ui::StateNormal).value_or("");
    if (isPlainName(title)) fd::files::removeItem(fd::paths::documents() / (title + ".caf"));
    delSoundBtn_->setHidden(true);
  }
  if (tag == kAlertMoveSlider && index == 0) delSoundBtn_->setHidden(true);
}

void SoundTrack::deleteSound() {
  auto alert = ui::AlertView::make(fd::Localized("Warning"), fd::Localized("DeleteAudioFileAlert"), this,
                                   fd::Localized("Cancel"), {fd::Localized("OK")});
  alert->setTag(kAlertDeleteSound);
  alert->show();
}

void SoundTrack::setDeleteSoundBtnState(bool isSound) {
  ProjectDataModel* p = st::project();
  std::optional<std::string> title;
  if (isSound && p && p->audioName()) {
    // Confirming deletes the title's ".caf" file: a ".caf" sound is titled
    // without its extension, so that file is the one named.
    const std::string& name = *p->audioName();
    title = fs::path(name).extension() == ".caf" ? name.substr(0, name.size() - 4) : name;
  }
  delSoundBtn_->setTitle(title);
  delSoundBtn_->setBackgroundImage(sound_art::pictures().named(isSound ? "tag_sound01.png" : "tag_record01.png"));
  delSoundBtn_->setBackgroundImage(sound_art::pictures().named(isSound ? "tag_sound02.png" : "tag_record02.png"),
                                   ui::StateHighlighted);
  delSoundBtn_->setHidden(false);
}

// --- adding a sound

void SoundTrack::addSound() {
  delSoundBtn_->setHidden(true);
  if (ZTPlayView* player = manager_.playView(); player && player->isPlay()) player->stop();
  if (cursorX() >= st::kCursorEnd) {
    showAlert(fd::Localized("located at the final frame"), fd::Localized("Cancel"));
    return;
  }
  ProjectDataModel* p = st::project();
  if (p && !p->soundTagPointsArray().empty()) {
    const std::vector<float> room =
        p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(cursorX(), kMinimumTagWidth);
    if (room.size() < 2 || room[0] == 0 || room[1] == 0) {
      showAlert(fd::Localized("MoveSlider"), fd::Localized("Ok"), kAlertMoveSlider, true);
      return;
    }
  }
  showSelectedAudioPopover();
}

void SoundTrack::showSelectedAudioPopover() {
  auto picker = ZTSelectedAudioViewcontroller::initWithStyle();
  picker->setAudioSelectedDelegate(this);
  picker_ = picker;
  auto navigation = std::make_shared<ui::NavigationController>(picker);
  if (DesktopManagerController* desk = DesktopManagerController::sharedViewController())
    desk->presentViewController(navigation, true);
}

void SoundTrack::selectedAudioViewController(ZTSelectedAudioViewcontroller&, const std::string&, const fs::path& path) {
  ProjectDataModel* p = st::project();
  if (!p) return;
  const std::string name = path.filename().string();
  p->setAudioName(name);
  // The picker keeps a limit under the path inside Documents; the tag goes by
  // the file's name, so a sound from a subfolder brings its limit along.
  auto& limits = settings().limitFramesDict();
  const std::string inDocuments = path.lexically_relative(fd::paths::documents()).string();
  if (!limits.count(name) && limits.count(inDocuments)) limits[name] = limits[inDocuments];
  // The project keeps a copy, found when Documents no longer has the sound;
  // a copy already there is never overwritten.
  if (fd::files::exists(path)) fd::files::copyItem(path, p->projectDicPath() / name);
  if (p->animationSpeed() > timeline::kSoundSpeed) p->setAnimationSpeed(timeline::kSoundSpeed);
  addSoundTagView();
}

void SoundTrack::placeTag(float x, float width) {
  ProjectDataModel* p = st::project();
  if (!p) return;
  const std::string name = p->audioName().value_or("");
  editSoundTagLists(*p, [&](SoundTagLists& l) { l.points.insert(l.points.end(), {x, x + width}); });
  p->soundTagPointsArrayArrange();
  auto view = makeTagView({x, kTagY, width, kTagHeight}, true, "FN: " + withoutExtension(name));
  const std::vector<float> points = p->soundTagPointsArray();
  std::size_t i = points.size() / 2;
  for (std::size_t j = 0; 2 * j < points.size(); ++j) {
    if (points[2 * j] == x) {
      i = j;
      break;
    }
  }
  editSoundTagLists(*p, [&](SoundTagLists& l) { l.names.insert(l.names.begin() + std::min(i, l.names.size()), name); });
  soundTagArray_.insert(soundTagArray_.begin() + static_cast<std::ptrdiff_t>(std::min(i, soundTagArray_.size())), view);
  audioSelectedView_->addSubview(view);
  manager_.setUserInteractionEnabled(false);
  fd::RunLoop::main().performAfterDelay(kRenumberDelay, [this] { reSetAllSoundTagViewTag(); }, this);
  p->saveData();
}

void SoundTrack::addSoundTagView() {
  ProjectDataModel* p = st::project();
  if (!p) return;
  const int n = st::frameCount();
  const float full = st::widthOfFrames(st::limitOf(p->audioName().value_or("")), n);
  const std::vector<float> room = p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(cursorX(), full - 12);
  const float x = room.size() >= 2 ? room[0] : 0, available = room.size() >= 2 ? room[1] : 0;
  if (available != 0 && x != 0 && available >= kMinimumTagWidth) {
    placeTag(x, full >= kMinimumTagWidth && full < available ? full : available);
    return;
  }
  showAlert("You coun't add sound here!", fd::Localized("OK"));
}

// --- recording

void SoundTrack::setRecordButtonIdle() {
  recorderBtn_->setBackgroundImage(sound_art::pictures().named("add_record01.png"));
  recorderBtn_->setBackgroundImage(sound_art::pictures().named("add_record02.png"), ui::StateHighlighted);
  recorderBtn_->setTitle(fd::Localized("Recorder"));
  recorderBtn_->setSelected(false);
  isRecorder_ = false;
}

void SoundTrack::recorder(ui::Button*) {
  ZTPlayView* player = manager_.playView();
  if (isRecorder_) {
    if (recordStart_) recordStart_->invalidate();
    recordStart_.reset();
    if (player) player->stop();
    setRecordButtonIdle();
    return;
  }
  // The last recording's file is still being completed.
  if (!recordingFile_.empty()) return;
  if (cursorX() >= st::kCursorEnd) {
    showAlert(fd::Localized("located at the final frame"), fd::Localized("Cancel"));
    return;
  }
  ProjectDataModel* p = st::project();
  const std::vector<float> room =
      p ? p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(cursorX(), kMinimumTagWidth)
        : std::vector<float>{0, 0};
  if (room.size() < 2 || room[0] == 0 || room[1] == 0) {
    showAlert(fd::Localized("MoveSlider"), fd::Localized("Cancel"));
    return;
  }
  addSoundBtn_->setEnabled(false);
  manager_.playButton()->setSelected(true);
  if (player && player->state() == ZTPlayView::kForward) player->stop();
  isRecorder_ = true;
  recorderBtn_->setBackgroundImage(sound_art::pictures().named("add_stop01.png"));
  recorderBtn_->setBackgroundImage(sound_art::pictures().named("add_stop02.png"), ui::StateHighlighted);
  recorderBtn_->setTitle(fd::Localized("Stop"));
  if (p->animationSpeed() >= 1.0f) p->setAnimationSpeed(timeline::kSoundSpeed);
  if (player) player->setIsRecorder(true);
  recordStart_ = fd::RunLoop::main().performAfterDelay(kRecordDelay, [this] { recorder(); }, this);
}

void SoundTrack::stopRecording() {
  if (isRecorder_) recorder(recorderBtn_.get());
  if (!recordingFile_.empty() && recordingStopped_) AudioRecorderManager::sharedManager().waitUntilWritten(kQuitWait);
}

bool SoundTrack::recorder() {
  ZTPlayView* player = manager_.playView();
  ProjectDataModel* p = st::project();
  recordStart_.reset();
  if (!player || !p) return false;
  player->setIsRecorder(true);
  // Every recording gets a file of its own in Documents, where the picker and
  // the sound step find it; the project's older sound is never touched.
  const fs::path documents = fd::paths::documents();
  fd::files::createDirectory(documents);
  do {
    recordingFile_ = documents / ("Rec" + ProjectDataModel::dateString() + ".caf");
  } while (fd::files::exists(recordingFile_));
  auto& recorderManager = AudioRecorderManager::sharedManager();
  std::optional<fd::Error> error = recorderManager.prepareToRecordFile(recordingFile_);
  recordingStopped_ = false;
  recordingOutcome_.reset();
  // The frame manager is kept until the file is complete, so a recording
  // whose manager closes meanwhile is still placed and saved.
  recorderManager.setHandlers([this] { recordingEndedByItself(); },
                              [this, keep = manager_.self()](const media::RecordingOutcome& outcome) {
                                recordingWritten(outcome);
                              });
  if (!error && !recorderManager.record()) error = fd::Error{AudioRecorderManager::kErrorDomain, -1, "Could not record", ""};
  if (error) {
    fd::Log("recording into %s failed: %s %s\n", recordingFile_.c_str(), error->localizedDescription.c_str(),
            error->reason.c_str());
    recorderManager.completeRecording();
    fd::files::removeItem(recordingFile_);
    recordingFile_.clear();
    // Back as before the button was pressed, and the user told why.
    player->setIsRecorder(false);
    manager_.playButton()->setSelected(false);
    addSoundBtn_->setEnabled(true);
    setRecordButtonIdle();
    const std::string why = error->reason.empty() ? error->localizedDescription : error->reason;
    showAlert(fd::Localized("RecorderUnavailable") + ": " + why + ".", fd::Localized("OK"));
    return false;
  }
  recorderBtn_->setSelected(true);
  player->play();
  startRecorderPoint_ = cursorX();
  return true;
}

void SoundTrack::recordingStopped() {
  auto& recorderManager = AudioRecorderManager::sharedManager();
  if (recordingFile_.empty()) {  // armed, and stopped before it started
    recorderManager.completeRecording();
    return;
  }
  if (recordingStopped_) return;
  recordingStopped_ = true;
  recordingEndX_ = cursorX() < st::kTrackStart ? st::kCursorEnd : cursorX();
  // No new recording until this one's file is complete and placed.
  recorderBtn_->setEnabled(false);
  recorderManager.stop();
  placeRecordingWhenWritten();
}

void SoundTrack::recordingEndedByItself() {
  // A write refused, or the storage too far behind: the track stops as its
  // stop button stops it.
  if (isRecorder_ && !recordingStopped_) recorder(recorderBtn_.get());
}

void SoundTrack::recordingWritten(const media::RecordingOutcome& outcome) {
  recordingOutcome_ = outcome;
  recordingEndedByItself();
  placeRecordingWhenWritten();
}

void SoundTrack::placeRecordingWhenWritten() {
  if (recordingFile_.empty() || !recordingStopped_ || !recordingOutcome_) return;
  AudioRecorderManager::sharedManager().completeRecording();
  saveAudioFiles();
  recordingStopped_ = false;
  recordingOutcome_.reset();
  ZTPlayView* player = manager_.playView();
  recorderBtn_->setEnabled(!(player && player->isPlay()));
}

void SoundTrack::saveAudioFiles() {
  ProjectDataModel* p = st::project();
  if (!p || recordingFile_.empty()) return;
  const fs::path file = recordingFile_;
  const std::string name = file.filename().string();
  recordingFile_.clear();
  const media::RecordingOutcome outcome = recordingOutcome_.value_or(media::RecordingOutcome{});
  if (!(outcome.seconds > 0)) {
    // Nothing of it reached the file: nothing to keep.
    fd::files::removeItem(file);
    tellAboutRecording(name, outcome, false, false);
    return;
  }
  const int n = st::frameCount();
  int frames = static_cast<int>(std::trunc((recordingEndX_ - startRecorderPoint_) / st::widthOfFrames(1, n)));
  if (!outcome.whole()) {
    // The file holds less than the cursor ran over: the tag and the limit
    // reach no further than where the cursor stood when its sound ended.
    const float speed = p->animationSpeed() > 0 ? p->animationSpeed() : timeline::kSoundSpeed;
    const int steps = static_cast<int>(std::floor(outcome.seconds / (timeline::kFrameSeconds / speed)));
    const int startPage = std::clamp(st::frameAt(startRecorderPoint_, n), 1, std::max(n, 1));
    recordingEndX_ = std::min(recordingEndX_, st::cursorXForPage(startPage + steps, n));
    frames = std::min(frames, steps);
  }
  settings().limitFramesDict()[name] = std::max(frames, st::kMinimumLimitFrames);
  p->setAudioName(name);
  settings().saveLimitFramesDict();
  const bool tagged = recorderFinished();
  tellAboutRecording(name, outcome, tagged, !p->unsavedList());
}

void SoundTrack::tellAboutRecording(const std::string& name, const media::RecordingOutcome& outcome, bool tagged,
                                    bool tagStored) {
  using End = media::RecordingOutcome::End;
  std::string message;
  if (!outcome.whole()) {
    const std::string why = outcome.end == End::DiskFull     ? fd::Localized("the disk is full")
                            : outcome.end == End::TooSlow    ? fd::Localized("the disk could not store the sound as fast as it came")
                            : outcome.end == End::Unfinished ? fd::Localized("the program ended before all of it was written")
                                                             : withValue(fd::Localized("its file could not be written (%@)"), outcome.error);
    message = outcome.seconds > 0 ? withValue(withValue(fd::Localized("The recording stopped after %@ seconds: %@."),
                                                        secondsText(outcome.seconds)),
                                              why)
                                  : withValue(fd::Localized("Nothing was recorded: %@."), why);
  }
  if (outcome.seconds > 0 && !tagged) {
    message += (message.empty() ? "" : " ") + whyNoTag(name, outcome.seconds);
  } else if (outcome.seconds > 0 && !outcome.whole()) {
    message += " " + fd::Localized(tagStored ? "Its tag covers the sound kept."
                                             : "Its tag covers the sound kept but could not be saved with the project "
                                               "yet.");
  }
  if (!message.empty()) showAlert(message, fd::Localized("OK"));
}

std::string SoundTrack::whyNoTag(const std::string& name, double seconds) const {
  const std::string shown = withoutExtension(name);
  // The width the frame limit gives is what Sound places too: a recording
  // short of it at this length is refused there as well, so Sound is offered
  // only when the cursor's stretch or the tags around were in the way.
  const int n = st::frameCount();
  if (st::widthOfFrames(st::limitOf(name), n) - 12 <= kMinimumTagWidth) {
    return fd::filled("At %@ frames the track cannot show a recording of %@ seconds. It is kept among the sounds as "
                      "\u201c%@\u201d, for a project with fewer frames.",
                      {std::to_string(n), secondsText(seconds), shown});
  }
  if (recordingEndX_ - (startRecorderPoint_ + timeline::kPointerOffsetX) < kMinimumTagWidth) {
    return fd::filled("The cursor ran over too little of the track for a tag of this recording. It is kept among the "
                      "sounds as \u201c%@\u201d: add it with Sound where there is room.",
                      {shown});
  }
  return fd::filled("There was no room on the track for a tag of this recording. It is kept among the sounds as "
                    "\u201c%@\u201d: add it with Sound where there is room.",
                    {shown});
}

bool SoundTrack::recorderFinished() {
  ProjectDataModel* p = st::project();
  if (!p) return false;
  const int n = st::frameCount();
  const float full = st::widthOfFrames(st::limitOf(p->audioName().value_or("")), n);
  const std::vector<float> room =
      p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(startRecorderPoint_, full - 12);
  const float x = room.size() >= 2 ? room[0] : 0, w = room.size() >= 2 ? room[1] : 0;
  bool tagged = false;
  if (x != 0 && w != 0 && w > kMinimumTagWidth) {
    // The room the recording may take: from where it starts up to the next
    // tag, or to the end. Measured from the recording's start, not from the
    // previous tag's end, so that it never reaches into the next tag.
    float width = w;
    const std::vector<float> points = p->soundTagPointsArray();
    if (!points.empty()) {
      if (x < points.front()) {
        width = points.front() - x - 5;
      } else if (x >= points.back()) {
        width = st::kRightLimit - x;
      } else {
        for (std::size_t i = 1; i + 1 < points.size(); i += 2) {
          if (x >= points[i] && x < points[i + 1]) {
            width = points[i + 1] - x - 5;
            break;
          }
        }
      }
      width = std::min(width, recordingEndX_ - x);
    } else {
      width = recordingEndX_ - x;
    }
    tagged = width >= kMinimumTagWidth;
    if (tagged) placeTag(x, width);
  }
  if (cursorX() == st::kCursorEnd) {
    setRecordButtonIdle();
    if (ZTPlayView* player = manager_.playView()) player->setPage(1);
  }
  return tagged;
}

// --- frames counted again

void SoundTrack::countFrameForEveryAudio() {
  ProjectDataModel* p = st::project();
  if (!p || p->soundTags().empty()) return;
  const int n = st::frameCount();
  if (n < 2) {
    for (auto& v : soundTagArray_) {
      v->setDelegate(nullptr);
      v->removeFromSuperview();
    }
    soundTagArray_.clear();
    p->setSoundTags({});
    framesCount_ = n;
    p->saveData();
    return;
  }
  const float k = st::framesPerPoint(n);
  const bool added = n > framesCount_;
  editSoundTagLists(*p, [&](SoundTagLists& l) {
    for (std::size_t i = 0; 2 * i + 1 < l.points.size(); ++i) {
      const float start = l.points[2 * i];
      float end = l.points[2 * i + 1];
      const int f0 = static_cast<int>(std::trunc(k * (start - st::kTrackStart) + 1));
      const int s = std::max(f0, 1);
      int f1 = st::frameAt(end, n, timeline::kEndOffsetX);
      if (l.frames.size() < 2 * i + 2) l.frames.resize(2 * i + 2);
      SoundTagView* view = i < soundTagArray_.size() ? soundTagArray_[i].get() : nullptr;
      if (added) {
        l.frames[2 * i] = f0;
        const int limit = std::max(i < l.names.size() ? st::limitOf(l.names[i]) : 0, st::kMinimumLimitFrames);
        if (f1 - s > limit - 1) {
          const float longest = start + st::widthOfFrames(limit, n);
          end = std::min(st::kRightLimit, longest);
          l.points[2 * i + 1] = end;
          f1 = longest > st::kRightLimit ? static_cast<int>(std::trunc(k * 335 + 1)) : s + limit - 1;
          // The view ends where the tag now ends: a view reaching past the
          // timeline would have its tag dropped when the manager closes.
          if (view) {
            ui::Rect f = view->frame();
            f.width = end - start;
            view->setFrame(f);
          }
        }
        l.frames[2 * i + 1] = f1;
      } else {
        l.frames[2 * i] = s;
        l.frames[2 * i + 1] = f1;
      }
      if (view) {
        view->beginFrameLb()->setText("Start: " + std::to_string(s));
        view->endFrameLb()->setText("End: " + std::to_string(f1));
        view->calculateDeleteBtnFrame();
      }
    }
  });
  framesCount_ = n;
  p->saveData();
}

// --- tags renumbered and deleted

void SoundTrack::reSetAllSoundTagViewTag() {
  for (std::size_t i = 0; i < soundTagArray_.size(); ++i) {
    soundTagArray_[i]->setSoundTag(static_cast<int>(i));
    soundTagArray_[i]->setTag(SoundTagView::kViewTagBase + static_cast<int>(i));
  }
  manager_.setUserInteractionEnabled(true);
}

void SoundTrack::deleteSoundTagViewWithTag(int viewTag) {
  auto it = std::find_if(soundTagArray_.begin(), soundTagArray_.end(),
                         [viewTag](const auto& v) { return v->tag() == viewTag; });
  if (it != soundTagArray_.end()) {
    auto view = *it;
    soundTagArray_.erase(it);
    view->removeFromSuperview();
  }
  manager_.setUserInteractionEnabled(false);
  reSetAllSoundTagViewTag();
}

void SoundTrack::removeTagsOnClose() {
  ProjectDataModel* p = st::project();
  std::vector<int> gone;
  for (auto& v : soundTagArray_) {
    const ui::Rect f = v->frame();
    if (f.x < st::kTrackStart || f.x + f.width > st::kRightLimit || f.width < kNarrowestKept)
      gone.push_back(v->soundTag());
  }
  // From the last, so the earlier positions still name the same tags.
  std::sort(gone.rbegin(), gone.rend());
  if (p) {
    for (int t : gone) p->deleteSoundTagViewDataWithTag(t);
    if (!gone.empty()) p->saveData();
  }
  for (auto& v : soundTagArray_) {
    v->setDelegate(nullptr);
    v->removeFromSuperview();
  }
  soundTagArray_.clear();
}
