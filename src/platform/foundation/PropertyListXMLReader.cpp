// The XML form of a property list, read straight into the value. A tree of
// parser nodes beside the value took 25 times the file; here the tags are
// walked twice instead: once to check and charge what the read would build
// and to count each array's items, once to build the value, each array made
// at its size. Both walks go through one tokenizer, so the second sees the
// very tags the first charged for.
#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/PropertyList.h"
#include "platform/foundation/PropertyListCheck.h"
#include "platform/foundation/PropertyListXMLForm.h"
#include "platform/foundation/Unicode.h"

namespace fd::plistcheck {

namespace {

// Property-list dates count from 2001-01-01 UTC; Date counts from 1970.
constexpr double kReferenceDateOffset = 978307200.0;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool blank(std::string_view s) { return trimmed(s).empty(); }

Failure malformed(const std::string& why) { return fail("not a valid property list: " + why); }

// One piece of the document: a start tag, an end tag, an empty-element tag,
// character data (entities still in it) or a CDATA section (taken as it is).
// Comments, processing instructions and the document type are passed over.
struct Token {
  enum Kind { Start, End, Empty, Text, CData, Done } kind = Done;
  std::string_view name;
  std::string_view text;
};

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view doc) : p_(doc.data()), end_(doc.data() + doc.size()) {
    if (doc.starts_with("\xEF\xBB\xBF")) p_ += 3;
  }

  Status next(Token& t) {
    for (;;) {
      if (p_ == end_) {
        t = Token{};
        return {};
      }
      if (*p_ != '<') {
        const char* lt = static_cast<const char*>(std::memchr(p_, '<', static_cast<std::size_t>(end_ - p_)));
        const char* stop = lt ? lt : end_;
        t = Token{Token::Text, {}, {p_, static_cast<std::size_t>(stop - p_)}};
        p_ = stop;
        return {};
      }
      if (p_ + 1 < end_ && p_[1] != '!' && p_[1] != '?') return tag(t);
      const std::string_view rest(p_, static_cast<std::size_t>(end_ - p_));
      if (rest.starts_with("<!--")) {
        if (Status s = skipPast(4, "-->", "a comment"); !s) return s;
      } else if (rest.starts_with("<![CDATA[")) {
        const std::size_t close = rest.find("]]>", 9);
        if (close == std::string_view::npos) return malformed("a CDATA section is not closed");
        t = Token{Token::CData, {}, rest.substr(9, close - 9)};
        p_ += close + 3;
        return {};
      } else if (rest.starts_with("<?")) {
        if (Status s = skipPast(2, "?>", "a processing instruction"); !s) return s;
      } else if (rest.starts_with("<!")) {
        if (Status s = skipDeclaration(); !s) return s;
      } else {
        return tag(t);
      }
    }
  }

 private:
  Status skipPast(std::size_t from, std::string_view closing, const char* what) {
    const std::string_view rest(p_ + from, static_cast<std::size_t>(end_ - p_) - from);
    const std::size_t at = rest.find(closing);
    if (at == std::string_view::npos) return malformed(std::string(what) + " is not closed");
    p_ += from + at + closing.size();
    return {};
  }

  // "<!DOCTYPE ...>". Quotes open a literal only where the grammar has one:
  // in the declaration itself and in the markup declarations of its
  // internal subset, not in the comments and processing instructions there
  // (a comment may say "don't"); a '>' inside a literal, a comment or the
  // subset's brackets does not end it.
  Status skipDeclaration() {
    const auto notClosed = [] { return malformed("a declaration is not closed"); };
    bool subset = false, markup = false;
    const char* q = p_ + 2;
    const auto past = [&](std::string_view closing) {
      const std::string_view rest(q, static_cast<std::size_t>(end_ - q));
      const std::size_t at = rest.find(closing);
      if (at == std::string_view::npos) return false;
      q += at + closing.size();
      return true;
    };
    while (q < end_) {
      const std::string_view rest(q, static_cast<std::size_t>(end_ - q));
      if (subset && !markup) {
        if (rest.starts_with("<!--")) {
          q += 4;
          if (!past("-->")) return malformed("a comment is not closed");
        } else if (rest.starts_with("<?")) {
          q += 2;
          if (!past("?>")) return malformed("a processing instruction is not closed");
        } else if (rest.starts_with("<!")) {
          markup = true;
          q += 2;
        } else {
          if (*q == ']') subset = false;
          ++q;
        }
        continue;
      }
      if (*q == '"' || *q == '\'') {
        const char quote[] = {*q++, 0};
        if (!past(quote)) return notClosed();
      } else if (*q == '[' && !markup) {
        subset = true;
        ++q;
      } else if (*q == '>') {
        ++q;
        if (!markup) {
          p_ = q;
          return {};
        }
        markup = false;
      } else {
        ++q;
      }
    }
    return notClosed();
  }

  Status tag(Token& t) {
    const bool closing = p_ + 1 < end_ && p_[1] == '/';
    const char* q = p_ + (closing ? 2 : 1);
    const char* nameStart = q;
    while (q < end_ && !isSpace(*q) && *q != '/' && *q != '>' && *q != '<') ++q;
    if (q == nameStart) return malformed("a tag has no name");
    const std::string_view name(nameStart, static_cast<std::size_t>(q - nameStart));
    // Attributes are passed over; a '>' inside quotes does not end the tag.
    char quote = 0;
    bool slash = false;
    for (; q < end_; ++q) {
      if (quote != 0) {
        if (*q == quote) quote = 0;
        continue;
      }
      if (*q == '>') break;
      if (*q == '<') return malformed("a tag holds '<'");
      if (*q == '"' || *q == '\'') quote = *q;
      slash = *q == '/';
    }
    if (q == end_) return malformed("a tag is not closed");
    if (closing && slash) return malformed("an end tag is closed as an empty one");
    t = Token{closing ? Token::End : slash ? Token::Empty : Token::Start, name, {}};
    p_ = q + 1;
    return {};
  }

  const char* p_;
  const char* end_;
};

enum class Element { Plist, Array, Dict, Key, String, Integer, Real, Date, Data, True, False, Unknown };

Element elementNamed(std::string_view name) {
  struct Named {
    std::string_view name;
    Element element;
  };
  static constexpr Named kElements[] = {
      {"plist", Element::Plist},   {"array", Element::Array},     {"dict", Element::Dict},
      {"key", Element::Key},       {"string", Element::String},   {"integer", Element::Integer},
      {"real", Element::Real},     {"date", Element::Date},       {"data", Element::Data},
      {"true", Element::True},     {"false", Element::False},
  };
  for (const Named& e : kElements)
    if (e.name == name) return e.element;
  return Element::Unknown;
}

bool isContainer(Element e) { return e == Element::Plist || e == Element::Array || e == Element::Dict; }

// The first walk: nesting, the charge for what the second walk builds (every
// element but <plist> a value, a key its entry beside, the text inside
// values their bytes, each array's count its slot) and the count of items of
// each array opened with a start tag, in document order.
struct Measured {
  std::vector<std::uint32_t> counts;
};

Expected<Measured> measure(std::string_view doc) {
  Measured m;
  struct Open {
    bool array;
    bool holdsText;
    bool level;
    std::size_t count;
  };
  std::vector<Open> open;
  // The elements open around the next one, <plist> not among them: the
  // levels above a value, as the writer and the binary reader count them.
  std::size_t levels = 0;
  std::uint64_t total = 0;
  Tokenizer tokens(doc);
  for (Token t;;) {
    if (Status s = tokens.next(t); !s) return s.failure();
    if (t.kind == Token::Done) break;
    switch (t.kind) {
      case Token::Start:
      case Token::Empty: {
        const Element e = elementNamed(t.name);
        const bool level = e != Element::Plist;
        if (level && tooDeep(levels)) return fail(nestedTooDeeply());
        if (level) total = charged(total, kValueCost);
        if (e == Element::Key) total = charged(total, kEntryCost);
        if (!open.empty() && open.back().array) ++m.counts[open.back().count];
        if (t.kind == Token::Empty) break;
        const bool array = e == Element::Array;
        if (array) {
          total = charged(total, sizeof(std::uint32_t));
          m.counts.push_back(0);
        }
        open.push_back(Open{array, !isContainer(e), level, array ? m.counts.size() - 1 : 0});
        levels += level;
        break;
      }
      case Token::End:
        if (!open.empty()) {
          levels -= open.back().level;
          open.pop_back();
        }
        break;
      case Token::Text:
      case Token::CData:
        if (!open.empty() && open.back().holdsText) total = charged(total, t.text.size());
        break;
      case Token::Done: break;
    }
    if (!withinBudget(total)) return fail("property list holds too much: " + pastTheBudget());
  }
  return m;
}

// Text with its line ends as XML reads them: CR LF and a lone CR are LF.
// A CR a writer meant is written as a reference.
void appendLines(std::string& out, std::string_view raw) {
  for (std::size_t cr; (cr = raw.find('\r')) != std::string_view::npos;) {
    out.append(raw.substr(0, cr));
    out += '\n';
    raw.remove_prefix(cr + (cr + 1 < raw.size() && raw[cr + 1] == '\n' ? 2 : 1));
  }
  out.append(raw);
}

// Character data with its entities replaced. A NUL, a surrogate or a number
// past Unicode is refused.
Status appendDecoded(std::string& out, std::string_view raw) {
  for (;;) {
    const std::size_t amp = raw.find('&');
    appendLines(out, raw.substr(0, amp));
    if (amp == std::string_view::npos) return {};
    raw.remove_prefix(amp + 1);
    // A name or a number of any length (a reference may have leading
    // zeros), closed by ';'.
    const auto inEntity = [](char c) {
      return std::isalnum(static_cast<unsigned char>(c)) || c == '#' || c == '_' || c == '-' || c == '.' || c == ':';
    };
    std::size_t semicolon = 0;
    while (semicolon < raw.size() && inEntity(raw[semicolon])) ++semicolon;
    if (semicolon == raw.size() || raw[semicolon] != ';') return malformed("an entity is not closed");
    const std::string_view entity = raw.substr(0, semicolon);
    raw.remove_prefix(semicolon + 1);
    struct Named {
      std::string_view name;
      char c;
    };
    static constexpr Named kNamed[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    bool named = false;
    for (const Named& n : kNamed) {
      if (n.name != entity) continue;
      out += n.c;
      named = true;
    }
    if (named) continue;
    if (entity.empty() || entity[0] != '#') return malformed("it holds an unknown entity");
    const bool hex = entity.size() > 1 && entity[1] == 'x';
    const std::string_view digits = entity.substr(hex ? 2 : 1);
    if (digits.empty()) return malformed("a character reference has no number");
    std::uint32_t code = 0;
    for (char c : digits) {
      const int d = c >= '0' && c <= '9'             ? c - '0'
                    : hex && c >= 'a' && c <= 'f'    ? c - 'a' + 10
                    : hex && c >= 'A' && c <= 'F'    ? c - 'A' + 10
                                                     : -1;
      if (d < 0) return malformed("a character reference is no number");
      code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
      if (code > 0x10FFFF) return malformed("a character reference is past Unicode");
    }
    if (code == 0) return fail("property list holds a string with a NUL character");
    if (code >= 0xD800 && code <= 0xDFFF) return malformed("a character reference is a surrogate");
    appendUtf8(out, code);
  }
}

// Whole numbers as writers write them: decimal digits with an optional
// sign, or hexadecimal ones after "0x" (with no sign, which other readers
// refuse); white space around them is passed over. Anything else ("1e3",
// "12abc", an empty element) is refused rather than read as far as it goes,
// and so is a number beyond those a value holds (below -2^63, above
// 2^64-1).
Expected<Value> integerFrom(std::string_view text) {
  std::string_view s = trimmed(text);
  const bool negative = !s.empty() && s.front() == '-';
  const bool sign = !s.empty() && (s.front() == '-' || s.front() == '+');
  if (sign) s.remove_prefix(1);
  const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
  if (hex && sign) return malformed("an <integer> holds a sign before hexadecimal digits");
  if (hex) s.remove_prefix(2);
  std::uint64_t magnitude = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, hex ? 16 : 10);
  if (s.empty() || end != s.data() + s.size()) return malformed("an <integer> holds no whole number");
  if (ec == std::errc::result_out_of_range) return fail(integerBeyondRange());
  if (!negative) return Value(static_cast<unsigned long long>(magnitude));
  constexpr std::uint64_t kLeast = std::uint64_t{1} << 63;  // the magnitude of -2^63
  if (magnitude > kLeast) return fail(integerBeyondRange());
  return Value(static_cast<long long>(0 - magnitude));
}

// A decimal number with its exponent, or "inf", "infinity" and "nan" in any
// case, each with an optional sign; white space around it is passed over.
// Anything else ("1,5", a NaN with a payload as "nan(12)", an empty
// element) is refused; a number past the range of a double is taken as the
// infinity or zero it rounds to.
Expected<Value> realFrom(std::string_view text) {
  std::string_view s = trimmed(text);
  const bool negative = !s.empty() && s.front() == '-';
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
  double d = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d, std::chars_format::general);
  if (s.empty() || s.front() == '-' || end != s.data() + s.size() || s.find('(') != std::string_view::npos)
    return malformed("a <real> holds no number");
  if (ec == std::errc::result_out_of_range) d = std::strtod(std::string(s).c_str(), nullptr);
  return Value(negative ? -d : d);
}

// "yyyy-mm-ddThh:mm:ssZ". A day or a time no calendar has (February 30,
// 23:59:60) is refused rather than moved on, and so are the year 0000 and a
// fraction of a second, which lists do not keep (other readers refuse
// both).
Expected<Value> dateFrom(std::string_view text) {
  const std::string_view s = trimmed(text);
  auto number = [&](std::size_t at, std::size_t digits, int& out) {
    if (at + digits > s.size()) return false;
    out = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
      if (s[i] < '0' || s[i] > '9') return false;
      out = out * 10 + (s[i] - '0');
    }
    return true;
  };
  std::tm parts{};
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  const bool laidOut = s.size() >= 20 && number(0, 4, year) && s[4] == '-' && number(5, 2, month) && s[7] == '-' &&
                       number(8, 2, day) && s[10] == 'T' && number(11, 2, hour) && s[13] == ':' &&
                       number(14, 2, minute) && s[16] == ':' && number(17, 2, second) && s.back() == 'Z';
  std::size_t fraction = 19;
  if (laidOut && s[fraction] == '.')
    for (++fraction; fraction < s.size() && s[fraction] >= '0' && s[fraction] <= '9';) ++fraction;
  if (!laidOut || fraction + 1 != s.size()) return malformed("a date is not of the form yyyy-mm-ddThh:mm:ssZ");
  if (fraction != 19) return fail(fractionDateText());
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1] + (month == 2 && leap) || hour > 23 ||
      minute > 59 || second > 59)
    return malformed("a <date> holds a day or a time no calendar has");
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  const Date date{static_cast<double>(::timegm(&parts))};
  if (!keptDate(date)) return fail(unkeptDateText(date));
  return Value(date);
}

Expected<Value> dataFrom(std::string_view text) {
  Data bytes;
  bytes.reserve(text.size() / 4 * 3);
  std::uint32_t group = 0;
  int have = 0, padding = 0;
  for (char c : text) {
    if (isSpace(c)) continue;
    int v = -1;
    if (c >= 'A' && c <= 'Z') v = c - 'A';
    else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
    else if (c >= '0' && c <= '9') v = c - '0' + 52;
    else if (c == '+') v = 62;
    else if (c == '/') v = 63;
    else if (c == '=' && have >= 2) {
      v = 0;
      ++padding;
    }
    if (v < 0 || (padding > 0 && c != '=')) return malformed("its data is not base64");
    group = (group << 6) | static_cast<std::uint32_t>(v);
    if (++have < 4) continue;
    bytes.push_back(static_cast<std::uint8_t>(group >> 16));
    if (padding < 2) bytes.push_back(static_cast<std::uint8_t>(group >> 8));
    if (padding < 1) bytes.push_back(static_cast<std::uint8_t>(group));
    if (padding > 0) padding = 3;  // nothing may follow a padded group
    group = 0;
    have = 0;
  }
  if (have != 0) return malformed("its data is not base64");
  return Value(std::move(bytes));
}

// The second walk: the value, built in place.
class Builder {
 public:
  // A document holds "]]>" mostly as the ends of its CDATA sections, and
  // most hold none: one look over the whole spares each text its own.
  Builder(std::string_view doc, std::vector<std::uint32_t> counts, plistxml::Bound* written)
      : tokens_(doc), counts_(std::move(counts)), written_(written),
        mayCloseInText_(doc.find("]]>") != std::string_view::npos) {}

  Expected<Value> build() {
    for (Token t;;) {
      if (Status s = tokens_.next(t); !s) return s.failure();
      switch (t.kind) {
        case Token::Done:
          if (!open_.empty()) return malformed("it ends inside an element");
          if (!haveRoot_) return malformed("it holds no value");
          return std::move(root_);
        case Token::Text:
          if (!blank(t.text)) return malformed("it holds text outside a value");
          break;
        case Token::CData: return malformed("it holds text outside a value");
        case Token::End:
          if (Status s = close(t.name); !s) return s.failure();
          break;
        case Token::Start:
        case Token::Empty:
          if (Status s = element(t); !s) return s.failure();
          break;
      }
    }
  }

 private:
  struct Open {
    Element element;
    Value* value;
    std::string key;
    bool haveKey = false;
  };

  Status element(const Token& t) {
    const Element e = elementNamed(t.name);
    if (e == Element::Unknown) return malformed("it holds an element <" + std::string(t.name) + ">");
    if (e == Element::Plist) {
      if (!open_.empty() || haveRoot_ || wrapped_) return malformed("<plist> stands inside the list");
      if (t.kind == Token::Empty) return malformed("it holds no value");
      wrapped_ = true;
      open_.push_back(Open{e, nullptr, {}});
      return {};
    }
    std::string text;
    if (!isContainer(e) && t.kind == Token::Start)
      if (Status s = textUpTo(t.name, text); !s) return s;
    if (e == Element::Key) {
      if (open_.empty() || open_.back().element != Element::Dict)
        return malformed("a <key> stands outside a dictionary");
      if (open_.back().haveKey) return malformed("a key follows a key");
      if (written_) written_->key(text, depth());
      open_.back().key = std::move(text);
      open_.back().haveKey = true;
      return {};
    }
    Value* slot = place();
    if (slot == nullptr)
      return malformed(open_.empty() || open_.back().element == Element::Plist ? "it holds more than one value"
                                                                              : "a value has no key");
    switch (e) {
      case Element::Array:
        *slot = Value(Array{});
        if (t.kind == Token::Start) {
          if (nextCount_ >= counts_.size()) return malformed("its arrays were not counted");
          slot->array()->reserve(counts_[nextCount_++]);
        }
        break;
      case Element::Dict: *slot = Value(Dictionary{}); break;
      case Element::String: *slot = Value(std::move(text)); break;
      case Element::Integer: {
        Expected<Value> v = integerFrom(text);
        if (!v) return v.failure();
        *slot = std::move(*v);
        break;
      }
      case Element::Real: {
        Expected<Value> v = realFrom(text);
        if (!v) return v.failure();
        *slot = std::move(*v);
        break;
      }
      case Element::True:
      case Element::False: *slot = Value(e == Element::True); break;
      case Element::Date:
      case Element::Data: {
        Expected<Value> v = e == Element::Date ? dateFrom(text) : dataFrom(text);
        if (!v) return v.failure();
        *slot = std::move(*v);
        break;
      }
      case Element::Key:
      case Element::Plist:
      case Element::Unknown: break;
    }
    if (written_) written_->value(*slot, depth());
    if (isContainer(e) && t.kind == Token::Start) open_.push_back(Open{e, slot, {}});
    return {};
  }

  // The levels above the next value, <plist> not among them.
  int depth() const {
    return static_cast<int>(open_.size()) - (!open_.empty() && open_.front().element == Element::Plist ? 1 : 0);
  }

  // Where the next value goes; nullptr where none may.
  Value* place() {
    if (open_.empty() || open_.back().element == Element::Plist) {
      if (haveRoot_) return nullptr;
      haveRoot_ = true;
      return &root_;
    }
    Open& parent = open_.back();
    if (parent.element == Element::Array) return &parent.value->array()->emplace_back();
    if (!parent.haveKey) return nullptr;
    parent.haveKey = false;
    return &parent.value->dictionary()->insert_or_assign(std::move(parent.key), Value()).first->second;
  }

  Status close(std::string_view name) {
    if (open_.empty() || elementNamed(name) != open_.back().element) return malformed("an end tag </" + std::string(name) + "> does not match");
    if (open_.back().element == Element::Plist && !haveRoot_) return malformed("it holds no value");
    if (open_.back().haveKey) return malformed("a key has no value");
    open_.pop_back();
    return {};
  }

  // The text of a value, up to its end tag; elements inside are refused,
  // and so is "]]>" outside a CDATA section, which XML does not allow.
  Status textUpTo(std::string_view name, std::string& text) {
    for (Token t;;) {
      if (Status s = tokens_.next(t); !s) return s;
      switch (t.kind) {
        case Token::Text:
          if (mayCloseInText_ && t.text.find("]]>") != std::string_view::npos)
            return malformed("its text holds \"]]>\" outside a CDATA section");
          if (Status s = appendDecoded(text, t.text); !s) return s;
          break;
        case Token::CData: appendLines(text, t.text); break;
        case Token::End:
          if (t.name != name) return malformed("an end tag </" + std::string(t.name) + "> does not match");
          return {};
        case Token::Start:
        case Token::Empty: return malformed("<" + std::string(name) + "> holds an element");
        case Token::Done: return malformed("it ends inside an element");
      }
    }
  }

  Tokenizer tokens_;
  std::vector<std::uint32_t> counts_;
  plistxml::Bound* written_;
  std::size_t nextCount_ = 0;
  std::vector<Open> open_;
  Value root_;
  bool haveRoot_ = false;
  bool wrapped_ = false;
  bool mayCloseInText_;
};

// The encoding a list's first bytes show when it is one of those whose text
// is no UTF-8 (its characters hold NUL bytes); none for any other.
std::string_view wideEncoding(std::string_view doc) {
  const auto starts = [&](std::string_view prefix) { return doc.starts_with(prefix); };
  using namespace std::string_view_literals;
  if (starts("\0\0\xFE\xFF"sv) || starts("\xFF\xFE\0\0"sv) || starts("\0\0\0<"sv) || starts("<\0\0\0"sv)) return "UTF-32";
  if (starts("\xFE\xFF"sv) || starts("\xFF\xFE"sv) || starts("\0<"sv) || starts("<\0"sv)) return "UTF-16";
  return {};
}

// The encoding the XML declaration names ("<?xml version="1.0"
// encoding="ISO-8859-1"?>"), empty when it names none.
std::string_view declaredEncoding(std::string_view doc) {
  if (!doc.starts_with("<?xml")) return {};
  const std::string_view declaration = doc.substr(0, doc.find("?>"));
  std::size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return {};
  at += 8;
  while (at < declaration.size() && (isSpace(declaration[at]) || declaration[at] == '=')) ++at;
  if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\'')) return {};
  const std::size_t close = declaration.find(declaration[at], at + 1);
  if (close == std::string_view::npos) return {};
  return declaration.substr(at + 1, close - at - 1);
}

bool namedAs(std::string_view name, std::initializer_list<std::string_view> names) {
  const auto same = [&](std::string_view other) {
    return name.size() == other.size() && std::equal(name.begin(), name.end(), other.begin(), [](char a, char b) {
             return std::toupper(static_cast<unsigned char>(a)) == b;
           });
  };
  return std::any_of(names.begin(), names.end(), same);
}

// The text of a list in UTF-8, as its declaration says it is written: UTF-8
// (or nothing declared), ISO-8859-1, whose bytes are the first 256
// characters, or US-ASCII; a list in any other is refused rather than read
// as UTF-8. A UTF-8 byte-order mark is passed over, and the declaration
// behind it still says how the list is read, as other readers read it.
Expected<std::string_view> inUtf8(std::string_view doc, std::string& converted) {
  if (const std::string_view encoding = wideEncoding(doc); !encoding.empty())
    return fail("property list is written in " + std::string(encoding) + ", an encoding the program does not read");
  if (doc.starts_with("\xEF\xBB\xBF")) doc.remove_prefix(3);
  const std::string_view declared = declaredEncoding(doc);
  if (declared.empty() || namedAs(declared, {"UTF-8", "UTF8"})) return doc;
  if (namedAs(declared, {"US-ASCII", "ASCII"})) {
    const auto wide = std::find_if(doc.begin(), doc.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (wide == doc.end()) return doc;
    char byte[8];
    std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned>(static_cast<unsigned char>(*wide)));
    return malformed(std::string("it is declared US-ASCII and holds the byte ") + byte);
  }
  if (namedAs(declared, {"ISO-8859-1", "ISO8859-1", "ISO_8859-1", "LATIN1", "LATIN-1", "L1"})) {
    converted.reserve(doc.size() + doc.size() / 8);
    for (char c : doc) appendUtf8(converted, static_cast<unsigned char>(c));
    return std::string_view(converted);
  }
  std::string name(declared.substr(0, 40));
  if (uncarriedIn(name) || name.find('\0') != std::string::npos) name = "an encoding it names";
  return fail("property list is written in " + name + ", an encoding the program does not read");
}

}  // namespace

Expected<Value> readXML(const Data& bytes, plistxml::Bound* written) {
  std::string converted;
  const Expected<std::string_view> doc =
      inUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), converted);
  if (!doc) return doc.failure();
  if (doc->find('\0') != std::string_view::npos) return fail("property list holds a NUL character");
  Expected<Measured> measured = measure(*doc);
  if (!measured) return measured.failure();
  return Builder(*doc, std::move(measured->counts), written).build();
}

Status checkXML(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return fail("property list holds a NUL character");
  Expected<Measured> measured = measure(text);
  if (!measured) return measured.failure();
  return {};
}

}  // namespace fd::plistcheck
