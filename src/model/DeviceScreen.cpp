#include "model/DeviceScreen.h"

#include <mutex>

namespace {

struct ScreenState {
  std::optional<float> scale;
  float width = 320.0f;
  float height = 480.0f;
};

std::mutex& screenMutex() {
  static std::mutex m;
  return m;
}

ScreenState& screenState() {
  static ScreenState s;
  return s;
}

}  // namespace

void DeviceScreen::setMainScreen(std::optional<float> scale, float boundsWidth, float boundsHeight) {
  std::lock_guard lock(screenMutex());
  screenState() = ScreenState{scale, boundsWidth, boundsHeight};
}

std::optional<float> DeviceScreen::scale() {
  std::lock_guard lock(screenMutex());
  return screenState().scale;
}

float DeviceScreen::boundsWidth() {
  std::lock_guard lock(screenMutex());
  return screenState().width;
}

float DeviceScreen::boundsHeight() {
  std::lock_guard lock(screenMutex());
  return screenState().height;
}

void DeviceScreen::resetForTesting() {
  std::lock_guard lock(screenMutex());
  screenState() = ScreenState{};
}
