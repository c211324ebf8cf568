#pragma once
// Compact holders for what every Atom object may keep: a piece of text (an
// element's name, its text content) and its attribute table. A feed of a
// million small entries is a million and more objects, so each of these takes
// one word, and a short text none beyond it.
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Text in one word: absent; up to seven bytes inside the word itself; or a
// block of its own holding the length and the bytes. A fourth state, a mark,
// is free for the owner to give a meaning (it reads as absent).
class ADText {
 public:
  ADText() = default;
  explicit ADText(std::string_view s) { assign(s); }
  static ADText of(const std::optional<std::string>& s) { return s ? ADText(std::string_view(*s)) : ADText(); }
  static ADText mark() {
    ADText t;
    t.word_ = kMark;
    return t;
  }
  ADText(const ADText& other) { copyFrom(other); }
  ADText& operator=(const ADText& other) {
    if (this != &other) {
      release();
      copyFrom(other);
    }
    return *this;
  }
  ADText(ADText&& other) noexcept : word_(other.word_) { other.word_ = 0; }
  ADText& operator=(ADText&& other) noexcept {
    if (this != &other) {
      release();
      word_ = other.word_;
      other.word_ = 0;
    }
    return *this;
  }
  ~ADText() { release(); }

  bool has() const { return word_ != 0 && word_ != kMark; }
  bool isMark() const { return word_ == kMark; }
  // The bytes; empty when absent or a mark. Valid while the text is unchanged.
  std::string_view view() const {
    if (!has()) return {};
    if (word_ & 1) return std::string_view(reinterpret_cast<const char*>(&word_) + 1, (word_ >> 1) & 7);
    const char* block = reinterpret_cast<const char*>(word_);
    std::uint32_t length = 0;
    std::memcpy(&length, block, sizeof length);
    return std::string_view(block + sizeof length, length);
  }
  std::optional<std::string> value() const {
    if (!has()) return std::nullopt;
    return std::string(view());
  }

 private:
  // A block's address is even; an inline text sets the lowest bit of the
  // word's first byte and keeps its length in the next three, its bytes in
  // the other seven; the mark sets a bit of that first byte no text does.
  static_assert(std::endian::native == std::endian::little && sizeof(std::uintptr_t) == 8);
  static constexpr std::uintptr_t kMark = 0x11;

  void assign(std::string_view s) {
    if (s.size() <= 7) {
      std::uintptr_t w = 1 | (static_cast<std::uintptr_t>(s.size()) << 1);
      std::memcpy(reinterpret_cast<char*>(&w) + 1, s.data(), s.size());
      word_ = w;
      return;
    }
    const auto length = static_cast<std::uint32_t>(s.size());
    char* block = new char[sizeof length + s.size()];
    std::memcpy(block, &length, sizeof length);
    std::memcpy(block + sizeof length, s.data(), s.size());
    word_ = reinterpret_cast<std::uintptr_t>(block);
  }
  void copyFrom(const ADText& other) {
    if (other.has() && !(other.word_ & 1))
      assign(other.view());
    else
      word_ = other.word_;
  }
  void release() {
    if (has() && !(word_ & 1)) delete[] reinterpret_cast<char*>(word_);
    word_ = 0;
  }

  std::uintptr_t word_ = 0;
};

// Attribute names and values in one block, ordered by name.
class ADAttributeList {
 public:
  ADAttributeList() = default;
  ADAttributeList(const ADAttributeList& other) : block_(other.block_) {}
  ADAttributeList& operator=(const ADAttributeList& other) = default;
  ADAttributeList(ADAttributeList&&) noexcept = default;
  ADAttributeList& operator=(ADAttributeList&&) noexcept = default;

  bool empty() const { return !block_.has(); }
  std::optional<std::string_view> find(std::string_view name) const;
  // Sets (or with nullopt removes) the attribute.
  void set(std::string_view name, const std::optional<std::string>& value);
  // Each attribute in name order.
  void forEach(const std::function<void(std::string_view name, std::string_view value)>& visit) const;
  // Equal names and values, but for the names ignored.
  bool equals(const ADAttributeList& other, const std::function<bool(std::string_view)>& ignored) const;

 private:
  // Each attribute as name length, name, value length, value (lengths as four bytes).
  ADText block_;
};
