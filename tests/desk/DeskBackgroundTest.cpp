// Background mode on the desk: a user background opened from the gallery is
// painted with the canvas and written to its own file, leaving the mode
// through the layer panel attaches it to the project and brings the pages
// back, built-in backgrounds are never written over, a picture without
// pixels is refused by the gallery, and the layer panel's two marks tell
// whether a background picture is shown and whether it is being painted.
#include <functional>

#include "desk/BackgroundsView.h"
#include "desk/DeskArt.h"
#include "desk/DeskTestSupport.h"
#include "model/Backgrounds.h"
#include "platform/foundation/FileUtil.h"

namespace {

class DeskBackgroundTest : public desk_test::DeskTest {
 protected:
  void prepareModel() override {
    while (static_cast<int>(project().imagesArray().size()) < 4) ASSERT_TRUE(project().createImageAtPage(1));
  }
  BackgroundsView& openGallery() {
    // The layer panel stays up after a row is chosen; open it when it is not.
    if (!desk->layerManager() || desk->layerManager()->isHidden()) tapView(desk->groundBtn());
    tapView(desk->backgroundRowButton());
    return *desk->backgroundsView();
  }
  // Creates an empty user background in the gallery and opens it for
  // painting with a double tap.
  std::string paintNewBackground() {
    BackgroundsView& g = openGallery();
    tapView(g.backgroundsArray().back()->newButton());
    g.createBackground();
    const std::string name = model().backgroundArray().back();
    doubleTap(g.cellNamed(name));
    return name;
  }
  // Two taps on a cell within a double tap's time: a user background opens.
  void doubleTap(BackgroundView* cell) {
    tapView(cell->selectedButton());
    host->advance(0.05);
    tapView(cell->selectedButton());
  }
};

TEST_F(DeskBackgroundTest, PaintingInBackgroundModeWritesTheBackgroundFile) {
  start();
  const std::string name = paintNewBackground();
  ASSERT_TRUE(settings().isBackground());
  EXPECT_EQ(desk->pageIndicator()->text(), "001/001");
  EXPECT_EQ(canvasAlphaAt(100, 100), 0);  // a new background starts empty
  stroke(onPage(60, 100), onPage(300, 100));
  EXPECT_GT(canvasAlphaAt(180, 100), 0);
  const auto picture = *model().backgroundFullPathWithBackgroundName(name);
  const auto icon = *model().backgroundIconFullPathWithBackgroundName(name);
  // Pages are untouched while the background is painted.
  const auto page1 = project().layFullPathAtPage(1, false, desk->contentPattern() == 1 ? 2 : 1);
  const bool pageHadFile = page1 && fd::files::exists(*page1);

  // Back to a layer through the layer panel: the background is written,
  // attached to the project and the pages return.
  tapView(desk->groundBtn());
  tapView(desk->foregroundRowBtn());
  EXPECT_FALSE(settings().isBackground());
  EXPECT_GT(inkedPixels(picture), 500);
  EXPECT_TRUE(fd::files::exists(icon));
  EXPECT_EQ(project().curBackgroundName(), name);
  ASSERT_TRUE(project().backgroundFullPath().has_value());
  EXPECT_GT(inkedPixels(*project().backgroundFullPath()), 500);
  EXPECT_FALSE(desk->background()->image().empty());
  EXPECT_EQ(desk->pageIndicator()->text(), "00" + std::to_string(curPage()) + "/004");
  EXPECT_FALSE(desk->pageIndicator()->isHidden());
  EXPECT_FALSE(desk->frameManagerBtn()->isHidden());
  EXPECT_EQ(page1 && fd::files::exists(*page1), pageHadFile);
  EXPECT_EQ(canvasAlphaAt(180, 100), 0);  // the page's layer, not the background
}

TEST_F(DeskBackgroundTest, ReopeningABackgroundPaintsOnWhatWasThere) {
  start();
  const std::string name = paintNewBackground();
  stroke(onPage(60, 50), onPage(300, 50));
  tapView(desk->groundBtn());
  tapView(desk->foregroundRowBtn());
  ASSERT_FALSE(settings().isBackground());
  BackgroundsView& g = openGallery();
  ASSERT_TRUE(g.cellNamed(name)->selected());  // the project's background
  ASSERT_EQ(desk->state(), 1);
  ASSERT_FALSE(g.editButton(BackgroundsView::kTagEdit)->isHidden());
  ASSERT_TRUE(g.editButton(BackgroundsView::kTagEdit)->isEnabled());
  ASSERT_NE(g.window(), nullptr);
  tapView(g.editButton(BackgroundsView::kTagEdit));
  ASSERT_TRUE(settings().isBackground());
  EXPECT_GT(canvasAlphaAt(180, 50), 0);
}

// The edited layer's eye belongs to the page: with the foreground hidden, a
// background opened for painting is on show and takes strokes, and the
// hidden foreground comes back with its picture when the mode is left.
TEST_F(DeskBackgroundTest, AHiddenEditedLayerNeitherHidesNorLocksTheBackground) {
  start();
  stroke(onPage(60, 200), onPage(300, 200));
  tapView(desk->groundBtn());
  tapView(desk->fVisibleBtn());
  ASSERT_TRUE(desk->canvasView()->isHidden());
  paintNewBackground();
  ASSERT_TRUE(settings().isBackground());
  EXPECT_FALSE(desk->canvasView()->isHidden());
  EXPECT_TRUE(desk->isCanDraw());
  stroke(onPage(60, 100), onPage(300, 100));
  EXPECT_GT(canvasAlphaAt(180, 100), 0);
  tapView(desk->groundBtn());
  tapView(desk->foregroundRowBtn());
  ASSERT_FALSE(settings().isBackground());
  EXPECT_TRUE(desk->canvasView()->isHidden()) << "the foreground is still hidden on its page";
  EXPECT_FALSE(desk->isCanDraw());
  EXPECT_GT(canvasAlphaAt(180, 200), 0) << "and still holds its strokes";
  EXPECT_EQ(canvasAlphaAt(180, 100), 0);
}

// Fault: the background writer wrote wherever the model's path for the name
// pointed, which for a built-in background is the application's own file.
TEST_F(DeskBackgroundTest, BuiltInBackgroundsAreNeverWrittenOver) {
  start();
  for (const char* builtIn : {"SSBackground000", "SDBackground000_", "SCBackground000_"}) {
    const auto file = builtIn[1] == 'S' ? *model().backgroundFullPathWithBackgroundName(std::string(builtIn))
                                        : *model().dynamicBackgroundFullPathWithBackgroundName(builtIn, 1);
    const auto before = testing_support::fileBytes(file);
    ASSERT_TRUE(before.has_value());
    settings().setIsBackground(true);
    settings().setBackgroundName(std::string(builtIn));
    stroke(onPage(60, 100), onPage(300, 100));
    ASSERT_GT(canvasAlphaAt(180, 100), 0);
    EXPECT_FALSE(desk->drawsView()->writeToFileForBackground()) << builtIn;
    EXPECT_EQ(testing_support::fileBytes(file), before) << builtIn;
    settings().setIsBackground(false);
  }
}

// Fault: a picked picture without pixels became a user background with an
// empty picture file.
TEST_F(DeskBackgroundTest, APictureWithoutPixelsIsRefused) {
  start();
  BackgroundsView& g = openGallery();
  const std::size_t cells = g.backgroundsArray().size();
  EXPECT_EQ(g.addBackgroundWithImage(gfx::Image()), std::nullopt);
  EXPECT_EQ(g.addBackgroundWithImage(gfx::Image(0, 288)), std::nullopt);
  EXPECT_TRUE(model().backgroundArray().empty());
  EXPECT_EQ(g.backgroundsArray().size(), cells);
  EXPECT_TRUE(fd::files::contentsOfDirectory(model().backgroundPath()).empty());
}

TEST_F(DeskBackgroundTest, AttachingAStillNameLeavesOrReplacesTheProjectsCopy) {
  start();
  const std::string user = paintNewBackground();
  stroke(onPage(60, 100), onPage(300, 100));
  tapView(desk->groundBtn());
  tapView(desk->foregroundRowBtn());
  const auto copy = *project().backgroundFullPath();
  const auto bytes = testing_support::fileBytes(copy);
  ASSERT_TRUE(bytes.has_value());
  // A built-in still: the name changes, the project's copy stays as it was.
  desk->updateCurProjectBackground(std::string("SSBackground001"));
  EXPECT_EQ(project().backgroundType(), kBackgroundShippedStill);
  EXPECT_EQ(testing_support::fileBytes(copy), bytes);
  // No name: the copy and its icon go.
  desk->updateCurProjectBackground(std::nullopt);
  EXPECT_FALSE(fd::files::exists(copy));
  // The user's picture again: copied back.
  desk->updateCurProjectBackground(user);
  EXPECT_EQ(testing_support::fileBytes(copy), bytes);
}

TEST_F(DeskBackgroundTest, TheLayerPanelsMarksFollowTheBackground) {
  start();
  ui::ImageView* shown = desk->backgroundAddState();
  ui::ImageView* painting = desk->backgroundEditState();
  ASSERT_TRUE(shown && painting);
  // Two pictures of their own, seen only while highlighted.
  ASSERT_FALSE(shown->highlightedImage().empty());
  ASSERT_FALSE(painting->highlightedImage().empty());
  EXPECT_NE(shown->highlightedImage().shared(), painting->highlightedImage().shared());
  EXPECT_NE(shown->highlightedImage().shared(), desk_art::named("panel_selection.png").shared());
  auto marks = [&] { return std::pair{shown->isHighlighted(), painting->isHighlighted()}; };
  auto closeOn = [&](const char* name) {
    BackgroundsView& g = openGallery();
    tapView(g.cellNamed(name)->selectedButton());
    host->advance(0.5);
    tapView(desk->backgroundCloseButton());
  };
  EXPECT_TRUE(shown->currentImage().empty());
  EXPECT_EQ(marks(), std::pair(false, false));  // a new project has no picture

  // Chosen: a built-in still, then an animated one through its pages.
  closeOn("SSBackground001");
  EXPECT_EQ(marks(), std::pair(true, false));
  EXPECT_FALSE(shown->currentImage().empty());
  closeOn("SCBackground000_");
  EXPECT_EQ(marks(), std::pair(true, false));
  tapView(desk->previousFrameBtn());
  host->advance(1.0);
  EXPECT_EQ(marks(), std::pair(true, false));

  // Painted: only the painting mark; left: the painted picture is shown.
  const std::string user = paintNewBackground();
  EXPECT_EQ(marks(), std::pair(false, true));
  stroke(onPage(60, 100), onPage(300, 100));
  tapView(desk->groundBtn());
  tapView(desk->foregroundRowBtn());
  EXPECT_EQ(marks(), std::pair(true, false));
  // Opened again, now with a picture the project has a copy of.
  BackgroundsView& again = openGallery();
  ASSERT_TRUE(again.cellNamed(user)->selected());
  tapView(again.editButton(BackgroundsView::kTagEdit));
  ASSERT_TRUE(settings().isBackground());
  EXPECT_EQ(marks(), std::pair(false, true));
  tapView(desk->groundBtn());
  tapView(desk->foregroundRowBtn());
  EXPECT_EQ(marks(), std::pair(true, false));

  // Deleted from the gallery: the project keeps its copy, still shown.
  BackgroundsView& g = openGallery();
  ASSERT_TRUE(g.cellNamed(user)->selected());
  g.deleteSelected();
  tapView(desk->backgroundCloseButton());
  EXPECT_EQ(project().curBackgroundName(), user);
  EXPECT_EQ(marks(), std::pair(true, false));

  // Imported: the project's background is not changed by it.
  gfx::Image photo(384, 288);
  EXPECT_TRUE(openGallery().addBackgroundWithImage(photo).has_value());
  tapView(desk->backgroundCloseButton());
  EXPECT_EQ(marks(), std::pair(true, false));

  // No background any more: no picture, no mark.
  desk->updateCurProjectBackground(std::nullopt);
  desk->modifyProjectSetting();
  EXPECT_TRUE(desk->background()->image().empty());
  EXPECT_EQ(marks(), std::pair(false, false));
}

// The gallery is built once and kept by the desk: each time it is opened,
// its cells show the icons as they are on disk. A cell kept the icon it read
// when first shown, so a background painted again showed its older picture
// until the desk was built anew.
TEST_F(DeskBackgroundTest, TheGallerysCellsShowEachBackgroundsIconAsLastPainted) {
  start();
  auto galleryIcon = [&](const std::string& name) -> std::optional<gfx::Image> {
    BackgroundsView& g = *desk->backgroundsView();
    g.iconLoads().drain();
    host->runUntilIdle();
    BackgroundView* cell = g.cellNamed(name);
    if (!cell || !cell->imageView()->image().image()) return std::nullopt;
    return *cell->imageView()->image().image();
  };
  auto iconOnDisk = [&](const std::string& name) {
    const ui::Picture icon = ui::Picture::fromFile(*model().backgroundIconFullPathWithBackgroundName(name));
    return icon.image() ? std::optional(*icon.image()) : std::nullopt;
  };
  // Painted three times, each with a stroke of its own, the gallery open in
  // between; the painting opened each time another way.
  std::string name;
  const struct {
    const char* how;
    std::function<void()> open;
    ui::Point from, to;
  } paintings[] = {
      {"made in the gallery", [&] { name = paintNewBackground(); }, onPage(60, 60), onPage(300, 60)},
      {"its edit button", [&] { tapView(desk->backgroundsView()->editButton(BackgroundsView::kTagEdit)); },
       onPage(60, 230), onPage(300, 230)},
      {"a double tap on its cell", [&] { doubleTap(desk->backgroundsView()->cellNamed(name)); }, onPage(200, 20),
       onPage(200, 270)},
  };
  std::optional<gfx::Image> before;
  for (const auto& painting : paintings) {
    SCOPED_TRACE(std::string("painted, opened by ") + painting.how);
    painting.open();
    ASSERT_TRUE(settings().isBackground());
    stroke(painting.from, painting.to);
    tapView(desk->groundBtn());
    tapView(desk->foregroundRowBtn());
    ASSERT_FALSE(settings().isBackground());
    const std::optional<gfx::Image> painted = iconOnDisk(name);
    ASSERT_TRUE(painted.has_value());
    ASSERT_TRUE(painted != before) << "the stroke is not in the icon on disk";
    openGallery();
    EXPECT_TRUE(galleryIcon(name) == painted) << "the cell shows the icon from before this painting";
    before = painted;
  }
}

// Fault: a layer's eye switched while the background was being painted
// recomposed the page's snapshot (onion skin, playback, thumbnails) with the
// background painting in place of the page's edited layer.
TEST_F(DeskBackgroundTest, ALayersEyeWhilePaintingTheBackgroundKeepsThePagesOwnSnapshot) {
  start();
  stroke(onPage(60, 200), onPage(300, 200));  // the last page's foreground
  const std::string name = paintNewBackground();
  ASSERT_TRUE(settings().isBackground());
  stroke(onPage(60, 100), onPage(300, 100));  // the background
  tapView(desk->groundBtn());
  tapView(desk->mVisibleBtn());
  ASSERT_FALSE(project().layIsOpenAtPage(curPage(), 1, false));
  auto snapshot = gfx::readImage(*project().snapshotFullPathAtPage(curPage(), false));
  ASSERT_TRUE(snapshot.ok());
  EXPECT_GT(snapshot->pixel(180, 200)[3], 100) << "the page's own stroke";
  EXPECT_EQ(snapshot->pixel(180, 100)[3], 0) << "the background is no layer of the page";
  tapView(desk->foregroundRowBtn());
  ASSERT_FALSE(settings().isBackground());
  EXPECT_GT(canvasAlphaAt(180, 200), 100);
  EXPECT_EQ(canvasAlphaAt(180, 100), 0);
}

}  // namespace
