#include "model/zip/EntryName.h"

#include <algorithm>
#include <cstdint>

#include "model/zip/ZipLimits.h"

namespace zipnames {

namespace {

bool validUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t extra = 0;
    std::uint32_t code = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      code = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      code = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      code = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= s.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      code = (code << 6) | (cc & 0x3F);
    }
    constexpr std::uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::string normalize(std::string_view raw) {
  std::string name(raw);
  if (name.find_first_of("/\\") != std::string::npos) std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

bool namesFolder(std::string_view raw) { return !raw.empty() && (raw.back() == '/' || raw.back() == '\\'); }

Checked check(std::string_view raw) {
  Checked result;
  if (raw.empty()) return result;
  if (raw.find('\0') != std::string_view::npos) {
    result.verdict = Verdict::EmbeddedNul;
    return result;
  }
  if (!validUtf8(raw)) {
    result.verdict = Verdict::NotUtf8;
    return result;
  }
  // Backslashes count as separators whatever the name holds, so that "..\x"
  // cannot slip past as one odd file name and turn into a climb elsewhere.
  std::string name(raw);
  std::replace(name.begin(), name.end(), '\\', '/');
  if (name.front() == '/') {
    result.verdict = Verdict::Absolute;
    return result;
  }
  if (name.size() >= 2 && isAsciiLetter(name[0]) && name[1] == ':') {
    result.verdict = Verdict::DriveLetter;
    return result;
  }
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t end = std::min(name.find('/', start), name.size());
    std::string part = name.substr(start, end - start);
    if (part == "..") {
      result.verdict = Verdict::ParentReference;
      return result;
    }
    if (part.size() > ziplimits::kMaxNamePartBytes) {
      result.verdict = Verdict::LongPart;
      return result;
    }
    if (!part.empty() && part != ".") parts.push_back(std::move(part));
    start = end + 1;
  }
  if (parts.empty()) return result;
  result.verdict = Verdict::Safe;
  result.components = std::move(parts);
  return result;
}

const char* describe(Verdict verdict) {
  switch (verdict) {
    case Verdict::Safe: return "safe";
    case Verdict::Empty: return "empty entry name";
    case Verdict::NotUtf8: return "entry name is not UTF-8";
    case Verdict::EmbeddedNul: return "entry name holds a NUL byte";
    case Verdict::Absolute: return "absolute entry name";
    case Verdict::DriveLetter: return "entry name with a drive letter";
    case Verdict::ParentReference: return "entry name climbs out with \"..\"";
    case Verdict::LongPart: return "entry name has a part longer than a folder holds";
  }
  return "unknown";
}

}  // namespace zipnames
