#pragma once
// Bounds on what one extraction may produce. An archive is judged by its
// central directory before anything is written, and every entry is held to
// the size it declares while it streams, so a lying directory gains nothing.
#include <cstddef>
#include <cstdint>

namespace ziplimits {

// More entries than a 300-frame project with its tray and sounds needs many
// times over; a directory claiming more is hostile or broken.
inline constexpr std::uint64_t kMaxEntryCount = 20000;
// All entries together may never expand beyond this.
inline constexpr std::uint64_t kMaxTotalBytes = 4ull << 30;
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
  const std::uint64_t byRatio =
      archiveBytes > kMaxTotalBytes / kMaxExpansionRatio ? kMaxTotalBytes : archiveBytes * kMaxExpansionRatio;
  const std::uint64_t budget = byRatio > kRatioFreeBytes ? byRatio : kRatioFreeBytes;
  return budget < kMaxTotalBytes ? budget : kMaxTotalBytes;
}

}  // namespace ziplimits
