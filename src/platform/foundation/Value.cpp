#include "platform/foundation/Value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace fd {

namespace {

const Value& nullValue() {
  static const Value kNull;
  return kNull;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t skipSpace(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && isSpace(s[i])) ++i;
  return i;
}

// The leading decimal integer of a string, clamped to the 64-bit range.
std::int64_t leadingInteger(const std::string& s) {
  std::size_t i = skipSpace(s);
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  std::uint64_t magnitude = 0;
  bool overflow = false;
  for (; i < s.size() && isDigit(s[i]); ++i) {
    unsigned digit = static_cast<unsigned>(s[i] - '0');
    if (magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) overflow = true;
    if (!overflow) magnitude = magnitude * 10 + digit;
  }
  constexpr std::uint64_t kMaxPositive = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (negative) {
    if (overflow || magnitude > kMaxPositive + 1) return std::numeric_limits<std::int64_t>::min();
    return magnitude == kMaxPositive + 1 ? std::numeric_limits<std::int64_t>::min()
                                         : -static_cast<std::int64_t>(magnitude);
  }
  if (overflow || magnitude > kMaxPositive) return std::numeric_limits<std::int64_t>::max();
  return static_cast<std::int64_t>(magnitude);
}

// The leading decimal floating-point number of a string ("3.5e2x" is 350).
double leadingReal(const std::string& s) {
  std::size_t start = skipSpace(s);
  std::size_t i = start;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && isDigit(s[j])) {
      while (j < s.size() && isDigit(s[j])) ++j;
      i = j;
    }
  }
  const char* first = s.data() + start;
  if (*first == '+') ++first;
  double result = 0;
  auto [ptr, ec] = std::from_chars(first, s.data() + i, result);
  if (ec == std::errc::result_out_of_range) {
    bool negative = *first == '-';
    // Overflow gives infinity, underflow zero, as strtod does.
    const char* e = std::find_if(first, s.data() + i, [](char c) { return c == 'e' || c == 'E'; });
    bool bigExponent = e != s.data() + i && e[1] != '-';
    result = bigExponent ? std::numeric_limits<double>::infinity() : 0.0;
    if (negative) result = -result;
  }
  return result;
}

std::int64_t truncateReal(double d) {
  if (std::isnan(d)) return 0;
  if (d >= 9223372036854775807.0) return std::numeric_limits<std::int64_t>::max();
  if (d <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(d);
}

// YES for "Y", "y", "T", "t" or a digit 1-9, after blanks, a sign and zeros.
bool leadingBool(const std::string& s) {
  std::size_t i = skipSpace(s);
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  while (i < s.size() && s[i] == '0') ++i;
  if (i >= s.size()) return false;
  char c = s[i];
  return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

std::string describeReal(double d) {
  if (std::isnan(d)) return "nan";
  if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
  char buffer[32];
  auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, d);
  return std::string(buffer, ptr);
}

}  // namespace

Value::Value(bool b) : v_(b) {}
Value::Value(int i) : Value(static_cast<long long>(i)) {}
Value::Value(long i) : Value(static_cast<long long>(i)) {}
Value::Value(long long i) : v_(Whole{static_cast<std::uint64_t>(i), false}) {}
Value::Value(unsigned i) : Value(static_cast<long long>(i)) {}
Value::Value(unsigned long i) : Value(static_cast<unsigned long long>(i)) {}
Value::Value(unsigned long long i)
    : v_(Whole{i, i > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())}) {}
Value::Value(double d) : v_(d) {}
Value::Value(float f) : v_(static_cast<double>(f)) {}
Value::Value(const char* s) : v_(std::string(s ? s : "")) {}
Value::Value(std::string s) : v_(std::move(s)) {}
Value::Value(std::string_view s) : v_(std::string(s)) {}
Value::Value(fd::Data d) : v_(std::move(d)) {}
Value::Value(fd::Date d) : v_(d) {}
Value::Value(fd::Array a) : v_(std::move(a)) {}
Value::Value(fd::Dictionary d) : v_(std::move(d)) {}

Value::Type Value::type() const { return static_cast<Type>(v_.index()); }

std::int64_t Value::integerValue() const {
  switch (type()) {
    case Type::Bool: return std::get<bool>(v_) ? 1 : 0;
    case Type::Integer: {
      const Whole& n = std::get<Whole>(v_);
      return n.aboveSigned ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(n.bits);
    }
    case Type::Real: return truncateReal(std::get<double>(v_));
    case Type::String: return leadingInteger(std::get<std::string>(v_));
    default: return 0;
  }
}

int Value::intValue() const {
  if (isString()) {
    std::int64_t v = integerValue();
    if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
  }
  if (isReal()) {
    double d = std::get<double>(v_);
    if (std::isnan(d)) return 0;
    if (d >= 2147483647.0) return std::numeric_limits<int>::max();
    if (d <= -2147483648.0) return std::numeric_limits<int>::min();
    return static_cast<int>(d);
  }
  if (largeUnsigned()) return std::numeric_limits<int>::max();
  return static_cast<int>(integerValue());
}

double Value::doubleValue() const {
  switch (type()) {
    case Type::Bool: return std::get<bool>(v_) ? 1.0 : 0.0;
    case Type::Integer: {
      const Whole& n = std::get<Whole>(v_);
      return n.aboveSigned ? static_cast<double>(n.bits) : static_cast<double>(static_cast<std::int64_t>(n.bits));
    }
    case Type::Real: return std::get<double>(v_);
    case Type::String: return leadingReal(std::get<std::string>(v_));
    default: return 0;
  }
}

float Value::floatValue() const { return static_cast<float>(doubleValue()); }

bool Value::boolValue() const {
  switch (type()) {
    case Type::Bool: return std::get<bool>(v_);
    case Type::Integer: return std::get<Whole>(v_).bits != 0;
    case Type::Real: return std::get<double>(v_) != 0.0;
    case Type::String: return leadingBool(std::get<std::string>(v_));
    default: return false;
  }
}

std::string Value::stringValue() const {
  switch (type()) {
    case Type::Bool: return std::get<bool>(v_) ? "1" : "0";
    case Type::Integer: {
      const Whole& n = std::get<Whole>(v_);
      return n.aboveSigned ? std::to_string(n.bits) : std::to_string(static_cast<std::int64_t>(n.bits));
    }
    case Type::Real: return describeReal(std::get<double>(v_));
    case Type::String: return std::get<std::string>(v_);
    default: return "";
  }
}

std::optional<std::uint64_t> Value::largeUnsigned() const {
  const Whole* n = std::get_if<Whole>(&v_);
  if (n == nullptr || !n->aboveSigned) return std::nullopt;
  return n->bits;
}

const std::string* Value::string() const { return std::get_if<std::string>(&v_); }
const fd::Data* Value::data() const { return std::get_if<fd::Data>(&v_); }
const fd::Date* Value::date() const { return std::get_if<fd::Date>(&v_); }
const fd::Array* Value::array() const { return std::get_if<fd::Array>(&v_); }
fd::Array* Value::array() { return std::get_if<fd::Array>(&v_); }
const fd::Dictionary* Value::dictionary() const { return std::get_if<fd::Dictionary>(&v_); }
fd::Dictionary* Value::dictionary() { return std::get_if<fd::Dictionary>(&v_); }

const Value& Value::operator[](const std::string& key) const {
  const fd::Dictionary* d = dictionary();
  if (d == nullptr) return nullValue();
  auto it = d->find(key);
  return it == d->end() ? nullValue() : it->second;
}

Value& Value::operator[](const std::string& key) {
  if (isNull()) v_ = fd::Dictionary{};
  fd::Dictionary* d = dictionary();
  if (d == nullptr) throw std::logic_error("Value: subscript by key on a non-dictionary");
  return (*d)[key];
}

bool Value::contains(const std::string& key) const {
  const fd::Dictionary* d = dictionary();
  return d != nullptr && d->count(key) != 0;
}

const Value& Value::at(std::size_t index) const {
  const fd::Array* a = array();
  if (a == nullptr || index >= a->size()) return nullValue();
  return (*a)[index];
}

std::size_t Value::count() const {
  if (const fd::Array* a = array()) return a->size();
  if (const fd::Dictionary* d = dictionary()) return d->size();
  return 0;
}

bool Value::operator==(const Value& other) const { return v_ == other.v_; }

}  // namespace fd
