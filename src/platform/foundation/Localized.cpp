#include "platform/foundation/Localized.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/Unicode.h"

namespace fd {

namespace {

std::string utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  std::string out;
  auto unit = [&](std::size_t i) -> char32_t {
    auto b0 = static_cast<unsigned char>(bytes[i]), b1 = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0);
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
      char32_t low = unit(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    appendUtf8(out, c);
  }
  return out;
}

std::string toUtf8(std::string_view bytes) {
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') return utf16ToUtf8(bytes.substr(2), false);
  if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF') return utf16ToUtf8(bytes.substr(2), true);
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") return std::string(bytes.substr(3));
  return std::string(bytes);
}

class StringsParser {
 public:
  explicit StringsParser(std::string text) : s_(std::move(text)) {}

  std::optional<std::map<std::string, std::string>> parse() {
    std::map<std::string, std::string> table;
    while (skipBlanks()) {
      auto key = token();
      if (!key || !skipBlanks()) return std::nullopt;
      std::string value = *key;
      if (s_[i_] == '=') {
        ++i_;
        if (!skipBlanks()) return std::nullopt;
        auto v = token();
        if (!v || !skipBlanks()) return std::nullopt;
        value = std::move(*v);
      }
      if (s_[i_] != ';') return std::nullopt;
      ++i_;
      table.insert_or_assign(std::move(*key), std::move(value));
    }
    if (failed_) return std::nullopt;
    return table;
  }

 private:
  // Skips white space and comments; false at the end of the text.
  bool skipBlanks() {
    while (i_ < s_.size()) {
      char c = s_[i_];
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
        ++i_;
      } else if (s_.compare(i_, 2, "//") == 0) {
        i_ = s_.find('\n', i_);
        if (i_ == std::string::npos) i_ = s_.size();
      } else if (s_.compare(i_, 2, "/*") == 0) {
        std::size_t end = s_.find("*/", i_ + 2);
        if (end == std::string::npos) {
          failed_ = true;
          i_ = s_.size();
          return false;
        }
        i_ = end + 2;
      } else {
        return true;
      }
    }
    return false;
  }

  static bool isBareChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
           c == '$' || c == ':' || c == '/' || c == '-';
  }

  std::optional<std::string> token() {
    if (s_[i_] == '"') return quoted();
    std::size_t start = i_;
    while (i_ < s_.size() && isBareChar(s_[i_])) ++i_;
    if (i_ == start) return std::nullopt;
    return s_.substr(start, i_ - start);
  }

  std::optional<std::string> quoted() {
    std::string out;
    ++i_;
    while (i_ < s_.size()) {
      char c = s_[i_++];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i_ >= s_.size()) break;
      char e = s_[i_++];
      switch (e) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'U':
        case 'u': {
          if (i_ + 4 > s_.size()) return std::nullopt;
          char32_t code = static_cast<char32_t>(std::strtoul(s_.substr(i_, 4).c_str(), nullptr, 16));
          i_ += 4;
          appendUtf8(out, code);
          break;
        }
        default: out += e; break;  // \" \\ \' and any other escaped character
      }
    }
    return std::nullopt;
  }

  std::string s_;
  std::size_t i_ = 0;
  bool failed_ = false;
};

std::string languageFromEnvironment() {
  const char* lang = std::getenv("LANG");
  std::string l = lang ? lang : "";
  l = l.substr(0, l.find_first_of(".@"));
  if (l.empty() || l == "C" || l == "POSIX") return "en";
  if (l == "zh_CN" || l == "zh_SG") return "zh-Hans";
  if (l == "zh_TW" || l == "zh_HK" || l == "zh_MO") return "zh-Hant";
  return l.substr(0, l.find('_'));
}

struct Tables {
  std::mutex m;
  bool loaded = false;
  std::string language;
  std::map<std::string, std::string> table;
  std::vector<std::string> unworded;
};

Tables& tables() {
  static Tables* t = new Tables;  // never destroyed
  return *t;
}

// A missing table for the language falls back to English, as a bundle falls
// back to its development language.
void load(Tables& t) {
  if (t.language.empty()) t.language = languageFromEnvironment();
  t.table.clear();
  t.unworded.clear();
  t.loaded = true;
  for (const std::string& lang : {t.language, std::string("en")}) {
    auto file = paths::resource("strings/" + lang + ".lproj/Localizable.strings");
    const Expected<Data> bytes = files::readFile(file, paths::kMaxResourceTextBytes);
    if (!bytes) {
      if (files::exists(file)) Log("Localized: cannot read %s: %s", file.c_str(), bytes.error().c_str());
      continue;
    }
    auto parsed = parseStringsTable(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    if (parsed)
      t.table = std::move(*parsed);
    else
      Log("Localized: malformed string table %s", file.c_str());
    return;
  }
}

}  // namespace

std::optional<std::map<std::string, std::string>> parseStringsTable(std::string_view bytes) {
  return StringsParser(toUtf8(bytes)).parse();
}

std::string Localized(std::string_view key) {
  Tables& t = tables();
  std::lock_guard lock(t.m);
  if (!t.loaded) load(t);
  auto it = t.table.find(std::string(key));
  if (it != t.table.end()) return it->second;
  if (t.unworded.size() < kMaxKeysWithoutText && std::find(t.unworded.begin(), t.unworded.end(), key) == t.unworded.end())
    t.unworded.emplace_back(key);
  return std::string(key);
}

std::string filled(std::string_view key, std::initializer_list<std::string> values) {
  std::string text = Localized(key);
  std::size_t from = 0;
  for (const std::string& v : values) {
    const std::size_t at = text.find("%@", from);
    if (at == std::string::npos) break;
    // A value the sentence quotes is a name: it stands apart from the
    // sentence's direction.
    const bool quotedHere = std::string_view(text).substr(0, at).ends_with("\u201c") &&
                            std::string_view(text).substr(at + 2).starts_with("\u201d");
    const std::string value = quotedHere ? isolated(v) : oneLine(v);
    text.replace(at, 2, value);
    from = at + value.size();
  }
  return text;
}

void setLocalizationLanguage(const std::string& language) {
  Tables& t = tables();
  std::lock_guard lock(t.m);
  t.language = language;
  load(t);
}

std::vector<std::string> keysWithoutText() {
  Tables& t = tables();
  std::lock_guard lock(t.m);
  return t.unworded;
}

std::string localizationLanguage() {
  Tables& t = tables();
  std::lock_guard lock(t.m);
  if (t.language.empty()) t.language = languageFromEnvironment();
  return t.language;
}

}  // namespace fd
