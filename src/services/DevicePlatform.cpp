#include "services/DevicePlatform.h"

#include <algorithm>

#include "platform/ui/Screen.h"

bool UIDevicePlatform::isiPhone5Platform() { return ui::Screen::main().isTall(); }

ui::Size UIScreenSize::currentScreenSizeWithInterfaceOrientation(int interfaceOrientation) {
  const ui::Rect b = ui::Screen::main().bounds();
  const float shortSide = std::min(b.width, b.height), longSide = std::max(b.width, b.height);
  if (interfaceOrientation == 1 || interfaceOrientation == 2) return {shortSide, longSide};
  return {longSide, shortSide};
}
