#include "platform/ui/Label.h"

#include <cmath>

namespace ui {

Label::Label(const Rect& frame) : View(frame) { setUserInteractionEnabled(false); }

void Label::setText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  setNeedsDisplay();
}
void Label::setFont(const Font& font) {
  font_ = font;
  setNeedsDisplay();
}
void Label::setTextColor(const Color& c) {
  textColor_ = c;
  setNeedsDisplay();
}
void Label::setHighlightedTextColor(const Color& c) {
  highlightedTextColor_ = c;
  setNeedsDisplay();
}
void Label::setHighlighted(bool on) {
  if (on == highlighted_) return;
  highlighted_ = on;
  setNeedsDisplay();
}
void Label::setEnabled(bool on) {
  enabled_ = on;
  setNeedsDisplay();
}
void Label::setTextAlignment(TextAlignment a) {
  alignment_ = a;
  setNeedsDisplay();
}
void Label::setNumberOfLines(int n) {
  lines_ = n < 0 ? 0 : n;
  setNeedsDisplay();
}
void Label::setLineBreakMode(LineBreak m) {
  lineBreak_ = m;
  setNeedsDisplay();
}
void Label::setAdjustsFontSizeToFitWidth(bool on, float minimumSize) {
  adjustToFit_ = on;
  minimumFontSize_ = minimumSize;
  setNeedsDisplay();
}

gfx::TextStyle Label::style() const {
  gfx::TextStyle s;
  s.font = font_;
  s.color = highlighted_ && highlightedTextColor_.a > 0 ? highlightedTextColor_ : textColor_;
  if (!enabled_) s.color = s.color.withAlpha(s.color.a * 0.45f);
  s.alignment = alignment_;
  s.verticalAlignment = gfx::VerticalAlignment::Center;
  s.lineBreak = lineBreak_;
  s.numberOfLines = lines_;
  return s;
}

Size Label::sizeThatFits(Size size) const {
  if (text_.empty()) return {};
  gfx::TextStyle s = style();
  return gfx::measureText(text_, s, lines_ == 1 ? 0 : size.width);
}

void Label::drawRect(gfx::Context& ctx, const Rect& rect) {
  if (text_.empty()) return;
  gfx::TextStyle s = style();
  if (adjustToFit_ && lines_ == 1) {
    // Steps of half a point until the line fits, as far as the minimum size.
    while (s.font.size > minimumFontSize_ && gfx::measureText(text_, s).width > rect.width)
      s.font.size = std::max(minimumFontSize_, s.font.size - 0.5f);
  }
  gfx::drawText(ctx, text_, rect, s);
}

}  // namespace ui
