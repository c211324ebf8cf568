// The spinner: hidden until started, a spoke further every 1/12 s on the run
// loop's clock, hidden again when stopped unless told to stay.
#include <gtest/gtest.h>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "support/Sandbox.h"

namespace {

class ActivityIndicatorTest : public testing_support::SandboxTest {};

TEST_F(ActivityIndicatorTest, TurnsWhileAnimatingAndHidesWhenStopped) {
  ui::ActivityIndicatorView spinner(ui::ActivityIndicatorStyle::WhiteLarge);
  EXPECT_TRUE(spinner.isHidden());
  EXPECT_FLOAT_EQ(spinner.bounds().width, 37);
  spinner.startAnimating();
  EXPECT_FALSE(spinner.isHidden());
  fd::RunLoop::main().advance(ui::ActivityIndicatorView::kStepInterval * 14 + 0.001);
  EXPECT_EQ(spinner.step(), 2);  // fourteen steps round twelve spokes
  spinner.stopAnimating();
  EXPECT_TRUE(spinner.isHidden());
  fd::RunLoop::main().advance(1.0);
  EXPECT_EQ(spinner.step(), 2);

  spinner.setHidesWhenStopped(false);
  spinner.startAnimating();
  spinner.stopAnimating();
  EXPECT_FALSE(spinner.isHidden());
  // It draws something: the picture is not empty.
  const gfx::Image picture = spinner.renderToImage(1);
  int lit = 0;
  for (int y = 0; y < picture.pixelHeight(); ++y)
    for (int x = 0; x < picture.pixelWidth(); ++x) lit += picture.pixel(x, y)[3] > 0;
  EXPECT_GT(lit, 50);
}

}  // namespace
