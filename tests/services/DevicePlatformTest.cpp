// What the maker's services tell of the device: the tall phone and the
// screen's size by interface orientation.
#include <gtest/gtest.h>

#include "platform/ui/Screen.h"
#include "services/DevicePlatform.h"

namespace {

TEST(DevicePlatformTest, TheTallPhoneAndTheScreenSizeInEachOrientation) {
  ui::Screen::configure(false, 2.0f);
  EXPECT_FALSE(UIDevicePlatform::isiPhone5Platform());
  EXPECT_EQ(UIScreenSize::currentScreenSizeWithInterfaceOrientation(1), (ui::Size{320, 480}));
  EXPECT_EQ(UIScreenSize::currentScreenSizeWithInterfaceOrientation(2), (ui::Size{320, 480}));
  EXPECT_EQ(UIScreenSize::currentScreenSizeWithInterfaceOrientation(3), (ui::Size{480, 320}));
  EXPECT_EQ(UIScreenSize::currentScreenSizeWithInterfaceOrientation(4), (ui::Size{480, 320}));
  EXPECT_EQ(UIScreenSize::currentScreenSizeWithInterfaceOrientation(0), (ui::Size{480, 320}));
  ui::Screen::configure(true, 1.0f);
  EXPECT_TRUE(UIDevicePlatform::isiPhone5Platform());
  EXPECT_EQ(UIScreenSize::currentScreenSizeWithInterfaceOrientation(1), (ui::Size{320, 568}));
  EXPECT_EQ(UIScreenSize::currentScreenSizeWithInterfaceOrientation(4), (ui::Size{568, 320}));
  ui::Screen::configure(false, 1.0f);
}

}  // namespace
