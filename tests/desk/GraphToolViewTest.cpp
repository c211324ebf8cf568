// The stamp and shape tool on a headless desk, driven through the real view
// tree: showing and hiding it, copy and paste, cut with and without a lasso,
// every shape in the current colour, pack stamps and the colour change,
// rubbing, dragging, resizing and turning, and the picture cache on low
// memory.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "desk/DeskTestSupport.h"
#include "desk/GraphToolView.h"
#include "desk/StampArt.h"
#include "desk/StampLibrary.h"
#include "desk/VTImageCache.h"
#include "net/JSON.h"
#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Standins.h"
#include "services/VTSystemManager.h"
#include "support/KeptCopies.h"

namespace fs = std::filesystem;

namespace {

// A page with an opaque square at page points (150..240, 100..200).
gfx::Image pageWithSquare() {
  gfx::Context c(384, 288, 1.0f);
  c.setFillColor({0.1f, 0.6f, 0.2f, 1});
  c.fillRect({150, 100, 90, 100});
  return c.makeImage(true);
}

class GraphToolViewTest : public desk_test::DeskTest {
 protected:
  void SetUp() override {
    // The library's list request goes nowhere: a closed port on this machine.
    fd::UserDefaults::standard().setObject(ResourceDownLoadManager::kServerDefaultsKey, "http://127.0.0.1:9");
    ResourceDownLoadManager::resetSharedForTesting();
    VTSystemManager::resetSharedManagerForTesting();
  }
  void TearDown() override {
    desk_test::DeskTest::TearDown();
    ResourceDownLoadManager::resetSharedForTesting();
    VTSystemManager::resetSharedManagerForTesting();
  }

  // The stamp button lives in the tools drawer, which closes when it is pressed.
  void pressStamp() {
    const ui::Rect r = desk->stampBtn()->convertRectTo(desk->stampBtn()->bounds(), nullptr);
    if (desk->stampBtn()->window() == nullptr || r.x < 0 || r.x + r.width > desk->view()->bounds().width)
      tapView(desk->toolBtn());
    tapView(desk->stampBtn());
  }
  GraphToolView& showTool() {
    pressStamp();
    GraphToolView* tool = desk->graphToolView();
    EXPECT_NE(tool, nullptr);
    return *tool;
  }
  void loadSquare() {
    gfx::Image page = pageWithSquare();
    desk->drawsView()->setImage(&page, gfx::Rect{0, 0, 384, 288});
    host->runUntilIdle();
  }
  // The tool's window on the page, in page points.
  ui::Rect windowOnPage(GraphToolView& tool) {
    return tool.drawView()->convertRectTo(tool.drawView()->bounds(), desk->drawsView());
  }
  ui::Point onScreen(ui::View* v, ui::Point p) { return v->convertPointTo(p, nullptr); }
  ui::Point centreOnScreen(ui::View* v) {
    const ui::Rect b = v->bounds();
    return onScreen(v, {b.width / 2, b.height / 2});
  }
  void press(ui::Button* b) {
    ASSERT_NE(b->superview(), nullptr) << "the button is not on show";
    tapView(b);
  }
  // Drags a finger through the points (screen points).
  void trace(const std::vector<ui::Point>& pts) {
    host->touchDown(1, pts.front());
    host->advance(1.0 / 60);
    for (std::size_t i = 1; i < pts.size(); ++i) {
      host->touchMove(1, pts[i]);
      host->advance(1.0 / 60);
    }
    host->touchUp(1, pts.back());
    host->runUntilIdle();
  }
  static int alphaOf(const gfx::Image& img, float x, float y) {
    const float s = img.scale();
    return img.pixel(static_cast<int>(x * s), static_cast<int>(y * s))[3];
  }
  // The undo and redo buttons live in the tools drawer: open it, press, and
  // close it again by a touch beside the drawer and the page.
  void pressInDrawer(ui::Button* b) {
    if (!desk->tools() || desk->tools()->frame().x != 0) tapView(desk->toolBtn());
    tapView(b);
    host->tap({desk->view()->bounds().width - 3, 3});
    host->runUntilIdle();
  }
  gfx::Image canvasPicture() { return *desk->drawsView()->image(); }
  // The square on the page and the tool over it, its lasso on.
  GraphToolView& squareUnderTheLasso() {
    start();
    loadSquare();
    GraphToolView& tool = showTool();
    press(tool.arbitraryClipBtn());
    return tool;
  }
  // A lasso outline around page points (170..210, 120..160), in screen points.
  std::vector<ui::Point> squareOutline(GraphToolView& tool) {
    const ui::Rect w = windowOnPage(tool);
    std::vector<ui::Point> outline;
    for (ui::Point p : {ui::Point{170, 120}, ui::Point{210, 120}, ui::Point{210, 160}, ui::Point{170, 160}, ui::Point{170, 121}})
      outline.push_back(onScreen(tool.pathView(), {p.x - w.x, p.y - w.y}));
    return outline;
  }
  const gfx::Image& held(GraphToolView& tool) {
    static const gfx::Image none;
    const gfx::Image* img = tool.maskView()->image().image();
    return img ? *img : none;
  }
  void chooseShape(GraphToolView& tool, int index) {
    if (tool.clearBtn()->superview()) press(tool.clearBtn());
    press(tool.albumBtn());
    ASSERT_EQ(tool.downLoadTable()->superview(), &tool);
    ui::TableViewCell* shapesRow = tool.downLoadTable()->cellForRow({0, 0});
    ASSERT_NE(shapesRow, nullptr);
    tapView(shapesRow);
    ASSERT_EQ(tool.albumTable()->superview(), &tool) << "the grid shows";
    ui::TableViewCell* row = tool.albumTable()->cellForRow({0, index / 3});
    ASSERT_NE(row, nullptr);
    tapView(static_cast<AlbumViewCell*>(row)->btnAry()[static_cast<std::size_t>(index % 3)].get());
  }
};

TEST_F(GraphToolViewTest, ShowingAndHidingReusesOnePanelAndCountsEachShow) {
  start();
  GraphToolView& tool = showTool();
  EXPECT_TRUE(desk->stampBtn()->isSelected());
  EXPECT_GE(desk->tools()->frame().x, desk->view()->bounds().width) << "the drawer closed";
  EXPECT_FLOAT_EQ(desk->stampBtn()->alpha(), 0.4f);
  EXPECT_EQ(tool.superview(), desk->view());
  EXPECT_FALSE(tool.isHidden());
  EXPECT_EQ(tool.center(), (ui::Point{240, 160}));
  EXPECT_TRUE(tool.transform() == gfx::AffineTransform::identity());
  EXPECT_TRUE(tool.isPrint());
  EXPECT_EQ(tool.btnTag(), GraphToolView::kNoShape);
  // The capture interface.
  for (ui::Button* b : {tool.cutBtn(), tool.duplicateBtn(), tool.openLibraryBtn(), tool.albumBtn(), tool.arbitraryClipBtn()})
    EXPECT_EQ(b->superview(), &tool);
  for (ui::Button* b : {tool.pasteBtn(), tool.clearBtn(), tool.rubBtn(), tool.rectangle(), tool.round(), tool.triangle()})
    EXPECT_EQ(b->superview(), nullptr);

  pressStamp();
  EXPECT_TRUE(tool.isHidden());
  EXPECT_FALSE(desk->stampBtn()->isSelected());
  EXPECT_FLOAT_EQ(desk->stampBtn()->alpha(), 1.0f);
  GraphToolView* first = &tool;
  EXPECT_EQ(&showTool(), first) << "the same panel";
  // The exit area closes the tool itself.
  tapView(tool.exitBtn());
  EXPECT_TRUE(tool.isHidden());

  const fd::Value record = VTSystemManager::sharedManager().record();
  EXPECT_EQ(record["Events"]["StampTools.iPhone.Zoetra"].intValue(), 2);
  EXPECT_EQ(record["TimedEvents"]["StampTools_time.iPhone.Zoetra"]["Count"].intValue(), 2);
}

// The tool counts its showing in the statistics record and reads the pack
// lists. A record or a pack list just past the size bound once became a
// fresh file of a few hundred bytes when the tool opened, untold: each is
// kept under a free name and told, and what the tool writes goes beside it.
TEST_F(GraphToolViewTest, OpeningTheToolKeepsListsPastTheSizeBoundAndTellsThem) {
  const fs::path record = VTSystemManager::recordPath();
  const fs::path packs = fd::paths::library() / "stampDownloadlist";
  const std::uintmax_t size = fd::kMaxPropertyListBytes + (std::uintmax_t{1} << 17);  // 64.1 MB
  fs::create_directories(record.parent_path());
  const std::string record_text = fd::serializePropertyListXML(fd::Value(fd::Dictionary{{"Events", fd::Dictionary{}}}));
  const std::string packs_text = fd::serializePropertyListXML(fd::Value(fd::Array{}));
  std::ofstream(record, std::ios::binary) << record_text << std::string(size - record_text.size(), '\n');
  std::ofstream(packs, std::ios::binary) << packs_text << std::string(size - packs_text.size(), '\n');
  start();
  fd::takeDamagedFileReports();
  showTool();
  pressStamp();
  host->runUntilIdle();

  std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  std::sort(reports.begin(), reports.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].name, "events.plist");
  EXPECT_EQ(reports[1].name, "stampDownloadlist");
  for (const fd::DamagedFileReport& report : reports) {
    EXPECT_EQ(report.reason, "the file is 64.1 MiB, larger than the 64 MiB it may be");
    ASSERT_EQ(testing_support::keptCopies(report.file), std::vector<fs::path>{report.keptAs});
    EXPECT_EQ(fs::file_size(report.keptAs), size);
  }
  const fd::Expected<fd::Value> counted = fd::readPropertyList(record);
  ASSERT_TRUE(counted) << counted.error();
  EXPECT_EQ((*counted)["Events"]["StampTools.iPhone.Zoetra"].intValue(), 1);
}

TEST_F(GraphToolViewTest, CopyMovesWithTheToolAndPastesAtItsNewPlace) {
  start();
  loadSquare();
  GraphToolView& tool = showTool();
  const ui::Rect w = windowOnPage(tool);
  ASSERT_LT(w.x, 150);
  ASSERT_GT(w.x + w.width, 240);
  press(tool.duplicateBtn());
  ASSERT_FALSE(held(tool).empty());
  // The square as seen through the window, upright.
  EXPECT_EQ(alphaOf(held(tool), 195 - w.x, 150 - w.y), 255);
  EXPECT_EQ(alphaOf(held(tool), 5, 5), 0);
  EXPECT_EQ(tool.pasteBtn()->superview(), &tool) << "the stamp interface";
  EXPECT_EQ(desk->drawsView()->image()->pixel(195, 150)[3], 255) << "a copy leaves the canvas alone";

  // Drag the tool 100 points to the left by its window.
  const ui::Point grip = centreOnScreen(tool.drawView());
  host->drag(grip, {grip.x - 100, grip.y}, 10);
  host->runUntilIdle();
  EXPECT_NEAR(tool.center().x, 140, 0.5);
  EXPECT_EQ(canvasAlphaAt(95, 150), 0);
  press(tool.pasteBtn());
  EXPECT_EQ(canvasAlphaAt(95, 150), 255) << "the square stamped where the window is now";
  EXPECT_EQ(canvasAlphaAt(45, 150), 0);
  EXPECT_TRUE(desk->drawsView()->operated());
  EXPECT_FALSE(held(tool).empty()) << "paste may be repeated";
}

TEST_F(GraphToolViewTest, CutWithoutLassoLeavesATransparentHoleAndHoldsThePiece) {
  start();
  loadSquare();
  GraphToolView& tool = showTool();
  desk->drawsView()->setOperated(false);
  const ui::Rect w = windowOnPage(tool);
  press(tool.cutBtn());
  EXPECT_EQ(canvasAlphaAt(195, 150), 0) << "cut out";
  EXPECT_EQ(canvasAlphaAt(w.x + 3, w.y + 3), 0);
  EXPECT_TRUE(desk->drawsView()->operated());
  EXPECT_TRUE(desk->undoBtn()->isEnabled()) << "the cut is an undo step";
  EXPECT_EQ(alphaOf(held(tool), 195 - w.x, 150 - w.y), 255) << "the piece is held";
  EXPECT_EQ(tool.pasteBtn()->superview(), &tool);

  // Turned by an eighth, the cut is the turned window: a diamond reaching
  // above the upright window and leaving its corners.
  press(tool.clearBtn());
  gfx::Context full(384, 288, 1.0f);
  full.setFillColor({0.2f, 0.2f, 0.8f, 1});
  full.fillRect({0, 0, 384, 288});
  gfx::Image page = full.makeImage(true);
  desk->drawsView()->setImage(&page, gfx::Rect{0, 0, 384, 288});
  tool.setAngle(static_cast<float>(M_PI / 4));
  tool.adjustmentControlFrame(false);
  press(tool.cutBtn());
  const ui::Point c{w.x + w.width / 2, w.y + w.height / 2};
  EXPECT_EQ(canvasAlphaAt(c.x, c.y), 0);
  EXPECT_EQ(canvasAlphaAt(c.x, c.y - 88), 0) << "the diamond's top lies above the upright window";
  EXPECT_LT(c.y - 88, w.y);
  EXPECT_EQ(canvasAlphaAt(w.x + 4, w.y + 4), 255) << "the upright window's corner is outside the diamond";
  EXPECT_EQ(canvasAlphaAt(c.x, c.y - 110), 255);

  // Cut turned and pasted back in place, the square is whole again and
  // nothing lands beside it: the piece turns the way the window does.
  press(tool.clearBtn());
  loadSquare();
  tool.setAngle(0.5f);
  tool.adjustmentControlFrame(false);
  press(tool.cutBtn());
  EXPECT_EQ(canvasAlphaAt(195, 150), 0);
  press(tool.pasteBtn());
  for (ui::Point p : {ui::Point{155, 105}, ui::Point{235, 105}, ui::Point{155, 195}, ui::Point{235, 195}, ui::Point{195, 150}})
    EXPECT_GT(canvasAlphaAt(p.x, p.y), 200) << p.x << "," << p.y;
  for (ui::Point p : {ui::Point{195, 94}, ui::Point{195, 206}, ui::Point{144, 150}, ui::Point{246, 150}})
    EXPECT_LT(canvasAlphaAt(p.x, p.y), 50) << p.x << "," << p.y;
}

TEST_F(GraphToolViewTest, CutWithALassoKeepsTheOutsideAndSavesTheInsideToTheAlbum) {
  start();
  loadSquare();
  GraphToolView& tool = showTool();
  const std::size_t pictures = ui::photoLibraryPictures().size();
  press(tool.arbitraryClipBtn());
  ASSERT_TRUE(tool.arbitraryClipBtn()->isSelected());
  ASSERT_NE(tool.pathView(), nullptr);
  const ui::Rect w = windowOnPage(tool);
  // An outline around page points (170..210, 120..160), inside the square.
  const std::vector<ui::Point> outline = squareOutline(tool);
  trace(outline);
  ASSERT_TRUE(tool.pathView()->dotline()) << "a finished outline";
  EXPECT_FALSE(tool.albumBtn()->isEnabled()) << "no pack list while an outline is up";
  press(tool.cutBtn());
  host->runUntilIdle();
  EXPECT_EQ(canvasAlphaAt(190, 140), 0) << "inside the outline: cut";
  EXPECT_EQ(canvasAlphaAt(230, 190), 255) << "outside the outline, inside the window: kept";
  EXPECT_EQ(canvasAlphaAt(160, 110), 255);
  EXPECT_EQ(alphaOf(held(tool), 190 - w.x, 140 - w.y), 255) << "the inside is held";
  EXPECT_EQ(alphaOf(held(tool), 230 - w.x, 190 - w.y), 0);
  EXPECT_EQ(ui::photoLibraryPictures().size(), pictures + 1) << "the inside went to the album";

  // An outline drawn over a held picture trims it and leaves the canvas alone.
  press(tool.clearBtn());
  loadSquare();
  press(tool.duplicateBtn());
  ASSERT_FALSE(held(tool).empty());
  tool.addSubview(tool.pathView()->self());
  tool.pathView()->setUserInteractionEnabled(true);
  trace(outline);
  EXPECT_EQ(alphaOf(held(tool), 190 - w.x, 140 - w.y), 255);
  EXPECT_EQ(alphaOf(held(tool), 230 - w.x, 190 - w.y), 0) << "trimmed to the outline";
  EXPECT_EQ(canvasAlphaAt(230, 190), 255);
  EXPECT_EQ(canvasAlphaAt(190, 140), 255);
}

// A cut is one undo step of the canvas: undo brings the piece back and the
// strokes drawn before the cut can still be undone and redone.
TEST_F(GraphToolViewTest, AStampCutIsOneUndoStepAfterTheStrokesBeforeIt) {
  start();
  stroke(onPage(30, 150), onPage(350, 150));  // through the tool's window
  stroke(onPage(30, 12), onPage(350, 12));    // above it
  GraphToolView& tool = showTool();
  const ui::Rect w = windowOnPage(tool);
  ASSERT_TRUE(w.x < 190 && w.x + w.width > 190 && w.y < 150 && w.y + w.height > 150 && w.y > 20);
  const gfx::Image before = canvasPicture();
  press(tool.cutBtn());
  ASSERT_EQ(canvasAlphaAt(190, 150), 0);
  ASSERT_GT(alphaOf(held(tool), 190 - w.x, 150 - w.y), 0) << "the piece is held";
  ASSERT_TRUE(desk->undoBtn()->isEnabled());

  pressInDrawer(desk->undoBtn());
  EXPECT_TRUE(canvasPicture() == before) << "undo brings the cut piece back";
  EXPECT_FALSE(tool.isHidden());
  pressInDrawer(desk->undoBtn());
  EXPECT_EQ(canvasAlphaAt(190, 12), 0) << "the stroke before the cut is undone";
  EXPECT_GT(canvasAlphaAt(190, 150), 0);
  pressInDrawer(desk->undoBtn());
  EXPECT_EQ(canvasAlphaAt(190, 150), 0) << "and the one before it";
  EXPECT_FALSE(desk->undoBtn()->isEnabled());
  pressInDrawer(desk->redoBtn());
  pressInDrawer(desk->redoBtn());
  EXPECT_TRUE(canvasPicture() == before);
  pressInDrawer(desk->redoBtn());
  EXPECT_EQ(canvasAlphaAt(190, 150), 0) << "redo cuts again";
  EXPECT_FALSE(desk->redoBtn()->isEnabled());
  // Placed at once where it was, the piece makes the page whole again.
  press(tool.pasteBtn());
  EXPECT_GT(canvasAlphaAt(190, 150), 0);
}

// Closing the tool, or dropping the piece with its clear button, without
// placing the piece leaves the page as it was before the cut, history and all.
TEST_F(GraphToolViewTest, ACutPieceThatIsNeverPlacedGoesBack) {
  start();
  stroke(onPage(30, 150), onPage(350, 150));
  stroke(onPage(30, 12), onPage(350, 12));
  GraphToolView& tool = showTool();
  const ui::Rect w = windowOnPage(tool);
  const gfx::Image before = canvasPicture();

  // Closed by its exit area, nothing drawn since the cut.
  press(tool.cutBtn());
  ASSERT_EQ(canvasAlphaAt(190, 150), 0);
  tapView(tool.exitBtn());
  ASSERT_TRUE(tool.isHidden());
  EXPECT_TRUE(canvasPicture() == before);
  EXPECT_FALSE(desk->redoBtn()->isEnabled()) << "no cut left to redo";
  ASSERT_TRUE(desk->undoBtn()->isEnabled());
  pressInDrawer(desk->undoBtn());
  EXPECT_EQ(canvasAlphaAt(190, 12), 0) << "the last step is the stroke before the cut";
  EXPECT_GT(canvasAlphaAt(190, 150), 0);
  pressInDrawer(desk->redoBtn());
  ASSERT_TRUE(canvasPicture() == before);

  // Dropped with the clear button after a stroke beside the tool: the piece
  // returns under nothing, the stroke stays.
  showTool();
  press(tool.cutBtn());
  ASSERT_EQ(canvasAlphaAt(190, 150), 0);
  stroke(onPage(w.x + w.width + 20, 40), onPage(w.x + w.width + 20, 250));
  const int strokeX = static_cast<int>(w.x + w.width + 20);
  ASSERT_GT(canvasAlphaAt(strokeX, 200), 0);
  press(tool.clearBtn());
  EXPECT_EQ(tool.cutBtn()->superview(), &tool) << "back to capturing";
  EXPECT_GT(canvasAlphaAt(strokeX, 200), 0);
  const gfx::Image now = canvasPicture();
  const float s = now.scale() > 0 ? static_cast<float>(now.pixelWidth()) / 384 : 1;
  for (float x = w.x + 2; x < w.x + w.width - 2; x += 7)
    for (float y = w.y + 2; y < w.y + w.height - 2; y += 7) {
      const std::uint8_t* a = before.pixel(static_cast<int>(x * s), static_cast<int>(y * s));
      const std::uint8_t* b = now.pixel(static_cast<int>(x * s), static_cast<int>(y * s));
      ASSERT_TRUE(std::equal(a, a + 4, b)) << x << "," << y;
    }
  pressInDrawer(desk->undoBtn());
  EXPECT_EQ(canvasAlphaAt(190, 150), 0) << "giving the piece back is a step of its own";
  pressInDrawer(desk->redoBtn());
  EXPECT_GT(canvasAlphaAt(190, 150), 0);

  // Placed, then the placing undone: closing takes the cut back as well.
  press(tool.cutBtn());
  press(tool.pasteBtn());
  pressInDrawer(desk->undoBtn());
  ASSERT_EQ(canvasAlphaAt(190, 150), 0);
  pressStamp();
  ASSERT_TRUE(tool.isHidden());
  EXPECT_GT(canvasAlphaAt(190, 150), 0);
  EXPECT_GT(canvasAlphaAt(strokeX, 200), 0);

  // Placed elsewhere and left so: the cut stands.
  showTool();
  press(tool.cutBtn());
  const ui::Point grip = centreOnScreen(tool.drawView());
  host->drag(grip, {grip.x - 100, grip.y}, 10);
  host->runUntilIdle();
  press(tool.pasteBtn());
  pressStamp();
  EXPECT_EQ(canvasAlphaAt(240, 150), 0) << "moved away";
  EXPECT_GT(canvasAlphaAt(90, 150), 0) << "moved here";
}

// A piece still held when the page is left stays on its page: the page is
// stored as before the cut, and the piece can be stamped on the next page.
TEST_F(GraphToolViewTest, LeavingThePageWithACutPieceKeepsItOnItsPage) {
  while (project().imagesArray().size() < 2) ASSERT_TRUE(project().createImageAtPage(1));
  start();
  tapView(desk->previousFrameBtn());
  ASSERT_EQ(curPage(), 1);
  stroke(onPage(30, 150), onPage(350, 150));
  GraphToolView& tool = showTool();
  press(tool.cutBtn());
  ASSERT_EQ(canvasAlphaAt(190, 150), 0);
  tapView(desk->nextFrameBtn());
  ASSERT_EQ(curPage(), 2);
  const auto file = project().layFullPathAtPage(1, false, 2);
  ASSERT_TRUE(file);
  std::optional<gfx::Image> stored = gfx::readImage(*file).toOptional();
  ASSERT_TRUE(stored);
  const float s = static_cast<float>(stored->pixelWidth()) / 384;
  EXPECT_GT(stored->pixel(static_cast<int>(190 * s), static_cast<int>(150 * s))[3], 0) << "page 1 keeps its piece";
  press(tool.pasteBtn());
  EXPECT_GT(canvasAlphaAt(190, 150), 0) << "and page 2 gets a copy";
  pressStamp();
  EXPECT_GT(canvasAlphaAt(190, 150), 0);
  tapView(desk->previousFrameBtn());
  EXPECT_GT(canvasAlphaAt(190, 150), 0);

  // The layer panel closes the tool first: the piece goes back before the
  // page is saved and another layer chosen.
  showTool();
  press(tool.cutBtn());
  ASSERT_EQ(canvasAlphaAt(190, 150), 0);
  tapView(desk->groundBtn());
  EXPECT_TRUE(tool.isHidden());
  EXPECT_GT(canvasAlphaAt(190, 150), 0);
  tapView(desk->middleRowBtn());
  stored = gfx::readImage(*file).toOptional();
  ASSERT_TRUE(stored);
  EXPECT_GT(stored->pixel(static_cast<int>(190 * s), static_cast<int>(150 * s))[3], 0);
}

// The lasso cut carries what lies inside the outline: it is held, it is
// stamped where the tool is moved to, and undo brings it back.
TEST_F(GraphToolViewTest, ALassoCutCarriesTheInsideAndUndoRestoresIt) {
  GraphToolView& tool = squareUnderTheLasso();
  const ui::Rect w = windowOnPage(tool);
  const std::vector<ui::Point> outline = squareOutline(tool);
  trace(outline);
  ASSERT_TRUE(tool.pathView()->dotline());
  const gfx::Image before = canvasPicture();
  press(tool.cutBtn());
  ASSERT_EQ(canvasAlphaAt(190, 140), 0);
  ASSERT_EQ(canvasAlphaAt(230, 190), 255);
  EXPECT_EQ(alphaOf(held(tool), 190 - w.x, 140 - w.y), 255) << "the inside is held";
  ASSERT_EQ(tool.pasteBtn()->superview(), &tool);
  const ui::Point grip = centreOnScreen(tool.drawView());
  host->drag(grip, {grip.x - 100, grip.y}, 10);
  host->runUntilIdle();
  press(tool.pasteBtn());
  EXPECT_EQ(canvasAlphaAt(90, 140), 255) << "the inside is stamped at the new place";
  EXPECT_EQ(canvasAlphaAt(130, 190), 0) << "and only the inside";
  pressInDrawer(desk->undoBtn());
  EXPECT_EQ(canvasAlphaAt(90, 140), 0);
  EXPECT_EQ(canvasAlphaAt(190, 140), 0);
  pressInDrawer(desk->undoBtn());
  EXPECT_TRUE(canvasPicture() == before) << "undo puts the inside back";
}

// Fault: a lasso cut put the rest of the window back from a picture taken
// half a point off the canvas's pixels, so every lasso cut blurred and moved
// the drawing around its outline. Only what lies inside the outline leaves.
TEST_F(GraphToolViewTest, ALassoCutLeavesEverythingOutsideItsOutlineAsItWas) {
  start();
  // Fine stripes everywhere: any resampling shows.
  gfx::Context c(384, 288, 1.0f);
  c.setFillColor({0.8f, 0.1f, 0.3f, 1});
  for (float x = 0; x < 384; x += 3) c.fillRect({x, 0, 1, 288});
  for (float y = 1; y < 288; y += 4) c.fillRect({0, y, 384, 1});
  const gfx::Image page = c.makeImage(true);
  desk->drawsView()->setImage(&page, gfx::Rect{0, 0, 384, 288});
  host->runUntilIdle();
  GraphToolView& tool = showTool();
  press(tool.arbitraryClipBtn());
  trace(squareOutline(tool));
  ASSERT_TRUE(tool.pathView()->dotline());
  const gfx::Image before = canvasPicture();
  press(tool.cutBtn());
  const gfx::Image after = canvasPicture();
  EXPECT_EQ(canvasAlphaAt(190, 140), 0) << "inside the outline: cut";
  const ui::Rect w = windowOnPage(tool);
  int changed = 0;
  for (int y = static_cast<int>(w.y) - 4; y < w.y + w.height + 4; ++y)
    for (int x = static_cast<int>(w.x) - 4; x < w.x + w.width + 4; ++x) {
      if (x >= 166 && x < 214 && y >= 116 && y < 164) continue;  // the outline and its soft edge
      if (!std::equal(before.pixel(x, y), before.pixel(x, y) + 4, after.pixel(x, y))) ++changed;
    }
  EXPECT_EQ(changed, 0) << "pixels outside the outline changed";
}

// With the lasso on but no outline drawn, copy takes the whole window (an
// outline drawn next trims it), and cut takes the whole window and holds it
// ready to be placed, so no outline can trim away what left the canvas.
TEST_F(GraphToolViewTest, WithTheLassoOnButNoOutlineNothingIsLost) {
  GraphToolView& tool = squareUnderTheLasso();
  const ui::Rect w = windowOnPage(tool);
  press(tool.duplicateBtn());
  EXPECT_EQ(alphaOf(held(tool), 190 - w.x, 140 - w.y), 255) << "the copy holds the window";
  const std::vector<ui::Point> outline = squareOutline(tool);
  trace(outline);
  EXPECT_EQ(tool.pasteBtn()->superview(), &tool);
  EXPECT_EQ(alphaOf(held(tool), 190 - w.x, 140 - w.y), 255) << "trimmed to the outline, not emptied";
  EXPECT_EQ(alphaOf(held(tool), 230 - w.x, 190 - w.y), 0);
  const gfx::Image page = canvasPicture();
  press(tool.pasteBtn());
  EXPECT_TRUE(canvasPicture() == page) << "pasted over itself";

  press(tool.clearBtn());
  ASSERT_EQ(tool.cutBtn()->superview(), &tool);
  press(tool.cutBtn());
  EXPECT_EQ(canvasAlphaAt(230, 190), 0) << "the whole window is cut";
  EXPECT_EQ(alphaOf(held(tool), 230 - w.x, 190 - w.y), 255);
  EXPECT_EQ(tool.pasteBtn()->superview(), &tool) << "ready to be placed";
  EXPECT_EQ(tool.pathView()->superview(), nullptr) << "no outline can trim it now";
  tapView(tool.exitBtn());
  EXPECT_TRUE(canvasPicture() == page);
}

TEST_F(GraphToolViewTest, EveryShapeComesInTheCurrentColourAndStamps) {
  start();
  GraphToolView& tool = showTool();
  const gfx::Color colour = settings().cuColor();
  press(tool.albumBtn());
  ASSERT_EQ(tool.downLoadTable()->numberOfRows(0), 1) << "only the Shapes row without packs";
  auto* shapesRow = tool.downLoadTable()->cellForRow({0, 0});
  ASSERT_NE(shapesRow, nullptr);
  std::vector<gfx::Image> seen;
  for (int i = 0; i < 9; ++i) {
    chooseShape(tool, i);
    ASSERT_TRUE(tool.isGraph()) << i;
    EXPECT_EQ(tool.btnTag(), i);
    const gfx::Image& img = held(tool);
    ASSERT_FALSE(img.empty()) << i;
    const ui::Size s = img.size();
    const std::uint8_t* mid = img.pixel(img.pixelWidth() / 2, img.pixelHeight() / 2);
    EXPECT_EQ(mid[3], 255) << i;
    EXPECT_NEAR(mid[0], colour.r * 255, 2) << i;
    EXPECT_NEAR(mid[1], colour.g * 255, 2) << i;
    EXPECT_NEAR(mid[2], colour.b * 255, 2) << i;
    if (i != 0) {
      EXPECT_EQ(alphaOf(img, 1, 1), 0) << i << ": a corner outside the shape";
    }
    EXPECT_FLOAT_EQ(s.width, tool.drawView()->bounds().width);
    for (const gfx::Image& other : seen) EXPECT_FALSE(other == img) << i;
    seen.push_back(img);
  }
  // The last shape stamps in the middle of the window.
  const ui::Rect w = windowOnPage(tool);
  press(tool.pasteBtn());
  EXPECT_EQ(canvasAlphaAt(w.x + w.width / 2, w.y + w.height / 2), 255);
  EXPECT_EQ(canvasAlphaAt(w.x + 2, w.y + 2), 0);
}

// The pack list's rows read on the tool's pale screen: every word in dark ink
// stands clear of the row's button and whole in its label, and the button
// lies inside its row.
TEST_F(GraphToolViewTest, ThePackListsRowsAreReadableAndUncovered) {
  const auto luminance = [](const std::uint8_t* p) {
    const auto lin = [](int v) {
      const double c = v / 255.0;
      return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(p[0]) + 0.7152 * lin(p[1]) + 0.0722 * lin(p[2]);
  };
  const auto clearOf = [](const ui::Rect& a, const ui::Rect& b) {
    return a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y || b.y + b.height <= a.y;
  };
  const auto fitsItsLabel = [](ui::Label* l) {
    EXPECT_LE(l->sizeThatFits({1000, 100}).width, l->bounds().width) << "\"" << l->text() << "\" is cut off";
  };
  for (float scale : {1.0f, 2.0f}) {
    SCOPED_TRACE(scale == 2 ? "2x" : "1x");
    stop();
    start(false, scale);
    GraphToolView& tool = showTool();
    press(tool.albumBtn());
    ui::TableViewCell* shapesCell = tool.downLoadTable()->cellForRow({0, 0});
    ASSERT_NE(shapesCell, nullptr);
    DownLoadCell* row = nullptr;
    for (const auto& sub : shapesCell->contentView()->subviews())
      if (auto* r = dynamic_cast<DownLoadCell*>(sub.get())) row = r;
    ASSERT_NE(row, nullptr);
    const ui::Rect rowOnScreen = row->convertRectTo(row->bounds(), nullptr);
    const ui::Rect button = row->downLoadBtn()->convertRectTo(row->downLoadBtn()->bounds(), nullptr);
    EXPECT_GE(button.y, rowOnScreen.y);
    EXPECT_LE(button.y + button.height, rowOnScreen.y + rowOnScreen.height);
    EXPECT_LE(button.x + button.width, rowOnScreen.x + rowOnScreen.width);

    const gfx::Image shot = host->screenshot();
    for (ui::Label* label : {row->categaray(), row->quantity(), row->fee()}) {
      SCOPED_TRACE(label->text());
      fitsItsLabel(label);
      const ui::Rect r = label->convertRectTo(label->bounds(), nullptr);
      EXPECT_TRUE(clearOf(r, button)) << "under the button";
      // The ground is the label's lightest pixel, the ink its darkest.
      double ground = 0, ink = 1;
      for (int y = static_cast<int>(r.y * scale); y < static_cast<int>((r.y + r.height) * scale); ++y)
        for (int x = static_cast<int>(r.x * scale); x < static_cast<int>((r.x + r.width) * scale); ++x) {
          const double l = luminance(shot.pixel(x, y));
          ground = std::max(ground, l);
          ink = std::min(ink, l);
        }
      EXPECT_GE((ground + 0.05) / (ink + 0.05), 4.5) << "ink against its ground";
    }
  }

  // A pack's row has room for a three-digit count and a price.
  DownLoadCell pack({0, 0, GraphToolView::kWindowRect.width, GraphToolView::kWindowRect.width / 3 - 8});
  pack.quantity()->setText("120");
  pack.fee()->setText("12.99");
  pack.categaray()->setText("Animals");
  for (ui::Label* label : {pack.categaray(), pack.quantity(), pack.fee()}) {
    fitsItsLabel(label);
    EXPECT_TRUE(clearOf(label->frame(), pack.downLoadBtn()->frame())) << label->text();
  }
  EXPECT_TRUE(clearOf(pack.quantity()->frame(), pack.fee()->frame()));
}

// The Shapes grid shows each of the nine shapes whole, fitted into its
// button: as much of the button is inked as of the shape's own picture.
TEST_F(GraphToolViewTest, TheShapesGridShowsEachShapeWholeInItsButton) {
  for (float scale : {1.0f, 2.0f}) {
    SCOPED_TRACE(scale);
    stop();
    start(false, scale);
    GraphToolView& tool = showTool();
    press(tool.albumBtn());
    tapView(tool.downLoadTable()->cellForRow({0, 0}));
    ASSERT_EQ(tool.albumTable()->superview(), &tool);
    auto inked = [](const gfx::Image& img) {
      long n = 0;
      for (int y = 0; y < img.pixelHeight(); ++y)
        for (int x = 0; x < img.pixelWidth(); ++x) n += img.pixel(x, y)[3] > 128;
      return static_cast<double>(n) / (static_cast<double>(img.pixelWidth()) * img.pixelHeight());
    };
    for (int i = 0; i < 9; ++i) {
      SCOPED_TRACE(i);
      auto* row = static_cast<AlbumViewCell*>(tool.albumTable()->cellForRow({0, i / 3}));
      ASSERT_NE(row, nullptr);
      ui::Button* button = row->btnAry()[static_cast<std::size_t>(i % 3)].get();
      ASSERT_FALSE(button->isHidden());
      const ui::Picture shape = VTImageCache::imageNamed(tool.imageAry()[static_cast<std::size_t>(i)]);
      ASSERT_NE(shape.image(), nullptr);
      button->layoutIfNeeded();
      const ui::Rect shown = button->imageView()->frame();
      EXPECT_GE(shown.x, 0);
      EXPECT_GE(shown.y, 0);
      EXPECT_LE(shown.x + shown.width, button->bounds().width);
      EXPECT_LE(shown.y + shown.height, button->bounds().height);
      EXPECT_NEAR(inked(button->renderToImage(scale)), inked(*shape.image()), 0.06);
    }
  }
}

TEST_F(GraphToolViewTest, AColourChangeRecoloursAShapeButNeverAPackStamp) {
  // A downloaded pack of two pictures.
  const fs::path folder = root() / "Library" / "downloadFolder";
  fs::create_directories(folder / "Duo");
  fs::create_directories(folder / "DuoThumbnail");
  for (const char* n : {"a.png", "b.png"}) {
    ASSERT_TRUE(gfx::writePNG(folder / "Duo" / n, stamp_art::draw("shape_04.png", 1)));
    ASSERT_TRUE(gfx::writePNG(folder / "DuoThumbnail" / n, stamp_art::draw("shape_04.png", 1)));
  }
  start();
  ResourceDownLoadManager& library = ResourceDownLoadManager::shared();
  auto pack = library.addItem(*mutableObjectFromJSONString(R"({"KEY":"D","TITLE":"Duo"})"));
  pack->setDownLoadState(DownLoadItem::kLoaded);
  pack->setThumbnailDownLoadState(DownLoadItem::kLoaded);
  library.stampDownLoadItems().push_back(pack);
  library.saveDownLoadListToFile();

  GraphToolView& tool = showTool();
  chooseShape(tool, 8);
  ASSERT_TRUE(tool.isGraph());
  const gfx::Image shapeBefore = held(tool);
  settings().setCuColorIndex(3);
  desk->respondToColorSelected(settings().cuColor());
  ASSERT_FALSE(held(tool) == shapeBefore) << "the shape took the new colour";

  // Now a pack stamp, chosen through the list and the grid.
  press(tool.clearBtn());
  press(tool.albumBtn());
  ASSERT_EQ(tool.downLoadTable()->numberOfRows(0), 2);
  tapView(tool.downLoadTable()->cellForRow({0, 1}));
  ASSERT_EQ(tool.albumTable()->superview(), &tool);
  EXPECT_FALSE(tool.isLocal());
  EXPECT_EQ(tool.imageAry(), (std::vector<std::string>{"a.png", "b.png"}));
  tapView(static_cast<AlbumViewCell*>(tool.albumTable()->cellForRow({0, 0}))->btnAry()[1].get());
  EXPECT_FALSE(tool.isGraph());
  const gfx::Image stamp = held(tool);
  ASSERT_FALSE(stamp.empty());
  settings().setCuColorIndex(5);
  desk->respondToColorSelected(settings().cuColor());
  EXPECT_TRUE(held(tool) == stamp) << "the pack stamp is left as it was";
}

TEST_F(GraphToolViewTest, RubbingRevealsTheHeldPictureOnlyWhereRubbed) {
  start();
  loadSquare();
  GraphToolView& tool = showTool();
  ASSERT_NE(tool.printsView(), nullptr);
  press(tool.duplicateBtn());
  const ui::Point grip = centreOnScreen(tool.drawView());
  host->drag(grip, {grip.x - 110, grip.y}, 10);
  host->runUntilIdle();
  press(tool.rubBtn());
  ASSERT_TRUE(tool.rubBtn()->isSelected());
  EXPECT_FALSE(tool.pasteBtn()->isEnabled());
  EXPECT_FLOAT_EQ(tool.maskView()->alpha(), 0.5f);
  const ui::Rect w = windowOnPage(tool);
  // Rub one line across the middle of where the square is held.
  const ui::Rect held = tool.drawView()->bounds();
  const float rowY = 150 - (w.y);
  trace({onScreen(tool.drawView(), {10, rowY}), onScreen(tool.drawView(), {held.width / 2, rowY}),
         onScreen(tool.drawView(), {held.width - 10, rowY})});
  const float squareMidX = w.x + (195 - (w.x + 110));
  EXPECT_GT(canvasAlphaAt(squareMidX, 150), 200) << "revealed under the rub";
  EXPECT_EQ(canvasAlphaAt(squareMidX, 110), 0) << "not rubbed there";
  EXPECT_EQ(canvasAlphaAt(w.x + 4, 150), 0) << "rubbed, but nothing held there";
  press(tool.rubBtn());
  EXPECT_TRUE(tool.pasteBtn()->isEnabled());
}

TEST_F(GraphToolViewTest, DraggingResizingAndTurningTheTool) {
  start();
  GraphToolView& tool = showTool();
  // A drag never takes the centre off the screen.
  const ui::Point grip = centreOnScreen(tool.drawView());
  host->drag(grip, {grip.x + 400, grip.y + 300}, 10);
  host->runUntilIdle();
  EXPECT_LE(tool.center().x, 480);
  EXPECT_LE(tool.center().y, 320);
  const ui::Point far = centreOnScreen(tool.drawView());
  host->drag(far, {far.x - 300, far.y - 250}, 10);
  host->runUntilIdle();
  tool.setCenter({240, 160});

  // Resize from the handle: wider and taller; the parts follow.
  const ui::Point handle = centreOnScreen(tool.deformView());
  host->drag(handle, {handle.x + 40, handle.y + 30}, 8);
  host->runUntilIdle();
  EXPECT_NEAR(tool.bounds().width, 230, 0.5);
  EXPECT_NEAR(tool.bounds().height, 221, 0.5);
  EXPECT_NEAR(tool.drawView()->frame().width, 230 - 54, 0.5);
  EXPECT_NEAR(tool.deformView()->frame().x, 155 + 40, 0.5);
  EXPECT_NEAR(tool.rotation()->frame().y, 152 + 30, 0.5);
  EXPECT_NEAR(tool.backgroundImage()->frame().width, 230, 0.5);
  EXPECT_FALSE(tool.deformView()->isDeform());
  // Pulled inwards beyond the smallest size, it stops there.
  const ui::Point handle2 = centreOnScreen(tool.deformView());
  host->drag(handle2, {handle2.x - 150, handle2.y - 150}, 8);
  host->runUntilIdle();
  EXPECT_FLOAT_EQ(tool.bounds().width, 190);
  EXPECT_FLOAT_EQ(tool.bounds().height, 191);

  // Turning from the handle: the first move only notes the start.
  const ui::Point turn = centreOnScreen(tool.rotation());
  host->touchDown(1, turn);
  host->advance(1.0 / 60);
  EXPECT_TRUE(tool.isRotate());
  EXPECT_FLOAT_EQ(tool.rotation()->alpha(), 0.9f);
  host->touchMove(1, {turn.x + 5, turn.y - 5});
  host->advance(1.0 / 60);
  EXPECT_FLOAT_EQ(tool.angle(), 0);
  for (int i = 2; i <= 8; ++i) {
    host->touchMove(1, {turn.x + 5 * i, turn.y - 12 * i});
    host->advance(1.0 / 60);
  }
  host->touchUp(1, {turn.x + 40, turn.y - 96});
  host->runUntilIdle();
  EXPECT_NE(tool.angle(), 0);
  EXPECT_FLOAT_EQ(tool.bounds().width, 190) << "turning leaves the size alone";
  EXPECT_TRUE(tool.transform() == gfx::AffineTransform::makeRotation(tool.angle()));

  // The shade button shrinks a large tool back and sets it upright.
  tool.setBounds({0, 0, 260, 250});
  tool.adjustmentControlFrame(false);
  press(tool.albumBtn());
  EXPECT_FLOAT_EQ(tool.bounds().width, 190);
  EXPECT_FLOAT_EQ(tool.bounds().height, 191);
  EXPECT_FLOAT_EQ(tool.angle(), 0);
}

TEST_F(GraphToolViewTest, AfterAQuarterTurnTheHandleFollowsItsQuadrant) {
  start();
  GraphToolView& tool = showTool();
  tool.setAngle(static_cast<float>(M_PI / 2));
  tool.adjustmentControlFrame(false);
  // Turned a quarter clockwise, the handle sits below-left of the centre,
  // where the turning handle of the upright tool would be: pulling it down
  // widens the tool and does not turn it.
  const ui::Point handle = centreOnScreen(tool.deformView());
  ASSERT_LT(handle.x, tool.center().x);
  ASSERT_GT(handle.y, tool.center().y);
  host->drag(handle, {handle.x, handle.y + 30}, 6);
  host->runUntilIdle();
  EXPECT_EQ(tool.quadrant(), 3);
  EXPECT_NEAR(tool.bounds().width, 220, 0.5);
  EXPECT_FLOAT_EQ(tool.bounds().height, 191);
  EXPECT_FLOAT_EQ(tool.angle(), static_cast<float>(M_PI / 2));
}

TEST_F(GraphToolViewTest, TheShadeButtonShowsNoListWhileTheLassoIsOn) {
  start();
  GraphToolView& tool = showTool();
  press(tool.arbitraryClipBtn());
  press(tool.albumBtn());
  EXPECT_EQ(tool.downLoadTable()->superview(), nullptr);
  EXPECT_EQ(tool.pathView()->superview(), nullptr);
}

TEST_F(GraphToolViewTest, TheToolsPicturesAreDroppedOnLowMemoryAndComeBack) {
  start();
  GraphToolView& tool = showTool();
  EXPECT_GT(VTImageCache::sharedCache().count(), 5u);
  fd::NotificationCenter::defaultCenter().post(fd::kLowMemoryNotification);
  EXPECT_EQ(VTImageCache::sharedCache().count(), 0u);
  // The tool keeps working: a shape is drawn again from a fresh read.
  chooseShape(tool, 1);
  EXPECT_FALSE(held(tool).empty());
  EXPECT_GT(VTImageCache::sharedCache().count(), 0u);
}

TEST_F(GraphToolViewTest, APersonPlacesResizesAndTurnsAStampAndDrawsShapes) {
  start(false, 2.0f);
  loadSquare();
  GraphToolView& tool = showTool();
  chooseShape(tool, 3);
  press(tool.pasteBtn());
  const ui::Point grip = centreOnScreen(tool.drawView());
  host->drag(grip, {grip.x - 90, grip.y + 20}, 8);
  host->runUntilIdle();
  chooseShape(tool, 4);
  tool.setAngle(0.5f);
  tool.setBounds({0, 0, 220, 210});
  tool.adjustmentControlFrame(false);
  press(tool.pasteBtn());
  gfx::Image shot = host->screenshot();
  ASSERT_EQ(shot.pixelWidth(), 960);
  const auto file = fs::temp_directory_path() / "stamp_tool@2x.png";
  ASSERT_TRUE(gfx::writePNG(file, shot));
  EXPECT_EQ(canvasAlphaAt(windowOnPage(tool).x + windowOnPage(tool).width / 2, windowOnPage(tool).y + windowOnPage(tool).height / 2), 255);
}

}  // namespace

namespace {

TEST_F(GraphToolViewTest, AnAlbumPhotoIsFittedHeldAndRefittedAfterAResize) {
  start();
  GraphToolView& tool = showTool();
  // A wide photo in the album folder.
  gfx::Context c(1000, 500, 1.0f);
  c.setFillColor({0.9f, 0.3f, 0.1f, 1});
  c.fillRect({0, 0, 1000, 500});
  fs::create_directories(ui::photoLibraryFolder());
  const fs::path photo = ui::photoLibraryFolder() / "wide.png";
  ASSERT_TRUE(gfx::writePNG(photo, c.makeImage()));
  press(tool.openLibraryBtn());
  ASSERT_EQ(desk->presentedViewController(), desk->picker());
  ASSERT_TRUE(desk->picker()->pickFile(photo));
  host->runUntilIdle();

  EXPECT_TRUE(tool.isExportAlum());
  EXPECT_FALSE(tool.isGraph());
  const ui::Rect mask = tool.maskView()->frame();
  // Fitted by width: 136 wide, 68 high, centred top to bottom.
  EXPECT_FLOAT_EQ(tool.scaleWidth(), 1.0f);
  EXPECT_NEAR(tool.scaleHeight(), mask.height / 68.0f, 1e-4);
  const gfx::Image& img = held(tool);
  ASSERT_FALSE(img.empty());
  EXPECT_EQ(alphaOf(img, mask.width / 2, mask.height / 2), 255);
  EXPECT_EQ(alphaOf(img, mask.width / 2, 10), 0) << "above the fitted photo";
  EXPECT_EQ(tool.pasteBtn()->superview(), &tool) << "the stamp interface";

  // Enlarged from the handle, the photo is fitted again to the new window.
  const ui::Point handle = centreOnScreen(tool.deformView());
  host->drag(handle, {handle.x + 60, handle.y + 20}, 6);
  host->runUntilIdle();
  const gfx::Image& refit = held(tool);
  EXPECT_NEAR(refit.size().width, tool.drawView()->bounds().width, 0.5);
  EXPECT_EQ(alphaOf(refit, refit.size().width / 2, refit.size().height / 2), 255);
  EXPECT_EQ(alphaOf(refit, refit.size().width / 2, 8), 0);
}

}  // namespace
