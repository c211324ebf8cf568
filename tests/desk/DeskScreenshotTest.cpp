// The desk as a person sees it, against reference pictures within a
// tolerance (fonts and GL rounding may move a few pixels): after a stroke at
// 2x, and on both screens at both scales after strokes with every brush, with
// the layer and onion panels open, the stamp tool's Shapes grid and the
// background gallery with its edit bar. A picture that differs from its
// reference, or has none yet, is written to the temporary folder's
// "flipdesk-screens" to be looked at; references are kept small as 256-colour
// PNGs of the part of the screen each scene is about.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "canvas/DabRandom.h"
#include "desk/DeskTestSupport.h"
#include "desk/GraphToolView.h"
#include "desk/StampLibrary.h"
#include "platform/foundation/UserDefaults.h"

namespace {

namespace fs = std::filesystem;

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

// The part of a screenshot that a rectangle of screen points covers.
gfx::Image crop(const gfx::Image& shot, ui::Rect r) {
  const float s = static_cast<float>(shot.pixelWidth()) / ui::Screen::main().bounds().width;
  const int x0 = std::max(0, static_cast<int>(r.x * s)), y0 = std::max(0, static_cast<int>(r.y * s));
  const int x1 = std::min(shot.pixelWidth(), static_cast<int>((r.x + r.width) * s));
  const int y1 = std::min(shot.pixelHeight(), static_cast<int>((r.y + r.height) * s));
  gfx::Image out(std::max(1, x1 - x0), std::max(1, y1 - y0));
  for (int y = 0; y < out.pixelHeight(); ++y)
    for (int x = 0; x < out.pixelWidth(); ++x) std::copy_n(shot.pixel(x0 + x, y0 + y), 4, out.pixel(x, y));
  return out;
}

// Compares a picture with tests/data/<name>.png.
void expectLooksLike(const gfx::Image& actual, const std::string& name) {
  SCOPED_TRACE(name);
  const fs::path reference = fs::path(FLIPDESK_TEST_DATA) / (name + ".png");
  const fs::path out = fs::temp_directory_path() / "flipdesk-screens" / (name + ".png");
  auto keep = [&] {
    std::error_code ec;
    fs::create_directories(out.parent_path(), ec);
    (void)gfx::writePNG(out, actual);
  };
  auto expected = gfx::readImage(reference);
  if (!expected) keep();
  ASSERT_TRUE(expected) << reference << " missing; this run's picture is " << out;
  ASSERT_EQ(expected->pixelWidth(), actual.pixelWidth());
  ASSERT_EQ(expected->pixelHeight(), actual.pixelHeight());
  const Difference d = compare(actual, *expected);
  if (d.meanAbs >= 1.5 || d.shareChanged >= 0.005) keep();
  EXPECT_LT(d.meanAbs, 1.5) << "see " << out;
  EXPECT_LT(d.shareChanged, 0.005) << "see " << out;
}

class DeskScreenshotTest : public desk_test::DeskTest {
 protected:
  void SetUp() override {
    dab_random::seed(5);
    // The stamp library's list request goes nowhere: a closed port on this machine.
    fd::UserDefaults::standard().setObject(ResourceDownLoadManager::kServerDefaultsKey, "http://127.0.0.1:9");
    ResourceDownLoadManager::resetSharedForTesting();
  }
  void TearDown() override {
    desk_test::DeskTest::TearDown();
    ResourceDownLoadManager::resetSharedForTesting();
  }
  ui::Rect onScreen(ui::View* v, float margin = 0) {
    const ui::Rect r = v->convertRectTo(v->bounds(), nullptr);
    return {r.x - margin, r.y - margin, r.width + 2 * margin, r.height + 2 * margin};
  }
};

TEST_F(DeskScreenshotTest, TheDeskAfterAStrokeAtTwiceTheScale) {
  start(false, 2.0f);
  stroke(onPage(60, 220), onPage(320, 60), 12);
  gfx::Image shot = host->screenshot();
  ASSERT_EQ(shot.pixelWidth(), 960);
  ASSERT_EQ(shot.pixelHeight(), 640);
  expectLooksLike(shot, "desk_stroke@2x");
}

class DeskScenesTest : public DeskScreenshotTest, public ::testing::WithParamInterface<std::tuple<bool, float>> {
 protected:
  std::string suffix() const {
    return std::string(std::get<0>(GetParam()) ? "_tall" : "_short") + (std::get<1>(GetParam()) == 2 ? "@2x" : "@1x");
  }
};

TEST_P(DeskScenesTest, BrushesPanelsShapesAndGallery) {
  start(std::get<0>(GetParam()), std::get<1>(GetParam()));

  // A line with each pen, then the eraser and the smudge across them.
  for (int type = 1; type <= 6; ++type) {
    chooseBrush(type);
    const float y = 30 + 38.0f * type;
    host->drag(onPage(40, y), onPage(340, y), 60, 1.0 / 60);
    host->runUntilIdle();
  }
  chooseBrush(0);
  host->drag(onPage(120, 40), onPage(120, 270), 60, 1.0 / 60);
  chooseBrush(7);
  host->drag(onPage(240, 40), onPage(270, 270), 60, 1.0 / 60);
  host->runUntilIdle();
  expectLooksLike(host->screenshot(), "desk_brushes" + suffix());

  tapView(desk->groundBtn());
  expectLooksLike(crop(host->screenshot(), onScreen(desk->layerManagerView(), 6)), "desk_layers" + suffix());
  desk->layerManager()->setHidden(true);

  tapView(desk->onionBtn());
  expectLooksLike(crop(host->screenshot(), onScreen(desk->onionSkinView(), 6)), "desk_onion" + suffix());
  desk->skin()->setHidden(true);

  tapView(desk->toolBtn());
  tapView(desk->stampBtn());
  GraphToolView& tool = *desk->graphToolView();
  tapView(tool.albumBtn());
  tapView(tool.downLoadTable()->cellForRow({0, 0}));
  expectLooksLike(crop(host->screenshot(), onScreen(&tool, 4)), "desk_shapes" + suffix());
  desk->respondGraphToolHiddenEvent();
  host->runUntilIdle();

  tapView(desk->groundBtn());
  tapView(desk->backgroundRowButton());
  BackgroundsView& gallery = *desk->backgroundsView();
  tapView(gallery.cellNamed("SSBackground000")->selectedButton());
  gallery.iconLoads().drain();
  host->runUntilIdle();
  expectLooksLike(crop(host->screenshot(), onScreen(desk->backgroundCloseButton()->superview(), 2)),
                  "desk_gallery" + suffix());
}

INSTANTIATE_TEST_SUITE_P(Screens, DeskScenesTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(1.0f, 2.0f)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) ? "Tall" : "Short") +
                                  (std::get<1>(info.param) == 2 ? "TwoX" : "OneX");
                         });

}  // namespace
