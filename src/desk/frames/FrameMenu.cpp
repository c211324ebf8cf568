#include "desk/frames/FrameMenu.h"

#include <string>

#include "desk/frames/FrameArt.h"
#include "model/ZTDataModel.h"
#include "platform/ui/ImageView.h"
#include "platform/foundation/Localized.h"

namespace {

std::shared_ptr<ui::Button> pictureButton(const std::string& stem, ui::Rect frame, int tag) {
  auto b = ui::Button::make(ui::ButtonType::Custom, frame);
  b->setImage(frame_art::named(stem + "01.png"));
  b->setImage(frame_art::named(stem + "02.png"), ui::StateHighlighted);
  b->setTag(tag);
  return b;
}

std::shared_ptr<ui::ImageView> backdrop(const char* name, ui::Rect frame) {
  auto v = std::make_shared<ui::ImageView>(frame);
  v->setImage(frame_art::named(name));
  v->setUserInteractionEnabled(false);
  return v;
}

}  // namespace

std::shared_ptr<FrameMenu> FrameMenu::initWithFrame(const ui::Rect& frame) {
  return std::make_shared<FrameMenu>(frame);
}

FrameMenu::FrameMenu(const ui::Rect& frame) : ui::View(frame) {
  setBackgroundColor(ui::Color::clear());
  addSubview(backdrop("frame_menu.png", {0, 0, kWidth, kHeight}));
  constexpr struct {
    const char* stem;
    int tag;
  } kButtons[] = {{"frame_menu_delete", kDelete}, {"frame_menu_copy", kCopy}, {"frame_menu_repeat", kRepeat}};
  // The menu's nose takes the top 5 points; the fields share the rest.
  const float w = kWidth / 3;
  for (int i = 0; i < 3; ++i) {
    auto b = pictureButton(kButtons[i].stem, {i * w, 5, w, kHeight - 5}, kButtons[i].tag);
    b->addTarget(this, [this](ui::Control* c, const ui::Event*) { buttonPressed(static_cast<ui::Button*>(c)); },
                 ui::TouchUpInside);
    addSubview(b);
  }
}

ui::Button* FrameMenu::button(int tag) const {
  for (const auto& v : subviews())
    if (v->tag() == tag) return static_cast<ui::Button*>(v.get());
  return nullptr;
}

void FrameMenu::buttonPressed(ui::Button* sender) {
  switch (sender->tag()) {
    case kRepeat:
      if (delegate_) delegate_->setReapeatNumber();
      break;
    case kCopy:
      if (delegate_) delegate_->duplicateANewPaper();
      break;
    case kDelete:
    {
      auto alert = ui::AlertView::make(fd::Localized("Warning"), fd::Localized("delete paper"), this,
                                       fd::Localized("Delete"), {fd::Localized("Cancel")});
      alert->show();
      break;
    }
    default:
      break;
  }
}

void FrameMenu::didDismissWithButtonIndex(ui::ButtonSheet&, int index) {
  auto keep = self();  // the delete removes this menu
  // A menu taken off the screen meanwhile no longer shows the frame it asked about.
  if (index == 0 && delegate_ && window() != nullptr) delegate_->deleteSelectPaper();
}

std::shared_ptr<RepeatFrameView> RepeatFrameView::initWithFrame(const ui::Rect& frame) {
  return std::make_shared<RepeatFrameView>(frame);
}

RepeatFrameView::RepeatFrameView(const ui::Rect& frame) : ui::View(frame) {
  setBackgroundColor(ui::Color::clear());
  reapeatView_ = std::make_shared<ui::View>(ui::Rect{0, 0, kPanelWidth, kPanelHeight});
  reapeatView_->setBackgroundColor(ui::Color::clear());
  reapeatView_->addSubview(backdrop("repeat_panel.png", {0, 0, kPanelWidth, kPanelHeight}));
  repeatNumber_ = std::make_shared<ui::Label>(ui::Rect{72, 14, 80, 40});
  repeatNumber_->setTextAlignment(gfx::TextAlignment::Center);
  repeatNumber_->setTextColor(ui::Color::white(1));
  gfx::Font big = repeatNumber_->font();
  big.size = 24;
  big.bold = true;
  repeatNumber_->setFont(big);
  reapeatView_->addSubview(repeatNumber_);
  auto minus = pictureButton("repeat_minus", {12, 14, 50, 40}, kMinus);
  auto plus = pictureButton("repeat_plus", {162, 14, 50, 40}, kPlus);
  auto cancel = ui::Button::make(ui::ButtonType::Custom, {12, 74, 94, 38});
  auto ok = ui::Button::make(ui::ButtonType::Custom, {118, 74, 94, 38});
  cancel->setTag(kCancel);
  ok->setTag(kOK);
  cancel->setTitle(fd::Localized("Cancel"));
  ok->setTitle(fd::Localized("OK"));
  for (ui::Button* key : {cancel.get(), ok.get()}) {
    key->setBackgroundImage(frame_art::named("repeat_key01.png"));
    key->setBackgroundImage(frame_art::named("repeat_key02.png"), ui::StateHighlighted);
    key->setTitleColor(ui::Color::white(1));
  }
  for (const auto& b : {minus, plus, cancel, ok}) {
    b->addTarget(this, [this](ui::Control* c, const ui::Event*) { buttonPressed(static_cast<ui::Button*>(c)); },
                 ui::TouchUpInside);
    reapeatView_->addSubview(b);
  }
  addSubview(reapeatView_);
  setNumber(1);
}

ui::Button* RepeatFrameView::button(int tag) const {
  for (const auto& v : reapeatView_->subviews())
    if (v->tag() == tag) return static_cast<ui::Button*>(v.get());
  return nullptr;
}

void RepeatFrameView::setNumber(int n) {
  number_ = n;
  repeatNumber_->setText(std::to_string(n));
}

void RepeatFrameView::buttonPressed(ui::Button* sender) {
  switch (sender->tag()) {
    case kMinus:
      if (number_ >= 2) setNumber(number_ - 1);
      break;
    case kPlus:
      if (number_ < ProjectDataModel::kMaxRepeatRun) setNumber(number_ + 1);
      break;
    case kCancel:
      removeFromSuperview();
      break;
    case kOK:
      apply();
      break;
    default:
      break;
  }
}

void RepeatFrameView::apply() {
  auto keep = self();
  ZTDataModel& model = ZTDataModel::sharedInstance();
  if (ProjectDataModel* p = model.prjDataModel().get()) {
    reapeatPage_ = p->reapeatFrame(reapeatPage_);
    const int first = reapeatPage_;
    const int old = p->reapeatFrameNumber(first);
    const auto lays = p->laysAtPage(first, false);
    // The run is resized by the model's own edit; the shared layers' page
    // references are then moved the way the model's other run operations
    // move them, so a later delete never drops a layer still in use.
    if (lays && p->setRepeatRunAtPage(first, number_)) {
      for (int q = first + old; q < first + number_; ++q) {
        p->marksIncFromPage(q);
        for (const auto& id : *lays) p->addMark(q, id);
      }
      for (int q = first + old - 1; q >= first + number_; --q) {
        for (const auto& id : *lays) p->removeMark(q, id);
        p->marksDecToPage(q);
      }
    }
  }
  model.saveData();
  if (delegate_) delegate_->setReatFrameFinished();
  removeFromSuperview();
}
