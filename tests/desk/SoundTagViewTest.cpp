// The sound-tag marker on the frame manager's track: frames read from its
// place, dragging held between the timeline's ends and its neighbours,
// lengthening held to the sound's frame limit, narrow markers, and deleting
// after a confirmation, with the project read back from disk.
#include <gtest/gtest.h>

#include "SoundTrackTestSupport.h"

namespace {

using sound_test::SoundTrackTest;

class SoundTagViewTest : public SoundTrackTest {
 protected:
  // Drags tag i from a point inside it (x from its left edge) to panel x `to`.
  void dragTag(std::size_t i, float grabX, float to) {
    SoundTagView* v = tagView(i);
    ASSERT_NE(v, nullptr);
    const ui::Rect f = v->frame();
    host->drag(onPanel(f.x + grabX, f.y + 30), onPanel(to, f.y + 30), 8);
    host->runUntilIdle();
  }
  std::vector<float> storedPoints() { return stored()->soundTagPointsArray(); }
};

TEST_F(SoundTagViewTest, FramesFromThePlaceAndNarrowMarkers) {
  frames = 34;  // 0.1 frame a point
  open();
  auto marker = SoundTagView::initWithFrame({45, 20, 60, 58}, true);
  EXPECT_EQ(marker->beginFrameLb()->text(), "Start:1");
  EXPECT_EQ(marker->endFrameLb()->text(), "End:6");  // read 50 points left of the right edge
  EXPECT_EQ(project().soundFrameArray(), (std::vector<int>{1, 6}));
  marker->calculateControlFrameAndLabelDisplayText();  // appended once only
  EXPECT_EQ(project().soundFrameArray(), (std::vector<int>{1, 6}));
  ASSERT_NE(marker->dragCtr(), nullptr);
  EXPECT_EQ(marker->dragCtr()->frame(), (ui::Rect{34, 0, 26, 58}));  // at the right end from the start
  EXPECT_FALSE(marker->beginFrameLb()->isHidden());

  auto narrow = SoundTagView::initWithFrame({100, 20, 30, 58}, false);
  EXPECT_EQ(narrow->frame(), (ui::Rect{100, 28, 30, 50}));
  EXPECT_EQ(narrow->dragCtr(), nullptr);
  EXPECT_TRUE(narrow->beginFrameLb()->isHidden());
  EXPECT_TRUE(narrow->endFrameLb()->isHidden());
  EXPECT_TRUE(narrow->fileName()->isHidden());
  EXPECT_EQ(narrow->deleteBtn()->frame(), (ui::Rect{11, 10, 19, 19}));
  EXPECT_EQ(project().soundFrameArray(), (std::vector<int>{1, 6}));  // not new: nothing appended
}

TEST_F(SoundTagViewTest, DraggingStaysBetweenTheEndsOfTheTimeline) {
  frames = 34;
  tags = {SoundTag{"a.caf", {{100, 160}}, {{6, 12}}}};
  open();
  dragTag(0, 15, 10);
  EXPECT_EQ(tagView(0)->frame().x, 49);
  EXPECT_EQ(tagView(0)->frame().width, 60);
  EXPECT_EQ(project().soundTagPointsArray(), (std::vector<float>{49, 109}));
  EXPECT_EQ(storedPoints(), (std::vector<float>{49, 109}));  // kept at once
  EXPECT_EQ(tagView(0)->beginFrameLb()->text(), "Start:1");
  dragTag(0, 15, 470);
  EXPECT_EQ(tagView(0)->frame().x, 320);
  EXPECT_EQ(project().soundTagPointsArray(), (std::vector<float>{320, 380}));
  // The frames follow: trunc(0.1 * 275 + 1) and trunc(0.1 * 330 + 1).
  EXPECT_EQ(project().soundFrameArray(), (std::vector<int>{28, 34}));
  EXPECT_EQ(tagView(0)->dragCtr()->frame().x, 34);  // the handle stays at the right end
}

TEST_F(SoundTagViewTest, NeighboursStopADrag) {
  frames = 34;
  tags = {SoundTag{"a.caf", {{100, 160}}, {{6, 12}}}, SoundTag{"b.caf", {{200, 260}}, {{16, 22}}}};
  open();
  dragTag(1, 15, 20);
  EXPECT_EQ(tagView(1)->frame().x, 160);  // against the first tag's right edge
  EXPECT_EQ(tagView(1)->lastPointX(), 160);
  dragTag(0, 15, 460);
  EXPECT_EQ(tagView(0)->frame().x, 100);  // the second one now starts at 160
  EXPECT_EQ(project().soundTagPointsArray(), (std::vector<float>{100, 160, 160, 220}));
  EXPECT_EQ(project().soundNameArray(), (std::vector<std::string>{"a.caf", "b.caf"}));
}

TEST_F(SoundTagViewTest, LengtheningStopsAtTheSoundsLimit) {
  frames = 34;
  tags = {SoundTag{"short.caf", {{100, 150}}, {{6, 11}}}, SoundTag{"long.caf", {{300, 340}}, {{26, 30}}}};
  open();
  settings().limitFramesDict()["short.caf"] = 3;  // less than 8 still allows 8 frames
  settings().limitFramesDict()["long.caf"] = 30;
  dragTag(0, 50 - 13, 470);  // the handle
  EXPECT_FLOAT_EQ(tagView(0)->frame().width, 8 * 330.0f / 34);
  EXPECT_EQ(tagView(0)->frame().x, 100);
  EXPECT_FLOAT_EQ(project().soundTagPointsArray()[1], 100 + 8 * 330.0f / 34);
  // Shortened, never below 40 points.
  dragTag(0, tagView(0)->frame().width - 13, 0);
  EXPECT_EQ(tagView(0)->frame().width, 40);
  EXPECT_EQ(tagView(0)->dragCtr()->frame().x, 14);
  EXPECT_EQ(tagView(0)->deleteBtn()->frame().x, 21);
  // The last tag's room ends at 380 before its 30 frames are reached.
  dragTag(1, 40 - 13, 470);
  EXPECT_EQ(tagView(1)->frame().width, 80);
}

TEST_F(SoundTagViewTest, DeletingAsksFirst) {
  tags = {SoundTag{"a.caf", {{100, 160}}, {{3, 5}}}, SoundTag{"b.caf", {{200, 260}}, {{6, 7}}}};
  open();
  const std::vector<SoundTag> before = project().soundTags();
  tapView(tagView(0)->deleteBtn());
  ASSERT_EQ(visibleAlertMessage(), "Delete this sound?");
  ASSERT_NE(tagView(0)->soundDeleTag(), nullptr);
  EXPECT_FALSE(tagView(0)->soundDeleTag()->isHidden());
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Cancel")));
  host->runUntilIdle();
  EXPECT_TRUE(tagView(0)->soundDeleTag()->isHidden());
  EXPECT_EQ(project().soundTags(), before);
  EXPECT_EQ(track().soundTagArray().size(), 2u);

  tapView(tagView(0)->deleteBtn());
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("OK")));
  host->runUntilIdle();
  ASSERT_EQ(track().soundTagArray().size(), 1u);
  EXPECT_EQ(tagView(0)->soundTag(), 0);
  EXPECT_EQ(tagView(0)->tag(), 100);
  EXPECT_EQ(tagView(0)->frame().x, 200);
  EXPECT_EQ(project().soundNameArray(), (std::vector<std::string>{"b.caf"}));
  EXPECT_EQ(stored()->soundTagPointsArray(), (std::vector<float>{200, 260}));
  EXPECT_EQ(stored()->soundFrameArray(), (std::vector<int>{6, 7}));
  EXPECT_TRUE(manager->isUserInteractionEnabled());
}

}  // namespace
