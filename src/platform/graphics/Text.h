#pragma once
// Text layout and drawing with pango: labels, titles and button captions. The
// default family is DejaVu Sans (Debian's fonts-dejavu-core), so that the same
// text gives the same pixels on every machine.
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"

namespace gfx {

struct Font {
  std::string family = "DejaVu Sans";
  float size = 17.0f;  // in points (user units)
  bool bold = false;
  bool operator==(const Font&) const = default;
};

enum class TextAlignment { Left, Center, Right };
enum class VerticalAlignment { Top, Center, Bottom };

// How text that does not fit is broken or cut (the phone's line break modes).
enum class LineBreak {
  WordWrap,        // break between words; a word longer than the width breaks by characters
  CharWrap,        // break anywhere
  Clip,            // lines that do not fit are cut at the edge
  TruncateHead,    // "...end" on the last line
  TruncateTail,    // "start..." on the last line
  TruncateMiddle,  // "sta...end" on the last line
};

struct TextStyle {
  Font font;
  Color color = Color::black();
  TextAlignment alignment = TextAlignment::Left;
  VerticalAlignment verticalAlignment = VerticalAlignment::Top;
  LineBreak lineBreak = LineBreak::WordWrap;
  int numberOfLines = 0;  // 0: as many as the text needs
};

// The size the text takes when laid out no wider than maxWidth (<= 0: no
// limit) with the style's font, line breaking and line count; width and height
// are rounded up to whole points. Empty text measures zero by zero.
Size measureText(std::string_view utf8, const TextStyle& style, float maxWidth = 0);

// Draws the text inside r in the current transform, clip, alpha and blend of
// the context, laid out to r's width; lines below r's bottom are cut off.
// Glyphs stand upright in a y-down user space (a TopLeft context); in a y-up
// one they come out upside down, as on the phone. A text holding isolates
// (a sentence quoting names) reads in the direction of its first strong
// letter outside them, every paragraph of it.
void drawText(Context& ctx, std::string_view utf8, const Rect& r, const TextStyle& style);

// A text on one line as drawText lays out a style of one line (its line
// breaks shown as spaces), for a field that edits at its end: how wide it is,
// which way its paragraph reads (by its first strong letter, outside the
// isolates of a text holding any; left to right when it has none), and
// where its last character stands, from the line's left edge. The caret
// after that character, `after`, is where typing in its direction goes on:
// its right edge for a left-to-right letter, its left edge for a
// right-to-left one, wherever the paragraph puts it. An empty
// text is 0 wide, its caret at 0.
struct LineEnd {
  float width = 0;
  bool rightToLeft = false;
  float before = 0, after = 0;
};
LineEnd lineEnd(std::string_view utf8, const Font& font);

// The height of one line of the font (ascent + descent + leading), in points.
float lineHeight(const Font& font);

// The text as it is laid out and drawn: bytes that are not UTF-8 become
// U+FFFD.
std::string validUtf8(std::string_view text);

// The text as a one-line field holds it: a name another program gave a
// folder may hold line breaks and tabs, which such a field cannot show as
// they are nor the user type; held as the spaces shown (each line break,
// fd::lineBreakAt, and each other control character one space, bytes that
// begin no character as validUtf8 marks them), they are what the user edits.
std::string heldOnOneLine(std::string_view text);

// Where each character the reader sees begins, as byte offsets into valid
// UTF-8 text (validUtf8), with the text's size last: a letter with its
// combining marks, a syllable of conjoining jamo or a flag is one character,
// so cutting the text only there leaves none of them in halves. Text that is
// not valid UTF-8 is one character.
std::vector<std::size_t> characterStarts(std::string_view utf8);

}  // namespace gfx
