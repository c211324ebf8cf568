// Every interface picture of the desk is drawn at both scales: twice the
// pixels at 2x, with real content (several colours, not one flat square),
// and the paint can's mask is the can's shape.
#include <gtest/gtest.h>

#include <set>

#include "desk/DeskArt.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/NotificationCenter.h"
#include "support/Sandbox.h"

namespace {

class DeskArtTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override { ZTDataModel::resetSharedInstanceForTesting(); }
  void TearDown() override { ZTDataModel::resetSharedInstanceForTesting(); }
};

int distinctColours(const gfx::Image& img) {
  std::set<std::uint32_t> seen;
  for (int y = 0; y < img.pixelHeight(); y += 1)
    for (int x = 0; x < img.pixelWidth(); x += 1) {
      const std::uint8_t* p = img.pixel(x, y);
      seen.insert((std::uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]);
      if (seen.size() > 8) return static_cast<int>(seen.size());
    }
  return static_cast<int>(seen.size());
}

TEST_F(DeskArtTest, EveryPictureAtBothScales) {
  const auto names = desk_art::names();
  EXPECT_GT(names.size(), 80u);
  for (const std::string& name : names) {
    gfx::Image one = desk_art::draw(name, 1);
    gfx::Image two = desk_art::draw(name, 2);
    ASSERT_FALSE(one.empty()) << name;
    EXPECT_NEAR(two.pixelWidth(), 2 * one.pixelWidth(), 1) << name;
    EXPECT_NEAR(two.pixelHeight(), 2 * one.pixelHeight(), 1) << name;
    EXPECT_FLOAT_EQ(two.scale(), 2.0f) << name;
    EXPECT_GE(distinctColours(two), name == "Paint_can_mask.png" ? 2 : 3) << name;
  }
}

TEST_F(DeskArtTest, TheNamesTheDeskUsesAreAllDrawn) {
  for (const char* name : {"erase.png", "Paint_can_mask.png", "Pen_bar.png", "b_erase.png", "b_pen06.png",
                           "fill_tool_small.png", "Opacity_bar.png", "Size_display02.png", "Shape_F02.png",
                           "color_cans.png", "color_tag.png", "desktop_Roller03.png", "Foreground.png",
                           "Middle_ground.png", "Background.png", "desktop_next_frame.png", "desktop_add_frame.png",
                           "emptyImage.png", "player_6fps.png", "desktop_paper.png", "page_indicator.png",
                           "background_shown_mark.png", "background_painting_mark.png"})
    EXPECT_FALSE(desk_art::named(name).empty()) << name;
  EXPECT_TRUE(desk_art::named("no_such_picture.png").empty());
  EXPECT_TRUE(desk_art::draw("no_such_picture.png", 2).empty());
}

TEST_F(DeskArtTest, PicturesAreKeptUntilMemoryRunsLow) {
  ui::Picture first = desk_art::named("erase.png");
  EXPECT_EQ(desk_art::named("erase.png").shared(), first.shared());
  fd::NotificationCenter::defaultCenter().post(fd::kLowMemoryNotification);
  ui::Picture again = desk_art::named("erase.png");
  EXPECT_NE(again.shared(), first.shared());
  EXPECT_EQ(*again.image(), *first.image());
}

TEST_F(DeskArtTest, ThePaintCanMaskIsTheCansShape) {
  gfx::Image mask = desk_art::draw("Paint_can_mask.png", 2);
  EXPECT_EQ(mask.pixel(0, 0)[3], 0);                                       // corner: outside
  EXPECT_EQ(mask.pixel(mask.pixelWidth() / 2, mask.pixelHeight() * 3 / 4)[3], 255);  // body
  EXPECT_EQ(mask.pixel(mask.pixelWidth() / 2, 2)[3], 0);                   // above the rim
  // The paint running over the rim and the opening belong to the can: no
  // hole where they lie over the body.
  const auto at = [&](float fx, float fy) {
    return mask.pixel(static_cast<int>(mask.pixelWidth() * fx), static_cast<int>(mask.pixelHeight() * fy))[3];
  };
  EXPECT_EQ(at(0.28f, 0.45f), 255);  // the drip
  EXPECT_EQ(at(0.5f, 0.34f), 255);   // the opening over the body's top edge
}

}  // namespace
