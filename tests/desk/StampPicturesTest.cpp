// The stamp tool's pictures at both scales, the named-image cache (read once,
// nil never stored, emptied on low memory) and the grid's row cell.
#include <gtest/gtest.h>

#include <fstream>

#include "desk/AlbumViewCell.h"
#include "desk/StampArt.h"
#include "desk/VTImageCache.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "platform/graphics/Image.h"
#include "platform/ui/HeadlessHost.h"
#include "support/Sandbox.h"

namespace fs = std::filesystem;

namespace {

class StampPicturesTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override {
    host = std::make_unique<ui::HeadlessHost>(false, 1.0f);
    VTImageCache::sharedCache().didReceiveMemoryWarning();
  }
  void TearDown() override {
    VTImageCache::sharedCache().didReceiveMemoryWarning();
    host.reset();
  }
  std::unique_ptr<ui::HeadlessHost> host;
};

long opaquePixels(const gfx::Image& img) {
  long n = 0;
  for (int y = 0; y < img.pixelHeight(); ++y)
    for (int x = 0; x < img.pixelWidth(); ++x) n += img.pixel(x, y)[3] > 200;
  return n;
}

TEST_F(StampPicturesTest, EveryPictureIsDrawnAtBothScales) {
  const auto names = stamp_art::names();
  for (const char* needed : {"Stamp_screen.png", "Stamp_border.png", "stamp_rotate.png", "Stamp_copy01.png",
                             "Stamp_copy02.png", "Stamp_paste01.png", "Stamp_cut02.png", "Stamp_album01.png",
                             "Stamp_clear02.png", "Stamp_shade01.png", "Stamp_rubbing01.png", "Stamp_rubbing02.png",
                             "Stamp_lasso01.png", "Stamp_lasso02.png", "Stamp_square.png", "Stamp_circle.png",
                             "Stamp_triangle.png", "icon_shapes.png", "stamp_library_open.png",
                             "stamp_library_download.png", "stamp_borderIn.png"})
    EXPECT_NE(std::find(names.begin(), names.end(), needed), names.end()) << needed;
  for (const std::string& name : names) {
    gfx::Image one = stamp_art::draw(name, 1);
    gfx::Image two = stamp_art::draw(name, 2);
    ASSERT_FALSE(one.empty()) << name;
    EXPECT_EQ(two.pixelWidth(), 2 * one.pixelWidth()) << name;
    EXPECT_EQ(two.pixelHeight(), 2 * one.pixelHeight()) << name;
    EXPECT_GT(opaquePixels(two) + (name == "Stamp_screen.png" ? 1 : 0), 0) << name << " shows something";
  }
  // The two states of a button differ.
  EXPECT_FALSE(stamp_art::draw("Stamp_lasso01.png", 1) == stamp_art::draw("Stamp_lasso02.png", 1));
  EXPECT_TRUE(stamp_art::draw("no_such.png", 1).empty());
}

TEST_F(StampPicturesTest, TheNineShapesAreDistinctMasks) {
  const auto shapes = stamp_art::shapeNames();
  ASSERT_EQ(shapes.size(), 9u);
  EXPECT_EQ(shapes.front(), "shape_01.png");
  EXPECT_EQ(shapes.back(), "shape_09.png");
  std::vector<gfx::Image> seen;
  for (const std::string& s : shapes) {
    gfx::Image img = stamp_art::draw(s, 1);
    ASSERT_FALSE(img.empty()) << s;
    const long inked = opaquePixels(img);
    // A shape: neither empty nor the whole square (except the square itself).
    EXPECT_GT(inked, 100 * 100 / 5) << s;
    EXPECT_LE(inked, 100 * 100) << s;
    // The corner is outside every shape but the square.
    if (s != "shape_01.png") {
      EXPECT_EQ(img.pixel(1, 1)[3], 0) << s;
    }
    for (const gfx::Image& other : seen) EXPECT_FALSE(img == other) << s;
    seen.push_back(img);
  }
}

TEST_F(StampPicturesTest, TheCacheReadsOnceAndKeepsNoMissingName) {
  VTImageCache& cache = VTImageCache::sharedCache();
  const std::size_t loadsBefore = cache.loads();
  ui::Picture first = VTImageCache::imageNamed("Stamp_border.png");
  ASSERT_FALSE(first.empty());
  ui::Picture second = VTImageCache::imageNamed("Stamp_border.png");
  EXPECT_EQ(first.shared(), second.shared()) << "the same picture, not read again";
  EXPECT_EQ(cache.loads(), loadsBefore + 1);

  EXPECT_TRUE(VTImageCache::imageNamed("not_in_the_bundle.png").empty());
  EXPECT_TRUE(VTImageCache::imageNamed("not_in_the_bundle.png").empty());
  EXPECT_TRUE(VTImageCache::imageNamed("").empty());
  EXPECT_EQ(cache.count(), 1u) << "a missing name is never stored";
  EXPECT_EQ(cache.loads(), loadsBefore + 1);
}

TEST_F(StampPicturesTest, ABundleFileIsReadOnceAndAgainAfterLowMemory) {
  // A picture put in the bundle folder under the exact name wins over the
  // drawn one, and after its first read the file is not needed again.
  const fs::path bundle = root() / "bundle";
  fs::create_directories(bundle);
  // Not through the environment: the GL driver's threads read it at any time.
  fd::paths::setResourcesOverride(bundle);
  gfx::Image red(4, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      std::uint8_t* p = red.pixel(x, y);
      p[0] = 255, p[1] = 0, p[2] = 0, p[3] = 255;
    }
  ASSERT_TRUE(gfx::writePNG(bundle / "rotoscroping_trim_limited@2x.png", red));
  ui::Picture p = VTImageCache::imageNamed("rotoscroping_trim_limited@2x.png");
  fs::remove(bundle / "rotoscroping_trim_limited@2x.png");
  ui::Picture again = VTImageCache::imageNamed("rotoscroping_trim_limited@2x.png");
  ASSERT_FALSE(again.empty()) << "answered from memory";
  EXPECT_EQ(again.image()->pixelWidth(), 4);

  fd::NotificationCenter::defaultCenter().post(fd::kLowMemoryNotification);
  EXPECT_EQ(VTImageCache::sharedCache().count(), 0u);
  EXPECT_TRUE(VTImageCache::imageNamed("rotoscroping_trim_limited@2x.png").empty()) << "read again, and gone";
  fd::paths::setResourcesOverride({});
}

class RecordingCellDelegate : public AlbumViewCellDelegate {
 public:
  void btnClick(ui::Button* button, AlbumViewCell* cell) override {
    tags.push_back(button->tag());
    cells.push_back(cell);
  }
  std::vector<int> tags;
  std::vector<AlbumViewCell*> cells;
};

TEST_F(StampPicturesTest, AShortRowHidesTheButtonsBeyondItsLastName) {
  auto cell = AlbumViewCell::initWithStyle("Cell");
  RecordingCellDelegate delegate;
  cell->setAlbumViewCellDelegate(&delegate);
  cell->setButtonImageAndTag({"shape_07.png", "shape_08.png"}, 2, 136, {}, true);
  const float w3 = 136.0f / 3;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(cell->btnAry()[i]->tag(), 6 + i);
    EXPECT_EQ(cell->imageViewAry()[i]->tag(), 6 + i);
    EXPECT_EQ(cell->btnAry()[i]->isHidden(), i == 2) << i;
    EXPECT_EQ(cell->imageViewAry()[i]->isHidden(), i == 2) << i;
    EXPECT_FLOAT_EQ(cell->btnAry()[i]->frame().x, 8.0f * i + 4 + i * (w3 - 5));
    EXPECT_FLOAT_EQ(cell->btnAry()[i]->frame().width, w3 - 20);
    EXPECT_FLOAT_EQ(cell->imageViewAry()[i]->frame().x, 8.0f * i + 2 + i * (w3 - 10));
  }
  EXPECT_EQ(cell->btnAry()[1]->currentImage().shared(), VTImageCache::imageNamed("shape_08.png").shared());

  // A pack row: pictures from the pack's folder, laid out larger.
  const fs::path pack = root() / "pack";
  fs::create_directories(pack);
  ASSERT_TRUE(gfx::writePNG(pack / "a.png", stamp_art::draw("shape_04.png", 1)));
  cell->setButtonImageAndTag({"a.png"}, 0, 136, pack, false);
  EXPECT_FALSE(cell->btnAry()[0]->isHidden());
  EXPECT_TRUE(cell->btnAry()[1]->isHidden());
  EXPECT_FLOAT_EQ(cell->btnAry()[0]->frame().width, w3 - 6);
  ASSERT_FALSE(cell->btnAry()[0]->currentImage().empty());
  EXPECT_EQ(cell->btnAry()[0]->currentImage().image()->pixelWidth(), 100);

  cell->btnAry()[0]->sendActionsForControlEvents(ui::TouchUpInside);
  ASSERT_EQ(delegate.tags, std::vector<int>{0});
  EXPECT_EQ(delegate.cells[0], cell.get());
}

}  // namespace
