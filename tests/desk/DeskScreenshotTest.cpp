// The desk as a person sees it after a stroke, at 2x, against a reference
// picture within a tolerance (fonts and GL rounding may move a few pixels).
#include <cstdlib>
#include <filesystem>

#include "desk/DeskTestSupport.h"

namespace {

constexpr const char* kReference = FLIPDESK_TEST_DATA "/desk_stroke@2x.png";

struct Difference {
  double meanAbs = 0;        // per channel, 0..255
  double shareChanged = 0;   // pixels with a channel off by more than 40
};

Difference compare(const gfx::Image& a, const gfx::Image& b) {
  Difference d;
  long changed = 0;
  double sum = 0;
  for (int y = 0; y < a.pixelHeight(); ++y) {
    for (int x = 0; x < a.pixelWidth(); ++x) {
      const std::uint8_t* p = a.pixel(x, y);
      const std::uint8_t* q = b.pixel(x, y);
      int worst = 0;
      for (int c = 0; c < 4; ++c) {
        int diff = std::abs(p[c] - q[c]);
        sum += diff;
        worst = std::max(worst, diff);
      }
      if (worst > 40) ++changed;
    }
  }
  const double n = static_cast<double>(a.pixelWidth()) * a.pixelHeight();
  d.meanAbs = sum / (n * 4);
  d.shareChanged = changed / n;
  return d;
}

class DeskScreenshotTest : public desk_test::DeskTest {};

TEST_F(DeskScreenshotTest, TheDeskAfterAStrokeAtTwiceTheScale) {
  start(false, 2.0f);
  stroke(onPage(60, 220), onPage(320, 60), 12);
  gfx::Image shot = host->screenshot();
  ASSERT_EQ(shot.pixelWidth(), 960);
  ASSERT_EQ(shot.pixelHeight(), 640);
  const auto actual = std::filesystem::temp_directory_path() / "desk_stroke_actual@2x.png";
  auto reference = gfx::readImage(kReference);
  if (!reference) (void)gfx::writePNG(actual, shot);  // only a help to whoever looks
  ASSERT_TRUE(reference) << kReference << " missing; this run's picture is " << actual;
  ASSERT_EQ(reference->pixelWidth(), shot.pixelWidth());
  ASSERT_EQ(reference->pixelHeight(), shot.pixelHeight());
  Difference d = compare(shot, *reference);
  if (d.meanAbs >= 1.5 || d.shareChanged >= 0.005) {
    // Kept for a look at what changed.
    (void)gfx::writePNG(actual, shot);
  }
  EXPECT_LT(d.meanAbs, 1.5);
  EXPECT_LT(d.shareChanged, 0.005);
}

}  // namespace
