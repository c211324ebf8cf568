#pragma once
// Bounds on what one extraction may produce, taken from what the archive
// itself can hold. An archive is judged by its central directory before
// anything is written, and every entry is held to the size it declares while
// it streams, so a lying directory gains nothing.
#include <cstddef>
#include <cstdint>

namespace ziplimits {

// A directory record's fixed part, before its name, extra field and comment.
inline constexpr std::uint64_t kRecordFixedBytes = 46;
// The least a record takes: a name of one byte. A count of entries the
// directory has no room for is a lie.
inline constexpr std::uint64_t kMinRecordBytes = kRecordFixedBytes + 1;
// Below this total no ratio is asked for: small packages of silence or blank
// layers compress extremely well and are still harmless.
inline constexpr std::uint64_t kRatioFreeBytes = 256ull << 20;
// Above it, the expanded total may be at most this many times the archive.
inline constexpr std::uint64_t kMaxExpansionRatio = 100;
// Longest entry name read from a directory record.
inline constexpr std::size_t kMaxNameBytes = 4096;
// Files are streamed through buffers of this size in both directions.
inline constexpr std::size_t kChunkBytes = 64 * 1024;

// The expanded total allowed for an archive file of the given size.
constexpr std::uint64_t extractionBudget(std::uint64_t archiveBytes) {
  constexpr std::uint64_t kMost = ~std::uint64_t{0};
  const std::uint64_t byRatio =
      archiveBytes > kMost / kMaxExpansionRatio ? kMost : archiveBytes * kMaxExpansionRatio;
  return byRatio > kRatioFreeBytes ? byRatio : kRatioFreeBytes;
}

// How many entries a directory of the given size can hold.
constexpr std::uint64_t entryRoom(std::uint64_t directoryBytes) { return directoryBytes / kMinRecordBytes; }

}  // namespace ziplimits
