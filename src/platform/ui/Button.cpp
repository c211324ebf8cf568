#include "platform/ui/Button.h"

#include <algorithm>

namespace ui {

namespace {
// Title colours a button starts with, by type: white on custom buttons, the
// phone's dark blue on rounded ones.
constexpr Color kDefaultTitleColor[] = {{1, 1, 1, 1}, {0.22f, 0.33f, 0.53f, 1}};
}  // namespace

Button::Button(const Rect& frame, ButtonType type) : Control(frame), type_(type) {
  background_ = std::make_shared<ImageView>();
  image_ = std::make_shared<ImageView>();
  image_->setContentMode(ContentMode::Center);
  title_ = std::make_shared<Label>();
  Font f;
  f.size = 15;
  f.bold = true;
  title_->setFont(f);
  title_->setTextAlignment(TextAlignment::Center);
  addSubview(background_);
  addSubview(image_);
  addSubview(title_);
  titleColors_[StateNormal] = kDefaultTitleColor[static_cast<int>(type)];
  if (type == ButtonType::RoundedRect) titleColors_[StateHighlighted] = Color::white(1);
  refresh();
}

std::shared_ptr<Button> Button::make(ButtonType type, const Rect& frame) {
  return std::make_shared<Button>(frame, type);
}

template <class T>
std::optional<T> Button::lookup(const std::map<unsigned, T>& m, unsigned state) {
  auto it = m.find(state);
  if (it == m.end()) it = m.find(StateNormal);
  if (it == m.end()) return std::nullopt;
  return it->second;
}

void Button::setImage(Picture image, unsigned state) {
  if (image.empty()) images_.erase(state);
  else images_[state] = std::move(image);
  refresh();
}
void Button::setBackgroundImage(Picture image, unsigned state) {
  if (image.empty()) backgrounds_.erase(state);
  else backgrounds_[state] = std::move(image);
  refresh();
}
void Button::setTitle(std::optional<std::string> title, unsigned state) {
  if (!title) titles_.erase(state);
  else titles_[state] = std::move(*title);
  refresh();
}
void Button::setTitleColor(std::optional<Color> color, unsigned state) {
  if (!color) titleColors_.erase(state);
  else titleColors_[state] = *color;
  refresh();
}

Picture Button::imageForState(unsigned state) const {
  auto it = images_.find(state);
  return it == images_.end() ? Picture{} : it->second;
}
Picture Button::backgroundImageForState(unsigned state) const {
  auto it = backgrounds_.find(state);
  return it == backgrounds_.end() ? Picture{} : it->second;
}
std::optional<std::string> Button::titleForState(unsigned state) const {
  auto it = titles_.find(state);
  if (it == titles_.end()) return std::nullopt;
  return it->second;
}
std::optional<Color> Button::titleColorForState(unsigned state) const {
  auto it = titleColors_.find(state);
  if (it == titleColors_.end()) return std::nullopt;
  return it->second;
}

Picture Button::currentImage() const { return lookup(images_, state()).value_or(Picture{}); }
Picture Button::currentBackgroundImage() const { return lookup(backgrounds_, state()).value_or(Picture{}); }
std::string Button::currentTitle() const { return lookup(titles_, state()).value_or(std::string{}); }
Color Button::currentTitleColor() const { return lookup(titleColors_, state()).value_or(Color::white(1)); }

void Button::setContentEdgeInsets(EdgeInsets in) {
  contentInsets_ = in;
  setNeedsLayout();
}
void Button::setTitleEdgeInsets(EdgeInsets in) {
  titleInsets_ = in;
  setNeedsLayout();
}
void Button::setImageEdgeInsets(EdgeInsets in) {
  imageInsets_ = in;
  setNeedsLayout();
}

Label* Button::titleLabel() { return title_.get(); }
ImageView* Button::imageView() { return image_.get(); }

void Button::stateChanged() {
  refresh();
  setNeedsDisplay();
}

void Button::refresh() {
  background_->setImage(currentBackgroundImage());
  image_->setImage(currentImage());
  title_->setText(currentTitle());
  title_->setTextColor(currentTitleColor());
  setNeedsLayout();
}

void Button::setContentHorizontalAlignment(ContentHorizontalAlignment a) {
  hAlignment_ = a;
  setNeedsLayout();
}

void Button::layoutSubviews() {
  Rect b = bounds();
  background_->setFrame(b);
  background_->setContentMode(ContentMode::ScaleToFill);
  Rect content = insetRect(b, contentInsets_);
  Size is = image_->image().size();
  is.width = std::min(is.width, std::max(0.0f, content.width));
  is.height = std::min(is.height, std::max(0.0f, content.height));
  Size ts{};
  if (!title_->text().empty()) {
    ts = title_->sizeThatFits({content.width - is.width, content.height});
    ts.width = std::max(0.0f, std::min(ts.width, content.width - is.width));
    ts.height = std::min(ts.height, std::max(0.0f, content.height));
  }
  // Picture and title sit side by side, centred together; each part's insets
  // then move and shrink its own rectangle.
  const float spare = content.width - is.width - ts.width;
  float x0 = content.x + spare / 2;
  if (hAlignment_ == ContentHorizontalAlignment::Left) x0 = content.x;
  else if (hAlignment_ == ContentHorizontalAlignment::Right) x0 = content.x + spare;
  Rect imageRect{x0, content.y + (content.height - is.height) / 2, is.width, is.height};
  Rect titleRect{x0 + is.width, content.y + (content.height - ts.height) / 2, ts.width, ts.height};
  image_->setFrame(insetRect(imageRect, imageInsets_));
  title_->setFrame(insetRect(titleRect, titleInsets_));
}

Size Button::sizeThatFits(Size size) const {
  Size is = image_->image().size();
  Size bs = background_->image().size();
  Size ts = title_->text().empty() ? Size{} : title_->sizeThatFits(size);
  float w = is.width + ts.width + contentInsets_.left + contentInsets_.right;
  float h = std::max(is.height, ts.height) + contentInsets_.top + contentInsets_.bottom;
  return {std::max(w, bs.width), std::max(h, bs.height)};
}

void Button::drawRect(gfx::Context& ctx, const Rect& rect) {
  gfx::Path p;
  p.addRoundedRect(insetRect(rect, 0.5f, 0.5f), 8);
  ctx.setFillColor(isHighlighted() ? Color{0.2f, 0.45f, 0.9f, 1} : Color::white(1));
  ctx.fillPath(p);
  ctx.setStrokeColor(Color::white(0.6f));
  ctx.setLineWidth(1);
  ctx.strokePath(p);
}

}  // namespace ui
