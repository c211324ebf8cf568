#pragma once
// Bounds on what one extraction may produce: the files a project holds, the
// disk's free space, and what the archive itself holds (no two entries share
// stored bytes). An archive is judged by its central directory before
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
// The largest file an archive may unpack to, whatever the archive's size:
// far past any file a project holds (a ten-minute recording is 53 MB, a
// project list at most 64 MiB), so that no project the program made is
// refused for its silence, while a directory claiming more is a lie.
inline constexpr std::uint64_t kMaxEntryBytes = std::uint64_t{1} << 30;
// Longest entry name read from a directory record.
inline constexpr std::size_t kMaxNameBytes = 4096;
// Longest part of a name between two slashes: what a folder can hold.
inline constexpr std::size_t kMaxNamePartBytes = 255;
// Files are streamed through buffers of this size in both directions.
inline constexpr std::size_t kChunkBytes = 64 * 1024;

// How many entries a directory of the given size can hold.
constexpr std::uint64_t entryRoom(std::uint64_t directoryBytes) { return directoryBytes / kMinRecordBytes; }

}  // namespace ziplimits
