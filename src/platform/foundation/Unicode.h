#pragma once
// UTF-8 encoding of one code point, for the readers of UTF-16 text (string
// tables, binary property lists), cutting UTF-8 text to a byte length, text
// made one line, names set apart from the direction of the sentence around
// them, the spaces of every kind, and text in its composed form.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace fd {

inline void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | ((c >> 18) & 0x07));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Drops whole characters from the end until the text fits the byte limit.
inline void cutUtf8ToLength(std::string& text, std::size_t limit) {
  const auto isContinuationByte = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
  while (text.size() > limit) {
    while (!text.empty() && isContinuationByte(text.back())) text.pop_back();
    if (!text.empty()) text.pop_back();
  }
}

// The length in bytes of the line break that begins at text[i], 0 when none
// does: every character text layout breaks a line at (LF, CR, VT, FF, NEL,
// and the line and paragraph separators U+2028 and U+2029), CR LF being one.
inline std::size_t lineBreakAt(std::string_view text, std::size_t i) {
  const auto rest = text.substr(i);
  if (rest.starts_with("\r\n")) return 2;
  if (!rest.empty() && (rest[0] == '\n' || rest[0] == '\r' || rest[0] == '\v' || rest[0] == '\f')) return 1;
  if (rest.starts_with("\u0085")) return 2;
  if (rest.starts_with("\u2028") || rest.starts_with("\u2029")) return 3;
  return 0;
}

// The text as one line: each line break becomes one space, so that a name
// holding one shows whole wherever one line is shown.
inline std::string oneLine(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (const std::size_t n = lineBreakAt(text, i)) {
      out += ' ';
      i += n;
    } else {
      out += text[i++];
    }
  }
  return out;
}

// The text as one line (oneLine) set apart from the direction of the text
// around it: between FIRST STRONG ISOLATE and POP DIRECTIONAL ISOLATE it
// reads in the direction of its own first letter, and neither takes the
// sentence's nor turns what follows it (a right-to-left override inside
// stops at its end). An isolate the text opens is closed before that end,
// and one it closes that it never opened is left out, so that nothing of it
// reaches past its end.
std::string isolated(std::string_view text);
// A name as a sentence quotes it: isolated, between curved quotation marks.
std::string quoted(std::string_view name);
// The first character of the text that changes the direction of text
// around it (an embedding, override or isolate, U+202A-U+202E and
// U+2066-U+2069), nullopt when none does.
std::optional<char32_t> directionControlIn(std::string_view utf8);
// The text without the spaces of any kind at either end: the space and the
// tab, the no-break and other widths of space (U+00A0, U+1680, U+2000 to
// U+200A, U+202F, U+205F, U+3000), line breaks, and those that show as
// nothing (U+180E, U+200B, U+2060, U+FEFF). Text that is not UTF-8 is cut
// only of ASCII spaces.
std::string_view withoutOuterSpaces(std::string_view utf8);

// The text in its composed form (NFC): a name typed where names are stored
// decomposed ("e" and a combining acute) and the same name typed where they
// are stored composed ("é") are then the same bytes. Text that is not UTF-8
// comes back as it is.
std::string composedForm(std::string_view utf8);

}  // namespace fd
