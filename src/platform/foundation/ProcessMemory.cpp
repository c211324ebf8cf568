#include "platform/foundation/ProcessMemory.h"

#include <malloc.h>

#include <cstdlib>
#include <cstring>

namespace fd {

void boundAllocatorArenas() {
  if (std::getenv("MALLOC_ARENA_MAX") != nullptr) return;
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  if (tunables != nullptr && std::strstr(tunables, "arena_max") != nullptr) return;
  ::mallopt(M_ARENA_MAX, kMallocArenas);
}

}  // namespace fd
