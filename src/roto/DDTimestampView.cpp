#include "roto/DDTimestampView.h"

#include "platform/foundation/Log.h"
#include "platform/ui/Responder.h"

namespace roto {

namespace {
constexpr unsigned kFlexibleAll = 63;
// The handles never come closer than this share of the span.
constexpr float kMinimumHandleGap = 0.035f;
}  // namespace

DDTimestampViewItem::DDTimestampViewItem(const ui::Rect& frame) : ui::View(frame) {
  setBackgroundColor(ui::Color::clear());
  const ui::Rect inner{0, 0, frame.width, frame.height};
  background_ = std::make_shared<ui::ImageView>(inner);
  hilight_ = std::make_shared<ui::ImageView>(inner);
  normal_ = std::make_shared<ui::ImageView>(inner);
  hilight_->setHidden(true);
  addSubview(background_);
  addSubview(hilight_);
  addSubview(normal_);
}

void DDTimestampViewItem::setItemStates(int state) {
  if (state == kDDTimestampItemNormal) {
    normal_->setHidden(false);
    hilight_->setHidden(true);
  } else if (state == kDDTimestampItemHighlighted) {
    normal_->setHidden(true);
    hilight_->setHidden(false);
  }
}

void DDTimestampViewItem::layoutSubviews() {
  const ui::Rect inner{0, 0, bounds().width, bounds().height};
  background_->setFrame(inner);
  hilight_->setFrame(inner);
  normal_->setFrame(inner);
}

DDTimestampView::DDTimestampView(const ui::Rect& frame) : ui::View(frame) {
  cropMaskHight_ = frame.height;
  thumbnails_ = std::make_shared<ui::ImageView>(ui::Rect{0, 0, frame.width, frame.height});
  thumbnails_->setBackgroundColor(ui::Color::clear());
  thumbnails_->setAutoresizingMask(kFlexibleAll);
  addSubview(thumbnails_);

  indicator_ = std::make_shared<DDTimestampViewItem>(ui::Rect{});
  addSubview(indicator_);
  updateTimestampIndicator();

  firstMask_ = std::make_shared<ui::View>();
  firstMask_->setBackgroundColor(cropMaskColor_);
  firstCrop_ = std::make_shared<DDTimestampViewItem>(ui::Rect{});
  addSubview(firstMask_);
  addSubview(firstCrop_);
  updateFirstCrop();

  lastMask_ = std::make_shared<ui::View>();
  lastMask_->setBackgroundColor(cropMaskColor_);
  lastCrop_ = std::make_shared<DDTimestampViewItem>(ui::Rect{});
  addSubview(lastMask_);
  addSubview(lastCrop_);
  updateLastCrop();

  setMode(0);
}

void DDTimestampView::setDataSource(DDTimestampViewDataSource* source) {
  dataSource_ = source;
  drawDataSource();
}

void DDTimestampView::drawDataSource() {
  if (!dataSource_) return;
  const std::optional<int> n = dataSource_->numberOfThumbnail();
  if (!n || *n < 1) return;
  for (int i = 0; i < *n; ++i)
    if (auto v = dataSource_->ddTimestampViewThumbnailAtIndex(i)) thumbnails_->addSubview(std::move(v));
}

void DDTimestampView::setMode(int mode) {
  const bool handles = mode == 1;
  indicator_->setHidden(handles);
  firstCrop_->setHidden(!handles);
  lastCrop_->setHidden(!handles);
  firstMask_->setHidden(!handles);
  lastMask_->setHidden(!handles);
}

// Only the times reset; the marks keep their places until their own update.
void DDTimestampView::setMaxTime(float t) {
  maxTime_ = t;
  cropFirstTime_ = 0.3f * span();
  cropLastTime_ = 0.7f * span();
}

void DDTimestampView::setMinTime(float t) {
  minTime_ = t;
  cropFirstTime_ = 0.3f * span();
  cropLastTime_ = 0.7f * span();
}

void DDTimestampView::setIndicatorTime(float t) {
  indicatorTime_ = t > maxTime_ ? maxTime_ : t;
  updateTimestampIndicator();
}

// Fractions divide by the span without taking the minimum off: the screen
// always starts its span at 0.
void DDTimestampView::updateTimestampIndicator() {
  const float w = bounds().width, h = bounds().height;
  const float f = indicatorTime_ / span();
  indicator_->setFrame({f * w - defaultIndicatorWidth_ / 2, 0, defaultIndicatorWidth_, h});
}

void DDTimestampView::updateFirstCrop() {
  const float w = bounds().width, h = bounds().height;
  const float f = cropFirstTime_ / span();
  firstCrop_->setFrame({f * w - firstCropIndicatorWidth_ / 2, 0, firstCropIndicatorWidth_, h});
  firstMask_->setFrame({0, cropMaskHight_, f * w - cropTrimFirstMaskWidth_, h - cropMaskHight_});
}

void DDTimestampView::updateLastCrop() {
  const float w = bounds().width, h = bounds().height;
  const float f = cropLastTime_ / span();
  lastCrop_->setFrame({f * w - lastCropIndicatorWidth_ / 2, 0, lastCropIndicatorWidth_, h});
  lastMask_->setFrame({f * w + cropTrimLastMaskWidth_, cropMaskHight_, w - f * w - cropTrimLastMaskWidth_,
                       h - cropMaskHight_});
}

void DDTimestampView::setMarkImage(DDTimestampViewItem& item, float& width, const ui::Picture& image,
                                   int state) {
  width = image ? image.size().width : 0;
  if (state == kDDTimestampItemNormal)
    item.normalImageView()->setImage(image);
  else if (state == kDDTimestampItemHighlighted)
    item.hilightImageView()->setImage(image);
}

void DDTimestampView::setTimestampIndicatorImage(const ui::Picture& image, int state) {
  setMarkImage(*indicator_, defaultIndicatorWidth_, image, state);
  updateTimestampIndicator();
}

void DDTimestampView::setFirstCropImage(const ui::Picture& image, int state) {
  setMarkImage(*firstCrop_, firstCropIndicatorWidth_, image, state);
  updateFirstCrop();
}

void DDTimestampView::setLastCropImage(const ui::Picture& image, int state) {
  setMarkImage(*lastCrop_, lastCropIndicatorWidth_, image, state);
  updateLastCrop();
}

void DDTimestampView::setTimestampBackgoundImage(const ui::Picture& image) {
  indicator_->backgroundImageView()->setImage(image);
}
void DDTimestampView::setFirstCropBackgroundImage(const ui::Picture& image) {
  firstCrop_->backgroundImageView()->setImage(image);
}
void DDTimestampView::setLastCropBackgroundImage(const ui::Picture& image) {
  lastCrop_->backgroundImageView()->setImage(image);
}

void DDTimestampView::setCropMaskHight(float h) {
  cropMaskHight_ = h;
  updateFirstCrop();
  updateLastCrop();
}

void DDTimestampView::setCropTrimFirstMaskWidth(float w) {
  cropTrimFirstMaskWidth_ = w;
  updateFirstCrop();
}

void DDTimestampView::setCropTrimLastMaskWidth(float w) {
  cropTrimLastMaskWidth_ = w;
  updateLastCrop();
}

void DDTimestampView::setCropMaskColor(const ui::Color& c) {
  cropMaskColor_ = c;
  firstMask_->setBackgroundColor(c);
  lastMask_->setBackgroundColor(c);
}

void DDTimestampView::addBackgroundSubView(std::shared_ptr<ui::View> view) {
  thumbnails_->addSubview(std::move(view));
}

void DDTimestampView::clearBackgroundSubView() {
  const auto subviews = thumbnails_->subviews();  // removal edits the list
  for (const auto& v : subviews) v->removeFromSuperview();
}

float DDTimestampView::timeAt(const ui::TouchSet& touches) const {
  if (touches.empty()) return 0;
  const ui::Point p = touches.front()->locationInView(this);
  return (p.x / bounds().width) * span();
}

int DDTimestampView::selectedStyle() const {
  if (isTimestampIndicatorSelect_ && !indicator_->isHidden()) return kDDTimestampStyleIndicator;
  if (isFirstCropIndicatorSelect_ && !firstCrop_->isHidden()) return kDDTimestampStyleFirstCrop;
  if (isLastCropIndicatorSelect_ && !lastCrop_->isHidden()) return kDDTimestampStyleLastCrop;
  return kDDTimestampStyleNone;
}

void DDTimestampView::touchesBegan(const ui::TouchSet& touches, const ui::Event&) {
  isTimestampIndicatorSelect_ = isFirstCropIndicatorSelect_ = isLastCropIndicatorSelect_ = false;
  if (touches.empty()) return;
  const ui::Point p = touches.front()->locationInView(this);
  auto hit = [&](const DDTimestampViewItem& item) {
    const ui::Rect r = item.frame();
    return !item.isHidden() && p.x >= r.x && p.x < r.x + r.width && p.y >= r.y && p.y < r.y + r.height;
  };
  int style = kDDTimestampStyleNone;
  if (hit(*indicator_)) {
    isTimestampIndicatorSelect_ = true;
    style = kDDTimestampStyleIndicator;
    fd::Log("%s", "timestampIndicator");
  } else if (hit(*firstCrop_)) {
    isFirstCropIndicatorSelect_ = true;
    style = kDDTimestampStyleFirstCrop;
    fd::Log("%s", "firstCropIndicator");
  } else if (hit(*lastCrop_)) {
    isLastCropIndicatorSelect_ = true;
    style = kDDTimestampStyleLastCrop;
    fd::Log("%s", "lastCropIndicator");
  }
  if (delegate_) delegate_->ddTimestampViewDidIndicatorSelect(this, style);
}

void DDTimestampView::touchesMoved(const ui::TouchSet& touches, const ui::Event&) {
  if (touches.empty()) return;
  const float t = timeAt(touches);
  int style = kDDTimestampStyleNone;
  if (isTimestampIndicatorSelect_ && !indicator_->isHidden()) {
    setIndicatorTime(t);
    style = kDDTimestampStyleIndicator;
  } else if (isFirstCropIndicatorSelect_ && !firstCrop_->isHidden()) {
    if (t > cropLastTime_ - kMinimumHandleGap * span()) return;
    cropFirstTime_ = t;
    updateFirstCrop();
    style = kDDTimestampStyleFirstCrop;
  } else if (isLastCropIndicatorSelect_ && !lastCrop_->isHidden()) {
    if (t < cropFirstTime_ + kMinimumHandleGap * span()) return;
    cropLastTime_ = t;
    updateLastCrop();
    style = kDDTimestampStyleLastCrop;
  }
  if (delegate_) delegate_->ddTimestampView(this, t, style);
}

void DDTimestampView::touchesEnded(const ui::TouchSet& touches, const ui::Event&) {
  if (touches.empty()) return;
  if (delegate_) delegate_->ddTimestampViewDidIndicatorEndSelect(this, timeAt(touches), selectedStyle());
}

void DDTimestampView::touchesCancelled(const ui::TouchSet&, const ui::Event&) {
  isTimestampIndicatorSelect_ = isFirstCropIndicatorSelect_ = isLastCropIndicatorSelect_ = false;
}

}  // namespace roto
