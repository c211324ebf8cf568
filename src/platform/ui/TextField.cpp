#include "platform/ui/TextField.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/foundation/Unicode.h"
#include "platform/graphics/Path.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Application.h"

namespace ui {

namespace {

// One field at a time takes the keyboard; the toolkit runs on the main thread.
std::weak_ptr<View>& editingSlot() {
  static std::weak_ptr<View> field;
  return field;
}

}  // namespace

TextField::TextField(const Rect& frame) : Control(frame) {
  addTarget(this, [this](Control*, const Event*) { becomeFirstResponder(); }, TouchUpInside);
}

void TextField::setText(const std::string& text) {
  std::string shown = gfx::heldOnOneLine(text);
  if (shown == text_) return;
  text_ = std::move(shown);
  keepCaretInSight();
}

void TextField::setPlaceholder(const std::string& text) {
  placeholder_ = text;
  setNeedsDisplay();
}

void TextField::setFont(const gfx::Font& font) {
  font_ = font;
  keepCaretInSight();
}

void TextField::setTextColor(const Color& c) {
  textColor_ = c;
  setNeedsDisplay();
}

bool TextField::isEditing() const { return editingTextField() == this; }

bool TextField::becomeFirstResponder() {
  if (isEditing()) return true;
  if (!isEnabled() || window() == nullptr) return false;
  if (TextField* other = editingTextField()) other->resignFirstResponder();
  editingSlot() = weak_from_this();
  setNeedsDisplay();
  sendActionsForControlEvents(EditingDidBegin);
  return true;
}

bool TextField::resignFirstResponder() {
  if (!isEditing()) return false;
  editingSlot().reset();
  setNeedsDisplay();
  sendActionsForControlEvents(EditingDidEnd);
  return true;
}

void TextField::insertText(std::string_view utf8) {
  std::string typed;
  for (char c : gfx::validUtf8(utf8)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) typed.push_back(c);
  }
  if (typed.empty()) return;
  std::string next = text_ + typed;
  if (maximumLength_ > 0) fd::cutUtf8ToLength(next, maximumLength_);
  if (next == text_) return;
  text_ = std::move(next);
  keepCaretInSight();
  sendActionsForControlEvents(EditingChanged);
}

void TextField::pressKey(EditingKey key) {
  switch (key) {
    case EditingKey::Backspace:
      if (text_.empty()) return;
      fd::cutUtf8ToLength(text_, text_.size() - 1);
      keepCaretInSight();
      sendActionsForControlEvents(EditingChanged);
      return;
    // The field's owner decides whether the text will do and editing ends.
    case EditingKey::Return: sendActionsForControlEvents(EditingDidEndOnExit); return;
    case EditingKey::Escape: resignFirstResponder(); return;
  }
}

void TextField::didMoveToWindow() {
  if (window() == nullptr) resignFirstResponder();
}

namespace {
constexpr float kCaretWidth = 1.5f;
// The caret stands whole inside the text's box wherever it is.
constexpr float kCaretRoom = 2;
}  // namespace

float TextField::placedOffset() const {
  const float room = bounds().width - 2 * kTextInset;
  const float lo = kCaretRoom, hi = room - kCaretRoom;
  const float width = line_.width;
  // A text that fits stands at its paragraph's start, as it is read.
  if (width <= hi - lo) return line_.rightToLeft ? hi - width : lo;
  float offset = placed_ ? offset_ : (line_.rightToLeft ? hi - width : lo);
  offset = std::clamp(offset, hi - width, lo);
  // The last character, which the caret follows, or the caret alone when
  // that character is wider than the field.
  float from = std::min(line_.before, line_.after), to = std::max(line_.before, line_.after);
  if (to - from > hi - lo) from = to = line_.after;
  if (offset + from < lo) offset = lo - from;
  if (offset + to > hi) offset = hi - to;
  return offset;
}

void TextField::keepCaretInSight() {
  line_ = gfx::lineEnd(text_, font_);
  offset_ = placedOffset();
  placed_ = true;
  setNeedsDisplay();
}

void TextField::drawRect(gfx::Context& ctx, const Rect& rect) {
  const bool editing = isEditing();
  gfx::Path box;
  box.addRoundedRect({1, 1, rect.width - 2, rect.height - 2}, 5);
  ctx.setFillColor(isEnabled() ? Color{1, 1, 1, 1} : Color{0.9f, 0.9f, 0.9f, 1});
  ctx.fillPath(box);
  ctx.setStrokeColor(editing ? Color{0.86f, 0.45f, 0.1f, 1} : Color{0.55f, 0.5f, 0.45f, 1});
  ctx.setLineWidth(editing ? 2 : 1);
  ctx.strokePath(box);

  const Rect inner{kTextInset, 0, rect.width - 2 * kTextInset, rect.height};
  gfx::TextStyle style;
  style.font = font_;
  style.verticalAlignment = gfx::VerticalAlignment::Center;
  style.lineBreak = gfx::LineBreak::Clip;
  style.numberOfLines = 1;
  ctx.save();
  ctx.clipToRect(inner);
  const float x = inner.x + placedOffset();
  if (text_.empty()) {
    style.color = Color{0.6f, 0.58f, 0.55f, 1};
    if (!editing) gfx::drawText(ctx, placeholder_, inner, style);
  } else {
    style.color = textColor_;
    gfx::drawText(ctx, text_, {x, 0, line_.width + 1, rect.height}, style);
  }
  if (editing) {
    const float lh = gfx::lineHeight(font_);
    ctx.setFillColor(Color{0.86f, 0.45f, 0.1f, 1});
    // Beside the last character, not over it, from a whole point so that at
    // least one pixel of it is solid.
    const float at = x + line_.after;
    const float left = line_.after >= line_.before ? std::floor(at) : std::ceil(at) - kCaretWidth;
    ctx.fillRect({left, (rect.height - lh) / 2, kCaretWidth, lh});
  }
  ctx.restore();
}

TextField* editingTextField() {
  std::shared_ptr<View> v = editingSlot().lock();
  return static_cast<TextField*>(v.get());
}

// An alert or sheet on screen is modal: the field behind it keeps its
// editing but hears nothing until it has gone.
void deliverTypedText(std::string_view utf8, std::optional<double> madeAt) {
  TextField* field = editingTextField();
  if (field != nullptr && visibleButtonSheets().empty() && !Application::shared().isInputHeldAt(madeAt))
    field->insertText(utf8);
}

void deliverEditingKey(EditingKey key, std::optional<double> madeAt) {
  TextField* field = editingTextField();
  if (field != nullptr && visibleButtonSheets().empty() && !Application::shared().isInputHeldAt(madeAt))
    field->pressKey(key);
}

}  // namespace ui
