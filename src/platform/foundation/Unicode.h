#pragma once
// UTF-8 encoding of one code point, for the readers of UTF-16 text (string
// tables, binary property lists), and cutting UTF-8 text to a byte length.
#include <cstddef>
#include <string>

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

}  // namespace fd
