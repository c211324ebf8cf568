// Sorting sound tags keeps each tag's start and end together, also when tags
// overlap or one holds another.
#include <gtest/gtest.h>

#include "model/ProjectDataModel.h"
#include "model/SoundTag.h"
#include "support/Sandbox.h"

namespace {

class SoundTagPairsTest : public testing_support::SandboxTest {};

TEST_F(SoundTagPairsTest, OverlappingAndNestedTagsKeepTheirPairs) {
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("pairs");
  ASSERT_NE(p, nullptr);
  // The second tag lies inside the first; the third overlaps the second's end.
  p->setSoundTags({SoundTag{"a", {{100, 300}}, {{5, 12}}}, SoundTag{"b", {{150, 200}}, {{6, 8}}},
                   SoundTag{"c", {{180, 350}}, {{7, 14}}}, SoundTag{"d", {{49, 90}}, {{1, 3}}}});
  p->deleteSoundTagViewDataWithTag(3);
  // A flat sort would give (100, 150), (180, 200), (300, 350): tags that
  // never existed. Pairs stay whole and come in order of their starts.
  EXPECT_EQ(p->soundTagPointsArray(), (std::vector<float>{100, 300, 150, 200, 180, 350}));
  EXPECT_EQ(p->soundFrameArray(), (std::vector<int>{5, 12, 6, 8, 7, 14}));
  p->setSoundTags({SoundTag{"x", {{200, 260}}, {{9, 11}}}, SoundTag{"y", {{60, 250}}, {{2, 10}}}});
  p->soundTagPointsArrayArrange();
  p->soundTagFrameArrayArrange();
  EXPECT_EQ(p->soundTagPointsArray(), (std::vector<float>{60, 250, 200, 260}));
  EXPECT_EQ(p->soundFrameArray(), (std::vector<int>{2, 10, 9, 11}));
  for (std::size_t i = 0; i < p->soundTags().size(); ++i) {
    const SoundTag& t = p->soundTags()[i];
    EXPECT_LE((*t.points)[0], (*t.points)[1]) << i;
    EXPECT_LE((*t.frames)[0], (*t.frames)[1]) << i;
  }
}

}  // namespace
