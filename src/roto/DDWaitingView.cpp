#include "roto/DDWaitingView.h"

#include "platform/foundation/Localized.h"
#include "platform/ui/Screen.h"

namespace roto {

namespace {
ui::Rect landscapeScreen() {
  const ui::Rect b = ui::Screen::main().bounds();
  return {0, 0, std::max(b.width, b.height), std::min(b.width, b.height)};
}
}  // namespace

DDWaitingView::DDWaitingView() : DDWaitingView(landscapeScreen()) {}

DDWaitingView::DDWaitingView(const ui::Rect& frame) : ui::View(frame) {
  const float w = frame.width, h = frame.height;
  setBackgroundColor({0, 0, 0, 0.5f});
  indicator_ = std::make_shared<ui::ActivityIndicatorView>(ui::ActivityIndicatorStyle::WhiteLarge);
  const float ih = indicator_->frame().height;
  indicator_->setCenter({w / 2, h / 2 - ih / 2});
  titleLabel_ = std::make_shared<ui::Label>(ui::Rect{0, 0, w, 21});
  titleLabel_->setCenter({w / 2, h / 2 + 21.0f / 2});
  titleLabel_->setTextAlignment(ui::TextAlignment::Center);
  titleLabel_->setBackgroundColor(ui::Color::clear());
  titleLabel_->setTextColor({1, 1, 1, 1});
  titleLabel_->setText(fd::Localized("Please Wait"));
  addSubview(indicator_);
  addSubview(titleLabel_);
  setHidden(true);
}

void DDWaitingView::show() {
  if (superview()) superview()->bringSubviewToFront(this);
  indicator_->startAnimating();
  setHidden(false);
}

void DDWaitingView::hidden() {
  indicator_->stopAnimating();
  setHidden(true);
}

}  // namespace roto
