#pragma once
// Binary property lists put together object by object, the way a damaged or
// hostile file may be, and the hostile lists several programs' tests read:
// lists whose shared objects stand for far more than their bytes.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

namespace testing_support {

// A binary property list put together object by object: references of four
// bytes, offsets of eight.
class BinaryPlist {
 public:
  static constexpr unsigned kRefSize = 4;

  std::size_t add(fd::Data object) {
    objects_.push_back(std::move(object));
    return objects_.size() - 1;
  }
  std::size_t ascii(const std::string& s) { return add(withLength(0x50, s.size(), fd::Data(s.begin(), s.end()))); }
  std::size_t integer(std::uint8_t v) { return add({0x10, v}); }
  // An integer of eight bytes, read as signed; one of sixteen, a signed
  // 128-bit number whose top eight bytes are `high`.
  std::size_t integer8(std::int64_t v) {
    fd::Data d{0x13};
    put(d, static_cast<std::uint64_t>(v), 8);
    return add(d);
  }
  std::size_t integer16(std::uint64_t high, std::uint64_t low) {
    fd::Data d{0x14};
    put(d, high, 8);
    put(d, low, 8);
    return add(d);
  }
  std::size_t data(const fd::Data& bytes) { return add(withLength(0x40, bytes.size(), bytes)); }
  std::size_t boolean(bool b) { return add({static_cast<std::uint8_t>(b ? 0x09 : 0x08)}); }
  // A real of eight bytes; a date is one counted in seconds from 2001.
  std::size_t real(double v) { return add(eightBytes(0x23, v)); }
  std::size_t date(double sinceReference) { return add(eightBytes(0x33, sinceReference)); }
  std::size_t utf16(const std::u16string& s) {
    fd::Data body;
    for (char16_t c : s) body.push_back(static_cast<std::uint8_t>(c >> 8)), body.push_back(static_cast<std::uint8_t>(c));
    return add(withLength(0x60, s.size(), body));
  }
  std::size_t array(const std::vector<std::size_t>& items) { return add(withLength(0xA0, items.size(), refs(items))); }
  std::size_t dict(const std::vector<std::size_t>& keys, const std::vector<std::size_t>& values) {
    std::vector<std::size_t> all = keys;
    all.insert(all.end(), values.begin(), values.end());
    return add(withLength(0xD0, keys.size(), refs(all)));
  }
  // Objects may be added out of order: this replaces one already numbered.
  void set(std::size_t index, const std::vector<std::size_t>& arrayItems) {
    objects_[index] = withLength(0xA0, arrayItems.size(), refs(arrayItems));
  }

  fd::Data bytes(std::size_t top) const {
    fd::Data out = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<std::uint64_t> offsets;
    for (const fd::Data& o : objects_) {
      offsets.push_back(out.size());
      out.insert(out.end(), o.begin(), o.end());
    }
    const std::uint64_t table = out.size();
    for (std::uint64_t off : offsets) put(out, off, 8);
    out.insert(out.end(), 6, 0);
    out.push_back(8);
    out.push_back(kRefSize);
    put(out, objects_.size(), 8);
    put(out, top, 8);
    put(out, table, 8);
    return out;
  }

 private:
  static void put(fd::Data& d, std::uint64_t v, unsigned size) {
    for (int shift = 8 * (static_cast<int>(size) - 1); shift >= 0; shift -= 8)
      d.push_back(static_cast<std::uint8_t>(v >> shift));
  }
  static fd::Data eightBytes(std::uint8_t marker, double v) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    fd::Data d{marker};
    put(d, bits, 8);
    return d;
  }
  static fd::Data withLength(std::uint8_t type, std::size_t n, const fd::Data& body) {
    fd::Data d;
    if (n < 15) {
      d.push_back(static_cast<std::uint8_t>(type | n));
    } else {
      d.push_back(static_cast<std::uint8_t>(type | 0x0F));
      d.push_back(0x12);
      put(d, n, 4);
    }
    d.insert(d.end(), body.begin(), body.end());
    return d;
  }
  static fd::Data refs(const std::vector<std::size_t>& items) {
    fd::Data d;
    for (std::size_t i : items) put(d, i, kRefSize);
    return d;
  }
  std::vector<fd::Data> objects_;
};

// 1,000 references to an array of 2,000 references to one 16 KB data: 19 KB
// that would build 32 GB once each reference is copied out. Under a key of a
// dictionary, as a stored list's root is, or as an array itself.
inline fd::Data sharedDataList(bool dictionaryRoot = true) {
  BinaryPlist p;
  fd::Data block;
  for (int i = 0; i < 16384; ++i) block.push_back(static_cast<std::uint8_t>(i));
  const std::size_t data = p.data(block);
  const std::size_t inner = p.array(std::vector<std::size_t>(2000, data));
  const std::size_t outer = p.array(std::vector<std::size_t>(1000, inner));
  return p.bytes(dictionaryRoot ? p.dict({p.ascii("ImagesArray")}, {outer}) : outer);
}

// One 1 KB string referred to two million times: 8 MB that would build 2 GB.
inline fd::Data sharedStringList(bool dictionaryRoot = true) {
  BinaryPlist p;
  const std::size_t text = p.ascii(std::string(1024, 'n'));
  const std::size_t list = p.array(std::vector<std::size_t>(2000000, text));
  return p.bytes(dictionaryRoot ? p.dict({p.ascii("ProjectsNameArray")}, {list}) : list);
}

// `groups` references to an array of `each` references to one date: 2,000
// by 1,000 is 12 KB that stands for two million dates, 70.6 MB written as XML.
// Under a key of a dictionary, as a stored list's root is, or as an array.
inline fd::Data sharedDateList(std::size_t groups, std::size_t each, const std::string& key = "dates") {
  BinaryPlist p;
  const std::size_t date = p.date(390000000.0);
  const std::size_t inner = p.array(std::vector<std::size_t>(each, date));
  const std::size_t outer = p.array(std::vector<std::size_t>(groups, inner));
  return p.bytes(key.empty() ? outer : p.dict({p.ascii(key)}, {outer}));
}

}  // namespace testing_support
