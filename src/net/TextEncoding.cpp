#include "net/TextEncoding.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>
#include <memory>

namespace net_text {

namespace {

constexpr const char* kDefaultCharset = "ISO-8859-1";

struct IconvDeleter {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvPtr = std::unique_ptr<void, IconvDeleter>;

IconvPtr openDecoder(const std::string& charset) {
  iconv_t cd = iconv_open("UTF-8", charset.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  return IconvPtr(cd);
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

}  // namespace

std::optional<std::string> charsetOf(std::string_view contentType) {
  std::size_t semicolon = contentType.find(';');
  while (semicolon != std::string_view::npos) {
    std::string_view rest = contentType.substr(semicolon + 1);
    std::size_t next = rest.find(';');
    std::string_view param = trim(rest.substr(0, next));
    std::size_t eq = param.find('=');
    if (eq != std::string_view::npos && lower(trim(param.substr(0, eq))) == "charset") {
      std::string_view value = trim(param.substr(eq + 1));
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
      if (!value.empty()) return std::string(value);
    }
    semicolon = next == std::string_view::npos ? next : semicolon + 1 + next;
  }
  return std::nullopt;
}

std::optional<std::string> decodeToUTF8(std::string_view bytes, const std::optional<std::string>& charset) {
  IconvPtr decoder = charset ? openDecoder(*charset) : nullptr;
  if (!decoder) decoder = openDecoder(kDefaultCharset);
  if (!decoder) return std::nullopt;
  iconv_t cd = static_cast<iconv_t>(decoder.get());

  std::string out(bytes.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  std::size_t written = 0;
  // After all input is taken, one more call writes what a stateful charset still holds.
  bool flushing = false;
  for (;;) {
    char* outPtr = out.data() + written;
    std::size_t outLeft = out.size() - written;
    std::size_t r = flushing ? iconv(cd, nullptr, nullptr, &outPtr, &outLeft) : iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    written = out.size() - outLeft;
    if (r == static_cast<std::size_t>(-1)) {
      if (errno != E2BIG) return std::nullopt;  // an invalid or incomplete sequence
      out.resize(out.size() * 2);
      continue;
    }
    if (flushing) break;
    flushing = true;
  }
  out.resize(written);
  return out;
}

}  // namespace net_text
