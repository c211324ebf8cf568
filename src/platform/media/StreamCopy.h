#pragma once
// Cuts and joins movies, copying the packets of the video and sound tracks
// into a new QuickTime file. A stretch begins with the first picture at or
// after its start and ends before its end, exactly: where the start falls
// between key frames, the pictures up to the next key frame are re-encoded
// (H.264, with their parameter sets in band where they differ from the
// track's) and the packets from that key frame on are copied. The display
// turn is kept. The result is written under a hidden temporary name and
// takes its name only when complete.
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/foundation/Expected.h"

namespace media {

// Seconds on the movie's own time line.
struct CopyRange {
  double start = 0;
  double end = 0;
};

// The movie's length in seconds, or why it cannot be read.
fd::Expected<double> movieDuration(const std::filesystem::path& file);

// The stretch [range.start, range.end) of `source` into `destination`
// (replaced). Fails for an empty or inverted range, an unreadable source or a
// destination that cannot be written.
fd::Status copyMovieRange(const std::filesystem::path& source, CopyRange range,
                          const std::filesystem::path& destination);

// One input of a join: a whole movie, or a stretch of it.
struct JoinPart {
  std::filesystem::path file;
  std::optional<CopyRange> range;
};

// The parts one after another into `destination`. The parts must share their
// tracks' formats (codec, picture size, sound rate), as takes of one camera
// do: packets are copied, and only a stretch's first pictures before its
// first key frame are re-encoded.
fd::Status joinMovies(const std::vector<JoinPart>& parts, const std::filesystem::path& destination);

}  // namespace media
