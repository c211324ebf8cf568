// The bound on malloc's arenas: every arena a thread once made keeps 64 MB of
// address space for the life of the process, and glibc makes up to eight per
// core for threads that allocate at once.
#include "platform/foundation/ProcessMemory.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "graphics/MemoryCeiling.h"

namespace {

// The arenas malloc has made so far, as it reports them.
int countArenas() {
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* out = ::open_memstream(&text, &size);
  if (out == nullptr) return -1;
  ::malloc_info(0, out);
  std::fclose(out);
  int arenas = 0;
  for (const char* p = text; (p = std::strstr(p, "<heap nr=")) != nullptr; ++p) ++arenas;
  std::free(text);
  return arenas;
}

// In a fresh process, as the program starts: the bound first, then threads
// that all allocate while the others still hold theirs.
[[noreturn]] void startAsTheProgramAndAllocateOnManyThreads() {
  fd::boundAllocatorArenas();
  constexpr int kThreads = 24;
  std::atomic<int> allocated{0};
  std::atomic<bool> release{false};
  // Kept where the compiler cannot see them unused, or it drops the
  // allocations altogether.
  std::vector<std::atomic<void*>> blocks(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      blocks[static_cast<std::size_t>(i)] = std::malloc(4096);
      ++allocated;
      while (!release) std::this_thread::yield();
      std::free(blocks[static_cast<std::size_t>(i)]);
    });
  }
  while (allocated < kThreads) std::this_thread::yield();
  const int arenas = countArenas();
  release = true;
  for (std::thread& t : threads) t.join();
  std::fprintf(stderr, "%d arenas for %d threads\n", arenas, kThreads);
  std::_Exit(arenas >= 1 && arenas <= fd::kMallocArenas ? 0 : 1);
}

}  // namespace

// Twenty idle arenas held 1.3 GB and made a file operation fail under an
// address-space ceiling its own memory fitted well within.
TEST(ProcessMemory, ThreadsAllocatingAtOnceShareNoMoreArenasThanTheBound) {
#ifdef FD_TEST_UNDER_ASAN
  GTEST_SKIP() << "AddressSanitizer's allocator stands in for malloc's arenas";
#endif
  if (std::getenv("MALLOC_ARENA_MAX") != nullptr || std::getenv("GLIBC_TUNABLES") != nullptr)
    GTEST_SKIP() << "the environment chose the bound";
  // A process of its own (the test program started again): the arenas a
  // process has made stay, and glibc settles its limit once, so only a
  // start that has made no thread yet shows the bound the program sets.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(startAsTheProgramAndAllocateOnManyThreads(), testing::ExitedWithCode(0), "arenas for");
}
