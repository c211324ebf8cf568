#pragma once
// A dynamic value as property lists, user defaults and JSON hold them: the
// phone's number/string/data/date/array/dictionary objects in one type.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace fd {

class Value;
using Array = std::vector<Value>;
using Dictionary = std::map<std::string, Value>;
using Data = std::vector<std::uint8_t>;

// A point in time, in seconds since 1970-01-01 UTC (property-list dates are
// converted on read and write).
struct Date {
  double seconds = 0;
  bool operator==(const Date&) const = default;
};

class Value {
 public:
  enum class Type { Null, Bool, Integer, Real, String, Data, Date, Array, Dictionary };

  Value() = default;
  Value(std::nullptr_t) {}
  Value(bool b);
  Value(int i);
  Value(long i);
  Value(long long i);
  Value(unsigned i);
  // Sizes and counts, and the unsigned integers property lists hold: above
  // the signed 64-bit range they are kept as they are (see largeUnsigned).
  Value(unsigned long i);
  Value(unsigned long long i);
  Value(double d);
  Value(float f);
  Value(const char* s);
  Value(std::string s);
  Value(std::string_view s);
  Value(fd::Data d);
  Value(fd::Date d);
  Value(fd::Array a);
  Value(fd::Dictionary d);

  Type type() const;
  bool isNull() const { return type() == Type::Null; }
  bool isBool() const { return type() == Type::Bool; }
  bool isInteger() const { return type() == Type::Integer; }
  bool isReal() const { return type() == Type::Real; }
  bool isNumber() const { return isBool() || isInteger() || isReal(); }
  bool isString() const { return type() == Type::String; }
  bool isData() const { return type() == Type::Data; }
  bool isDate() const { return type() == Type::Date; }
  bool isArray() const { return type() == Type::Array; }
  bool isDictionary() const { return type() == Type::Dictionary; }

  // Coercing accessors, as the phone's intValue/floatValue/boolValue behave on
  // numbers and strings: a number converts (reals truncate toward zero), a
  // string is parsed from its leading number ("12abc" is 12, "abc" is 0),
  // anything else gives 0. boolValue: non-zero numbers are true; a string is
  // true when it starts with Y, y, T, t or a non-zero digit. An integer above
  // the signed 64-bit range gives the largest signed one (intValue the
  // largest int), never a negative number.
  std::int64_t integerValue() const;
  int intValue() const;
  double doubleValue() const;
  float floatValue() const;
  bool boolValue() const;
  // The string itself; numbers give their description ("12", "0.5"); else "".
  std::string stringValue() const;
  // An integer above the signed 64-bit range, up to 2^64-1, as it is; none
  // for any other value.
  std::optional<std::uint64_t> largeUnsigned() const;

  // Exact access: nullptr when the value is of another type.
  const std::string* string() const;
  const fd::Data* data() const;
  const fd::Date* date() const;
  const fd::Array* array() const;
  fd::Array* array();
  const fd::Dictionary* dictionary() const;
  fd::Dictionary* dictionary();

  // Dictionary look-up: a null value when missing or when this is no dictionary.
  const Value& operator[](const std::string& key) const;
  // Mutable look-up: turns a null value into an empty dictionary first; on any
  // other non-dictionary type it throws std::logic_error.
  Value& operator[](const std::string& key);
  bool contains(const std::string& key) const;
  // Array element: a null value when out of range or when this is no array.
  const Value& at(std::size_t index) const;
  // Number of elements of an array or dictionary, else 0.
  std::size_t count() const;

  bool operator==(const Value& other) const;
  bool operator!=(const Value& other) const { return !(*this == other); }

 private:
  // A whole number: a signed 64-bit one, or one above that range held as
  // its unsigned bits. Only numbers above the signed range are marked, so
  // that one number has one form and compares equal to itself alone.
  struct Whole {
    std::uint64_t bits = 0;
    bool aboveSigned = false;
    bool operator==(const Whole&) const = default;
  };
  using Storage = std::variant<std::monostate, bool, Whole, double, std::string, fd::Data,
                               fd::Date, fd::Array, fd::Dictionary>;
  Storage v_;
};

}  // namespace fd
