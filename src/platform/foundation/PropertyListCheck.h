#pragma once
// The readers of property-list bytes, and the checks made before they build
// anything. A hostile file could nest deeply enough to overflow a recursive
// reader, hide a NUL in a string, or stand for far more values than its
// bytes (a binary list's shared objects are copied out once per reference);
// each reader walks the bytes without recursion first, charges what the read
// would build against kMaxPropertyListBuildBytes, and refuses such files
// before a value is made.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Expected.h"
#include "platform/foundation/Value.h"

namespace fd::plistxml {
class Bound;
}

namespace fd::plistcheck {

// Deep enough for any file this program writes; hostile nesting stops here:
// a list holds values kMaxDepth levels deep at most, its root the first.
// The readers of either form, the writer and the check count levels this
// one way, so that a list taken is one written whole and taken again.
inline constexpr int kMaxDepth = 512;
// Whether a value `depth` levels below the root (the root at 0) lies deeper
// than a list is read.
constexpr bool tooDeep(std::size_t depth) { return depth >= static_cast<std::size_t>(kMaxDepth); }

// What a read is charged for what it builds: each value its place in its
// container, each dictionary entry its tree node and key beside its value,
// and each byte of a string, key or data (UTF-16 text three bytes a unit, as
// much as its UTF-8 may take).
inline constexpr std::uint64_t kValueCost = sizeof(Value);
inline constexpr std::uint64_t kEntryCost = 4 * sizeof(void*) + sizeof(std::string);

// The budget reads are held to: kMaxPropertyListBuildBytes, or a smaller one
// a fuzz run sets so that lists at its edge are read in milliseconds (0
// gives the program's own back).
std::uint64_t buildBudget();
void setBuildBudgetForTesting(std::uint64_t bytes);
// The largest list file read or written: kMaxPropertyListBytes, or a smaller
// one a test sets so that lists at its edge are made in milliseconds (0
// gives the program's own back).
std::uint64_t fileBound();
void setFileBoundForTesting(std::uint64_t bytes);
// `total` with `more` charged, held at one past the budget so that sums of
// hostile sizes cannot wrap.
std::uint64_t charged(std::uint64_t total, std::uint64_t more);
bool withinBudget(std::uint64_t total);
// Why a list past the budget, or one nested too deeply, is refused.
std::string pastTheBudget();
std::string nestedTooDeeply();
// Why a list holding an integer no value holds is refused.
std::string integerBeyondRange();

// The text an XML document can carry: UTF-8 of tab, LF, CR and the
// characters from U+0020 on but U+FFFE and U+FFFF (surrogates are no UTF-8).
// Written raw, anything else makes a file other readers refuse whole, and no
// reference can stand for it, so a list holding it is neither stored nor
// taken. NUL, which lists refuse on their own, is not looked at here.
struct Uncarried {
  // The character, the byte that begins none, or the half of a UTF-16
  // character a binary list holds without its other half.
  std::uint32_t code = 0;
  bool notUtf8 = false;
};
// The length of the character of two to four bytes at `text[at]` when it is
// one XML carries, 0 when the bytes there are no such character.
std::size_t carriedWideAt(std::string_view text, std::size_t at);
// The first character or byte of the text XML does not carry, if any.
std::optional<Uncarried> uncarriedIn(std::string_view text);
// Why a list holding it is refused.
std::string uncarriedText(const Uncarried& found);

// The dates a list keeps, in seconds from 1970: whole seconds of the years
// 1 to 9999, whose XML form has the four digits of year every reader takes
// (none takes the year 0000) and no fraction (other readers refuse one). A
// binary list may hold any number there; a date beyond those years, one
// that is no number or one with a fraction of a second, is refused at its
// first read and never written, by the same words.
inline constexpr double kFirstDate = -62135596800.0;    // 0001-01-01T00:00:00Z
inline constexpr double kPastLastDate = 253402300800.0;  // 10000-01-01T00:00:00Z
constexpr bool keptDate(const Date& date) {
  return date.seconds >= kFirstDate && date.seconds < kPastLastDate &&
         static_cast<double>(static_cast<std::int64_t>(date.seconds)) == date.seconds;
}
// Why a list holding a date it does not keep is refused (one of those
// years is kept but for its fraction).
std::string unkeptDateText(const Date& date);
// Why a list holding a date written with a fraction of a second is refused.
std::string fractionDateText();

// Binary form ("bplist00"): the object table is in bounds, free of cycles, no
// deeper than kMaxDepth, holds no string or key with a NUL character nor
// UTF-16 text with half of a character, and builds no more than the budget
// once its shared objects are copied out (the check's own bookkeeping
// included).
Status checkBinary(const Data& bytes);
// The value of a binary list that checkBinary accepted, read straight from its
// object table in time linear in the values it expands to. Kinds with no
// value here (null and fill objects), keys that are no strings, integers
// beyond those a value holds (below -2^63, above 2^64-1), dates a list does
// not keep and the unique ids of an archive's objects, which no XML form
// holds, fail it. Each value made is tallied into `written` when
// given.
Expected<Value> readCheckedBinary(const Data& bytes, plistxml::Bound* written = nullptr);

// XML form, read in two passes over its tags: the first refuses text holding
// a NUL character, elements nested deeper than kMaxDepth levels of values and
// lists that would build more than the budget, and counts each array's
// items; the second builds the value, each array made at its size once, and
// tallies it into `written` when given. What other readers refuse is
// refused too: an integer beyond those a value holds or a sign before
// hexadecimal digits, a NaN's payload, a date a list does not keep, a key
// with no value or outside a dictionary, "]]>" outside a CDATA section.
Expected<Value> readXML(const Data& bytes, plistxml::Bound* written = nullptr);
// The first of those passes alone: whether the text would be read, by its
// nesting and what it would build, without building it.
Status checkXML(std::string_view text);

// A list read is one the program can write back and read again: its XML
// form, as the writer makes it, within the depth read, within fileBound()
// and charged within the budget when read. A bound on that form from the
// kinds and lengths of the values (as a reader tallied it while it built
// them, or walked from the value) settles most lists at once; only one
// whose bound comes near a limit is counted by the writer itself, and only
// one whose charge then comes near the budget is charged by the reader's own
// first pass over the text.
// A list holding text XML does not carry, or a date a list does not keep,
// is refused too: written, it would make a file no reader takes. The words
// say the list is too large to open (of a file of `fileSize` bytes, when
// given) or too large to keep.
Status readableOnceWritten(const Value& value);
Status readableOnceWritten(const Value& value, const plistxml::Bound& tallied, std::uint64_t fileSize = 0);
// The XML text of a value to be stored, or why the file it would make could
// not be read again (a value nested too deeply among them: it would be
// written without what lies below the depth read; text XML does not carry; a
// date a list does not keep). Every list the program writes goes through it.
Expected<std::string> storableText(const Value& value);

}  // namespace fd::plistcheck
