#pragma once
// The XML form the writer gives a value, in one place for the writer and for
// the bound the check takes of it: the markup around each kind, the longest
// text a number or a date takes, base64 lines, and the bound tallied from
// the kinds and lengths of values alone, so that no value need be formatted
// to tell how large its list would be written.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/PropertyListCheck.h"
#include "platform/foundation/Value.h"

namespace fd::plistxml {

inline constexpr std::string_view kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";
inline constexpr std::string_view kFooter = "</plist>\n";
inline constexpr std::string_view kTrue = "<true/>\n", kFalse = "<false/>\n";
inline constexpr std::string_view kIntegerOpen = "<integer>", kIntegerClose = "</integer>\n";
inline constexpr std::string_view kRealOpen = "<real>", kRealClose = "</real>\n";
inline constexpr std::string_view kStringOpen = "<string>", kStringClose = "</string>\n";
inline constexpr std::string_view kKeyOpen = "<key>", kKeyClose = "</key>\n";
inline constexpr std::string_view kDateOpen = "<date>", kDateClose = "</date>\n";
inline constexpr std::string_view kDataOpen = "<data>\n", kDataClose = "</data>\n";
inline constexpr std::string_view kArrayOpen = "<array>\n", kArrayClose = "</array>\n", kArrayEmpty = "<array/>\n";
inline constexpr std::string_view kDictOpen = "<dict>\n", kDictClose = "</dict>\n", kDictEmpty = "<dict/>\n";

// The longest text of each: "-9223372036854775808" and "18446744073709551615";
// a real to 17 digits, "-1.2345678901234567e-308"; "yyyy-mm-ddThh:mm:ssZ".
inline constexpr std::uint64_t kLongestInteger = 20;
inline constexpr std::uint64_t kLongestReal = 24;
inline constexpr std::uint64_t kDateLength = 20;
// Text is written with its markup as entities, "&amp;" and CR's "&#13;"
// the longest.
inline constexpr std::uint64_t kLongestEscape = 5;
inline constexpr std::string_view kCarriageReturn = "&#13;";
static_assert(kCarriageReturn.size() <= kLongestEscape);

// Base64 in lines that shorten with the indentation, as in stored files:
// the tabs before each line, and the bytes each line holds.
constexpr int dataTabs(int depth) { return std::min(depth, 8); }
constexpr std::size_t dataBytesPerLine(int depth) { return static_cast<std::size_t>(((76 - (dataTabs(depth) << 3)) >> 2) * 3); }

// The XML form of a value, counted by the writer or bounded from above: its
// bytes, what the reader charges for it beside the text inside its elements
// (each element a value, a key its entry beside it, an array written open
// its count), whether a value lay too deep to be written, the first text
// XML does not carry and the first date a list does not keep.
struct Extent {
  std::uint64_t bytes = kHeader.size() + kFooter.size();
  std::uint64_t besideText = 0;
  bool tooDeep = false;
  std::optional<plistcheck::Uncarried> uncarried;
  std::optional<Date> unkeptDate;
};

// A bound on the written form, tallied as a reader builds the values. Every
// value is first taken at the longest a number or a date is written, so
// that a reader may tally the items of a container at once and nothing for
// each number; text (as if each of its bytes were written as an entity),
// data and containers then add what they take beyond that.
class Bound {
 public:
  // `n` values `depth` levels below the root (the root at 0).
  void items(std::uint64_t n, int depth) {
    e_.besideText += n * plistcheck::kValueCost;
    e_.bytes += n * (static_cast<std::uint64_t>(depth) + kLongestItem);
  }
  // What a string, data of `n` bytes, or a container takes beyond an item
  // at its depth: the text, the base64 lines, the line its end tag stands
  // on. Text is looked through for what XML does not carry.
  void text(std::string_view s) {
    e_.bytes += kLongestEscape * s.size();
    if (!e_.uncarried) e_.uncarried = plistcheck::uncarriedIn(s);
  }
  void data(std::size_t n, int depth) {
    const std::uint64_t perLine = dataBytesPerLine(depth);
    e_.bytes += static_cast<std::uint64_t>(depth) +
                (n + perLine - 1) / perLine * (static_cast<std::uint64_t>(dataTabs(depth)) + 1) + (n + 2) / 3 * 4;
  }
  void array(int depth) {
    e_.besideText += sizeof(std::uint32_t);
    e_.bytes += static_cast<std::uint64_t>(depth);
  }
  void dictionary(int depth) { e_.bytes += static_cast<std::uint64_t>(depth); }
  // A dictionary's key, beside its value `depth` levels below the root.
  void key(std::string_view k, int depth) {
    e_.besideText += plistcheck::kValueCost + plistcheck::kEntryCost;
    e_.bytes += static_cast<std::uint64_t>(depth) + kKeyOpen.size() + kKeyClose.size();
    text(k);
  }
  // One value of any kind, its items left to their own calls.
  void value(const Value& v, int depth) {
    items(1, depth);
    if (const std::string* s = v.string()) text(*s);
    else if (const Data* d = v.data()) data(d->size(), depth);
    else if (v.isArray()) array(depth);
    else if (v.isDictionary()) dictionary(depth);
  }
  // A date of a value made elsewhere: the readers refuse one a list does
  // not keep before they tally it.
  void date(const Date& when) {
    if (!e_.unkeptDate && !plistcheck::keptDate(when)) e_.unkeptDate = when;
  }
  // A value left out of the written form for its depth.
  void tooDeep() { e_.tooDeep = true; }

  const Extent& extent() const { return e_; }

 private:
  // The most any kind takes on its first line, with its markup and the
  // longest number or date: an integer's.
  static constexpr std::uint64_t kLongestItem = kIntegerOpen.size() + kLongestInteger + kIntegerClose.size();
  static_assert(kRealOpen.size() + kLongestReal + kRealClose.size() <= kLongestItem &&
                    kDateOpen.size() + kDateLength + kDateClose.size() <= kLongestItem &&
                    kStringOpen.size() + kStringClose.size() <= kLongestItem &&
                    kDataOpen.size() + kDataClose.size() <= kLongestItem && kFalse.size() <= kLongestItem &&
                    kArrayOpen.size() + kArrayClose.size() <= kLongestItem &&
                    kDictOpen.size() + kDictClose.size() <= kLongestItem,
                "every kind within the longest item");

  Extent e_;
};

// Tallies a value made elsewhere, walked item by item as the writer would.
void tallyAll(const Value& value, Bound& bound);
// The XML form as the writer makes it: its text, and its extent counted.
std::string written(const Value& value, Extent& extent);
// The extent alone, counted by the same writer without making the text.
Extent countWritten(const Value& value);

}  // namespace fd::plistxml
