#include "platform/foundation/ProcessMemory.h"

#include <malloc.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace fd {

namespace {

// Glibc's size for a thread's stack when the stack ceiling gives none.
constexpr std::uint64_t kFallbackThreadStack = std::uint64_t{8} << 20;

bool userChoseArenas() {
  if (std::getenv("MALLOC_ARENA_MAX") != nullptr) return true;
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  return tunables != nullptr && std::strstr(tunables, "arena_max") != nullptr;
}

}  // namespace

std::optional<std::uint64_t> addressSpaceCeiling() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
  return static_cast<std::uint64_t>(limit.rlim_cur);
}

std::optional<std::uint64_t> addressSpaceInUse() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t pages = 0;
  if (!(statm >> pages)) return std::nullopt;
  return pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

std::optional<std::uint64_t> addressSpaceRoom() {
  const std::optional<std::uint64_t> ceiling = addressSpaceCeiling();
  const std::optional<std::uint64_t> used = addressSpaceInUse();
  if (!ceiling || !used) return std::nullopt;
  return *ceiling > *used ? *ceiling - *used : 0;
}

std::uint64_t defaultThreadStack() {
  pthread_attr_t attr;
  if (pthread_getattr_default_np(&attr) != 0) return kFallbackThreadStack;
  std::size_t size = 0;
  const bool read = pthread_attr_getstacksize(&attr, &size) == 0 && size > 0;
  pthread_attr_destroy(&attr);
  return read ? size : kFallbackThreadStack;
}

int rasterThreads() {
  if (const char* set = std::getenv("LP_NUM_THREADS")) {
    char* end = nullptr;
    const long n = std::strtol(set, &end, 10);
    if (end != set && n >= 0) return static_cast<int>(std::min<long>(n, 1024));
  }
  return static_cast<int>(std::max(std::thread::hardware_concurrency(), 1u));
}

AddressSpaceFit fitFor(std::optional<std::uint64_t> ceiling, std::uint64_t threadStack, unsigned cores) {
  AddressSpaceFit fit;
  if (!ceiling) return fit;
  const std::uint64_t arenas = *ceiling / 8 / kArenaReserve;
  fit.mallocArenas = static_cast<int>(std::clamp<std::uint64_t>(arenas, 1, kMallocArenas));
  // Two stacks for each thread: the rasteriser's and its compute pool's.
  const std::uint64_t threads = *ceiling / 16 / (2 * std::max<std::uint64_t>(threadStack, 1));
  const std::uint64_t most = std::max(cores, 1u);
  if (threads < most) fit.rasterThreads = static_cast<int>(std::max<std::uint64_t>(threads, 1));
  return fit;
}

void fitToAddressSpace() {
  const AddressSpaceFit fit = fitFor(addressSpaceCeiling(), defaultThreadStack(), std::thread::hardware_concurrency());
  if (!userChoseArenas()) ::mallopt(M_ARENA_MAX, fit.mallocArenas);
  // Read by the GL driver when its display first opens; set before any
  // thread could read the environment at once.
  if (fit.rasterThreads > 0) ::setenv("LP_NUM_THREADS", std::to_string(fit.rasterThreads).c_str(), 0);
}

}  // namespace fd
