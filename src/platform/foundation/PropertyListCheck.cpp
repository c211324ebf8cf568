#include "platform/foundation/PropertyListCheck.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/PropertyListXMLForm.h"
#include "platform/foundation/Unicode.h"

namespace fd::plistcheck {

namespace {
std::atomic<std::uint64_t> gBudget{kMaxPropertyListBuildBytes};
std::atomic<std::uint64_t> gFileBound{kMaxPropertyListBytes};
}  // namespace

std::uint64_t buildBudget() { return gBudget.load(std::memory_order_relaxed); }

void setBuildBudgetForTesting(std::uint64_t bytes) {
  gBudget = bytes == 0 ? kMaxPropertyListBuildBytes : std::min<std::uint64_t>(bytes, kMaxPropertyListBuildBytes);
}

std::uint64_t fileBound() { return gFileBound.load(std::memory_order_relaxed); }

void setFileBoundForTesting(std::uint64_t bytes) {
  gFileBound = bytes == 0 ? kMaxPropertyListBytes : std::min<std::uint64_t>(bytes, kMaxPropertyListBytes);
}

std::uint64_t charged(std::uint64_t total, std::uint64_t more) {
  const std::uint64_t over = buildBudget() + 1;
  return more >= over ? over : std::min(total + more, over);
}

bool withinBudget(std::uint64_t total) { return total <= buildBudget(); }

std::string pastTheBudget() {
  return "once read it would take more than the " + files::describeSize(buildBudget()) + " a list may take";
}

std::string nestedTooDeeply() { return "property list nested deeper than " + std::to_string(kMaxDepth) + " levels"; }

std::string integerBeyondRange() {
  return "property list holds an integer beyond those a list may hold (from -2^63 to 2^64-1)";
}

std::size_t carriedWideAt(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u; };
  const auto within = [](unsigned b, unsigned low, unsigned high) { return b >= low && b <= high; };
  const unsigned lead = byte(0), second = byte(1);
  // The second byte's range shuts out overlong forms, surrogates and what
  // lies past U+10FFFF.
  std::size_t length = 0;
  if (within(lead, 0xC2, 0xDF)) length = within(second, 0x80, 0xBF) ? 2 : 0;
  else if (lead == 0xE0) length = within(second, 0xA0, 0xBF) ? 3 : 0;
  else if (lead == 0xED) length = within(second, 0x80, 0x9F) ? 3 : 0;
  else if (within(lead, 0xE1, 0xEF)) length = within(second, 0x80, 0xBF) ? 3 : 0;
  else if (lead == 0xF0) length = within(second, 0x90, 0xBF) ? 4 : 0;
  else if (within(lead, 0xF1, 0xF3)) length = within(second, 0x80, 0xBF) ? 4 : 0;
  else if (lead == 0xF4) length = within(second, 0x80, 0x8F) ? 4 : 0;
  for (std::size_t i = 2; i < length; ++i)
    if (!within(byte(i), 0x80, 0xBF)) return 0;
  // U+FFFE and U+FFFF.
  if (length == 3 && lead == 0xEF && second == 0xBF && (byte(2) & 0xFE) == 0xBE) return 0;
  return length;
}

std::optional<Uncarried> uncarriedIn(std::string_view text) {
  // Most text is ASCII from the space on: it is passed over eight bytes at a
  // time (a byte below 0x20 borrows into its top bit, one from 0x80 on has
  // it), the rest a character at a time.
  std::size_t i = 0;
  for (std::uint64_t eight = 0; i + 8 <= text.size(); i += 8) {
    std::memcpy(&eight, text.data() + i, 8);
    if (((eight - 0x2020202020202020ull) | eight) & 0x8080808080808080ull) break;
  }
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x80) {
      ++i;
    } else if (c < 0x20) {
      if (c != '\t' && c != '\n' && c != '\r' && c != 0) return Uncarried{c, false};
      ++i;
    } else if (const std::size_t length = carriedWideAt(text, i); length > 0) {
      i += length;
    } else {
      // A noncharacter that is good UTF-8 is named as a character.
      if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
          (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE)
        return Uncarried{0xFFFEu | (static_cast<unsigned char>(text[i + 2]) & 1u), false};
      return Uncarried{c, true};
    }
  }
  return std::nullopt;
}

std::string uncarriedText(const Uncarried& found) {
  char code[16];
  if (found.notUtf8) {
    std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(found.code));
    return std::string("it holds text that is not UTF-8 (the byte ") + code + "), which a list cannot keep";
  }
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(found.code));
  if (found.code >= 0xD800 && found.code <= 0xDFFF)
    return std::string("it holds ") + code + ", half of a character without its other half, which a list cannot keep";
  return std::string("it holds ") + (found.code < 0x20 ? "the control character " : "the character ") + code +
         ", which a list cannot keep";
}

std::string unkeptDateText(const Date& date) {
  if (!std::isnan(date.seconds) && date.seconds >= kFirstDate && date.seconds < kPastLastDate)
    return fractionDateText();
  const char* what = std::isnan(date.seconds)    ? "a date that is no number"
                     : date.seconds < kFirstDate ? "a date before the year 1"
                                                 : "a date past the year 9999";
  return std::string("it holds ") + what + ", which a list cannot keep";
}

std::string fractionDateText() { return "it holds a date with a fraction of a second, which a list cannot keep"; }

namespace {

constexpr std::size_t kTrailerSize = 32;

std::uint64_t readBigEndian(const std::uint8_t* p, unsigned size) {
  std::uint64_t v = 0;
  for (unsigned i = 0; i < size; ++i) v = (v << 8) | p[i];
  return v;
}

// The object table of a binary list, read one object at a time.
class BinaryTable {
 public:
  explicit BinaryTable(const Data& bytes) : b_(bytes.data()), size_(bytes.size()) {}

  Status readTrailer() {
    if (size_ < 8 + kTrailerSize) return fail("binary property list too short");
    const std::uint8_t* t = b_ + size_ - kTrailerSize;
    offsetSize_ = t[6];
    refSize_ = t[7];
    count_ = readBigEndian(t + 8, 8);
    top_ = readBigEndian(t + 16, 8);
    const std::uint64_t table = readBigEndian(t + 24, 8);
    objectsEnd_ = size_ - kTrailerSize;
    if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8)
      return fail("binary property list has a damaged trailer");
    if (count_ == 0 || top_ >= count_ || table < 8 || table > objectsEnd_ ||
        count_ > (objectsEnd_ - table) / offsetSize_)
      return fail("binary property list has a damaged offset table");
    table_ = static_cast<std::size_t>(table);
    // The objects lie before their offset table.
    objectsEnd_ = table_;
    return {};
  }

  std::size_t count() const { return static_cast<std::size_t>(count_); }
  std::size_t top() const { return static_cast<std::size_t>(top_); }

  // An object's marker, its length (counted kinds) or size field (others),
  // where its bytes start and how many bytes lie between there and the end of
  // the objects.
  struct Raw {
    unsigned type = 0;
    unsigned info = 0;
    std::uint64_t length = 0;
    std::size_t payload = 0;
    std::size_t room = 0;
  };
  Expected<Raw> raw(std::size_t index) const {
    const std::uint64_t offset = readBigEndian(b_ + table_ + index * offsetSize_, offsetSize_);
    if (offset < 8 || offset >= objectsEnd_) return fail("binary property list points outside its objects");
    std::size_t p = static_cast<std::size_t>(offset);
    const std::uint8_t marker = b_[p++];
    Raw r;
    r.type = marker >> 4;
    r.info = marker & 0x0F;
    r.length = r.info;
    const bool counted = r.type == 0x4 || r.type == 0x5 || r.type == 0x6 || r.type == 0xA || r.type == 0xC || r.type == 0xD;
    if (counted && r.length == 0x0F) {
      if (p >= objectsEnd_ || (b_[p] >> 4) != 0x1 || (b_[p] & 0x0F) > 3)
        return fail("binary property list has a damaged length");
      const unsigned lengthSize = 1u << (b_[p] & 0x0F);
      ++p;
      if (objectsEnd_ - p < lengthSize) return fail("binary property list ends inside an object");
      r.length = readBigEndian(b_ + p, lengthSize);
      p += lengthSize;
    }
    r.payload = p;
    r.room = objectsEnd_ - p;
    return r;
  }
  const std::uint8_t* bytesAt(std::size_t position) const { return b_ + position; }

  // Where a container's references start and how many there are (none for
  // anything that is not a container), and the bytes the object builds
  // beside its own value: its text or data, a dictionary's entries; refuses
  // strings holding NUL.
  struct Object {
    std::size_t refs = 0;
    std::size_t refCount = 0;
    std::uint64_t bytes = 0;
  };
  Expected<Object> object(std::size_t index) const {
    auto r = raw(index);
    if (!r) return r.failure();
    const std::uint64_t length = r->length;
    const std::size_t p = r->payload, room = r->room;
    switch (r->type) {
      case 0x4:
        if (length > room) return fail("binary property list ends inside its data");
        return Object{0, 0, length};
      case 0x5:  // ASCII string
        if (length > room) return fail("binary property list ends inside a string");
        if (std::memchr(b_ + p, 0, static_cast<std::size_t>(length)) != nullptr)
          return fail("property list holds a string with a NUL character");
        return Object{0, 0, length};
      case 0x6: {  // UTF-16 string
        if (length > room / 2) return fail("binary property list ends inside a string");
        const auto unit = [&](std::size_t i) { return (std::uint32_t{b_[p + 2 * i]} << 8) | b_[p + 2 * i + 1]; };
        for (std::size_t i = 0; i < length; ++i) {
          const std::uint32_t u = unit(i);
          if (u == 0) return fail("property list holds a string with a NUL character");
          if (u < 0xD800 || u > 0xDFFF) continue;
          // Half of a character stands only before its other half.
          if (u <= 0xDBFF && i + 1 < length && (unit(i + 1) & 0xFC00) == 0xDC00) {
            ++i;
            continue;
          }
          return fail(uncarriedText(Uncarried{u, false}));
        }
        return Object{0, 0, 3 * length};
      }
      case 0xA:
      case 0xC:
      case 0xD: {
        const std::uint64_t refs = r->type == 0xD ? length * 2 : length;
        if (length > room || refs > room / refSize_) return fail("binary property list ends inside a container");
        return Object{p, static_cast<std::size_t>(refs), r->type == 0xD ? length * kEntryCost : 0};
      }
      default: return Object{};  // scalars: their reader checks their bounds
    }
  }

  Expected<std::size_t> ref(const Object& o, std::size_t i) const {
    const std::uint64_t r = readBigEndian(b_ + o.refs + i * refSize_, refSize_);
    if (r >= count_) return fail("binary property list refers to a missing object");
    return static_cast<std::size_t>(r);
  }

 private:
  const std::uint8_t* b_;
  std::size_t size_;
  unsigned offsetSize_ = 0, refSize_ = 0;
  std::uint64_t count_ = 0, top_ = 0;
  std::size_t table_ = 0, objectsEnd_ = 0;
};

}  // namespace

Status checkBinary(const Data& bytes) {
  BinaryTable table(bytes);
  if (Status s = table.readTrailer(); !s) return s;

  // Depth-first from the top object with an explicit stack. Each object is
  // examined once; its depth and what it builds once copied out are kept, so
  // objects shared by many containers cost nothing more to check but are
  // charged every time they are referred to.
  enum : std::uint8_t { Unseen, Open, Done };
  std::vector<std::uint8_t> state(table.count(), Unseen);
  std::vector<std::uint16_t> depth(table.count(), 0);
  static_assert(kMaxPropertyListBuildBytes < UINT32_MAX, "a charge past the budget must fit its slot");
  std::vector<std::uint32_t> cost(table.count(), 0);
  const std::uint64_t bookkeeping =
      charged(0, std::uint64_t{table.count()} * (sizeof(std::uint8_t) + sizeof(std::uint16_t) + sizeof(std::uint32_t)));
  if (!withinBudget(bookkeeping)) return fail("binary property list has too many objects: " + pastTheBudget());
  struct Frame {
    std::size_t index;
    BinaryTable::Object object;
    std::size_t next = 0;
  };
  std::vector<Frame> stack;

  auto enter = [&](std::size_t index) -> Status {
    if (state[index] == Open) return fail("binary property list contains itself");
    if (state[index] == Done) return {};
    if (tooDeep(stack.size())) return fail(nestedTooDeeply());
    auto object = table.object(index);
    if (!object) return object.failure();
    state[index] = Open;
    stack.push_back(Frame{index, *object});
    return {};
  };

  if (Status s = enter(table.top()); !s) return s;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next < frame.object.refCount) {
      auto child = table.ref(frame.object, frame.next++);
      if (!child) return child.failure();
      if (Status s = enter(*child); !s) return s;
      continue;
    }
    std::uint16_t deepest = 0;
    std::uint64_t total = charged(charged(bookkeeping, kValueCost), frame.object.bytes);
    for (std::size_t i = 0; i < frame.object.refCount && withinBudget(total); ++i) {
      const std::size_t child = *table.ref(frame.object, i);
      deepest = std::max(deepest, depth[child]);
      total = charged(total, cost[child]);
    }
    if (!withinBudget(total)) return fail("binary property list expands to too many objects: " + pastTheBudget());
    if (tooDeep(deepest)) return fail(nestedTooDeeply());
    state[frame.index] = Done;
    depth[frame.index] = static_cast<std::uint16_t>(deepest + 1);
    cost[frame.index] = static_cast<std::uint32_t>(total - bookkeeping);
    stack.pop_back();
  }
  return {};
}

namespace {

// Property-list dates count from 2001-01-01 UTC; Date counts from 1970.
constexpr double kReferenceDateOffset = 978307200.0;

double bigEndianReal(const std::uint8_t* p, unsigned size) {
  const std::uint64_t bits = readBigEndian(p, size);
  if (size == 4) {
    const auto narrow = static_cast<std::uint32_t>(bits);
    float f = 0;
    std::memcpy(&f, &narrow, sizeof f);
    return f;
  }
  double d = 0;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

// UTF-16 (big-endian) to UTF-8, of text whose halves of characters
// checkBinary found each beside its other half.
std::string utf8FromUTF16(const std::uint8_t* p, std::size_t units) {
  std::string out;
  out.reserve(units);
  const auto unit = [&](std::size_t i) { return (std::uint32_t{p[2 * i]} << 8) | p[2 * i + 1]; };
  for (std::size_t i = 0; i < units; ++i) {
    const std::uint32_t u = unit(i);
    if ((u & 0xFC00) == 0xD800 && i + 1 < units && (unit(i + 1) & 0xFC00) == 0xDC00) {
      appendUtf8(out, 0x10000 + ((u & 0x3FF) << 10) + (unit(i + 1) & 0x3FF));
      ++i;
    } else {
      appendUtf8(out, u);
    }
  }
  return out;
}

// The values of a list whose table checkBinary accepted: every object is
// read once per reference to it, each value made in its place.
class BinaryReader {
 public:
  BinaryReader(const BinaryTable& table, plistxml::Bound* written) : table_(table), written_(written) {}

  // Reads a value whose place its container has tallied already, and
  // tallies what it takes beyond that.
  Status read(std::size_t index, Value& out, int depth) {
    if (tooDeep(static_cast<std::size_t>(depth))) return fail(nestedTooDeeply());
    auto raw = table_.raw(index);
    if (!raw) return raw.failure();
    const std::uint8_t* p = table_.bytesAt(raw->payload);
    const std::size_t room = raw->room;
    switch (raw->type) {
      case 0x0:
        if (raw->info != 0x8 && raw->info != 0x9) return fail("binary property list holds an empty object");
        out = Value(raw->info == 0x9);
        break;
      case 0x1: {  // integer of 1, 2, 4, 8 or 16 bytes
        if (raw->info > 4 || (std::size_t{1} << raw->info) > room) return fail("binary property list has a damaged integer");
        if (Status s = integer(p, 1u << raw->info, out); !s) return s;
        break;
      }
      case 0x2:
      case 0x3: {  // real of 4 or 8 bytes; date: a real of 8
        const bool date = raw->type == 0x3;
        if ((raw->info != 2 && raw->info != 3) || (date && raw->info != 3) || (1u << raw->info) > room)
          return fail("binary property list has a damaged number");
        const double d = bigEndianReal(p, 1u << raw->info);
        if (!date) {
          out = Value(d);
          break;
        }
        // The fraction is looked for in the count the list holds: adding
        // the seconds to 1970 may round a small one away.
        const Date when{d + kReferenceDateOffset};
        if (!keptDate(when) || std::trunc(d) != d) return fail(unkeptDateText(when));
        out = Value(when);
        break;
      }
      case 0x4:
        if (raw->length > room) return fail("binary property list ends inside its data");
        out = Value(Data(p, p + raw->length));
        if (written_) written_->data(out.data()->size(), depth);
        break;
      case 0x5:
      case 0x6:
        if (Status s = string(*raw, out); !s) return s;
        if (written_) written_->text(*out.string());
        break;
      case 0x8:  // an archive's reference to one of its objects
        return fail("it holds the id of an archived object, which a list cannot keep");
      case 0xA:
      case 0xC: {  // array, set
        auto object = table_.object(index);
        if (!object) return object.failure();
        out = Value(Array{});
        Array& items = *out.array();
        items.reserve(object->refCount);
        if (written_) {
          written_->array(depth);
          written_->items(object->refCount, depth + 1);
        }
        for (std::size_t i = 0; i < object->refCount; ++i) {
          auto child = table_.ref(*object, i);
          if (!child) return child.failure();
          if (Status s = read(*child, items.emplace_back(), depth + 1); !s) return s;
        }
        break;
      }
      case 0xD: {
        auto object = table_.object(index);
        if (!object) return object.failure();
        out = Value(Dictionary{});
        Dictionary& entries = *out.dictionary();
        const std::size_t n = object->refCount / 2;
        if (written_) {
          written_->dictionary(depth);
          written_->items(n, depth + 1);
        }
        for (std::size_t i = 0; i < n; ++i) {
          auto keyIndex = table_.ref(*object, i);
          auto valueIndex = table_.ref(*object, n + i);
          if (!keyIndex) return keyIndex.failure();
          if (!valueIndex) return valueIndex.failure();
          auto keyRaw = table_.raw(*keyIndex);
          if (!keyRaw) return keyRaw.failure();
          if (keyRaw->type != 0x5 && keyRaw->type != 0x6) return fail("binary property list has a key that is not a string");
          Value key;
          if (Status s = string(*keyRaw, key); !s) return s;
          if (written_) written_->key(*key.string(), depth + 1);
          Value item;
          if (Status s = read(*valueIndex, item, depth + 1); !s) return s;
          entries.insert_or_assign(std::move(*key.string()), std::move(item));
        }
        break;
      }
      default: return fail("property list holds an unsupported kind of value");
    }
    return {};
  }

 private:
  // Of 1, 2 and 4 bytes unsigned, of 8 signed; of 16, a signed 128-bit
  // number, which holds the unsigned ones above the signed 64-bit range.
  // One no value holds is refused rather than cut to its low bytes.
  static Status integer(const std::uint8_t* p, unsigned size, Value& out) {
    if (size < 8) {
      out = Value(static_cast<long long>(readBigEndian(p, size)));
      return {};
    }
    const std::uint64_t low = readBigEndian(p + size - 8, 8);
    const std::uint64_t high = size == 16 ? readBigEndian(p, 8) : 0;
    if (size == 8 || (high == ~std::uint64_t{0} && low >> 63))
      out = Value(static_cast<long long>(low));
    else if (high == 0)
      out = Value(static_cast<unsigned long long>(low));
    else
      return fail(integerBeyondRange());
    return {};
  }

  Status string(const BinaryTable::Raw& raw, Value& out) {
    const std::uint8_t* p = table_.bytesAt(raw.payload);
    if (raw.type == 0x5) {
      if (raw.length > raw.room) return fail("binary property list ends inside a string");
      out = Value(std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(raw.length)));
    } else {
      if (raw.length > raw.room / 2) return fail("binary property list ends inside a string");
      out = Value(utf8FromUTF16(p, static_cast<std::size_t>(raw.length)));
    }
    return {};
  }

  const BinaryTable& table_;
  plistxml::Bound* written_;
};

}  // namespace

Expected<Value> readCheckedBinary(const Data& bytes, plistxml::Bound* written) {
  BinaryTable table(bytes);
  if (Status s = table.readTrailer(); !s) return s.failure();
  Value value;
  BinaryReader reader(table, written);
  if (written) written->items(1, 0);
  if (Status s = reader.read(table.top(), value, 0); !s) return s.failure();
  return value;
}

namespace {

// Whether a list is taken from a file or kept by the program: its words.
enum class Purpose { Open, Keep };

// Why a value whose XML form the writer counted as `written` (its text, when
// made already) would not be read again, if it would not. The text inside
// elements is no more than the whole, so only a list whose charge beside its
// text comes within its size of the budget has its text made and charged as
// the reader would. `fileSize` is that of the file a list to open was read
// from.
Status readAgain(const Value& value, const plistxml::Extent& written, std::string_view text, Purpose purpose,
                 std::uint64_t fileSize = 0) {
  if (written.uncarried) return fail(uncarriedText(*written.uncarried));
  if (written.unkeptDate) return fail(unkeptDateText(*written.unkeptDate));
  if (written.tooDeep) return fail("it is nested deeper than the " + std::to_string(kMaxDepth) + " levels a list may be");
  const bool open = purpose == Purpose::Open;
  if (written.bytes > fileBound()) {
    const std::string saved = "saved as " + files::describeSizePast(written.bytes, fileBound()) + ", more than the " +
                              files::describeSize(fileBound()) + " a list may be";
    if (!open) return fail("it is too large to keep, as it would be " + saved);
    if (fileSize == 0) return fail("it is too large to open, as it would be " + saved);
    return fail("it is too large to open: its file of " + files::describeSize(fileSize) + " holds what would be " + saved);
  }
  if (withinBudget(charged(written.besideText, written.bytes))) return {};
  std::string made;
  if (text.empty()) {
    made = serializePropertyListXML(value);
    text = made;
  }
  if (checkXML(text)) return {};
  // The text, the one way the check fails on what the writer makes, takes
  // more than the budget once read.
  return fail((open ? "it is too large to open: saved again and " : "it is too large to keep, as ") + pastTheBudget());
}

}  // namespace

Status readableOnceWritten(const Value& value, const plistxml::Bound& tallied, std::uint64_t fileSize) {
  const plistxml::Extent& bound = tallied.extent();
  if (!bound.uncarried && !bound.unkeptDate && !bound.tooDeep && bound.bytes <= fileBound() &&
      withinBudget(charged(bound.besideText, bound.bytes)))
    return {};
  return readAgain(value, plistxml::countWritten(value), {}, Purpose::Open, fileSize);
}

Status readableOnceWritten(const Value& value) {
  plistxml::Bound bound;
  plistxml::tallyAll(value, bound);
  return readableOnceWritten(value, bound);
}

Expected<std::string> storableText(const Value& value) {
  plistxml::Extent extent;
  std::string text = plistxml::written(value, extent);
  if (Status s = readAgain(value, extent, text, Purpose::Keep); !s) return s.failure();
  return text;
}

}  // namespace fd::plistcheck
