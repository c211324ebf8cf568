#pragma once
// What the model needs to know of the main screen (its scale and bounds). The
// program sets it at start-up from the UI layer, which the model may not see;
// until then the screen has no scale and the normal 320 x 480 bounds.
#include <optional>

class DeviceScreen {
 public:
  static void setMainScreen(std::optional<float> scale, float boundsWidth, float boundsHeight);
  // nullopt when the screen does not answer a scale.
  static std::optional<float> scale();
  static float boundsWidth();
  static float boundsHeight();
  static void resetForTesting();
};
