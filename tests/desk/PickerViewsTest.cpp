// The desk's small views on their own: strip dispatch by identifier, the
// colour grid's hit rules, the roller's threshold and page limits, and the
// overlays that close on a touch outside their panel.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "desk/ColorSelectView.h"
#include "desk/PickerViews.h"
#include "model/ZTDataModel.h"
#include "support/Sandbox.h"
#include "ui/UiTestSupport.h"

namespace {

// Records which messages arrived, with the touch's y in the root view.
class Recorder : public UserInteractDelegate, public RollerOperationDelegate, public ToolViewDelegate,
                 public ColorSelectionDelegate {
 public:
  std::vector<std::string> calls;
  std::vector<gfx::Color> colors;
  void respondToBrushBegin(ui::Touch*) override { calls.push_back("brushBegin"); }
  void respondToBrushMove(ui::Touch*) override { calls.push_back("brushMove"); }
  void respondToBrushEnd(ui::Touch*) override { calls.push_back("brushEnd"); }
  void respondToOpacityBegin(ui::Touch*) override { calls.push_back("opacityBegin"); }
  void respondToOpacityMove(ui::Touch*) override { calls.push_back("opacityMove"); }
  void respondToOpacityEnd(ui::Touch*) override { calls.push_back("opacityEnd"); }
  void respondToSizeBegin(ui::Touch*) override { calls.push_back("sizeBegin"); }
  void respondToSizeMove(ui::Touch*) override { calls.push_back("sizeMove"); }
  void respondToSizeEnd(ui::Touch*) override { calls.push_back("sizeEnd"); }
  void respondToShapeBegin(ui::Touch*) override { calls.push_back("shapeBegin"); }
  void respondToShapeMove(ui::Touch*) override { calls.push_back("shapeMove"); }
  void respondToShapeEnd(ui::Touch*) override { calls.push_back("shapeEnd"); }
  void respondToDrawToolBegin(ui::Touch*) override { calls.push_back("drawToolBegin"); }
  void respondToDrawToolMove(ui::Touch*) override { calls.push_back("drawToolMove"); }
  void respondToDrawToolEnd(ui::Touch*) override { calls.push_back("drawToolEnd"); }
  void respondToRollerMoveDown() override { calls.push_back("rollerDown"); }
  void respondToRollerMoveUp() override { calls.push_back("rollerUp"); }
  void toolsHidden(bool) override { calls.push_back("toolsHidden"); }
  void respondToColorSelected(gfx::Color c) override { colors.push_back(c); }
};

class PickerViewsTest : public ui_test::UiTest {
 protected:
  void SetUp() override {
    ZTDataModel::resetSharedInstanceForTesting();
    ui_test::UiTest::SetUp();
  }
  void TearDown() override {
    ui_test::UiTest::TearDown();
    ZTDataModel::resetSharedInstanceForTesting();
  }
  // A drag inside a strip: down, a move, up.
  void press(ui::Point p) {
    host->touchDown(1, p);
    host->touchMove(1, {p.x, p.y + 3});
    host->touchUp(1, {p.x, p.y + 3});
  }
  Recorder rec;
};

TEST_F(PickerViewsTest, StripsForwardByIdentifierAndIgnoreOthers) {
  struct Case {
    const char* id;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"brush", {"brushBegin", "brushMove", "brushEnd"}},
      {"size", {"sizeBegin", "sizeMove", "sizeEnd"}},
      {"opacity", {"opacityBegin", "opacityMove", "opacityEnd"}},
      {"drawTool", {"drawToolBegin", "drawToolMove"}},
      {"shape", {}},
      {"pencil", {}},
  };
  for (const Case& c : cases) {
    auto strip = UserInteractView::initUserInteractView({100, 100, 40, 40}, c.id);
    strip->setDelegate(&rec);
    rootView()->addSubview(strip);
    rec.calls.clear();
    press({120, 110});
    EXPECT_EQ(rec.calls, c.expected) << c.id;
    strip->removeFromSuperview();
  }
}

TEST_F(PickerViewsTest, StripKeepsItsTouchAcrossTheScreenAndDropsCancels) {
  auto strip = UserInteractView::initUserInteractView({440, 155, 39, 43}, "brush");
  strip->setDelegate(&rec);
  rootView()->addSubview(strip);
  host->touchDown(1, {460, 170});
  host->touchMove(1, {100, 20});
  host->touchCancel(1);
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"brushBegin", "brushMove"}));
}

TEST_F(PickerViewsTest, ColourGridCellsAndMargins) {
  auto picker = ColorSelectView::initColorSelectViewWithFrame({0, 0, 480, 320});
  // Column 0 reaches into the 14-point margin; row 0 into y 66..78.
  EXPECT_EQ(picker->colorClicked({5, 90}), 0);
  EXPECT_EQ(picker->colorClicked({14 + 41 * 3 + 1, 78 + 41 * 2 + 1}), 2 * 11 + 3);
  EXPECT_EQ(picker->colorClicked({30, 70}), 0);
  // Beyond column 10 or row 3.
  EXPECT_EQ(picker->colorClicked({14 + 41 * 11 + 2, 100}), -1);
  EXPECT_EQ(picker->colorClicked({100, 78 + 41 * 4 + 1}), -1);
  EXPECT_TRUE(picker->isOnColorCan({1, 67}));
  EXPECT_FALSE(picker->isOnColorCan({100, 66}));
  EXPECT_FALSE(picker->isOnColorCan({100, 256}));
  // The tall screen centres the palette.
  auto tall = ColorSelectView::initColorSelectViewWithFrame({0, 0, 568, 320});
  EXPECT_EQ(tall->colorClicked({44 + 14 + 1, 80}), 0);
  EXPECT_EQ(tall->colorClicked({44 + 14 - 28, 80}), 0);  // truncation toward zero
  EXPECT_EQ(tall->colorClicked({44 + 14 - 42, 80}), -1);
}

TEST_F(PickerViewsTest, ColourMarkerAndStoredIndex) {
  ExtendDataModel& settings = ZTDataModel::sharedInstance().extendDataModel();
  settings.setCuColorIndex(13);  // stored as index + 1
  auto picker = ColorSelectView::initColorSelectViewWithFrame({0, 0, 480, 320});
  EXPECT_EQ(picker->colorNum(), 12);
  EXPECT_EQ(picker->colorTag()->frame(), (ui::Rect{1 * 41.5f + 18, 1 * 42.0f + 53, 30, 30}));
  picker->setColor(43);
  EXPECT_EQ(settings.cuColorIndex(), 44);
  picker->setColor(44);  // out of the palette: nothing changes
  EXPECT_EQ(picker->colorNum(), 43);
}

TEST_F(PickerViewsTest, ColourPickerStaysOpenOnCansAndAppliesWhenLeft) {
  auto picker = ColorSelectView::initColorSelectViewWithFrame(rootView()->bounds());
  picker->setDelegate(&rec);
  rootView()->addSubview(picker);
  picker->colorCanAutoController();
  host->runUntilIdle();
  ASSERT_FALSE(picker->isHidden());
  host->tap({14 + 41 * 5 + 20, 30 + 48 + 41 + 20});  // row 1, column 5
  EXPECT_FALSE(picker->isHidden());
  EXPECT_EQ(picker->colorNum(), 16);
  EXPECT_TRUE(rec.colors.empty());
  // Between cells beyond column 10: nothing changes, still open.
  host->tap({14 + 41 * 11 + 4, 100});
  EXPECT_EQ(picker->colorNum(), 16);
  EXPECT_FALSE(picker->isHidden());
  // Outside the palette: closes and applies the chosen colour.
  host->tap({240, 300});
  EXPECT_TRUE(picker->isHidden());
  ASSERT_EQ(rec.colors.size(), 1u);
  EXPECT_EQ(rec.colors[0], ZTDataModel::sharedInstance().extendDataModel().colors()[16]);
}

TEST_F(PickerViewsTest, ColourPickerClosedByItsButtonKeepsIndexWithoutApplying) {
  auto picker = ColorSelectView::initColorSelectViewWithFrame(rootView()->bounds());
  picker->setDelegate(&rec);
  rootView()->addSubview(picker);
  picker->colorCanAutoController();
  host->tap({14 + 41 * 2 + 20, 30 + 48 + 20});
  picker->colorCanAutoController();
  host->runUntilIdle();
  EXPECT_TRUE(picker->isHidden());
  EXPECT_EQ(ZTDataModel::sharedInstance().extendDataModel().cuColorIndex(), 3);
  EXPECT_TRUE(rec.colors.empty());
}

TEST_F(PickerViewsTest, RollerNeedsMoreThanTwoPointsAndRespectsPageLimits) {
  ZTDataModel& model = ZTDataModel::sharedInstance();
  ProjectDataModel& project = *model.prjDataModel();
  while (project.imagesArray().size() < 3) ASSERT_TRUE(project.createImageAtPage(1));
  auto roller = RollerView::initRollerView();
  roller->setDelegate(&rec);
  rootView()->addSubview(roller);
  auto drag = [&](float dy) {
    host->touchDown(1, {20, 150});
    host->touchMove(1, {20, 150 + dy});
    host->touchUp(1, {20, 150 + dy});
  };
  model.extendDataModel().setCurPage(2);
  drag(2);
  drag(-2);
  EXPECT_TRUE(rec.calls.empty());
  drag(3);
  drag(-3);
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"rollerDown", "rollerUp"}));
  rec.calls.clear();
  model.extendDataModel().setCurPage(3);  // the last page
  drag(10);
  model.extendDataModel().setCurPage(1);
  drag(-10);
  EXPECT_TRUE(rec.calls.empty());
  EXPECT_EQ(roller->rollerState(), 0);
}

TEST_F(PickerViewsTest, OverlaysCloseOnTouchesOutsideTheirPanels) {
  auto tools = std::make_shared<ToolView>(rootView()->bounds());
  tools->setDelegate(&rec);
  rootView()->addSubview(tools);
  host->tap({20, 20});  // outside the drawer and the page
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"toolsHidden"}));
  rec.calls.clear();
  host->tap({200, 100});  // on the page: passed on, not closing
  host->tap({5, 230});    // inside the drawer's rectangle
  EXPECT_TRUE(rec.calls.empty());
  tools->removeFromSuperview();

  auto skin = std::make_shared<SkinView>(rootView()->bounds());
  rootView()->addSubview(skin);
  host->tap({240, 100});  // inside ((480 - 215) / 2, 60, 215, 201)
  EXPECT_FALSE(skin->isHidden());
  host->tap({100, 100});
  EXPECT_TRUE(skin->isHidden());
  skin->removeFromSuperview();

  auto layers = std::make_shared<LayerManger>(rootView()->bounds());
  rootView()->addSubview(layers);
  host->tap({240, 100});
  EXPECT_FALSE(layers->isHidden());
  host->tap({240, 70});  // in the panel's top 40 points: outside the inner rectangle
  EXPECT_TRUE(layers->isHidden());
}

}  // namespace
