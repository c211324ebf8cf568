#pragma once
// How much address space the process keeps beyond what it uses.
namespace fd {

// The most malloc arenas the program keeps: the main one and three more.
inline constexpr int kMallocArenas = 4;

// Bounds the allocator's arenas to kMallocArenas, unless the user chose a
// bound in the environment (MALLOC_ARENA_MAX or a glibc tunable). Without it
// glibc gives up to eight per core to threads that allocate at once, each
// reserving 64 MB of address space it keeps for the life of the process;
// twenty idle ones held 1.3 GB, enough to make an import fail under an
// address-space ceiling that its own memory fitted well within. Called first
// thing, before any thread starts: arenas already made stay.
void boundAllocatorArenas();

}  // namespace fd
