#pragma once
// What the maker's services tell of the device the program runs on: whether
// it is the tall (4-inch) phone, and the screen's size in an interface
// orientation. Screens pick their layouts with these. The device is the main
// screen the program chose at start-up.
#include "platform/ui/Types.h"

class UIDevicePlatform {
 public:
  // The tall phone (568 points wide in landscape).
  static bool isiPhone5Platform();
};

class UIScreenSize {
 public:
  // The main screen's size: (short side, long side) for the portrait
  // orientations 1 and 2, (long side, short side) for any other value.
  static ui::Size currentScreenSizeWithInterfaceOrientation(int interfaceOrientation);
};
