#include "desk/frames/AlertView.h"

namespace {

std::shared_ptr<ui::Label> twoLineLabel(const ui::Rect& frame) {
  auto label = std::make_shared<ui::Label>(frame);
  label->setTextColor(ui::Color::white(1));
  gfx::Font font;
  font.size = 14;
  label->setFont(font);
  label->setBackgroundColor(ui::Color::clear());
  label->setNumberOfLines(2);
  return label;
}

}  // namespace

std::shared_ptr<AlertView> AlertView::initWithFrame(const ui::Rect& frame) {
  return std::make_shared<AlertView>(frame);
}

AlertView::AlertView(const ui::Rect& frame) : ui::AlertView("", "", nullptr, std::nullopt) {
  setFrame(frame);
  adopt(alertTitle_, twoLineLabel({10, 5, 180, 50}));
  adopt(alertMessage_, twoLineLabel({10, 60, 180, 50}));
}

void AlertView::adopt(std::shared_ptr<ui::Label>& slot, std::shared_ptr<ui::Label> label) {
  if (slot) slot->removeFromSuperview();
  slot = std::move(label);
  if (slot) addSubview(slot);
}

void AlertView::setAlertTitle(std::shared_ptr<ui::Label> l) { adopt(alertTitle_, std::move(l)); }

void AlertView::setAlertMessage(std::shared_ptr<ui::Label> l) { adopt(alertMessage_, std::move(l)); }

void AlertView::build() {
  // The base layout starts from an empty view; the labels belong to this
  // alert's tree, so they go back over it.
  ui::AlertView::build();
  for (const auto& l : {alertTitle_, alertMessage_})
    if (l) addSubview(l);
}
