#include "canvas/DabRandom.h"

#include <random>

namespace dab_random {

namespace {
std::minstd_rand& engine() {
  static std::minstd_rand e(1);
  return e;
}
}  // namespace

int next() { return static_cast<int>(engine()() & 0x7fffffff); }

void seed(std::uint32_t value) { engine().seed(value == 0 ? 1 : value); }

}  // namespace dab_random
