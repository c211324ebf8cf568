#include "gpu/MediaTime.h"

#include <algorithm>
#include <cmath>

CMTime CMTimeMakeWithSeconds(double seconds, std::int32_t timescale) {
  if (timescale <= 0 || !std::isfinite(seconds)) return kCMTimeInvalid;
  CMTime t = CMTimeMake(static_cast<std::int64_t>(std::llround(seconds * timescale)), timescale);
  if (static_cast<double>(t.value) != seconds * timescale) t.flags |= kCMTimeFlags_HasBeenRounded;
  return t;
}

double CMTimeGetSeconds(CMTime t) {
  if (!CMTIME_IS_NUMERIC(t) || t.timescale == 0) return 0;
  return static_cast<double>(t.value) / t.timescale;
}

namespace {
// The time at another timescale, rounded to its nearest tick when it does not
// fall on one.
CMTime convertScale(CMTime t, std::int32_t timescale) {
  if (t.timescale == timescale) return t;
  if (t.timescale <= 0) return CMTimeMake(0, timescale);
  const __int128 scaled = static_cast<__int128>(t.value) * timescale;
  CMTime out = CMTimeMake(static_cast<std::int64_t>(scaled / t.timescale), timescale);
  if (scaled % t.timescale != 0) {
    out = CMTimeMakeWithSeconds(CMTimeGetSeconds(t), timescale);
    out.flags |= kCMTimeFlags_HasBeenRounded;
  }
  return out;
}
}  // namespace

CMTime CMTimeAdd(CMTime a, CMTime b) {
  if (!CMTIME_IS_VALID(a) || !CMTIME_IS_VALID(b)) return kCMTimeInvalid;
  if (CMTIME_IS_INDEFINITE(a) || CMTIME_IS_INDEFINITE(b)) return kCMTimeIndefinite;
  const std::int32_t scale = std::max(a.timescale, b.timescale);
  const CMTime x = convertScale(a, scale), y = convertScale(b, scale);
  CMTime sum = CMTimeMake(x.value + y.value, scale);
  sum.flags |= (x.flags | y.flags) & kCMTimeFlags_HasBeenRounded;
  return sum;
}
