// The bound on malloc's arenas: every arena a thread once made keeps 64 MB of
// address space for the life of the process, and glibc makes up to eight per
// core for threads that allocate at once. Under an address-space ceiling the
// program keeps fewer, and fewer GL rasteriser threads, unless the user chose.
#include "platform/foundation/ProcessMemory.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
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

// In a fresh process, as the program starts under the ceiling (none when 0):
// the fit first, then threads that all allocate while the others still hold
// theirs. Ends with the count of arenas they share as its status, and tells
// the rasteriser's thread count the GL driver would read.
[[noreturn]] void startAsTheProgramAndAllocateOnManyThreads(std::uint64_t ceiling = 0) {
  if (ceiling != 0) {
    const rlimit limit{ceiling, ceiling};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(100);
  }
  fd::fitToAddressSpace();
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
  const char* raster = std::getenv("LP_NUM_THREADS");
  std::fprintf(stderr, "%d arenas for %d threads, rasteriser threads: %s\n", arenas, kThreads,
               raster != nullptr ? raster : "unset");
  std::_Exit(arenas);
}

// Sets a variable (or unsets it, for nullptr) for the processes the test
// starts, as it was after.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* was = std::getenv(name)) was_ = was;
    if (value != nullptr) ::setenv(name, value, 1);
    else ::unsetenv(name);
  }
  ~ScopedVariable() {
    if (was_) ::setenv(name_, was_->c_str(), 1);
    else ::unsetenv(name_);
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> was_;
};

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
  EXPECT_EXIT(startAsTheProgramAndAllocateOnManyThreads(), testing::ExitedWithCode(fd::kMallocArenas),
              "arenas for 24 threads");
}

// Started under 800 MB, four arenas and a rasteriser thread per core had
// reserved 320 MB of it before the desk needed a byte. The user's own choice
// of either still stands.
TEST(ProcessMemory, UnderACeilingThreadsShareTheArenasItAllowsUnlessTheUserChose) {
#ifdef FD_TEST_UNDER_ASAN
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of shadow memory: no address-space ceiling can be set";
#endif
  // A process started again runs the test from its start: what the user
  // set for this one is set aside here, not skipped on.
  const ScopedVariable unchosen[] = {{"MALLOC_ARENA_MAX", nullptr}, {"GLIBC_TUNABLES", nullptr}, {"LP_NUM_THREADS", nullptr}};
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  constexpr std::uint64_t kCeiling = std::uint64_t{800} << 20;
  // The rasteriser's stacks take at most a sixteenth of the ceiling, two
  // stacks a thread: 50 MB is three threads of 8 MB stacks. A machine with
  // no more cores than that keeps the driver's own count.
  const std::uint64_t threads = kCeiling / 16 / (2 * fd::defaultThreadStack());
  const std::string raster =
      threads < std::thread::hardware_concurrency() ? std::to_string(std::max<std::uint64_t>(threads, 1)) : "unset";
  EXPECT_EXIT(startAsTheProgramAndAllocateOnManyThreads(kCeiling), testing::ExitedWithCode(1),
              "1 arenas for 24 threads, rasteriser threads: " + raster);
  {
    const ScopedVariable arenas("MALLOC_ARENA_MAX", "3");
    const ScopedVariable threads("LP_NUM_THREADS", "5");
    EXPECT_EXIT(startAsTheProgramAndAllocateOnManyThreads(kCeiling), testing::ExitedWithCode(3),
                "3 arenas for 24 threads, rasteriser threads: 5");
  }
  {
    const ScopedVariable tunables("GLIBC_TUNABLES", "glibc.malloc.arena_max=2");
    EXPECT_EXIT(startAsTheProgramAndAllocateOnManyThreads(kCeiling), testing::ExitedWithCode(2),
                "2 arenas for 24 threads, rasteriser threads: " + raster);
  }
}

// The fit with 8 MB thread stacks: the arenas (64 MB each) take at most an
// eighth of the ceiling, the rasteriser's two stacks a thread a sixteenth, at
// least one of each; without a ceiling, or with room for a thread per core,
// the driver chooses.
TEST(ProcessMemory, TheFitGivesArenasAnEighthAndTheRasteriserASixteenthOfTheCeiling) {
  constexpr std::uint64_t kMB = std::uint64_t{1} << 20;
  struct Case {
    std::optional<std::uint64_t> ceiling;
    unsigned cores;
    int arenas, raster;
  };
  const Case cases[] = {
      {std::nullopt, 8, fd::kMallocArenas, 0}, {100 * kMB, 8, 1, 1},  {480 * kMB, 8, 1, 1},
      {800 * kMB, 8, 1, 3},                    {800 * kMB, 3, 1, 0},  {1024 * kMB, 8, 2, 4},
      {2047 * kMB, 8, 3, 7},                   {2048 * kMB, 8, 4, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE((c.ceiling ? std::to_string(*c.ceiling / kMB) + " MB" : std::string("no ceiling")) + " on " +
                 std::to_string(c.cores) + " cores");
    const fd::AddressSpaceFit fit = fd::fitFor(c.ceiling, 8 * kMB, c.cores);
    EXPECT_EQ(fit.mallocArenas, c.arenas);
    EXPECT_EQ(fit.rasterThreads, c.raster);
  }
}
