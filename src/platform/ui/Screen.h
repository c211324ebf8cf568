#pragma once
// The main screen: landscape 480 x 320 points, or the tall 568 x 320, at a
// scale of 1 or 2 pixels per point; and the count of changes to what it
// shows, by which the compositor knows when there is nothing to compose.
#include <cstdint>

#include "platform/ui/Types.h"

namespace ui {

class Screen {
 public:
  static Screen& main();
  // The program chooses the screen once at start-up (tests too).
  static void configure(bool tall, float scale);

  Rect bounds() const { return {0, 0, tall_ ? 568.0f : 480.0f, 320.0f}; }
  float scale() const { return scale_; }
  bool isTall() const { return tall_; }
  int pixelWidth() const { return static_cast<int>(bounds().width * scale_); }
  int pixelHeight() const { return static_cast<int>(bounds().height * scale_); }

  // Something on the screen changed: a view's geometry, look, content or
  // place in the tree, or an animation moved on. Any thread.
  static void noteChange();
  static std::uint64_t changeCount();

 private:
  bool tall_ = false;
  float scale_ = 1.0f;
};

}  // namespace ui
