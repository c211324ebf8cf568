#include <glib.h>

#include <algorithm>
#include <memory>

#include "platform/foundation/Unicode.h"

namespace fd {

namespace {

constexpr std::string_view kFirstStrongIsolate = "\u2068", kPopDirectionalIsolate = "\u2069";

bool isAnySpace(gunichar c) {
  return g_unichar_isspace(c) || c == 0x85 || c == 0x180E || c == 0x200B || c == 0x2060 || c == 0xFEFF;
}

}  // namespace

std::string isolated(std::string_view text) {
  const std::string line = oneLine(text);
  std::string out;
  out.reserve(line.size() + 6);
  out += kFirstStrongIsolate;
  std::size_t open = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const std::string_view rest = std::string_view(line).substr(i);
    const bool closes = rest.starts_with(kPopDirectionalIsolate);
    if (closes && open == 0) {
      i += kPopDirectionalIsolate.size() - 1;
      continue;
    }
    if (closes) --open;
    if (rest.starts_with("\u2066") || rest.starts_with("\u2067") || rest.starts_with(kFirstStrongIsolate)) ++open;
    out += line[i];
  }
  for (; open > 0; --open) out += kPopDirectionalIsolate;
  out += kPopDirectionalIsolate;
  return out;
}

std::string quoted(std::string_view name) { return "\u201c" + isolated(name) + "\u201d"; }

std::optional<char32_t> directionControlIn(std::string_view utf8) {
  for (std::size_t i = 0; i + 2 < utf8.size(); ++i) {
    if (static_cast<unsigned char>(utf8[i]) != 0xE2) continue;
    const auto second = static_cast<unsigned char>(utf8[i + 1]), third = static_cast<unsigned char>(utf8[i + 2]);
    if ((third & 0xC0) != 0x80) continue;
    const char32_t c = 0x2000 + ((second & 0x3F) << 6) + (third & 0x3F);
    if ((second & 0xC0) == 0x80 && ((c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069))) return c;
  }
  return std::nullopt;
}

std::string_view withoutOuterSpaces(std::string_view utf8) {
  if (!g_utf8_validate_len(utf8.data(), utf8.size(), nullptr)) {
    const auto first = utf8.find_first_not_of(" \t\n\r\v\f");
    if (first == std::string_view::npos) return {};
    return utf8.substr(first, utf8.find_last_not_of(" \t\n\r\v\f") - first + 1);
  }
  const char* begin = utf8.data();
  const char* end = begin + utf8.size();
  while (begin < end && isAnySpace(g_utf8_get_char(begin))) begin = g_utf8_next_char(begin);
  while (begin < end) {
    const char* last = g_utf8_prev_char(end);
    if (!isAnySpace(g_utf8_get_char(last))) break;
    end = last;
  }
  return {begin, static_cast<std::size_t>(end - begin)};
}

std::string composedForm(std::string_view utf8) {
  // ASCII is its own composed form, and most names are ASCII.
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::string(utf8);
  const std::unique_ptr<gchar, decltype(&g_free)> composed(
      g_utf8_normalize(utf8.data(), static_cast<gssize>(utf8.size()), G_NORMALIZE_NFC), &g_free);
  return composed ? std::string(composed.get()) : std::string(utf8);
}

}  // namespace fd
