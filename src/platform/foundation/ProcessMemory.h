#pragma once
// How much address space the process keeps beyond what it uses, and how it
// fits itself to a ceiling it was started under.
#include <cstdint>
#include <optional>

namespace fd {

// The most malloc arenas the program keeps: the main one and three more.
inline constexpr int kMallocArenas = 4;

// What each malloc arena beyond the main one reserves (glibc's heap size on
// 64-bit systems), used or not.
inline constexpr std::uint64_t kArenaReserve = std::uint64_t{64} << 20;

// The address-space ceiling the process runs under (its soft RLIMIT_AS), or
// nothing when there is none.
std::optional<std::uint64_t> addressSpaceCeiling();

// The address space the process holds now, or nothing when it cannot be read.
std::optional<std::uint64_t> addressSpaceInUse();

// What the ceiling leaves the process beyond what it holds now (0 when it
// holds more), or nothing when there is no ceiling or the use is unknown.
std::optional<std::uint64_t> addressSpaceRoom();

// The stack a thread made without a size of its own gets, in bytes.
std::uint64_t defaultThreadStack();

// The threads the GL rasteriser starts: LP_NUM_THREADS when set, else one
// per core.
int rasterThreads();

// What the process may reserve before it needs it: arenas that threads make
// as they allocate at once, and the GL rasteriser's threads (each with a
// stack of its own and another in its compute pool).
struct AddressSpaceFit {
  int mallocArenas = kMallocArenas;
  int rasterThreads = 0;  // 0: as many as the GL driver chooses
};

// The fit for a ceiling: without one, kMallocArenas and the driver's choice.
// Under one, the arenas reserve at most an eighth of it and the rasteriser's
// stacks a sixteenth, never fewer than one of each: without that the
// rasteriser's sixteen stacks and three spare arenas took 320 MB of 800 and a
// desk entered under that ceiling found no room for a thread of the text
// layout library, which ends the process when one cannot start.
AddressSpaceFit fitFor(std::optional<std::uint64_t> ceiling, std::uint64_t threadStack, unsigned cores);

// Fits the process to its ceiling (fitFor): bounds malloc's arenas and, under
// a ceiling, the GL rasteriser's threads, each unless the user chose it in the
// environment (MALLOC_ARENA_MAX or a glibc tunable; LP_NUM_THREADS). Called
// first thing, before any thread starts and before the GL display opens:
// arenas already made stay, and the driver reads its count once.
void fitToAddressSpace();

}  // namespace fd
