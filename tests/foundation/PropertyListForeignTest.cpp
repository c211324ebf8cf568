// Property lists as other programs write them: the spellings the XML form
// allows beside the one the program writes (character references, CDATA,
// a byte-order mark, comments and processing instructions anywhere, a
// document type with its own declarations, base64 broken where its writer
// chose), compared with libplist on
// thousands of varied lists; and hostile lists at the edge of the budget a
// read is charged against.
#include <libxml/parser.h>
#include <plist/plist.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/PropertyListCheck.h"
#include "support/BinaryPlist.h"
#include "support/ListBound.h"
#include "support/Sandbox.h"

namespace fs = std::filesystem;
using fd::Value;
using testing_support::BinaryPlist;
using testing_support::ScopedBuildBudget;

namespace {

fd::Data bytesOf(const std::string& s) { return fd::Data(s.begin(), s.end()); }

fd::Expected<Value> parse(const std::string& text) { return fd::parsePropertyList(bytesOf(text)); }

// A list of one value, with the prolog most writers put before it.
std::string listOf(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body + "\n</plist>\n";
}

// What a value reads as, for messages: the program's own XML of it.
std::string shown(const Value& v) { return fd::serializePropertyListXML(v); }

bool refusedFor(const fd::Expected<Value>& parsed, const std::string& reason) {
  return !parsed && parsed.error().find(reason) != std::string::npos;
}

// The value libplist reads from the same text, or null where it reads none.
Value fromLibplist(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      std::uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return Value(b != 0);
    }
    case PLIST_UINT: {
      std::uint64_t n = 0;
      plist_get_uint_val(node, &n);
      return Value(static_cast<long long>(n));
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return Value(d);
    }
    case PLIST_STRING: {
      char* s = nullptr;
      plist_get_string_val(node, &s);
      Value v(std::string(s ? s : ""));
      std::free(s);
      return v;
    }
    case PLIST_DATA: {
      char* bytes = nullptr;
      std::uint64_t length = 0;
      plist_get_data_val(node, &bytes, &length);
      const auto* start = reinterpret_cast<const std::uint8_t*>(bytes);
      Value v(fd::Data(start, start + length));
      std::free(bytes);
      return v;
    }
    case PLIST_DATE: {
      std::int32_t seconds = 0, micro = 0;
      plist_get_date_val(node, &seconds, &micro);
      return Value(fd::Date{978307200.0 + seconds + micro / 1e6});
    }
    case PLIST_ARRAY: {
      fd::Array items;
      for (std::uint32_t i = 0; i < plist_array_get_size(node); ++i) items.push_back(fromLibplist(plist_array_get_item(node, i)));
      return Value(std::move(items));
    }
    case PLIST_DICT: {
      fd::Dictionary entries;
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      for (;;) {
        char* key = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, it, &key, &item);
        if (item == nullptr) break;
        entries.emplace(key ? key : "", fromLibplist(item));
        std::free(key);
      }
      std::free(it);
      return Value(std::move(entries));
    }
    default: return Value();
  }
}

std::optional<Value> libplistRead(const std::string& text) {
  plist_t root = nullptr;
  plist_from_xml(text.data(), static_cast<std::uint32_t>(text.size()), &root);
  if (root == nullptr) return std::nullopt;
  Value v = fromLibplist(root);
  plist_free(root);
  return v;
}

// Whether a reader that holds to the rules of XML takes the text whole, as
// other programs' readers of lists do: libxml2, without its recovery.
bool wellFormed(const std::string& text) {
  xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (doc == nullptr) return false;
  xmlFreeDoc(doc);
  return true;
}

// What a value holds once built, counted as the reader charges it: each
// value, each dictionary entry beside it, each byte of text and data.
std::uint64_t built(const Value& v) {
  std::uint64_t total = fd::plistcheck::kValueCost;
  if (const std::string* s = v.string()) total += s->size();
  if (const fd::Data* d = v.data()) total += d->size();
  if (const fd::Array* a = v.array())
    for (const Value& item : *a) total += built(item);
  if (const fd::Dictionary* d = v.dictionary())
    for (const auto& [key, item] : *d) total += fd::plistcheck::kEntryCost + key.size() + built(item);
  return total;
}

}  // namespace

// The spellings of text other writers use read as the text they stand for.
TEST(PropertyListForeignTest, CharacterReferencesEntitiesAndCDATAReadAsTheirText) {
  const std::pair<const char*, std::string> cases[] = {
      {"<string>&#65;&#x41;&#x0041;&#0065;</string>", "AAAA"},
      {"<string>&#00000000000065;&#x0000000000000041;</string>", "AA"},
      {"<string>&apos;&quot;&lt;&gt;&amp;</string>", "'\"<>&"},
      {"<string>'\"></string>", "'\">"},
      {"<string>&#x4E16;&#x754c;&#128512;&#xe9;&#9;&#10;</string>", "\u4e16\u754c\U0001F600\u00e9\t\n"},
      {"<string><![CDATA[a <b> & &amp; ]]]></string>", "a <b> & &amp; ]"},
      {"<string>x<![CDATA[<]]>y&amp;<![CDATA[]]>z</string>", "x<y&z"},
      {"<string/>", ""},
  };
  for (const auto& [body, text] : cases) {
    const auto read = parse(listOf(body));
    ASSERT_TRUE(read) << body << ": " << read.error();
    EXPECT_EQ(*read, Value(text)) << body;
  }
  // Leading zeros of any length, in keys as in strings.
  const auto zeros = parse(listOf("<dict><key>&#00000000000065;&#x00000000000000000042;</key><integer>1</integer></dict>"));
  ASSERT_TRUE(zeros) << zeros.error();
  EXPECT_EQ(*zeros, Value(fd::Dictionary{{"AB", Value(1)}}));

  // What stands for no character, or is no reference, is refused in words.
  const std::pair<const char*, const char*> refused[] = {
      {"&#0;", "NUL character"},
      {"&#x0000;", "NUL character"},
      {"&#xD800;", "is a surrogate"},
      {"&#56320;", "is a surrogate"},
      {"&#xDBFF;&#xDFFF;", "is a surrogate"},
      {"&#x110000;", "past Unicode"},
      {"&#X41;", "is no number"},
      {"&#99999999999999999999;", "past Unicode"},
      {"&#;", "has no number"},
      {"&#x;", "has no number"},
      {"&#12a;", "is no number"},
      {"&nbsp;", "unknown entity"},
      {"&my-own.entity;", "unknown entity"},
      {"AT&T", "entity is not closed"},
      {"a & b; c", "entity is not closed"},
      {"&amp", "entity is not closed"},
  };
  for (const auto& [text, why] : refused)
    EXPECT_TRUE(refusedFor(parse(listOf("<string>" + std::string(text) + "</string>")), why)) << text;
}

// Base64 of every length a group may end with, padded by one or two '=', and
// broken by white space wherever its writer chose.
TEST(PropertyListForeignTest, Base64DataOfEveryLengthAndLayoutReads) {
  const std::pair<const char*, fd::Data> cases[] = {
      {"", {}},
      {"QQ==", {'A'}},
      {"QUI=", {'A', 'B'}},
      {"QUJD", {'A', 'B', 'C'}},
      {"QUJDRA==", {'A', 'B', 'C', 'D'}},
      {"QUJDREU=", {'A', 'B', 'C', 'D', 'E'}},
      {"\n\tQUJD\n\tREU=\n", {'A', 'B', 'C', 'D', 'E'}},
      {" Q U J D R E U = ", {'A', 'B', 'C', 'D', 'E'}},
      {"QQ\r\n==", {'A'}},
      {"AP8A/w==", {0, 255, 0, 255}},
      {"+/+/", {0xFB, 0xFF, 0xBF}},
  };
  for (const auto& [text, bytes] : cases) {
    const auto read = parse(listOf("<data>" + std::string(text) + "</data>"));
    ASSERT_TRUE(read) << '"' << text << "\": " << read.error();
    EXPECT_EQ(*read, Value(bytes)) << '"' << text << '"';
  }
  const auto empty = parse(listOf("<data/>"));
  ASSERT_TRUE(empty) << empty.error();
  EXPECT_EQ(*empty, Value(fd::Data{}));
  for (const char* text : {"Q", "QQ", "QQ=", "QUJ", "Q===", "=QQQ", "QQ==QQ==", "QUJD!", "QQ=A"})
    EXPECT_TRUE(refusedFor(parse(listOf("<data>" + std::string(text) + "</data>")), "not base64")) << text;
}

// A byte-order mark, comments and processing instructions between any two
// values, a document type with or without its own declarations (whose
// comments may hold a quote of either kind, and whose literals may hold
// '>'), and dates with white space around them. A date with a fraction of a
// second, which other readers refuse, is refused in words: it was read with
// its fraction dropped.
TEST(PropertyListForeignTest, PrologsCommentsAndDatesAsOtherWritersPutThem) {
  const std::string body = "<dict><key>a</key><date>2013-05-17T08:30:15Z</date></dict>";
  const Value expected(fd::Dictionary{{"a", Value(fd::Date{1368779415})}});
  const char* const prologs[] = {
      "",
      "\xEF\xBB\xBF",
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n",
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<!-- written elsewhere -->\n",
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n",
      "<!DOCTYPE plist SYSTEM 'file://localhost/System/Library/DTDs/PropertyList.dtd'>\n",
      "<!DOCTYPE plist [\n<!-- don't -->\n]>\n",
      "<!DOCTYPE plist [ <!-- say \"hi -->  <?note it's here?> ]>\n",
      "<!DOCTYPE plist [\n  <!ENTITY gt2 \"a > b\">\n  <!ELEMENT plist (dict)>\n  <!ATTLIST plist version CDATA '1.0'>\n  <!-- ']' and '>' -->\n]>\n",
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"x.dtd\" [ <!-- it's ] here --> ]>\n",
  };
  for (const char* prolog : prologs) {
    const auto read = parse(prolog + std::string("<plist version=\"1.0\">") + body + "</plist>");
    ASSERT_TRUE(read) << prolog << ": " << read.error();
    EXPECT_EQ(*read, expected) << prolog;
  }
  const std::pair<const char*, const char*> unclosed[] = {
      {"<!DOCTYPE plist [ <!-- don't ]>", "a comment is not closed"},
      {"<!DOCTYPE plist [ <?pi ]>", "a processing instruction is not closed"},
      {"<!DOCTYPE plist PUBLIC \"-//Apple>", "a declaration is not closed"},
      {"<!DOCTYPE plist [ <!ENTITY a 'b>", "a declaration is not closed"},
  };
  for (const auto& [prolog, why] : unclosed)
    EXPECT_TRUE(refusedFor(parse(prolog + std::string("<plist>") + body + "</plist>"), why)) << prolog;

  const auto between = parse(listOf(
      "<!-- first --><?app keep > it?>\n<dict>\n<!-- it's a key next -->\n<key>list</key><?pi x?>\n"
      "<array><!-- <array> --><true /><?pi?><false/><!----></array><!-- the end --></dict><?tail?><!-- done -->"));
  ASSERT_TRUE(between) << between.error();
  EXPECT_EQ(*between, Value(fd::Dictionary{{"list", Value(fd::Array{Value(true), Value(false)})}}));

  for (const char* date : {"2013-05-17T08:30:15Z", " 2013-05-17T08:30:15Z\n"}) {
    const auto read = parse(listOf("<date>" + std::string(date) + "</date>"));
    ASSERT_TRUE(read) << date << ": " << read.error();
    EXPECT_EQ(*read, Value(fd::Date{1368779415})) << date;
  }
  for (const char* date : {"2013-05-17T08:30:15.5Z", "2013-05-17T08:30:15.999999Z", "2013-05-17T08:30:15.0Z"})
    EXPECT_TRUE(refusedFor(parse(listOf("<date>" + std::string(date) + "</date>")),
                           "it holds a date with a fraction of a second, which a list cannot keep"))
        << date;
  for (const char* date : {"2013-05-17T08:30:15", "2013-05-17T08:30:15.5", "2013-05-17 08:30:15Z", "2013-5-17T08:30:15Z"})
    EXPECT_TRUE(refusedFor(parse(listOf("<date>" + std::string(date) + "</date>")), "a date is not of the form")) << date;
}

// A list the program cannot read says what is wrong with it.
TEST(PropertyListForeignTest, RefusalsSayWhatIsWrong) {
  const std::string text = listOf("<dict><key>a</key><string>b</string></dict>");
  const auto wide = [&](bool bigEndian, bool mark, int width) {
    std::string out;
    if (mark && width == 2) out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    if (mark && width == 4) out = bigEndian ? std::string("\0\0\xFE\xFF", 4) : std::string("\xFF\xFE\0\0", 4);
    for (char c : text) {
      std::string unit(static_cast<std::size_t>(width), '\0');
      unit[bigEndian ? width - 1 : 0] = c;
      out += unit;
    }
    return out;
  };
  for (bool bigEndian : {true, false})
    for (bool mark : {true, false}) {
      EXPECT_TRUE(refusedFor(parse(wide(bigEndian, mark, 2)), "written in UTF-16, an encoding the program does not read"))
          << bigEndian << mark;
      EXPECT_TRUE(refusedFor(parse(wide(bigEndian, mark, 4)), "written in UTF-32, an encoding the program does not read"))
          << bigEndian << mark;
    }

  // Other readers refuse each of these too, rather than drop or guess.
  const std::pair<std::string, const char*> refused[] = {
      {listOf("<string>x</string><string>y</string>"), "it holds more than one value"},
      {listOf("<dict/><array></array>"), "it holds more than one value"},
      {"<string>x</string><string>y</string>", "it holds more than one value"},
      {listOf("<dict><string>y</string></dict>"), "a value has no key"},
      {listOf("<dict><key>a</key><key>b</key></dict>"), "a key follows a key"},
      {listOf("<dict><key>K</key></dict>"), "a key has no value"},
      {listOf("<dict><key>a</key><true/><key>K</key></dict>"), "a key has no value"},
      {listOf("<key>K</key>"), "a <key> stands outside a dictionary"},
      {listOf("<array><key>K</key></array>"), "a <key> stands outside a dictionary"},
      {listOf("<string>a]]>b</string>"), "text holds \"]]>\" outside a CDATA section"},
      {listOf("<dict><key>]]></key><true/></dict>"), "text holds \"]]>\" outside a CDATA section"},
  };
  for (const auto& [list, why] : refused) EXPECT_TRUE(refusedFor(parse(list), why)) << list;
}

// Thousands of lists, each spelt as some writer elsewhere might: the program
// reads each as the value it was made from, and as libplist reads it where
// libplist reads it at all (it takes no byte-order mark, for one). Only
// valid lists are made: with damaged ones the program is stricter by design.
TEST(PropertyListForeignTest, ReadsVariedListsAsLibplistDoes) {
  std::mt19937 random(20261208);
  const auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
  const auto below = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };

  // Characters of every width, the markup ones among them.
  const std::vector<std::string> pieces = {"a", "Z", "0", " ", "\t", "\n", "\r", "<", ">", "&", "'", "\"", "]", ";", "#",
                                           "\x7f", "\u0085", "\u00e9", "\u00fc", "\u2028", "\u4e16", "\u754c",
                                           "\U0001F600", "\u20ac", "\ufffd", "\U0010FFFF", "x", "y"};
  const auto makeText = [&](std::size_t most) {
    std::string s;
    for (std::size_t n = below(most + 1); n > 0; --n) s += pieces[below(pieces.size())];
    return s;
  };

  std::function<Value(int)> makeValue = [&](int depth) -> Value {
    switch (below(depth < 3 ? 9 : 7)) {
      case 0: return Value(chance(50));
      case 1: {
        const long long samples[] = {0, 1, -1, 42, -7, 9000000000LL, std::numeric_limits<long long>::min(),
                                     std::numeric_limits<long long>::max()};
        return chance(50) ? Value(samples[below(8)]) : Value(static_cast<long long>(random()) - (1LL << 31));
      }
      case 2: {
        const double samples[] = {0.0, 0.5, -2.25, 1e-10, 3.0, 1.0 / 3.0, 6.02e23, -1e300, -0.0};
        return Value(chance(50) ? samples[below(9)] : static_cast<double>(random()) / 7.0);
      }
      case 3:
      case 4: return Value(makeText(12));
      case 5: {
        fd::Data bytes(below(40));
        for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
        return Value(std::move(bytes));
      }
      case 6: {
        // Whole seconds within the 32 bits of seconds libplist keeps.
        const auto since2001 = static_cast<std::int64_t>(random() % 4294967295ULL) - 2147483647LL;
        return Value(fd::Date{978307200.0 + static_cast<double>(since2001)});
      }
      case 7: {
        fd::Array items;
        for (std::size_t n = below(5); n > 0; --n) items.push_back(makeValue(depth + 1));
        return Value(std::move(items));
      }
      default: {
        fd::Dictionary entries;
        for (std::size_t n = below(5); n > 0; --n) entries.insert_or_assign(makeText(6), makeValue(depth + 1));
        return Value(std::move(entries));
      }
    }
  };

  // Comments, processing instructions and white space between values.
  const auto between = [&] {
    std::string out;
    if (chance(30)) out += chance(50) ? "\n\t" : "  ";
    if (chance(10)) out += "<!-- it's \"here\" <array> -->";
    if (chance(5)) out += "<?writer note='x > y'?>";
    if (chance(20)) out += "\n";
    return out;
  };
  // Text as writers elsewhere escape it: references of either base, with
  // leading zeros, named entities, CDATA sections.
  const auto spell = [&](const std::string& text) {
    // A CR written raw is read as LF: writers spell it as a reference.
    if (!text.empty() && text.find("]]>") == std::string::npos && text.find('\r') == std::string::npos && chance(15))
      return "<![CDATA[" + text + "]]>";
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
      std::size_t length = 1;
      const auto lead = static_cast<unsigned char>(text[i]);
      if (lead >= 0xF0) length = 4;
      else if (lead >= 0xE0) length = 3;
      else if (lead >= 0xC0) length = 2;
      const std::string c = text.substr(i, length);
      i += length;
      std::uint32_t code = lead & (length == 1 ? 0x7F : length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
      for (std::size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>(c[k]) & 0x3F);
      const std::size_t form = below(10);
      char buffer[40];
      if (form == 0 || (c == "\r" && form > 1)) {
        std::snprintf(buffer, sizeof buffer, "&#%0*u;", static_cast<int>(1 + below(3) * 5), code);
        out += buffer;
      } else if (form == 1) {
        std::snprintf(buffer, sizeof buffer, chance(50) ? "&#x%0*x;" : "&#x%0*X;", static_cast<int>(1 + below(3) * 5), code);
        out += buffer;
      } else if (c == "<") {
        out += chance(80) ? "&lt;" : "<![CDATA[<]]>";
      } else if (c == "&") {
        out += chance(80) ? "&amp;" : "<![CDATA[&]]>";
      } else if (c == ">" || c == "'" || c == "\"") {
        out += form < 5 ? c : c == ">" ? "&gt;" : c == "'" ? "&apos;" : "&quot;";
      } else {
        out += c;
      }
    }
    return out;
  };
  const auto base64 = [&](const fd::Data& bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    const std::size_t line = 4 * (1 + below(19));
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
      const std::uint32_t group = (std::uint32_t{bytes[i]} << 16) | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                                  (i + 2 < bytes.size() ? bytes[i + 2] : 0);
      out += kAlphabet[(group >> 18) & 63];
      out += kAlphabet[(group >> 12) & 63];
      out += i + 1 < bytes.size() ? kAlphabet[(group >> 6) & 63] : '=';
      out += i + 2 < bytes.size() ? kAlphabet[group & 63] : '=';
      if ((out.size() % line) == 0) out += chance(50) ? "\n\t" : "\n";
      if (chance(3)) out += ' ';
    }
    return out;
  };
  const auto dateText = [&](const fd::Date& date) {
    const auto t = static_cast<std::time_t>(date.seconds);
    std::tm parts{};
    gmtime_r(&t, &parts);
    char buffer[48];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &parts);
    return std::string(buffer) + "Z";
  };
  const auto realText = [&](double d) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, chance(50) ? "%.17g" : "%.17e", d);
    return std::string(buffer);
  };

  std::function<std::string(const Value&)> spellValue = [&](const Value& v) -> std::string {
    switch (v.type()) {
      case Value::Type::Bool: return v.boolValue() ? (chance(80) ? "<true/>" : "<true />") : "<false/>";
      case Value::Type::Integer: return "<integer>" + std::to_string(v.integerValue()) + "</integer>";
      case Value::Type::Real: return "<real>" + realText(v.doubleValue()) + "</real>";
      case Value::Type::String:
        return v.string()->empty() && chance(50) ? "<string/>" : "<string>" + spell(*v.string()) + "</string>";
      case Value::Type::Data:
        return v.data()->empty() && chance(50) ? "<data/>" : std::string("<data>") + (chance(30) ? "\n\t" : "") + base64(*v.data()) + "</data>";
      case Value::Type::Date: return "<date>" + dateText(*v.date()) + "</date>";
      case Value::Type::Array: {
        if (v.array()->empty() && chance(50)) return "<array/>";
        std::string out = "<array>";
        for (const Value& item : *v.array()) out += between() + spellValue(item);
        return out + between() + "</array>";
      }
      case Value::Type::Dictionary: {
        if (v.dictionary()->empty() && chance(50)) return "<dict/>";
        std::string out = "<dict>";
        for (const auto& [key, item] : *v.dictionary())
          out += between() + "<key>" + spell(key) + "</key>" + between() + spellValue(item);
        return out + between() + "</dict>";
      }
      case Value::Type::Null: break;
    }
    return {};
  };
  const char* const doctypes[] = {
      "",
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n",
      "<!DOCTYPE plist SYSTEM \"PropertyList.dtd\">\n",
      "<!DOCTYPE plist [\n  <!-- don't read me -->\n  <!ENTITY note \"a > b\">\n]>\n",
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"PropertyList-1.0.dtd\" [ <?pi say \"hi?> ]>\n",
  };

  constexpr int kLists = 3000;
  int readByLibplist = 0, withReferencesOfLeadingZeros = 0, withSubset = 0, withMark = 0;
  for (int i = 0; i < kLists; ++i) {
    const Value value = makeValue(chance(70) ? 0 : 2);
    std::string text;
    if (chance(10)) text += "\xEF\xBB\xBF", ++withMark;
    if (chance(80)) text += chance(50) ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" : "<?xml version='1.0'?>";
    const char* doctype = doctypes[below(std::size(doctypes))];
    text += doctype;
    withSubset += std::string(doctype).find('[') != std::string::npos;
    text += between() + (chance(70) ? "<plist version=\"1.0\">" : "<plist>") + between() + spellValue(value) + between() +
            "</plist>" + between();
    withReferencesOfLeadingZeros += text.find("&#00000") != std::string::npos;

    const auto read = parse(text);
    ASSERT_TRUE(read) << "list " << i << ": " << read.error() << "\n" << text;
    ASSERT_EQ(*read, value) << "list " << i << "\n" << text << "\nread as\n" << shown(*read);
    if (const std::optional<Value> baseline = libplistRead(text)) {
      ++readByLibplist;
      ASSERT_EQ(*read, *baseline) << "list " << i << "\n" << text << "\nlibplist reads\n" << shown(*baseline);
    }
    // Written again, it is a document every reader takes, and reads the same.
    const std::string written = shown(*read);
    ASSERT_TRUE(wellFormed(written)) << "list " << i << "\n" << written;
    ASSERT_EQ(libplistRead(written), std::optional<Value>(value)) << "list " << i << "\n" << written;
  }
  // The forms were made and the baseline had its say on most of them.
  EXPECT_GT(readByLibplist, kLists / 2);
  EXPECT_GT(withReferencesOfLeadingZeros, 100);
  EXPECT_GT(withSubset, 500);
  EXPECT_GT(withMark, 100);
}

// Hostile lists at the edge of the budget, the budget scaled down as the fuzz
// target scales it: each family runs from lists that build a little under
// the budget to lists a little over it, and each list is either refused for
// the budget or read within it, as the charge says. Binary lists of a UTF-16
// string or a dictionary copied out once per reference to it, and XML lists
// whose text alone nears the budget.
TEST(PropertyListForeignTest, ListsAtTheEdgeOfTheBudgetAreReadWithinItOrRefused) {
  constexpr std::uint64_t kBudget = std::uint64_t{1} << 20;
  const ScopedBuildBudget scaled(kBudget);
  ASSERT_EQ(fd::plistcheck::buildBudget(), kBudget);

  // Lists of a family from half to twice as many copies as would build the
  // budget (`each` what one copy builds), read or refused.
  const auto edge = [&](const char* family, std::uint64_t each, const auto& make) {
    const auto atBudget = static_cast<std::size_t>(kBudget / each);
    int read = 0, refused = 0;
    for (std::size_t n = atBudget / 2; n <= 2 * atBudget; n += std::max<std::size_t>(1, atBudget / 40)) {
      const auto list = fd::parsePropertyList(make(n));
      if (!list) {
        EXPECT_TRUE(refusedFor(list, "once read it would take more than the 1 MiB a list may take"))
            << family << " " << n << ": " << list.error();
        ++refused;
        continue;
      }
      ++read;
      EXPECT_LE(built(*list), kBudget) << family << " of " << n << " builds past the budget it was charged against";
    }
    EXPECT_GT(read, 0) << family;
    EXPECT_GT(refused, 0) << family;
  };

  // A string of 400 units of three UTF-8 bytes each, in an array of
  // references to it.
  const std::u16string wide(400, u'\u4e16');
  const auto strings = [&](std::size_t n) {
    BinaryPlist p;
    const std::size_t text = p.utf16(wide);
    return p.bytes(p.array(std::vector<std::size_t>(n, text)));
  };
  {
    const auto read = fd::parsePropertyList(strings(2));
    ASSERT_TRUE(read) << read.error();
    EXPECT_EQ(read->at(1).string()->size(), 3 * wide.size());
  }
  edge("UTF-16 strings", fd::plistcheck::kValueCost + 3 * wide.size(), strings);

  // A dictionary of 20 entries shared by every item of an array, and one
  // shared by the entries of a dictionary.
  const auto dictionaries = [&](std::size_t n, bool byKey) {
    BinaryPlist p;
    std::vector<std::size_t> keys, values;
    for (int k = 0; k < 20; ++k) keys.push_back(p.ascii("key" + std::to_string(100 + k))), values.push_back(p.integer(1));
    const std::size_t shared = p.dict(keys, values);
    if (!byKey) return p.bytes(p.array(std::vector<std::size_t>(n, shared)));
    std::vector<std::size_t> outer;
    for (std::size_t k = 0; k < n; ++k) outer.push_back(p.ascii(std::to_string(10000 + k)));
    return p.bytes(p.dict(outer, std::vector<std::size_t>(n, shared)));
  };
  const std::uint64_t dictionary =
      fd::plistcheck::kValueCost + 20 * (fd::plistcheck::kEntryCost + 6 + fd::plistcheck::kValueCost);
  edge("shared dictionaries in an array", dictionary, [&](std::size_t n) { return dictionaries(n, false); });
  edge("shared dictionaries in a dictionary", dictionary + fd::plistcheck::kEntryCost + 5,
       [&](std::size_t n) { return dictionaries(n, true); });

  // XML whose text is what it builds: one long string, long keys, data.
  edge("a long string", 1024, [&](std::size_t n) { return bytesOf(listOf("<string>" + std::string(n * 1024, 's') + "</string>")); });
  edge("long keys", fd::plistcheck::kEntryCost + 107 + fd::plistcheck::kValueCost, [&](std::size_t n) {
    std::string xml = "<dict>";
    for (std::size_t k = 0; k < n; ++k) xml += "<key>" + std::to_string(1000000 + k) + std::string(100, 'k') + "</key><true/>";
    return bytesOf(listOf(xml + "</dict>"));
  });
  edge("data", fd::plistcheck::kValueCost + 300, [&](std::size_t n) {
    std::string xml = "<array>";
    for (std::size_t k = 0; k < n; ++k) xml += "<data>" + std::string(400, 'A') + "</data>";
    return bytesOf(listOf(xml + "</array>"));
  });
}

// Text some readers refuse: written raw, it made a file no reader of XML
// takes whole (a control character, U+FFFE or U+FFFF, bytes that are not
// UTF-8 as an ASCII string of a binary list may hold them, half of a
// character in its UTF-16), and no reference can stand for it. A list holding it, as a value or a key, is refused at
// its first read in words, and never written.
TEST(PropertyListForeignTest, TextNotEveryReaderTakesIsRefusedInWordsAndNeverWritten) {
  testing_support::ScopedSandbox sandbox;
  struct Case {
    const char* text;
    const char* reference;  // how a list of text may spell it, if it can
    const char* words;
  };
  const Case cases[] = {
      {"a\x01" "b", "&#1;", "it holds the control character U+0001, which a list cannot keep"},
      {"\x1B[0m", "&#x1b;", "the control character U+001B"},
      {"\x1F", "&#31;", "the control character U+001F"},
      {"\xEF\xBF\xBE", "&#xFFFE;", "the character U+FFFE"},
      {"x\xEF\xBF\xBF", "&#65535;", "the character U+FFFF"},
      {"caf\xE9", nullptr, "it holds text that is not UTF-8 (the byte 0xE9), which a list cannot keep"},
      {"\xED\xA0\x80", nullptr, "not UTF-8 (the byte 0xED)"},  // a surrogate
      {"\xC0\xAF", nullptr, "not UTF-8 (the byte 0xC0)"},      // an overlong '/'
      {"\xE4\xB8", nullptr, "not UTF-8 (the byte 0xE4)"},      // a character cut short
  };
  const fs::path file = sandbox.root() / "Kept.plist";
  const Value kept(fd::Dictionary{{"k", Value("kept")}});
  ASSERT_TRUE(fd::writePropertyList(file, kept));
  for (const Case& c : cases) {
    for (bool asKey : {false, true}) {
      BinaryPlist binary;
      const std::size_t text = binary.ascii(c.text), other = binary.ascii("other");
      const fd::Data list = binary.bytes(asKey ? binary.dict({text}, {other}) : binary.dict({other}, {text}));
      EXPECT_TRUE(refusedFor(fd::parsePropertyList(list), c.words)) << c.words << (asKey ? ", a key" : "");
      if (c.reference != nullptr) {
        const std::string spelt = asKey ? "<dict><key>" + std::string(c.reference) + "</key><true/></dict>"
                                        : "<string>" + std::string(c.reference) + "</string>";
        EXPECT_TRUE(refusedFor(parse(listOf(spelt)), c.words)) << c.reference;
      }
      const Value made(asKey ? fd::Dictionary{{c.text, Value(1)}} : fd::Dictionary{{"k", Value(c.text)}});
      const fd::Status written = fd::writePropertyList(file, made);
      EXPECT_FALSE(written) << c.words;
      EXPECT_NE(written.error().find(c.words), std::string::npos) << written.error();
    }
  }
  EXPECT_EQ(*fd::readPropertyList(file), kept);

  // Within longer text, at every place a character may have in a word of it.
  for (unsigned char control = 1; control < 0x20; ++control) {
    if (control == '\t' || control == '\n' || control == '\r') continue;
    for (std::size_t at = 0; at < 20; ++at) {
      std::string text(20, 'a');
      text[at] = static_cast<char>(control);
      BinaryPlist binary;
      const fd::Data list = binary.bytes(binary.dict({binary.ascii("k")}, {binary.ascii(text)}));
      char words[40];
      std::snprintf(words, sizeof words, "the control character U+%04X", control);
      EXPECT_TRUE(refusedFor(fd::parsePropertyList(list), words)) << words << " at " << at;
    }
  }

  // UTF-16 text of a binary list: half of a character without its other
  // half is refused, not dropped, nor joined with a half beyond another
  // character.
  const std::pair<std::u16string, const char*> halves[] = {
      {u"\xD83D", "it holds U+D83D, half of a character without its other half, which a list cannot keep"},
      {u"ab\xD83D", "U+D83D, half of a character"},
      {u"\xD83D" u"A" u"\xDE00", "U+D83D, half of a character"},
      {u"\xDE00\xD83D", "U+DE00, half of a character"},
      {u"\xD83D\xDE00\xDE00", "U+DE00, half of a character"},
      {u"\xDBFF\xDBFF\xDFFF", "U+DBFF, half of a character"},
      {u"\xDFFF", "it holds U+DFFF, half of a character without its other half"},
      {u"a\xDFFF", "U+DFFF, half of a character"},
      {u"\xDC00\xDFFF", "U+DC00, half of a character"},
      {u"\xDFFF\xDC00", "U+DFFF, half of a character"},
  };
  for (const auto& [text, words] : halves) {
    for (bool asKey : {false, true}) {
      BinaryPlist binary;
      const std::size_t wide = binary.utf16(text), other = binary.ascii("other");
      const fd::Data list = binary.bytes(asKey ? binary.dict({wide}, {other}) : binary.dict({other}, {wide}));
      EXPECT_TRUE(refusedFor(fd::parsePropertyList(list), words)) << words << (asKey ? ", a key" : "");
    }
  }
  BinaryPlist whole;
  const auto read = fd::parsePropertyList(whole.bytes(whole.array({whole.utf16(u"\xD83D\xDE00" u"a\xDBFF\xDFFF")})));
  ASSERT_TRUE(read) << read.error();
  EXPECT_EQ(*read, Value(fd::Array{Value("\U0001F600a\U0010FFFF")}));
}

// Text every reader takes is written so that each reads it back as it was:
// CR as a reference (raw, readers of XML take it and CR LF for LF, as the
// program now does), markup as entities, a negative zero with its sign.
TEST(PropertyListForeignTest, TextAndNumbersAreWrittenForEveryReader) {
  const Value value(fd::Dictionary{
      {"cr\rkey", Value("one\rtwo\r\nthree")},
      {"wide", Value("tab\t \x7F \u0085 \u00A0 \u2028 \uFFFD \U0010FFFF \U0001F600 <&> ]]>")},
      {"zero", Value(-0.0)}});
  const std::string text = fd::serializePropertyListXML(value);
  EXPECT_EQ(text.find('\r'), std::string::npos) << text;
  EXPECT_NE(text.find("<key>cr&#13;key</key>"), std::string::npos) << text;
  EXPECT_NE(text.find("<real>-0.0</real>"), std::string::npos) << text;
  EXPECT_TRUE(wellFormed(text)) << text;
  EXPECT_EQ(libplistRead(text), std::optional<Value>(value)) << text;
  const auto read = parse(text);
  ASSERT_TRUE(read) << read.error();
  EXPECT_EQ(*read, value);
  EXPECT_TRUE(std::signbit((*read)["zero"].doubleValue()));

  const auto raw = parse(listOf("<array><string>a\r\nb\rc\n</string><string><![CDATA[d\r\ne]]></string></array>"));
  ASSERT_TRUE(raw) << raw.error();
  EXPECT_EQ(*raw, Value(fd::Array{Value("a\nb\nc\n"), Value("d\ne")}));
}

// Numbers and dates as writers write them are read whole; damaged text is
// refused in words rather than read as far as it goes.
TEST(PropertyListForeignTest, NumbersAndDatesAreReadWholeOrRefused) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  const auto date = [](int y, int mo, int d, int h, int mi, int s) {
    std::tm parts{};
    parts.tm_year = y - 1900, parts.tm_mon = mo - 1, parts.tm_mday = d, parts.tm_hour = h, parts.tm_min = mi,
    parts.tm_sec = s;
    return Value(fd::Date{static_cast<double>(timegm(&parts))});
  };
  struct Case {
    std::string element;
    std::optional<Value> read;  // none: refused
  };
  const Case cases[] = {
      {"<integer>09</integer>", Value(9)},
      {"<integer>010</integer>", Value(10)},
      {"<integer> +42\n</integer>", Value(42)},
      {"<integer>0x10</integer>", Value(16)},
      {"<integer>0X1f</integer>", Value(31)},
      {"<integer>-0x10</integer>", std::nullopt},
      {"<integer>+0x10</integer>", std::nullopt},
      {"<integer>1e3</integer>", std::nullopt},
      {"<integer>12abc</integer>", std::nullopt},
      {"<integer></integer>", std::nullopt},
      {"<integer>--5</integer>", std::nullopt},
      {"<integer>0x</integer>", std::nullopt},
      {"<integer>1 2</integer>", std::nullopt},
      {"<real>1</real>", Value(1.0)},
      {"<real>1.5e+10</real>", Value(1.5e10)},
      {"<real> 2.5\n</real>", Value(2.5)},
      {"<real>-0</real>", Value(-0.0)},
      {"<real>inf</real>", Value(kInfinity)},
      {"<real>+infinity</real>", Value(kInfinity)},
      {"<real>-Infinity</real>", Value(-kInfinity)},
      {"<real>1e999</real>", Value(kInfinity)},
      {"<real>1,5</real>", std::nullopt},
      {"<real></real>", std::nullopt},
      {"<real>0x1p3</real>", std::nullopt},
      {"<real>--1</real>", std::nullopt},
      {"<real>nan(12)</real>", std::nullopt},
      {"<real>-nan()</real>", std::nullopt},
      {"<date>2020-02-29T12:00:00Z</date>", date(2020, 2, 29, 12, 0, 0)},
      {"<date>2000-02-29T00:00:00Z</date>", date(2000, 2, 29, 0, 0, 0)},
      {"<date>2000-02-29T00:00:00.5Z</date>", std::nullopt},
      {"<date>2020-02-30T00:00:00Z</date>", std::nullopt},
      {"<date>2019-02-29T00:00:00Z</date>", std::nullopt},
      {"<date>1900-02-29T00:00:00Z</date>", std::nullopt},
      {"<date>2020-04-31T00:00:00Z</date>", std::nullopt},
      {"<date>2020-12-31T23:59:60Z</date>", std::nullopt},
      {"<date>0000-01-01T00:00:00Z</date>", std::nullopt},
      {"<date>0000-12-31T23:59:59Z</date>", std::nullopt},
  };
  for (const Case& c : cases) {
    const auto read = parse(listOf(c.element));
    if (!c.read) {
      const char* const why[] = {"holds no whole number", "holds a sign before hexadecimal digits",
                                 "holds no number", "a day or a time no calendar has",
                                 "a date before the year 1, which a list cannot keep",
                                 "a date with a fraction of a second, which a list cannot keep"};
      EXPECT_TRUE(std::any_of(std::begin(why), std::end(why), [&](const char* w) { return refusedFor(read, w); }))
          << c.element << ": " << (read ? shown(*read) : read.error());
      continue;
    }
    ASSERT_TRUE(read) << c.element << ": " << read.error();
    EXPECT_EQ(*read, *c.read) << c.element;
    EXPECT_EQ(std::signbit(read->doubleValue()), std::signbit(c.read->doubleValue())) << c.element;
  }
  const auto nan = parse(listOf("<real>nan</real>"));
  ASSERT_TRUE(nan) << nan.error();
  EXPECT_TRUE(std::isnan(nan->doubleValue()));
}

// A list is read in the encoding it declares, ISO-8859-1 and US-ASCII as
// well as UTF-8, behind a UTF-8 byte-order mark too, as other readers read
// it; one declaring another is refused in words, never read as UTF-8 and
// then written as it came.
TEST(PropertyListForeignTest, ListsAreReadInTheEncodingTheyDeclare) {
  struct Case {
    std::string encoding;
    std::string text;
    std::optional<std::string> read;
    std::string words;  // why it is refused
  };
  const Case cases[] = {
      {"ISO-8859-1", "caf\xE9 \xFC\xDF \xA0", "caf\u00e9 \u00fc\u00df \u00a0", ""},
      {"latin1", "\xC0 \xFF", "\u00c0 \u00ff", ""},
      {"US-ASCII", "plain", "plain", ""},
      {"UTF-8", "caf\xC3\xA9", "caf\u00e9", ""},
      {"us-ascii", "caf\xE9", std::nullopt, "it is declared US-ASCII and holds the byte 0xE9"},
      {"utf-8", "caf\xE9", std::nullopt, "it holds text that is not UTF-8 (the byte 0xE9)"},
      {"Shift_JIS", "x", std::nullopt, "property list is written in Shift_JIS, an encoding the program does not read"},
      {"UTF-16", "x", std::nullopt, "property list is written in UTF-16, an encoding the program does not read"},
  };
  for (const Case& c : cases) {
    for (const char* lead : {"<?xml version=\"1.0\" encoding=\"", "<?xml version=\"1.0\" encoding='",
                             "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\""}) {
      const char* quote = std::string_view(lead).ends_with('\'') ? "'" : "\"";
      const std::string list = lead + c.encoding + quote +
                               "?>\n<plist version=\"1.0\"><dict><key>" + c.text + "</key><string>" + c.text +
                               "</string></dict></plist>\n";
      const auto read = parse(list);
      if (!c.read) {
        EXPECT_TRUE(refusedFor(read, c.words)) << list << ": " << (read ? shown(*read) : read.error());
        continue;
      }
      ASSERT_TRUE(read) << list << ": " << read.error();
      const Value expected(fd::Dictionary{{*c.read, Value(*c.read)}});
      EXPECT_EQ(*read, expected) << list;
      EXPECT_EQ(parse(shown(*read)).toOptional(), std::optional<Value>(expected)) << list;
    }
  }
}
