#include "desk/frames/SoundTagView.h"

#include <algorithm>
#include <cstdio>

#include "desk/frames/SoundArt.h"
#include "desk/frames/SoundTimeline.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/Localized.h"

namespace st = sound_timeline;

namespace {

constexpr float kShortInset = 8;  // a narrow marker sits this much lower
// The end frame is read this far left of the right edge (45 + 5 = 50).
constexpr float kEndInset = 5;

bool inside(const ui::Rect& r, ui::Point p) {
  return p.x >= r.x && p.y >= r.y && p.x < r.x + r.width && p.y < r.y + r.height;
}

}  // namespace

void editSoundTagLists(ProjectDataModel& project, const std::function<void(SoundTagLists&)>& edit) {
  SoundTagLists lists = soundTagListsOf(project.soundTags());
  edit(lists);
  project.setSoundTags(soundTagsFromLists(lists));
}

std::shared_ptr<SoundTagView> SoundTagView::initWithFrame(const ui::Rect& frame, bool isCreate) {
  return std::make_shared<SoundTagView>(frame, isCreate);
}

SoundTagView::SoundTagView(const ui::Rect& frame, bool isCreate) : ui::View(frame) {
  setBackgroundColor(ui::Color::clear());
  const float w = frame.width, h = frame.height;
  const bool narrow = w < kNarrowWidth;
  backView_ = std::make_shared<ui::ImageView>(ui::Rect{0, 0, w, h});
  if (!narrow) {
    backView_->setImage(sound_art::pictures().named("sound_tag.png").stretchable(45, 29));
    dragCtr_ = std::make_shared<ui::View>(ui::Rect{65, 0, kHandleWidth, kHandleHeight});
    dragCtr_->setBackgroundColor(ui::Color::clear());
    dragCtr_->setUserInteractionEnabled(false);
  } else {
    backView_->setImage(sound_art::pictures().named("sound_tag_short.png"));
    setFrame({frame.x, frame.y + kShortInset, w, h - kShortInset});
    backView_->setFrame({0, 0, w, h - kShortInset});
  }
  backView_->setAutoresizingMask(ui::FlexibleWidth | ui::FlexibleHeight);
  backView_->setUserInteractionEnabled(false);
  addSubview(backView_);
  if (dragCtr_) addSubview(dragCtr_);

  beginFrameLb_ = createALabelWithFrame({5, 19, std::max(0.0f, w - 26), 12});
  endFrameLb_ = createALabelWithFrame({5, 31, std::max(0.0f, w - 26), 12});
  fileName_ = createALabelWithFrame({5, 43, std::max(0.0f, w - 32), 12});
  initRect_ = this->frame();
  isCreate_ = isCreate;
  calculateControlFrameAndLabelDisplayText();
  for (auto& label : {beginFrameLb_, endFrameLb_, fileName_}) {
    addSubview(label);
    label->setHidden(narrow);
  }

  deleteBtn_ = ui::Button::make(ui::ButtonType::Custom, {w - kDeleteSize, 10, kDeleteSize, kDeleteSize});
  deleteBtn_->setImage(sound_art::pictures().named("sound_delete01.png"));
  deleteBtn_->setImage(sound_art::pictures().named("sound_delete02.png"), ui::StateHighlighted);
  deleteBtn_->addTarget(this, [this](ui::Control*, const ui::Event*) { removeFromSupView(); }, ui::TouchUpInside);
  addSubview(deleteBtn_);
  isMove_ = false;
  // The handle starts at the right end, so the first touch on it resizes.
  placeHandle();
}

std::shared_ptr<ui::Label> SoundTagView::createALabelWithFrame(const ui::Rect& frame) {
  auto label = std::make_shared<ui::Label>(frame);
  label->setBackgroundColor(ui::Color::clear());
  label->setTextColor(ui::Color::white(1));
  label->setTextAlignment(ui::TextAlignment::Center);
  gfx::Font font;
  font.size = 9;
  label->setFont(font);
  label->setAutoresizingMask(ui::FlexibleWidth | ui::FlexibleHeight);
  label->setUserInteractionEnabled(false);
  return label;
}

void SoundTagView::calculateControlFrameAndLabelDisplayText() {
  const int n = st::frameCount();
  const ui::Rect f = frame();
  const int first = std::max(1, st::frameAt(f.x, n));
  const int end = st::frameAt(f.x + f.width - kEndInset, n);
  char text[32];
  std::snprintf(text, sizeof text, "%s%d", fd::Localized("Start:").c_str(), first);
  beginFrameLb_->setText(text);
  std::snprintf(text, sizeof text, "%s%d", fd::Localized("End:").c_str(), end);
  endFrameLb_->setText(text);
  ProjectDataModel* project = st::project();
  if (!project) return;
  if (isCreate_) {
    editSoundTagLists(*project, [&](SoundTagLists& l) { l.frames.insert(l.frames.end(), {first, end}); });
    isCreate_ = false;
  }
  if (isMove_) {
    editSoundTagLists(*project, [&](SoundTagLists& l) {
      const std::size_t i = 2 * static_cast<std::size_t>(std::max(soundTag_, 0));
      if (i + 1 < l.frames.size()) {
        l.frames[i] = first;
        l.frames[i + 1] = end;
      }
    });
  }
  project->soundTagFrameArrayArrange();
}

void SoundTagView::calculateDeleteBtnFrame() {
  const float w = bounds().width;
  ui::Rect d = deleteBtn_->frame();
  d.x = w - kDeleteSize;
  deleteBtn_->setFrame(d);
  placeHandle();
}

void SoundTagView::placeHandle() {
  if (!dragCtr_) return;
  ui::Rect h = dragCtr_->frame();
  h.x = bounds().width - kHandleWidth;
  dragCtr_->setFrame(h);
}

void SoundTagView::removeFromSupView() {
  if (!soundDeleTag_) {
    const bool narrow = bounds().width < kNarrowWidth;
    soundDeleTag_ = std::make_shared<ui::ImageView>(bounds());
    soundDeleTag_->setImage(narrow ? sound_art::pictures().named("sound_tag_short_select.png")
                                   : sound_art::pictures().named("sound_tag_select.png").stretchable(46, 29));
    soundDeleTag_->setAutoresizingMask(ui::FlexibleWidth | ui::FlexibleHeight);
    soundDeleTag_->setUserInteractionEnabled(false);
    insertSubviewAbove(soundDeleTag_, backView_.get());
  }
  soundDeleTag_->setHidden(false);
  auto alert = ui::AlertView::make(fd::Localized("Warning"), fd::Localized("DeleteAudioFileAlert"), this,
                                   fd::Localized("Cancel"), {fd::Localized("OK")});
  alert->show();
}

void SoundTagView::clickedButtonAtIndex(ui::ButtonSheet&, int index) {
  if (index != 1) {
    if (soundDeleTag_) soundDeleTag_->setHidden(true);
    return;
  }
  if (!delegate_) return;
  auto keep = self();
  if (ProjectDataModel* project = st::project()) {
    project->deleteSoundTagViewDataWithTag(soundTag_);
    project->saveData();
  }
  delegate_->deleteSoundTagViewWithTag(soundTag_ + kViewTagBase);
}

void SoundTagView::touchesBegan(const ui::TouchSet& touches, const ui::Event&) {
  if (touches.empty()) return;
  isDrag_ = !(dragCtr_ && inside(dragCtr_->frame(), touches.front()->locationInView(this)));
  isMove_ = true;
  moved_ = false;
  lastPointX_ = st::kLeftLimit;
  nextPointX_ = st::kRightLimit;
  ProjectDataModel* project = st::project();
  if (!project) return;
  const std::vector<float> points = project->soundTagPointsArray();
  const int tags = static_cast<int>(points.size() / 2);
  if (tags <= 1) return;
  if (soundTag_ > 0 && 2 * soundTag_ - 1 < static_cast<int>(points.size())) lastPointX_ = points[2 * soundTag_ - 1];
  if (soundTag_ + 1 < tags) nextPointX_ = points[2 * soundTag_ + 2];
}

void SoundTagView::touchesMoved(const ui::TouchSet& touches, const ui::Event&) {
  if (touches.empty() || !superview()) return;
  const ui::Touch* t = touches.front();
  const float touchX = t->locationInView(superview()).x;
  const float dx = touchX - t->previousLocationInView(superview()).x;
  ProjectDataModel* project = st::project();
  ui::Rect f = frame();
  float x = f.x, w = f.width;
  int limit = 0;
  if (project) {
    const std::vector<std::string> names = project->soundNameArray();
    if (soundTag_ >= 0 && soundTag_ < static_cast<int>(names.size())) limit = st::limitOf(names[soundTag_]);
  }
  const float longest = x + st::widthOfFrames(std::max(st::kMinimumLimitFrames, limit), st::frameCount());
  placeHandle();
  if (dx == 0) return;
  if (isDrag_) {
    x = std::max(st::kLeftLimit, touchX - w / 2);
    if (x + w > st::kRightLimit) x = st::kRightLimit - w;
  } else {
    w = x + w > st::kRightLimit ? st::kRightLimit - x : w + dx;
    w = std::max(kNarrowWidth, w);
  }
  auto keepRightEdge = [&] {
    if (x + w <= nextPointX_) return;
    if (isDrag_) x = nextPointX_ - w;
    else w = nextPointX_ - x;
  };
  if (!isDrag_) nextPointX_ = std::min(nextPointX_, longest);
  if (dx > 0) {
    keepRightEdge();
    if (x <= lastPointX_) x = lastPointX_;
  } else {
    if (x <= lastPointX_) x = lastPointX_;
    keepRightEdge();
  }
  f.x = x;
  f.width = w;
  setFrame(f);
  deleteBtn_->setFrame({w - kDeleteSize, 10, kDeleteSize, kDeleteSize});
  calculateControlFrameAndLabelDisplayText();
  moved_ = true;
  if (!project) return;
  project->soundTagPointsArrayArrange();
  editSoundTagLists(*project, [&](SoundTagLists& l) {
    const std::size_t i = 2 * static_cast<std::size_t>(std::max(soundTag_, 0));
    if (i + 1 < l.points.size()) {
      l.points[i] = x;
      l.points[i + 1] = x + w;
    }
  });
}

void SoundTagView::touchesEnded(const ui::TouchSet&, const ui::Event&) {
  placeHandle();
  // A moved tag is kept at once, as every other change of the frame manager.
  if (moved_) {
    if (ProjectDataModel* project = st::project()) project->saveData();
  }
  moved_ = false;
}

void SoundTagView::touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) { touchesEnded(touches, event); }
