#pragma once
// A one-line text field. A touch on it makes it take the keyboard: the host
// hands the typed text and the editing keys to the field that edits, which
// keeps its caret at the end of the text and shows the end of a text wider
// than itself. Events: EditingDidBegin, EditingChanged, EditingDidEnd (on
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
  // Sets the text as the program's own change: no EditingChanged.
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
