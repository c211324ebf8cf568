// The desk's and the frame manager's questions and notes read as sentences a
// user understands, with answers that are words, and each answer still does
// what it says: the program tells the answers apart by their words, so two
// answers of one question never share a wording.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "FrameManagerTestSupport.h"
#include "desk/BackgroundsView.h"
#include "platform/foundation/Localized.h"

namespace {

// A sentence: a capital first, a full stop, question or exclamation mark
// last, and words, not a note such as "delete paper".
void expectSentence(const std::string& text) {
  ASSERT_FALSE(text.empty());
  EXPECT_TRUE(std::isupper(static_cast<unsigned char>(text.front()))) << "\u201c" << text << "\u201d";
  EXPECT_NE(std::string(".?!").find(text.back()), std::string::npos) << "\u201c" << text << "\u201d";
  EXPECT_GE(std::count(text.begin(), text.end(), ' '), 2) << "\u201c" << text << "\u201d";
}

// An answer: a capitalised word or two, no punctuation trailing.
void expectAnswer(const std::string& title) {
  ASSERT_FALSE(title.empty());
  EXPECT_TRUE(std::isupper(static_cast<unsigned char>(title.front()))) << "\u201c" << title << "\u201d";
  EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(title.back()))) << "\u201c" << title << "\u201d";
}

class AlertWordsTest : public frame_test::FrameManagerTest {
 protected:
  // The one alert on screen: a sentence, answers in words that differ.
  ui::ButtonSheet& theQuestion() {
    const auto alerts = host->alerts();
    EXPECT_EQ(alerts.size(), 1u);
    ui::ButtonSheet& q = *alerts.back();
    expectSentence(q.message());
    for (int i = 0; i < q.numberOfButtons(); ++i) {
      expectAnswer(q.buttonTitleAtIndex(i));
      for (int j = 0; j < i; ++j) EXPECT_NE(q.buttonTitleAtIndex(i), q.buttonTitleAtIndex(j));
    }
    return q;
  }
  void openDrawer() {
    if (!desk->tools() || desk->tools()->isHidden() || desk->tools()->frame().x != 0) tapView(desk->toolBtn());
  }
};

}  // namespace

TEST_F(AlertWordsTest, TheDrawersDeleteAsksInASentenceAndItsAnswerDeletesThePage) {
  start();
  const std::size_t before = project().imagesArray().size();
  openDrawer();
  tapView(desk->drawerButton(DesktopManagerController::kTagDelete));
  theQuestion();
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Cancel")));
  host->advance(0.5);
  EXPECT_EQ(project().imagesArray().size(), before);
  openDrawer();
  tapView(desk->drawerButton(DesktopManagerController::kTagDelete));
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Delete:")));
  host->advance(0.5);
  host->runUntilIdle();
  EXPECT_EQ(project().imagesArray().size(), before - 1);
}

TEST_F(AlertWordsTest, TheDrawersClearAsksInASentenceAndItsAnswerClears) {
  start();
  stroke(onPage(40, 40), onPage(300, 200));
  ASSERT_GT(canvasAlphaAt(170, 120), 0);
  openDrawer();
  tapView(desk->drawerButton(DesktopManagerController::kTagClear));
  theQuestion();
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Cancel")));
  host->advance(0.5);
  EXPECT_GT(canvasAlphaAt(170, 120), 0);
  openDrawer();
  tapView(desk->drawerButton(DesktopManagerController::kTagClear));
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("OK")));
  host->advance(0.5);
  host->runUntilIdle();
  EXPECT_EQ(canvasAlphaAt(170, 120), 0);
}

TEST_F(AlertWordsTest, TheFrameManagersDeleteQuestionsReadAsSentences) {
  ZTPicManagerView& m = open();
  const std::size_t before = project().imagesArray().size();
  // The frame menu's trash.
  tapPaperOfFrame(m, 2);
  ASSERT_NE(m.frameMenu(), nullptr);
  tapView(m.frameMenu()->button(FrameMenu::kDelete));
  theQuestion();
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Delete")));
  host->advance(0.5);
  settle();
  EXPECT_EQ(project().imagesArray().size(), before - 1);

  // A frame's trash in the depository.
  firstFramesIntoDepository(m, 1);
  ASSERT_EQ(m.temporaryViewArray().size(), 1u);
  const ui::Rect dep = m.temporaryView()->convertRectTo(m.temporaryView()->bounds(), nullptr);
  host->tap({dep.x + 40, dep.y + 40});
  host->runUntilIdle();
  ZTPaperView* paper = m.temporaryViewArray()[0].get();
  ASSERT_FALSE(paper->delButton()->isHidden());
  tapView(paper->delButton());
  theQuestion();
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Delete:")));
  host->advance(0.5);
  settle();
  EXPECT_TRUE(project().temporarysArray().empty());
}

TEST_F(AlertWordsTest, DeletingAUsersBackgroundAsksInASentence) {
  start();
  tapView(desk->groundBtn());
  tapView(desk->backgroundRowButton());
  BackgroundsView& gallery = *desk->backgroundsView();
  gfx::Image grey(384, 288);
  for (int y = 0; y < 288; ++y)
    for (int x = 0; x < 384; ++x) std::fill_n(grey.pixel(x, y), 4, std::uint8_t{200});
  const std::optional<std::string> name = gallery.addBackgroundWithImage(grey);
  ASSERT_TRUE(name.has_value());
  tapView(gallery.cellNamed(*name)->selectedButton());
  host->advance(0.5);
  tapView(gallery.editButton(BackgroundsView::kTagDelete));
  ui::ButtonSheet& q = theQuestion();
  EXPECT_NE(q.message().find("background"), std::string::npos) << q.message();
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Delete:")));
  host->advance(0.5);
  host->runUntilIdle();
  EXPECT_EQ(gallery.cellNamed(*name), nullptr);
}

TEST_F(AlertWordsTest, TheSoundButtonOfAProjectWithoutSoundSaysWhy) {
  start();
  ASSERT_FALSE(project().isCouldPlaySound());
  tapView(desk->playerBtn());
  ui::Button* mute = desk->playerButton(DesktopManagerController::kTagMute);
  ASSERT_NE(mute, nullptr);
  const bool wasSelected = mute->isSelected();
  tapView(mute);
  ui::ButtonSheet& note = theQuestion();
  EXPECT_NE(note.message().find("sound"), std::string::npos) << note.message();
  ASSERT_TRUE(host->pressAlertButton(0));
  host->runUntilIdle();
  EXPECT_EQ(mute->isSelected(), wasSelected);
}
