#pragma once
// Media times for frame times: a rational number of seconds (value over
// timescale) with flags. Still sources send the indefinite time, which
// two-input filters take as "this input does not move"; sources without a
// clock send the invalid time.
#include <cstdint>

enum CMTimeFlags : std::uint32_t {
  kCMTimeFlags_Valid = 1u << 0,
  kCMTimeFlags_HasBeenRounded = 1u << 1,
  kCMTimeFlags_PositiveInfinity = 1u << 2,
  kCMTimeFlags_NegativeInfinity = 1u << 3,
  kCMTimeFlags_Indefinite = 1u << 4,
};

struct CMTime {
  std::int64_t value = 0;
  std::int32_t timescale = 0;
  std::uint32_t flags = 0;
  std::int64_t epoch = 0;
  bool operator==(const CMTime&) const = default;
};

inline constexpr CMTime kCMTimeInvalid{};
inline constexpr CMTime kCMTimeIndefinite{0, 0, kCMTimeFlags_Valid | kCMTimeFlags_Indefinite, 0};
inline constexpr CMTime kCMTimeZero{0, 1, kCMTimeFlags_Valid, 0};

constexpr bool CMTIME_IS_VALID(CMTime t) { return (t.flags & kCMTimeFlags_Valid) != 0; }
constexpr bool CMTIME_IS_INDEFINITE(CMTime t) {
  return CMTIME_IS_VALID(t) && (t.flags & kCMTimeFlags_Indefinite) != 0;
}
// A valid time with a real position (neither indefinite nor infinite).
constexpr bool CMTIME_IS_NUMERIC(CMTime t) {
  return (t.flags & (kCMTimeFlags_Valid | kCMTimeFlags_Indefinite | kCMTimeFlags_PositiveInfinity |
                     kCMTimeFlags_NegativeInfinity)) == kCMTimeFlags_Valid;
}

constexpr CMTime CMTimeMake(std::int64_t value, std::int32_t timescale) {
  return {value, timescale, kCMTimeFlags_Valid, 0};
}
// Rounded to the nearest tick of the timescale.
CMTime CMTimeMakeWithSeconds(double seconds, std::int32_t timescale);
// 0 for a time that is not numeric, as the rest of the pipeline never asks.
double CMTimeGetSeconds(CMTime t);
// The sum at the larger timescale of the two (rounded to its ticks); invalid
// when either is invalid, indefinite when either is indefinite.
CMTime CMTimeAdd(CMTime a, CMTime b);
