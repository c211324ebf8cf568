#pragma once
// A one-line text field. A touch on it makes it take the keyboard: the host
// hands the typed text and the editing keys to the field that edits, which
// keeps its caret after the text's last character, where typing goes on
// (at the left of a right-to-left word), and scrolls a text wider than
// itself only as far as keeps that caret and the character before it in
// sight. A right-to-left paragraph that fits stands at the right. Events: EditingDidBegin, EditingChanged, EditingDidEnd (on
// Escape, resignFirstResponder, or leaving the window) and, for Return,
// EditingDidEndOnExit: its owner ends the editing when the text will do.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/graphics/Text.h"
#include "platform/ui/Control.h"

namespace ui {

enum class EditingKey { Backspace, Return, Escape };

class TextField : public Control {
 public:
  explicit TextField(const Rect& frame = {});

  const std::string& text() const { return text_; }
  // Sets the text as the program's own change: no EditingChanged. The field
  // holds one line as it shows it: each line break, tab or other control
  // character in the text given becomes a space, so what is read back is
  // what the user saw.
  void setText(const std::string& text);
  const std::string& placeholder() const { return placeholder_; }
  void setPlaceholder(const std::string& text);
  const gfx::Font& font() const { return font_; }
  void setFont(const gfx::Font& font);
  Color textColor() const { return textColor_; }
  void setTextColor(const Color& c);
  // Longest text in bytes that typing can make (0: no limit); typed text is
  // cut at a whole character.
  std::size_t maximumLength() const { return maximumLength_; }
  void setMaximumLength(std::size_t bytes) { maximumLength_ = bytes; }

  bool isEditing() const;
  // Takes the keyboard from any other field; false when disabled or not in a
  // window.
  bool becomeFirstResponder();
  bool resignFirstResponder();

  // Typed text (UTF-8; control characters are dropped) and editing keys.
  void insertText(std::string_view utf8);
  void pressKey(EditingKey key);

  bool drawsContent() const override { return true; }
  void drawRect(gfx::Context& ctx, const Rect& rect) override;
  void didMoveToWindow() override;

  static constexpr float kTextInset = 6;

 private:
  // Where the line is drawn from the left of the text's box: the scroll
  // kept, moved as little as keeps the caret and the last character in
  // sight, and never so far as to leave room the text could fill.
  float placedOffset() const;
  void keepCaretInSight();
  gfx::LineEnd line_;
  float offset_ = 0;
  bool placed_ = false;
  std::string text_, placeholder_;
  gfx::Font font_{"DejaVu Sans", 14, false};
  Color textColor_ = Color::black();
  std::size_t maximumLength_ = 0;
};

// The field that takes the keyboard now; nullptr when none edits.
TextField* editingTextField();
// What the host's keyboard sends: to the editing field, or nowhere (also
// while an alert or action sheet is on screen, or when typed while input
// was held). `madeAt`: when it was typed, on the run loop's clock; none: now.
void deliverTypedText(std::string_view utf8, std::optional<double> madeAt = std::nullopt);
void deliverEditingKey(EditingKey key, std::optional<double> madeAt = std::nullopt);

}  // namespace ui
