// The built-in backgrounds the build draws: every name the gallery offers
// resolves to a readable picture and icon of the page's size, the pictures
// are scenes (smooth areas with real contrast, not noise or a flat fill), the
// looping sequences join their last picture to the first, the held one ends
// far from where it starts, and the desk steps an animated background with
// the pages while it plays.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <vector>

#include "desk/DeskTestSupport.h"
#include "model/Backgrounds.h"

namespace {

struct Sequence {
  const char* name;
  int count;
  bool loops;
};
constexpr const char* kStills[] = {"SSBackground000", "SSBackground001", "SSBackground002"};
constexpr Sequence kSequences[] = {
    {"SDBackground000_", 30, true},
    {"SDBackground001_", 31, true},
    {"SDBackground002_", 31, true},
    {"SCBackground000_", 30, false},
};

gfx::Image load(const std::optional<std::filesystem::path>& path) {
  EXPECT_TRUE(path.has_value());
  if (!path) return {};
  auto image = gfx::readImage(*path);
  EXPECT_TRUE(image.ok()) << *path << ": " << image.error();
  return image ? *image : gfx::Image{};
}

double luma(const std::uint8_t* p) { return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]; }

// Mean absolute luma difference of two pictures of one size.
double meanDifference(const gfx::Image& a, const gfx::Image& b) {
  double sum = 0;
  for (int y = 0; y < a.pixelHeight(); y += 2)
    for (int x = 0; x < a.pixelWidth(); x += 2) sum += std::fabs(luma(a.pixel(x, y)) - luma(b.pixel(x, y)));
  return sum / ((a.pixelHeight() / 2) * (a.pixelWidth() / 2));
}

// A scene: neighbouring pixels mostly alike (areas, not grain) while the
// whole picture spans a wide range of brightness.
void expectScene(const gfx::Image& img, const std::string& what) {
  double step = 0, sum = 0, sumSq = 0;
  long n = 0;
  for (int y = 0; y < img.pixelHeight(); ++y) {
    for (int x = 0; x + 1 < img.pixelWidth(); ++x) {
      const double l = luma(img.pixel(x, y));
      step += std::fabs(l - luma(img.pixel(x + 1, y)));
      sum += l;
      sumSq += l * l;
      ++n;
    }
  }
  const double mean = sum / n, deviation = std::sqrt(sumSq / n - mean * mean);
  EXPECT_LT(step / n, 4.0) << what << " is grainy";
  EXPECT_GT(deviation, 20.0) << what << " is nearly flat";
}

class BuiltInBackgroundsTest : public desk_test::DeskTest {};

TEST_F(BuiltInBackgroundsTest, StillsArePageSizedScenesWithIcons) {
  for (const char* name : kStills) {
    ASSERT_EQ(model().backgroundTypeWithBackgroundName(name), kBackgroundShippedStill);
    const gfx::Image picture = load(model().backgroundFullPathWithBackgroundName(std::string(name)));
    const gfx::Image icon = load(model().backgroundIconFullPathWithBackgroundName(std::string(name)));
    EXPECT_EQ(picture.pixelWidth(), 768);
    EXPECT_EQ(picture.pixelHeight(), 576);
    EXPECT_EQ(icon.pixelWidth(), 108);
    EXPECT_EQ(icon.pixelHeight(), 81);
    expectScene(picture, name);
  }
  // Three different scenes, not one drawn three times.
  const gfx::Image a = load(model().backgroundFullPathWithBackgroundName(std::string(kStills[0])));
  const gfx::Image b = load(model().backgroundFullPathWithBackgroundName(std::string(kStills[1])));
  const gfx::Image c = load(model().backgroundFullPathWithBackgroundName(std::string(kStills[2])));
  EXPECT_GT(meanDifference(a, b), 20.0);
  EXPECT_GT(meanDifference(b, c), 20.0);
  EXPECT_GT(meanDifference(a, c), 20.0);
}

TEST_F(BuiltInBackgroundsTest, EverySequencePictureExistsWithItsIcon) {
  for (const Sequence& s : kSequences) {
    std::set<std::filesystem::path> pictures;
    for (int page = 1; page <= s.count; ++page) {
      const auto picture = model().dynamicBackgroundFullPathWithBackgroundName(s.name, page);
      const auto icon = model().dynamicBackgroundIconFullPathWithBackgroundName(s.name, page);
      ASSERT_TRUE(picture.has_value()) << s.name << page;
      ASSERT_TRUE(icon.has_value()) << s.name << page;
      pictures.insert(*picture);
    }
    EXPECT_EQ(static_cast<int>(pictures.size()), s.count) << s.name;
    const gfx::Image first = load(model().dynamicBackgroundFullPathWithBackgroundName(s.name, 1));
    EXPECT_EQ(first.pixelWidth(), 768);
    EXPECT_EQ(first.pixelHeight(), 576);
    expectScene(first, s.name);
    const gfx::Image icon = load(model().dynamicBackgroundIconFullPathWithBackgroundName(s.name, s.count));
    EXPECT_EQ(icon.pixelWidth(), 108);
    EXPECT_EQ(icon.pixelHeight(), 81);
  }
}

TEST_F(BuiltInBackgroundsTest, LoopsMoveEveryPictureAndJoinSeamlessly) {
  for (const Sequence& s : kSequences) {
    if (!s.loops) continue;
    std::vector<gfx::Image> frames;
    for (int page = 1; page <= s.count; ++page)
      frames.push_back(load(model().dynamicBackgroundFullPathWithBackgroundName(s.name, page)));
    double largest = 0;
    for (int k = 0; k + 1 < s.count; ++k) {
      const double d = meanDifference(frames[k], frames[k + 1]);
      EXPECT_GT(d, 0.2) << s.name << " stands still at picture " << k;
      largest = std::max(largest, d);
    }
    // The step from the last picture back to the first is an ordinary step.
    const double wrap = meanDifference(frames.back(), frames.front());
    EXPECT_GT(wrap, 0.2) << s.name;
    EXPECT_LT(wrap, largest * 1.5 + 0.5) << s.name << " jumps where it loops";
  }
}

TEST_F(BuiltInBackgroundsTest, HeldSequenceChangesAndStopsOnItsLastPicture) {
  const Sequence& held = kSequences[3];
  const gfx::Image first = load(model().dynamicBackgroundFullPathWithBackgroundName(held.name, 1));
  const gfx::Image last = load(model().dynamicBackgroundFullPathWithBackgroundName(held.name, held.count));
  EXPECT_GT(meanDifference(first, last), 25.0);
  // Beyond the end the desk keeps showing the last picture.
  EXPECT_EQ(model().dynamicBackgroundFullPathWithBackgroundName(held.name, held.count + 5),
            model().dynamicBackgroundFullPathWithBackgroundName(held.name, held.count));
}

class AnimatedBackgroundPlaybackTest : public desk_test::DeskTest {
 protected:
  void prepareModel() override {
    while (static_cast<int>(project().imagesArray().size()) < 3) ASSERT_TRUE(project().createImageAtPage(1));
    ASSERT_TRUE(model().setBackground("SDBackground001_", {model().prjDataModel()}));
  }
};

TEST_F(AnimatedBackgroundPlaybackTest, TheBackgroundStepsWithThePages) {
  start();
  desk->pressPlayBtnEvent(desk->playerButton(DesktopManagerController::kTagLoop));
  desk->gotoFrame(0);
  ASSERT_EQ(curPage(), 1);
  desk->pressPlayBtnEvent(desk->playerButton(DesktopManagerController::kTagPlay));
  std::vector<int> pages;
  std::vector<double> shown;  // luma sum of a row of the background shown
  const gfx::Image reference = load(model().dynamicBackgroundFullPathWithBackgroundName("SDBackground001_", 1));
  for (int i = 0; i < 4; ++i) {
    const gfx::Image* img = desk->background()->image().image();
    ASSERT_NE(img, nullptr);
    pages.push_back(curPage());
    shown.push_back(meanDifference(*img, reference));
    const int page = curPage();
    for (int t = 0; t < 200 && curPage() == page; ++t) host->advance(0.01);
  }
  // Pages 1, 2, 3, 1: the background is picture 1, 2, 3 and picture 1 again.
  EXPECT_EQ(pages, (std::vector<int>{1, 2, 3, 1}));
  EXPECT_LT(shown[0], 0.01);
  EXPECT_GT(shown[1], 0.2);
  EXPECT_GT(shown[2], shown[1] * 0.5);
  EXPECT_LT(shown[3], 0.01);
}

}  // namespace
