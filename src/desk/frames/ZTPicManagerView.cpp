#include "desk/frames/ZTPicManagerView.h"

#include <algorithm>
#include <cmath>

#include "desk/frames/FrameArt.h"
#include "desk/frames/ShowSimpleView.h"
#include "desk/frames/SoundTrack.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/RunLoop.h"
#include "platform/graphics/Context.h"
#include "platform/media/ClipPlayer.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Responder.h"

namespace {

ProjectDataModel* project() { return ZTDataModel::sharedInstance().prjDataModel().get(); }

constexpr float kPaperW = ZTPaperView::kWidth, kPaperH = ZTPaperView::kHeight;
constexpr float kRowStep = 69, kRowTop = 20;
// The frame menu's centre below a paper's top edge.
constexpr float kMenuDrop = 58;
// Papers closing a gap or making room slide there.
constexpr double kSlideSeconds = 0.25;

}  // namespace

std::shared_ptr<ZTPicManagerView> ZTPicManagerView::initWithFrame(const ui::Rect& frame) {
  auto v = std::make_shared<ZTPicManagerView>(frame);
  v->build();
  return v;
}

ZTPicManagerView::ZTPicManagerView(const ui::Rect& frame) : ui::View(frame) {
  setBackgroundColor(ui::Color::clear());
  setMultipleTouchEnabled(false);
  offsetx_ = ZTDataModel::sharedInstance().extendDataModel().isIphone5ScreenSize() ? 44 : 0;
}

ZTPicManagerView::~ZTPicManagerView() {
  fd::RunLoop::main().cancelPerforms(this);
  if (playView_) playView_->setDelegate(nullptr);
  for (auto& p : imagesViewArray_) p->setDelegate(nullptr);
  for (auto& p : temporaryViewArray_) p->setDelegate(nullptr);
  if (frameMenu_) frameMenu_->setDelegate(nullptr);
}

int ZTPicManagerView::frameCount() const {
  ProjectDataModel* p = project();
  return p ? static_cast<int>(p->imagesArray().size()) : 0;
}

std::shared_ptr<ui::Button> ZTPicManagerView::makeButton(const char* normal, const char* pressed, ui::Rect frame) {
  auto b = ui::Button::make(ui::ButtonType::Custom, frame);
  b->setImage(frame_art::named(normal));
  b->setImage(frame_art::named(pressed), ui::StateHighlighted);
  return b;
}

void ZTPicManagerView::build() {
  const float w = bounds().width;
  const float ox = static_cast<float>(offsetx_);
  playView_ = ZTPlayView::initWithFrame({ox + 125, 5, 228, 163});
  playView_->setDelegate(this);
  addSubview(playView_);
  playView_->setPage(1);
  auto first = makeButton("pics_manager_fist_frame01.png", "pics_manager_fist_frame02.png", {ox + 52, 69, 18, 20});
  first->addTarget(this, [this](ui::Control*, const ui::Event*) { firstPage(); }, ui::TouchUpInside);
  reverseButton_ = makeButton("pics_manager_reverse01.png", "pics_manager_reverse02.png", {ox + 93, 69, 18, 20});
  reverseButton_->setImage(frame_art::named("pics_manager_pause01.png"), ui::StateSelected);
  reverseButton_->addTarget(this, [this](ui::Control*, const ui::Event*) { reverse(); }, ui::TouchUpInside);
  playButton_ = makeButton("pics_manager_play01.png", "pics_manager_play02.png", {ox + 365, 69, 18, 20});
  playButton_->setImage(frame_art::named("pics_manager_pause01.png"), ui::StateSelected);
  playButton_->addTarget(this, [this](ui::Control*, const ui::Event*) { play(); }, ui::TouchUpInside);
  auto last = makeButton("pics_manager_last_frame01.png", "pics_manager_last_frame02.png", {ox + 410, 69, 18, 20});
  last->addTarget(this, [this](ui::Control*, const ui::Event*) { lastPage(); }, ui::TouchUpInside);
  for (auto& b : {first, reverseButton_, playButton_, last}) addSubview(b);
  helpBtn_ = makeButton("help_ui01.png", "help_ui02.png", {w - 31, 0, 31, 31});
  helpBtn_->addTarget(this, [this](ui::Control*, const ui::Event*) { showHelpView(); }, ui::TouchUpInside);
  addSubview(helpBtn_);

  editView_ = std::make_shared<ui::View>(ui::Rect{0, 145, w, 256});
  editView_->setBackgroundColor(ui::Color::clear());
  editBar_ = std::make_shared<ui::ImageView>(ui::Rect{0, 0, w, 256});
  editBar_->setImage(frame_art::named(offsetx_ ? "editting_bar568h.png" : "editting_bar.png"));
  editBar_->setUserInteractionEnabled(false);
  editView_->addSubview(editBar_);
  rollBackBtn_ = makeButton("roll_backward01.png", "roll_backward02.png", {5 + offsetx_ / 2.0f, 37, 37, 63});
  rollBackBtn_->addTarget(this, [this](ui::Control*, const ui::Event*) { back(); }, ui::TouchUpInside);
  rollForwardBtn_ = makeButton("roll_forward01.png", "roll_forward02.png", {w - 39 - offsetx_ / 2.0f, 37, 37, 63});
  rollForwardBtn_->addTarget(this, [this](ui::Control*, const ui::Event*) { forward(); }, ui::TouchUpInside);
  editView_->addSubview(rollBackBtn_);
  editView_->addSubview(rollForwardBtn_);
  addSubview(editView_);
  initImagesView();

  fullscreenBtn_ = makeButton("editting_bar_full01.png", "editting_bar_full02.png", {w - 70, 8, 63, 25});
  fullscreenBtn_->setImage(frame_art::named("editting_bar_full02.png"), ui::StateSelected);
  fullscreenBtn_->addTarget(
      this, [this](ui::Control* c, const ui::Event*) { fullButtonPressed(static_cast<ui::Button*>(c)); },
      ui::TouchDown);
  editView_->addSubview(fullscreenBtn_);

  auto band = std::make_shared<ui::ImageView>(ui::Rect{0, 243, w, 77});
  band->setImage(frame_art::named(offsetx_ ? "temporary_bar-568h.png" : "temporary_bar.png"));
  band->setUserInteractionEnabled(false);
  addSubview(band);
  if (!offsetx_) {
    auto title = std::make_shared<ui::ImageView>(ui::Rect{13, 255, 14, 58});
    title->setImage(frame_art::named("Temporary_bar_title.png"));
    title->setUserInteractionEnabled(false);
    addSubview(title);
  }
  initITemporarysView();
  soundTrack_ = std::make_unique<SoundTrack>(*this);
  soundTrack_->build();
  playView_->setDelegate(soundTrack_.get());
  soundTrack_->moveSliderBar(playView_->page());
  // The tip shows on the first opening only.
  ZTDataModel& model = ZTDataModel::sharedInstance();
  if (model.showPicSimple()) showHelpView();
  model.setShowPicSimple(false);
}

void ZTPicManagerView::showHelpView() {
  addSubview(PicManagerShowSimpleView::initWithFrame(bounds()));
  if (soundTrack_ && !soundTrack_->isShow()) soundTrack_->showAudioView();
}

std::shared_ptr<ZTPaperView> ZTPicManagerView::makePaper(ui::Point origin) {
  auto paper = ZTPaperView::initWithOrigin(origin);
  paper->setDelegate(this);
  return paper;
}

ui::Point ZTPicManagerView::slotOrigin(int k) const {
  return {static_cast<float>(k % 5) * kPaperW, static_cast<float>(k / 5) * kRowStep + kRowTop};
}

void ZTPicManagerView::initImagesView() {
  imagesViewArray_.clear();
  if (!imagesView_) {
    imagesView_ = std::make_shared<ui::View>(ui::Rect{40.0f + offsetx_, 14, 400, 250});
    imagesView_->setBackgroundColor(ui::Color::clear());
    editView_->addSubview(imagesView_);
  }
  const int n = papersPerPage(), count = frameCount();
  for (int k = 0; k < n; ++k) {
    auto paper = makePaper(slotOrigin(k));
    const int frame = n * (curImagesViewPage_ - 1) + k + 1;
    paper->setPaperWithPage(frame, false);
    paper->setHidden(frame > count);
    imagesView_->addSubview(paper);
    imagesViewArray_.push_back(paper);
  }
}

void ZTPicManagerView::initITemporarysView() {
  temporaryViewArray_.clear();
  temporaryView_ = std::make_shared<ui::View>(ui::Rect{40.0f + offsetx_, 251, 400, 64});
  temporaryView_->setBackgroundColor(ui::Color::clear());
  temporaryView_->setClipsToBounds(true);
  const int entries = project() ? static_cast<int>(project()->temporarysArray().size()) : 0;
  for (int k = 0; k < entries; ++k) {
    auto paper = makePaper({static_cast<float>(k % 5) * kPaperW, 0});
    paper->setPaperWithPage(k + 1, true);
    temporaryView_->addSubview(paper);
    temporaryViewArray_.push_back(paper);
  }
  addSubview(temporaryView_);
}

void ZTPicManagerView::drawRect(gfx::Context& ctx, const ui::Rect&) {
  const float w = bounds().width;
  ctx.setFillColor(gfx::Color::white(0, 0.7f));
  ctx.fillRect({0, 0, w, bounds().height});
  if (ui::Picture p = frame_art::named("Pics_manager.png"); p.image())
    ctx.drawImage(*p.image(), {(w - 480) / 2, 0, 480, 320});
}

// --- the player

void ZTPicManagerView::play() {
  if (playButton_->isSelected()) {
    playButton_->setSelected(false);
    playView_->stop();
    return;
  }
  if (reverseButton_->isSelected()) reverseButton_->setSelected(false);
  playButton_->setSelected(true);
  playView_->play();
}

void ZTPicManagerView::reverse() {
  if (reverseButton_->isSelected()) {
    reverseButton_->setSelected(false);
    playView_->stop();
    return;
  }
  if (playButton_->isSelected()) playButton_->setSelected(false);
  reverseButton_->setSelected(true);
  playView_->reverse();
}

void ZTPicManagerView::firstPage() {
  if (playView_->isPlay()) {
    playView_->stop();
    playButton_->setSelected(false);
    reverseButton_->setSelected(false);
  }
  playView_->firstPage();
}

void ZTPicManagerView::lastPage() {
  if (playView_->isPlay()) {
    playView_->stop();
    playButton_->setSelected(false);
    reverseButton_->setSelected(false);
  }
  playView_->lastPage();
}

// --- paging, modes, selection

void ZTPicManagerView::removeFrameMenu() {
  if (!frameMenu_) return;
  frameMenu_->setDelegate(nullptr);
  frameMenu_->removeFromSuperview();
  frameMenu_.reset();
}

void ZTPicManagerView::highlightSelection() {
  for (auto& p : imagesViewArray_) p->setHighlighted(selectedPage_ != 0 && p->page() == selectedPage_);
}

void ZTPicManagerView::showStripPages() {
  const int n = papersPerPage(), count = frameCount();
  for (int k = 0; k < static_cast<int>(imagesViewArray_.size()); ++k) {
    const int frame = n * (curImagesViewPage_ - 1) + k + 1;
    imagesViewArray_[k]->setPaperWithPage(frame, false);
    imagesViewArray_[k]->setHidden(frame > count);
  }
}

void ZTPicManagerView::reBrushPaperImage() {
  showStripPages();
  highlightSelection();
  removeFrameMenu();
}

void ZTPicManagerView::back() {
  if (curImagesViewPage_ < 2) return;
  --curImagesViewPage_;
  reBrushPaperImage();
}

void ZTPicManagerView::forward() {
  if (papersPerPage() * curImagesViewPage_ >= frameCount()) return;
  ++curImagesViewPage_;
  reBrushPaperImage();
}

void ZTPicManagerView::fullButtonPressed(ui::Button* sender) {
  isFullScreen_ = !isFullScreen_;
  sender->setSelected(isFullScreen_);
  const int n = papersPerPage();
  ui::Rect ef = editView_->frame();
  ef.y = isFullScreen_ ? 0 : 145;
  editView_->setFrame(ef);
  const float rollY = isFullScreen_ ? std::floor(ef.height * 0.5f - 22) : 37;
  for (ui::Button* b : {rollBackBtn_.get(), rollForwardBtn_.get()}) {
    ui::Rect f = b->frame();
    f.y = rollY;
    b->setFrame(f);
  }
  if (selectedImages_ && selectedPage_ != 0) curImagesViewPage_ = (selectedPage_ - 1) / n + 1;
  else if (isFullScreen_) curImagesViewPage_ = (curImagesViewPage_ - 1) / 4 + 1;
  else curImagesViewPage_ = (curImagesViewPage_ - 1) * 4 + 1;
  const int last = (frameCount() - 1) / n + 1;
  curImagesViewPage_ = std::clamp(curImagesViewPage_, 1, std::max(1, last));
  for (auto& p : imagesViewArray_) {
    p->setDelegate(nullptr);
    p->removeFromSuperview();
  }
  initImagesView();
  highlightSelection();
  if (frameMenu_) {
    const int k = selectedPage_ - 1 - n * (curImagesViewPage_ - 1);
    if (k >= 0 && k < static_cast<int>(imagesViewArray_.size())) frameMenu_->setCenter(menuCentreFor(*imagesViewArray_[k]));
  }
}

ui::Point ZTPicManagerView::menuCentreFor(const ZTPaperView& paper) const {
  // Across the paper's lower edge, so the paper's picture stays in sight.
  const ui::Rect r = paper.convertRectTo(paper.bounds(), this);
  return {r.x + r.width / 2, r.y + kMenuDrop};
}

void ZTPicManagerView::selectedPage(int p, bool temporary) {
  if (temporary) {
    for (auto& paper : temporaryViewArray_) {
      if (paper->page() == p) {
        paper->changeButtonState();
      } else {
        paper->delButton()->setHidden(true);
        paper->setHighlighted(false);
      }
    }
    return;
  }
  if (p == selectedPage_ || p < 1 || p > frameCount()) return;
  removeFrameMenu();
  const int k = p - 1 - papersPerPage() * (curImagesViewPage_ - 1);
  if (k >= 0 && k < static_cast<int>(imagesViewArray_.size())) {
    ZTPaperView* paper = imagesViewArray_[k].get();
    frameMenu_ = FrameMenu::initWithFrame({0, 0, FrameMenu::kWidth, FrameMenu::kHeight});
    frameMenu_->setDelegate(this);
    frameMenu_->setCenter(menuCentreFor(*paper));
    addSubview(frameMenu_);
  }
  selectedPage_ = p;
  selectedImages_ = true;
  highlightSelection();
}

void ZTPicManagerView::reLoadImage() {
  for (int k = 0; k < static_cast<int>(temporaryViewArray_.size()); ++k) {
    ui::Rect f = temporaryViewArray_[k]->frame();
    f.x = kPaperW * k;
    temporaryViewArray_[k]->setFrame(f);
  }
  syncData();
  for (auto& p : imagesViewArray_) p->setHighlighted(false);
}

void ZTPicManagerView::syncData() {
  showStripPages();
  for (int k = 0; k < static_cast<int>(temporaryViewArray_.size()); ++k)
    temporaryViewArray_[k]->setPaperWithPage(k + 1, true);
}

void ZTPicManagerView::updateImagesPaperListUI(bool renumber) {
  const int n = papersPerPage();
  curImagesViewPage_ = std::min(curImagesViewPage_, std::max(1, (frameCount() - 1) / n + 1));
  if (renumber)
    for (int k = 0; k < static_cast<int>(imagesViewArray_.size()); ++k)
      imagesViewArray_[k]->setPage(n * (curImagesViewPage_ - 1) + k + 1);
  layoutStripFrom(0, true);
}

void ZTPicManagerView::updateTemporarysPaperListUI(bool renumber) {
  slide([this, renumber] { layoutDepository(renumber); });
}

void ZTPicManagerView::resetAllPapers() {
  for (auto& paper : temporaryViewArray_) {
    if (paper->delButton()->isHidden()) continue;
    paper->delButton()->setHidden(true);
    paper->setHighlighted(false);
  }
}

// --- the menu's operations

void ZTPicManagerView::deleteSelectPaper() {
  auto keep = self();
  if (ProjectDataModel* p = project()) p->deleteImageAtPage(selectedPage_, false);
  ZTDataModel::sharedInstance().saveData();
  reLoadImage();
  playView_->setPage(selectedPage_ < 2 ? 1 : selectedPage_ - 1);
  selectedPage_ = 0;
  selectedImages_ = false;
  soundTrack_->countFrameForEveryAudio();
  removeFrameMenu();
}

void ZTPicManagerView::duplicateANewPaper() {
  if (ProjectDataModel* p = project(); p && selectedPage_ >= 1 && selectedPage_ <= frameCount())
    p->copyImageAtPage(selectedPage_);
  ZTDataModel::sharedInstance().saveData();
  reLoadImage();
  soundTrack_->countFrameForEveryAudio();
}

void ZTPicManagerView::paperViewCopy(ZTPaperView* paper) {
  // Copies are of frames shown: a depository entry's number names no frame,
  // and a hidden paper may still hold the number of a frame it showed before.
  ProjectDataModel* p = project();
  if (!p || !paper || paper->isTemporary() || paper->isHidden()) return;
  const int f = paper->page();
  if (f < 1 || f > frameCount()) return;
  // The copy goes in after the run that holds the frame.
  const int r = p->reapeatFrame(f);
  const int at = r + p->reapeatFrameNumber(r);
  if (!p->copyImageAtPage(f)) return;
  ZTDataModel::sharedInstance().saveData();
  // The selection follows its frame; the menu stood over the paper it left.
  if (selectedPage_ >= at) {
    ++selectedPage_;
    removeFrameMenu();
  }
  fd::RunLoop::main().performAfterDelay(0, [this] { paperViewDidCopy(nullptr); }, this);
}

void ZTPicManagerView::paperViewDidCopy(ZTPaperView*) {
  updateImagesPaperListUI(true);
  soundTrack_->countFrameForEveryAudio();
  syncData();
  highlightSelection();
}

void ZTPicManagerView::paperViewDidMove(ZTPaperView*) { soundTrack_->countFrameForEveryAudio(); }

void ZTPicManagerView::showRepeatPicker(const ui::Rect& frame, int number, int page) {
  auto picker = RepeatFrameView::initWithFrame(frame);
  picker->reapeatView()->setFrame({(frame.width - RepeatFrameView::kPanelWidth) / 2, 98, RepeatFrameView::kPanelWidth,
                                   RepeatFrameView::kPanelHeight});
  picker->setDelegate(this);
  picker->setNumber(number);
  picker->setReapeatPage(page);
  addSubview(picker);
}

void ZTPicManagerView::setReapeatNumber() {
  int number = 1;
  if (ProjectDataModel* p = project(); p && selectedPage_ >= 1 && selectedPage_ <= frameCount())
    number = std::max(1, p->imagesArray()[selectedPage_ - 1].reapeatNumber.value_or(1));
  showRepeatPicker(bounds(), number, selectedPage_);
}

void ZTPicManagerView::setReapeatFrameView(int page) {
  ProjectDataModel* p = project();
  const ui::Rect frame = superview() ? superview()->bounds() : bounds();
  showRepeatPicker(frame, p ? p->reapeatFrameNumber(page) : 1, page);
  selectedPage_ = page;
}

void ZTPicManagerView::setReatFrameFinished() {
  reLoadImage();
  soundTrack_->countFrameForEveryAudio();
}

void ZTPicManagerView::paperViewDidDelete(ZTPaperView* paper) {
  if (!paper->isTemporary()) return;
  auto it = std::find_if(temporaryViewArray_.begin(), temporaryViewArray_.end(),
                         [paper](const auto& p) { return p.get() == paper; });
  if (it == temporaryViewArray_.end()) return;
  auto keep = *it;
  keep->removeFromSuperview();
  temporaryViewArray_.erase(it);
  ZTDataModel::sharedInstance().saveData();
  layoutDepository();
  selectedPage_ = 0;
  selectedImages_ = false;
}

// --- touches: closing, taps, dragging

bool ZTPicManagerView::closeIfInSideBand(ui::Point p) {
  if (isFullScreen_) return false;
  const float w = bounds().width, band = offsetx_ + 36.0f;
  const bool inLeft = p.x >= 0 && p.x < band && p.y >= 0 && p.y < 166;
  const bool inRight = p.x >= w - band && p.x < w && p.y >= 0 && p.y < 166;
  if (!inLeft && !inRight) return false;
  auto keep = self();
  if (delegate_) delegate_->subviewDidRemove(this);
  soundTrack_->removeTagsOnClose();
  ExtendDataModel& ext = ZTDataModel::sharedInstance().extendDataModel();
  // The output holds a playing clip too: letting go alone would not stop it.
  if (ext.avAudio()) ext.avAudio()->stop();
  ext.setAvAudio(nullptr);
  playView_->stop();
  removeFromSuperview();
  return true;
}

int ZTPicManagerView::slotUnder(ui::Point q) const {
  return static_cast<int>(std::trunc(q.y / kRowStep)) * 5 + static_cast<int>(std::trunc(q.x / kPaperW));
}

void ZTPicManagerView::slide(const std::function<void()>& moves) {
  ui::Animations::Options options;
  // A paper still sliding from an earlier move goes on from where it shows.
  options.beginFromCurrentState = true;
  options.allowUserInteraction = true;
  ui::Animations::animate(kSlideSeconds, 0, options, moves);
}

void ZTPicManagerView::reparentInPlace(const std::shared_ptr<ZTPaperView>& paper,
                                       const std::shared_ptr<ui::View>& container) {
  const ui::Rect shown = paper->superview() ? paper->superview()->convertRectTo(paper->frame(), container.get())
                                            : paper->frame();
  container->addSubview(paper);
  paper->setFrame(shown);
}

void ZTPicManagerView::layoutStripFrom(std::size_t index, bool animated) {
  auto place = [this, index] {
    for (std::size_t k = index; k < imagesViewArray_.size(); ++k) {
      ui::Point o = slotOrigin(static_cast<int>(k));
      imagesViewArray_[k]->setFrame({o.x, o.y, kPaperW, kPaperH});
    }
  };
  if (animated) slide(place);
  else place();
}

void ZTPicManagerView::layoutDepository(bool renumber) {
  for (std::size_t k = 0; k < temporaryViewArray_.size(); ++k) {
    temporaryViewArray_[k]->setFrame({kPaperW * (k % kDepositoryCapacity), 0, kPaperW, kPaperH});
    if (renumber) temporaryViewArray_[k]->setPage(static_cast<int>(k) + 1);
  }
}

void ZTPicManagerView::touchesBegan(const ui::TouchSet& touches, const ui::Event&) {
  if (touches.empty()) return;
  const ui::Touch* t = touches.front();
  if (closeIfInSideBand(t->locationInView(this))) return;
  if (isTouch_) return;
  isTouch_ = true;
  isTouchIn_ = isTouchMove_ = false;
  movingView_.reset();
  if (playView_->isPlay()) return;
  const int n = papersPerPage();
  const int s = slotUnder(t->locationInView(imagesView_.get()));
  if (s >= 0 && s < n && s < static_cast<int>(imagesViewArray_.size())) {
    movingView_ = imagesViewArray_[s];
    ProjectDataModel* p = project();
    isTouchIn_ = !movingView_->isHidden() && !(p && p->isReapeatFrame(movingView_->page()));
  }
  if (isAudioShow_) return;
  const ui::Point d = t->locationInView(temporaryView_.get());
  for (auto& paper : temporaryViewArray_) {
    const ui::Rect f = paper->frame();
    if (d.x >= f.x && d.x < f.x + f.width && d.y >= f.y && d.y < f.y + f.height) {
      movingView_ = paper;
      isTouchIn_ = true;
      break;
    }
  }
}

void ZTPicManagerView::lift() {
  isTouchMove_ = true;
  // The paper goes onto the panel now, not after a delay: a drag that ends
  // before a delayed re-parenting would leave it floating over the panel.
  const ui::Rect onPanel = movingView_->convertRectTo(movingView_->bounds(), this);
  const bool strip = !movingView_->isTemporary() || isAudioShow_;
  if (strip) {
    const int n = papersPerPage();
    liftedIndex_ = movingView_->page() - n * (curImagesViewPage_ - 1);
    if (movingView_->page() >= 1 && liftedIndex_ >= 1 && liftedIndex_ <= static_cast<int>(imagesViewArray_.size()))
      imagesViewArray_.erase(imagesViewArray_.begin() + (liftedIndex_ - 1));
    auto next = makePaper({400, kRowTop});
    const int frame = n * curImagesViewPage_ + 1;
    next->setPaperWithPage(frame, false);
    next->setHidden(frame > frameCount());
    imagesView_->addSubview(next);
    imagesViewArray_.push_back(next);
    layoutStripFrom(static_cast<std::size_t>(std::max(0, liftedIndex_ - 1)), true);
  } else {
    const int e = movingView_->page();
    if (e >= 1 && e <= static_cast<int>(temporaryViewArray_.size()))
      temporaryViewArray_.erase(temporaryViewArray_.begin() + (e - 1));
  }
  addSubview(movingView_);
  movingView_->setFrame(onPanel);
}

void ZTPicManagerView::touchesMoved(const ui::TouchSet& touches, const ui::Event&) {
  if (touches.empty()) return;
  removeFrameMenu();
  if (playView_->isPlay()) return;
  const ui::Point pt = touches.front()->locationInView(this);
  if (isTouchIn_ && movingView_) {
    if (!isTouchMove_) lift();
    movingView_->setFrame({pt.x - kPaperW / 2, pt.y - kPaperH / 2, kPaperW, kPaperH});
  }
  soundTrack_->dragCursor(pt);
}

void ZTPicManagerView::touchesEnded(const ui::TouchSet& touches, const ui::Event&) {
  isTouch_ = false;
  if (touches.empty() || playView_->isPlay()) return;
  if (!isTouchIn_ || !movingView_) {
    reLoadImage();
    return;
  }
  const ui::Touch* t = touches.front();
  if (!isTouchMove_) {
    clearTouchFlags();
    if (!movingView_->isTemporary()) {
      const int p = papersPerPage() * (curImagesViewPage_ - 1) + slotUnder(t->locationInView(imagesView_.get())) + 1;
      if (p >= 1 && p <= frameCount()) {
        selectedPage(p, false);
        playView_->setPage(p);
      }
    } else if (!isAudioShow_) {
      const ui::Point d = t->locationInView(temporaryView_.get());
      for (std::size_t k = 0; k < temporaryViewArray_.size(); ++k) {
        const ui::Rect f = temporaryViewArray_[k]->frame();
        if (d.x >= f.x && d.x < f.x + f.width && d.y >= f.y && d.y < f.y + f.height)
          selectedPage(static_cast<int>(k) + 1, true);
      }
    }
    return;
  }
  drop(t->locationInView(this));
  reLoadImage();
}

void ZTPicManagerView::drop(ui::Point pt) {
  auto moving = movingView_;
  ProjectDataModel* model = project();
  const bool fromStrip = !moving->isTemporary();
  const ui::Point inDepository = convertPointTo(pt, temporaryView_.get());
  const ui::Rect db = temporaryView_->bounds();
  if (!isAudioShow_ && fromStrip && inDepository.x >= 0 && inDepository.y >= 0 && inDepository.x < db.width &&
      inDepository.y < db.height && static_cast<int>(temporaryViewArray_.size()) < kDepositoryCapacity) {
    reparentInPlace(moving, temporaryView_);
    temporaryViewArray_.push_back(moving);
    moving->moveToTemporary();
    const int m = static_cast<int>(temporaryViewArray_.size());
    moving->setIsTemporary(true);
    moving->setPage(m);
    slide([&] { moving->setFrame({(m - 1) * kPaperW, 0, kPaperW, kPaperH}); });
    moving->reapeatBtn()->setHidden(true);
    moving->setHighlighted(false);
    clearTouchFlags();
    soundTrack_->countFrameForEveryAudio();
    ZTDataModel::sharedInstance().saveData();
    return;
  }
  const int n = papersPerPage();
  const ui::Point q = convertPointTo(pt, imagesView_.get());
  const ui::Rect zone = isFullScreen_ ? imagesView_->bounds() : ui::Rect{0, 0, 480, 84};
  if (model && q.x >= zone.x && q.y >= zone.y && q.x < zone.x + zone.width && q.y < zone.y + zone.height) {
    const int s = slotUnder(q) + 1;
    const int b = n * (curImagesViewPage_ - 1);
    const int count = frameCount();
    const int remaining = count - b;
    int target = 0;
    auto dropPaper = [&](std::size_t index) {
      imagesViewArray_[index]->setDelegate(nullptr);
      imagesViewArray_[index]->removeFromSuperview();
      imagesViewArray_.erase(imagesViewArray_.begin() + index);
    };
    reparentInPlace(moving, imagesView_);
    if (s < 2) {
      dropPaper(0);
      imagesViewArray_.insert(imagesViewArray_.begin(), moving);
      target = b + 1;
    } else if (remaining < s) {
      dropPaper(0);
      imagesViewArray_.push_back(moving);
      target = count + 1;
    } else if (s < n) {
      dropPaper(imagesViewArray_.size() - 1);
      imagesViewArray_.insert(imagesViewArray_.begin() + (s - 1), moving);
      target = b + s;
    } else {
      dropPaper(imagesViewArray_.size() - 1);
      imagesViewArray_.push_back(moving);
      target = b + n;
    }
    // The dropped paper settles into its slot and the others make room.
    layoutStripFrom(0, true);
    // A drop inside a repeat run lands past the run.
    const int o = moving->page();
    if (fromStrip) {
      const int run = model->reapeatFrameNumber(o);
      if (o < target) {
        if (!model->isReapeatFrame(target + 1)) {
          target = target + 1 - run;
        } else {
          const int r = model->reapeatFrame(target);
          target = r - run + model->reapeatFrameNumber(r);
        }
      }
      if (target < o && model->isReapeatFrame(target)) {
        const int r = model->reapeatFrame(target);
        target = r + model->reapeatFrameNumber(r);
      }
    } else if (model->isReapeatFrame(target)) {
      const int r = model->reapeatFrame(target);
      target = r + model->reapeatFrameNumber(r);
    }
    moving->moveToImageWithPage(target);
    clearTouchFlags();
    if (!fromStrip) soundTrack_->countFrameForEveryAudio();
    ZTDataModel::sharedInstance().saveData();
    if (!fromStrip) updateTemporarysPaperListUI(true);
    return;
  }
  // Not dropped: the paper goes back where it was.
  if (fromStrip || isAudioShow_) {
    imagesViewArray_.back()->removeFromSuperview();
    imagesViewArray_.pop_back();
    const int i = liftedIndex_;
    std::size_t at = i < 1 ? 0 : std::min<std::size_t>(i - 1, imagesViewArray_.size());
    imagesViewArray_.insert(imagesViewArray_.begin() + at, moving);
    reparentInPlace(moving, imagesView_);
    layoutStripFrom(0, true);
  } else {
    const int e = moving->page();
    std::size_t at = e < 1 ? 0 : std::min<std::size_t>(e - 1, temporaryViewArray_.size());
    temporaryViewArray_.insert(temporaryViewArray_.begin() + at, moving);
    reparentInPlace(moving, temporaryView_);
    updateTemporarysPaperListUI(true);
  }
  clearTouchFlags();
}
