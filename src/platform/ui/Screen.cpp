#include "platform/ui/Screen.h"

namespace ui {

Screen& Screen::main() {
  static Screen screen;
  return screen;
}

void Screen::configure(bool tall, float scale) {
  Screen& s = main();
  s.tall_ = tall;
  s.scale_ = scale >= 2 ? 2.0f : 1.0f;
}

}  // namespace ui
