#pragma once
// An RFC 3339 date-time as Atom carries it: an instant, the time zone offset it
// was written in, its fraction of a second as written, or a date alone.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class ADDateTime {
 public:
  // nullopt for text that is not an RFC 3339 date-time or full date, or that
  // names an impossible day or time.
  static std::optional<ADDateTime> dateTimeWithRFC3339String(std::string_view text);
  // An instant given in seconds since 1970 UTC, shown in a zone offset by minutes.
  static ADDateTime dateTimeWithSeconds(std::int64_t secondsSince1970, int offsetMinutes = 0);

  // The text again: "2008-05-21T09:30:00.125-07:00", "Z" for UTC, the date
  // alone for a date without a time.
  std::string RFC3339String() const;

  std::int64_t secondsSince1970() const { return seconds_; }
  // The fraction's digits as written ("" for none).
  const std::string& fractionDigits() const { return fraction_; }
  int offsetMinutes() const { return offset_; }
  bool hasTime() const { return hasTime_; }

  // The same instant, offset and precision.
  bool operator==(const ADDateTime& other) const;

 private:
  std::int64_t seconds_ = 0;
  std::string fraction_;
  int offset_ = 0;
  bool hasTime_ = true;
};
