#pragma once
// A line or block of text drawn with pango in DejaVu: font, bold, colour,
// alignment, number of lines and wrapping. Text is centred vertically.
#include <string>

#include "platform/graphics/Text.h"
#include "platform/ui/View.h"

namespace ui {

using gfx::Font;
using gfx::LineBreak;
using gfx::TextAlignment;

class Label : public View {
 public:
  explicit Label(const Rect& frame = {});

  const std::string& text() const { return text_; }
  void setText(const std::string& text);
  const Font& font() const { return font_; }
  void setFont(const Font& font);
  Color textColor() const { return textColor_; }
  void setTextColor(const Color& c);
  Color highlightedTextColor() const { return highlightedTextColor_; }
  void setHighlightedTextColor(const Color& c);
  bool isHighlighted() const { return highlighted_; }
  void setHighlighted(bool on);
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool on);  // a disabled label draws its text greyed
  TextAlignment textAlignment() const { return alignment_; }
  void setTextAlignment(TextAlignment a);
  int numberOfLines() const { return lines_; }
  void setNumberOfLines(int n);  // 0: as many as needed
  LineBreak lineBreakMode() const { return lineBreak_; }
  void setLineBreakMode(LineBreak m);
  // Shrinks the font down to the minimum so a one-line text fits the width.
  void setAdjustsFontSizeToFitWidth(bool on, float minimumSize = 8);

  Size sizeThatFits(Size size) const override;
  bool drawsContent() const override { return true; }
  void drawRect(gfx::Context& ctx, const Rect& rect) override;

  gfx::TextStyle style() const;

 private:
  std::string text_;
  Font font_;
  Color textColor_ = Color::black();
  Color highlightedTextColor_;
  bool highlighted_ = false;
  bool enabled_ = true;
  TextAlignment alignment_ = TextAlignment::Left;
  int lines_ = 1;
  LineBreak lineBreak_ = LineBreak::TruncateTail;
  bool adjustToFit_ = false;
  float minimumFontSize_ = 8;
};

}  // namespace ui
