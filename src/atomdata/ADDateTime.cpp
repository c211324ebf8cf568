#include "atomdata/ADDateTime.h"

#include <cctype>
#include <cstdio>

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned daysInMonth(int y, unsigned m) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// Reads exactly n digits at pos.
bool digits(std::string_view s, std::size_t& pos, std::size_t n, int& out) {
  if (pos + n > s.size()) return false;
  out = 0;
  for (std::size_t i = 0; i < n; ++i) {
    char c = s[pos + i];
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    out = out * 10 + (c - '0');
  }
  pos += n;
  return true;
}

bool expect(std::string_view s, std::size_t& pos, char c) {
  if (pos >= s.size() || s[pos] != c) return false;
  ++pos;
  return true;
}

}  // namespace

std::optional<ADDateTime> ADDateTime::dateTimeWithRFC3339String(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  std::size_t pos = 0;
  int year = 0, month = 0, day = 0;
  if (!digits(s, pos, 4, year) || !expect(s, pos, '-') || !digits(s, pos, 2, month) || !expect(s, pos, '-') ||
      !digits(s, pos, 2, day))
    return std::nullopt;
  if (month < 1 || month > 12 || day < 1 || static_cast<unsigned>(day) > daysInMonth(year, static_cast<unsigned>(month)))
    return std::nullopt;
  ADDateTime result;
  const std::int64_t days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  if (pos == s.size()) {
    result.seconds_ = days * 86400;
    result.hasTime_ = false;
    return result;
  }
  if (s[pos] != 'T' && s[pos] != 't' && s[pos] != ' ') return std::nullopt;
  ++pos;
  int hour = 0, minute = 0, second = 0;
  if (!digits(s, pos, 2, hour) || !expect(s, pos, ':') || !digits(s, pos, 2, minute) || !expect(s, pos, ':') ||
      !digits(s, pos, 2, second))
    return std::nullopt;
  // A leap second is taken as the last second of its minute.
  if (hour > 23 || minute > 59 || second > 60) return std::nullopt;
  if (second == 60) second = 59;
  if (pos < s.size() && s[pos] == '.') {
    ++pos;
    const std::size_t start = pos;
    while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) ++pos;
    if (pos == start || pos - start > 9) return std::nullopt;
    result.fraction_ = std::string(s.substr(start, pos - start));
  }
  int offset = 0;
  if (pos < s.size() && (s[pos] == 'Z' || s[pos] == 'z')) {
    ++pos;
  } else if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
    const int sign = s[pos] == '-' ? -1 : 1;
    ++pos;
    int oh = 0, om = 0;
    if (!digits(s, pos, 2, oh) || !expect(s, pos, ':') || !digits(s, pos, 2, om) || oh > 23 || om > 59)
      return std::nullopt;
    offset = sign * (oh * 60 + om);
  } else {
    return std::nullopt;
  }
  if (pos != s.size()) return std::nullopt;
  result.offset_ = offset;
  result.seconds_ = days * 86400 + hour * 3600 + minute * 60 + second - offset * 60;
  return result;
}

ADDateTime ADDateTime::dateTimeWithSeconds(std::int64_t secondsSince1970, int offsetMinutes) {
  ADDateTime result;
  result.seconds_ = secondsSince1970;
  result.offset_ = offsetMinutes;
  return result;
}

std::string ADDateTime::RFC3339String() const {
  const std::int64_t local = seconds_ + (hasTime_ ? offset_ * 60 : 0);
  std::int64_t days = local / 86400;
  std::int64_t rest = local % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  int y = 0;
  unsigned m = 0, d = 0;
  civilFromDays(days, y, m, d);
  char buf[64];
  if (!hasTime_) {
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", y, m, d);
    return buf;
  }
  std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:%02d:%02d", y, m, d, static_cast<int>(rest / 3600),
                static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
  std::string out = buf;
  if (!fraction_.empty()) out += "." + fraction_;
  if (offset_ == 0) {
    out += "Z";
  } else {
    const int a = offset_ < 0 ? -offset_ : offset_;
    std::snprintf(buf, sizeof buf, "%c%02d:%02d", offset_ < 0 ? '-' : '+', a / 60, a % 60);
    out += buf;
  }
  return out;
}

bool ADDateTime::operator==(const ADDateTime& other) const {
  return seconds_ == other.seconds_ && fraction_ == other.fraction_ && offset_ == other.offset_ &&
         hasTime_ == other.hasTime_;
}
