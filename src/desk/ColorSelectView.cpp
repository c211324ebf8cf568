#include "desk/ColorSelectView.h"

#include <cmath>

#include "desk/DeskArt.h"
#include "model/ZTDataModel.h"
#include "platform/ui/Animation.h"

std::shared_ptr<ColorSelectView> ColorSelectView::initColorSelectViewWithFrame(const ui::Rect& frame) {
  return std::make_shared<ColorSelectView>(frame);
}

ColorSelectView::ColorSelectView(const ui::Rect& frame) : ui::View(frame) {
  setBackgroundColor({0, 0, 0, 0.7f});
  setUserInteractionEnabled(true);
  setHidden(true);
  colorCans_ = std::make_shared<ui::ImageView>(ui::Rect{paletteX(), kPaletteTop, kPaletteWidth, kPaletteHeight});
  colorCans_->setImage(desk_art::named("color_cans.png"));
  colorCans_->setUserInteractionEnabled(true);
  addSubview(colorCans_);
  colorTag_ = std::make_shared<ui::ImageView>(ui::Rect{0, 0, 30, 30});
  colorTag_->setImage(desk_art::named("color_tag.png"));
  colorCans_->addSubview(colorTag_);
  // The last colour until the model names one; placing the marker stores nothing.
  colorNum_ = 43;
  placeMarker();
  int stored = ZTDataModel::sharedInstance().extendDataModel().cuColorIndex();
  if (stored >= 1) setColor(stored - 1);
}

void ColorSelectView::layoutSubviews() {
  colorCans_->setFrame({paletteX(), kPaletteTop, kPaletteWidth, kPaletteHeight});
}

void ColorSelectView::setColor(int n) {
  // An index from a damaged preference must not place the marker off the palette.
  if (n < 0 || n >= kColumns * kRows) return;
  colorNum_ = n;
  ZTDataModel::sharedInstance().extendDataModel().setCuColorIndex(n + 1);
  placeMarker();
}

void ColorSelectView::placeMarker() {
  const int col = colorNum_ % kColumns, row = colorNum_ / kColumns;
  colorTag_->setFrame({col * 41.5f + 18, row * 42.0f + 53, 30, 30});
}

void ColorSelectView::colorCanAutoController() {
  if (isHidden()) {
    ui::Animations::begin("Show");
    setHidden(false);
    ui::Animations::commit();
  } else {
    ui::Animations::begin("Hidden");
    setHidden(true);
    ui::Animations::commit();
    setColor(colorNum_);
  }
}

bool ColorSelectView::isOnColorCan(ui::Point p) const {
  const float x = paletteX();
  return p.x > x && p.x < x + kPaletteWidth && p.y > 66 && p.y < 256;
}

int ColorSelectView::colorClicked(ui::Point p) const {
  const float fc = (p.x - 14 - paletteX()) / 41, fr = (p.y - 78) / 41;
  // Truncation toward zero: a touch just left of the margin still lands in column 0.
  const int col = static_cast<int>(std::trunc(fc)), row = static_cast<int>(std::trunc(fr));
  if (col < 0 || col >= kColumns || row < 0 || row >= kRows) return -1;
  return row * kColumns + col;
}

void ColorSelectView::touchesBegan(const ui::TouchSet& touches, const ui::Event&) {
  if (touches.empty()) return;
  ui::Point p = touches.front()->locationInView(this);
  if (isOnColorCan(p)) {
    int n = colorClicked(p);
    if (n >= 0) setColor(n);
    return;
  }
  setHidden(true);
  if (delegate_) {
    const auto& colors = ZTDataModel::sharedInstance().extendDataModel().colors();
    delegate_->respondToColorSelected(colors[static_cast<std::size_t>(colorNum_)]);
  }
}
