#include "desk/frames/FrameMenu.h"

#include <string>

#include "model/ZTDataModel.h"
#include "platform/foundation/Localized.h"

namespace {

std::shared_ptr<ui::Button> titledButton(const char* title, ui::Rect frame, int tag) {
  auto b = ui::Button::make(ui::ButtonType::RoundedRect, frame);
  b->setTitle(fd::Localized(title));
  b->setTag(tag);
  return b;
}

}  // namespace

std::shared_ptr<FrameMenu> FrameMenu::initWithFrame(const ui::Rect& frame) {
  return std::make_shared<FrameMenu>(frame);
}

FrameMenu::FrameMenu(const ui::Rect& frame) : ui::View(frame) {
  setBackgroundColor(ui::Color::clear());
  constexpr struct {
    const char* title;
    int tag;
  } kButtons[] = {{"Delete", kDelete}, {"Copy", kCopy}, {"Repeat", kRepeat}};
  const float w = kWidth / 3;
  for (int i = 0; i < 3; ++i) {
    auto b = titledButton(kButtons[i].title, {i * w + 1, 1, w - 2, kHeight - 2}, kButtons[i].tag);
    b->addTarget(this, [this](ui::Control* c, const ui::Event*) { buttonPressed(static_cast<ui::Button*>(c)); },
                 ui::TouchUpInside);
    addSubview(b);
  }
}

FrameMenu::~FrameMenu() {
  if (auto alert = alert_.lock()) alert->setDelegate(nullptr);
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
      alert_ = alert;
      alert->show();
      break;
    }
    default:
      break;
  }
}

void FrameMenu::didDismissWithButtonIndex(ui::ButtonSheet&, int index) {
  auto keep = self();  // the delete removes this menu
  if (index == 0 && delegate_) delegate_->deleteSelectPaper();
}

std::shared_ptr<RepeatFrameView> RepeatFrameView::initWithFrame(const ui::Rect& frame) {
  return std::make_shared<RepeatFrameView>(frame);
}

RepeatFrameView::RepeatFrameView(const ui::Rect& frame) : ui::View(frame) {
  setBackgroundColor(ui::Color::clear());
  reapeatView_ = std::make_shared<ui::View>(ui::Rect{0, 0, kPanelWidth, kPanelHeight});
  reapeatView_->setBackgroundColor({0.2f, 0.22f, 0.26f, 0.95f});
  repeatNumber_ = std::make_shared<ui::Label>(ui::Rect{72, 14, 80, 40});
  repeatNumber_->setTextAlignment(gfx::TextAlignment::Center);
  repeatNumber_->setTextColor(ui::Color::white(1));
  reapeatView_->addSubview(repeatNumber_);
  constexpr struct {
    const char* title;
    ui::Rect frame;
    int tag;
  } kButtons[] = {{"-", {12, 14, 50, 40}, kMinus},
                  {"+", {162, 14, 50, 40}, kPlus},
                  {"Cancel", {12, 72, 94, 38}, kCancel},
                  {"OK", {118, 72, 94, 38}, kOK}};
  for (const auto& entry : kButtons) {
    auto b = titledButton(entry.title, entry.frame, entry.tag);
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
