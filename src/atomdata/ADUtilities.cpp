#include "atomdata/ADUtilities.h"

#include <cctype>

namespace {

unsigned long long versionPart(std::string_view& rest) {
  const std::size_t dot = rest.find('.');
  std::string_view part = rest.substr(0, dot);
  rest = dot == std::string_view::npos ? std::string_view() : rest.substr(dot + 1);
  unsigned long long value = 0;
  for (char c : part) {
    if (!std::isdigit(static_cast<unsigned char>(c))) break;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value;
}

bool isUnreserved(unsigned char c) { return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~'; }

std::string percentEncode(std::string_view text, bool blankAsPlus) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (isUnreserved(c)) {
      out += ch;
    } else if (blankAsPlus && c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace

ADComparisonResult ADUtilities::compareVersion(std::string_view a, std::string_view b) {
  while (!a.empty() || !b.empty()) {
    const unsigned long long x = versionPart(a);
    const unsigned long long y = versionPart(b);
    if (x < y) return ADComparisonResult::Ascending;
    if (x > y) return ADComparisonResult::Descending;
  }
  return ADComparisonResult::Same;
}

std::string ADUtilities::stringByURLEncodingForURI(std::string_view text) { return percentEncode(text, false); }

std::string ADUtilities::stringByURLEncodingStringParameter(std::string_view text) { return percentEncode(text, true); }
