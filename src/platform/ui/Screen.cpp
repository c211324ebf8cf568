#include "platform/ui/Screen.h"

#include <atomic>

namespace ui {

namespace {
std::atomic<std::uint64_t> gChanges{1};
}  // namespace

void Screen::noteChange() { gChanges.fetch_add(1, std::memory_order_relaxed); }
std::uint64_t Screen::changeCount() { return gChanges.load(std::memory_order_relaxed); }

Screen& Screen::main() {
  static Screen screen;
  return screen;
}

void Screen::configure(bool tall, float scale) {
  Screen& s = main();
  s.tall_ = tall;
  s.scale_ = scale >= 2 ? 2.0f : 1.0f;
  noteChange();
}

}  // namespace ui
