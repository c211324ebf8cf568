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

CMTime CMTimeAdd(CMTime a, CMTime b) {
  if (!CMTIME_IS_VALID(a) || !CMTIME_IS_VALID(b)) return kCMTimeInvalid;
  if (CMTIME_IS_INDEFINITE(a) || CMTIME_IS_INDEFINITE(b)) return kCMTimeIndefinite;
  const std::int32_t scale = std::max(a.timescale, b.timescale);
  return CMTimeMakeWithSeconds(CMTimeGetSeconds(a) + CMTimeGetSeconds(b), scale);
}
