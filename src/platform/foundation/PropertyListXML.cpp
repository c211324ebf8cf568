// The XML form of a property list, written straight from the value in one
// pass: time and memory follow the size of the text. The layout (tabs, empty
// containers, numbers, dates, base64 lines) is the one files already on disk
// have, so a file written again reads and compares the same.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/PropertyList.h"
#include "platform/foundation/PropertyListCheck.h"
#include "platform/foundation/PropertyListXMLForm.h"

namespace fd {

namespace {

using namespace plistxml;

// Property-list dates count from 2001-01-01 UTC; Date counts from 1970.
constexpr double kReferenceDateOffset = 978307200.0;

// Where the writer puts its text: a string, or a count of its bytes, so that
// the size a list will take written is the writer's own and cannot drift
// from it.
class ByteCount {
 public:
  std::uint64_t size() const { return size_; }
  void push_back(char) { ++size_; }
  ByteCount& operator+=(char) { return ++size_, *this; }
  ByteCount& operator+=(std::string_view s) { return size_ += s.size(), *this; }
  void append(std::size_t n, char) { size_ += n; }
  void append(const char*, std::size_t n) { size_ += n; }
  void append(const char* first, const char* last) { size_ += static_cast<std::size_t>(last - first); }
  void append(std::string_view s, std::size_t pos, std::size_t n) { size_ += std::min(n, s.size() - pos); }

 private:
  std::uint64_t size_ = 0;
};

// Writes the text, and counts what the reader would charge for it beside
// the text inside its elements as it goes.
template <class Out>
class Writer {
 public:
  Writer(Out& out, Extent& extent) : out_(out), extent_(extent) {}

  // Writes a value `depth` levels below the root, which lies within the
  // depth read (the root at 0).
  void value(const Value& v, int depth) {
    extent_.besideText += plistcheck::kValueCost;
    indent(depth);
    switch (v.type()) {
      case Value::Type::Null: break;
      case Value::Type::Bool: out_ += v.boolValue() ? kTrue : kFalse; break;
      case Value::Type::Integer:
        out_ += kIntegerOpen;
        integer(v);
        out_ += kIntegerClose;
        break;
      case Value::Type::Real:
        out_ += kRealOpen;
        real(v.doubleValue());
        out_ += kRealClose;
        break;
      case Value::Type::String:
        out_ += kStringOpen;
        escaped(*v.string());
        out_ += kStringClose;
        break;
      case Value::Type::Data: data(*v.data(), depth); break;
      case Value::Type::Date:
        out_ += kDateOpen;
        date(*v.date());
        out_ += kDateClose;
        break;
      case Value::Type::Array: array(*v.array(), depth); break;
      case Value::Type::Dictionary: dictionary(*v.dictionary(), depth); break;
    }
  }

 private:
  // Values with no property-list form are left out; so are values nested
  // deeper than a list is read, which a value to be stored is refused for.
  bool written(const Value& child, int depth) {
    if (child.isNull()) return false;
    if (!plistcheck::tooDeep(static_cast<std::size_t>(depth))) return true;
    extent_.tooDeep = true;
    return false;
  }

  void indent(int depth) { out_.append(static_cast<std::size_t>(depth), '\t'); }

  // Text up to its first NUL (the parser refuses NUL), with the three markup
  // characters escaped and CR as a reference: raw, every XML reader takes it
  // for LF. What XML does not carry is noted, and the list is not stored.
  void escaped(std::string_view s) {
    // Most text holds nothing but plain ASCII: it is looked through a table
    // and copied in runs.
    enum : std::uint8_t { kPlain, kMarkup, kReturn, kEnd, kControl, kWide };
    static constexpr auto kKind = [] {
      std::array<std::uint8_t, 256> t{};
      for (int c = 0; c < 0x20; ++c) t[c] = kControl;
      for (int c = 0x80; c < 0x100; ++c) t[c] = kWide;
      t['\t'] = t['\n'] = kPlain;
      t['&'] = t['<'] = t['>'] = kMarkup;
      t['\r'] = kReturn;
      t[0] = kEnd;
      return t;
    }();
    std::size_t plain = 0, i = 0;
    for (; i < s.size(); ++i) {
      const std::uint8_t kind = kKind[static_cast<unsigned char>(s[i])];
      if (kind == kPlain) continue;
      if (kind == kEnd) break;
      if (kind == kWide) {
        // A character XML carries is copied with its run.
        if (const std::size_t length = plistcheck::carriedWideAt(s, i); length > 0) {
          i += length - 1;
          continue;
        }
      }
      if (kind >= kControl) {
        if (!extent_.uncarried) extent_.uncarried = plistcheck::uncarriedIn(s.substr(i));
        continue;
      }
      out_.append(s, plain, i - plain);
      out_ += kind == kReturn ? kCarriageReturn : s[i] == '&' ? "&amp;" : s[i] == '<' ? "&lt;" : "&gt;";
      plain = i + 1;
    }
    out_.append(s, plain, i - plain);
  }

  // Every integer a list holds with its own digits, those above the signed
  // range too.
  void integer(const Value& v) {
    char buffer[24];
    const std::optional<std::uint64_t> large = v.largeUnsigned();
    const auto [end, ec] = large ? std::to_chars(buffer, buffer + sizeof buffer, *large)
                                 : std::to_chars(buffer, buffer + sizeof buffer, v.integerValue());
    out_.append(buffer, end);
  }

  void real(double d) {
    if (std::isnan(d)) {
      out_ += "nan";
    } else if (std::isinf(d)) {
      out_ += d > 0 ? "+infinity" : "-infinity";
    } else if (d == 0.0) {
      out_ += std::signbit(d) ? "-0.0" : "0.0";
    } else {
      char buffer[64];
      auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::general, 17);
      out_.append(buffer, end);
    }
  }

  // Every date a list keeps, whole seconds of the years 1 to 9999, is
  // written as it is. Any other is noted, and the list is not stored; its
  // text alone shows the second a fraction is dropped from, the nearest of
  // those years, or the reference date itself for one that is no number, so
  // that the text is still read.
  void date(const Date& date) {
    if (!plistcheck::keptDate(date) && !extent_.unkeptDate) extent_.unkeptDate = date;
    constexpr double kLast = plistcheck::kPastLastDate - 1;  // 9999-12-31T23:59:59Z
    const double whole =
        std::isnan(date.seconds) ? kReferenceDateOffset : std::floor(std::clamp(date.seconds, plistcheck::kFirstDate, kLast));
    const auto t = static_cast<std::time_t>(whole);
    std::tm parts{};
    if (gmtime_r(&t, &parts) == nullptr) return;
    // Four digits for every year: the reader takes no other form.
    char buffer[48];
    const int n = std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", parts.tm_year + 1900,
                                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    if (n > 0) out_.append(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buffer - 1));
  }

  // Base64 in lines that shorten with the indentation, as in stored files.
  void data(const Data& bytes, int depth) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    out_ += kDataOpen;
    const int tabs = dataTabs(depth);
    const std::size_t perLine = dataBytesPerLine(depth);
    for (std::size_t start = 0; start < bytes.size(); start += perLine) {
      indent(tabs);
      const std::size_t end = std::min(bytes.size(), start + perLine);
      for (std::size_t i = start; i < end; i += 3) {
        const std::uint32_t b0 = bytes[i];
        const std::uint32_t b1 = i + 1 < end ? bytes[i + 1] : 0;
        const std::uint32_t b2 = i + 2 < end ? bytes[i + 2] : 0;
        const std::uint32_t group = (b0 << 16) | (b1 << 8) | b2;
        out_ += kAlphabet[(group >> 18) & 63];
        out_ += kAlphabet[(group >> 12) & 63];
        out_ += i + 1 < end ? kAlphabet[(group >> 6) & 63] : '=';
        out_ += i + 2 < end ? kAlphabet[group & 63] : '=';
      }
      out_ += '\n';
    }
    indent(depth);
    out_ += kDataClose;
  }

  void array(const Array& items, int depth) {
    if (std::none_of(items.begin(), items.end(), [&](const Value& v) { return written(v, depth + 1); })) {
      out_ += kArrayEmpty;
      return;
    }
    extent_.besideText += sizeof(std::uint32_t);
    out_ += kArrayOpen;
    for (const Value& item : items)
      if (written(item, depth + 1)) value(item, depth + 1);
    indent(depth);
    out_ += kArrayClose;
  }

  void dictionary(const Dictionary& entries, int depth) {
    // A key is written up to its first NUL; keys that then coincide are one
    // entry, in the place of the first, with the value of the last. Keys
    // hold none, as a rule, and are written as they come.
    const bool cutKeys =
        std::any_of(entries.begin(), entries.end(), [](const auto& e) { return e.first.find('\0') != std::string::npos; });
    if (!cutKeys) {
      if (std::none_of(entries.begin(), entries.end(), [&](const auto& e) { return written(e.second, depth + 1); })) {
        out_ += kDictEmpty;
        return;
      }
      out_ += kDictOpen;
      for (const auto& [key, item] : entries)
        if (written(item, depth + 1)) entry(key, item, depth);
      indent(depth);
      out_ += kDictClose;
      return;
    }
    std::map<std::string_view, std::size_t> placed;
    std::vector<std::pair<std::string_view, const Value*>> kept;
    kept.reserve(entries.size());
    for (const auto& [key, item] : entries) {
      if (!written(item, depth + 1)) continue;
      const std::string_view k = std::string_view(key).substr(0, key.find('\0'));
      auto [at, fresh] = placed.try_emplace(k, kept.size());
      if (fresh) kept.emplace_back(k, &item);
      else kept[at->second].second = &item;
    }
    if (kept.empty()) {
      out_ += kDictEmpty;
      return;
    }
    out_ += kDictOpen;
    for (const auto& [key, item] : kept) entry(key, *item, depth);
    indent(depth);
    out_ += kDictClose;
  }

  // A key and its value, in a dictionary `depth` levels below the root.
  void entry(std::string_view key, const Value& item, int depth) {
    extent_.besideText += plistcheck::kValueCost + plistcheck::kEntryCost;
    indent(depth + 1);
    out_ += kKeyOpen;
    escaped(key);
    out_ += kKeyClose;
    value(item, depth + 1);
  }

  Out& out_;
  Extent& extent_;
};

template <class Out>
Extent writeList(Out& out, const Value& value) {
  Extent extent;
  out += kHeader;
  Writer<Out> writer(out, extent);
  if (value.isNull()) {
    extent.besideText += plistcheck::kValueCost;
    out += kDictEmpty;
  } else {
    writer.value(value, 0);
  }
  out += kFooter;
  extent.bytes = out.size();
  return extent;
}

void walk(const Value& v, int depth, Bound& bound) {
  bound.value(v, depth);
  if (const Date* when = v.date()) bound.date(*when);
  const auto item = [&](const Value& child) {
    if (child.isNull()) return false;
    if (!plistcheck::tooDeep(static_cast<std::size_t>(depth) + 1)) return true;
    bound.tooDeep();
    return false;
  };
  if (const Array* items = v.array()) {
    for (const Value& child : *items)
      if (item(child)) walk(child, depth + 1, bound);
  } else if (const Dictionary* entries = v.dictionary()) {
    for (const auto& [key, child] : *entries) {
      if (!item(child)) continue;
      bound.key(key, depth + 1);
      walk(child, depth + 1, bound);
    }
  }
}

}  // namespace

namespace plistxml {

void tallyAll(const Value& value, Bound& bound) { walk(value, 0, bound); }

std::string written(const Value& value, Extent& extent) {
  std::string out;
  extent = writeList(out, value);
  return out;
}

Extent countWritten(const Value& value) {
  ByteCount count;
  return writeList(count, value);
}

}  // namespace plistxml

std::string serializePropertyListXML(const Value& value) {
  Extent extent;
  return plistxml::written(value, extent);
}

std::uint64_t writtenPropertyListSize(const Value& value) { return plistxml::countWritten(value).bytes; }

}  // namespace fd
