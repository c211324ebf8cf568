// The desk's "New Feature" sheet and the alert with labels of its own: built
// by no screen of the program, so driven here directly.
#include <gtest/gtest.h>

#include <vector>

#include "desk/frames/AlertView.h"
#include "desk/frames/ShowSimpleView.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/ImageView.h"
#include "DeskTestSupport.h"

namespace {

class ShowSimpleViewTest : public desk_test::DeskTest {
 protected:
  static void setLanguage(const char* language) {
    fd::UserDefaults::standard().setObject("AppleLanguages", fd::Value(fd::Array{fd::Value(std::string(language))}));
  }
  static std::vector<ui::Label*> labelsOf(const ui::View& v) {
    std::vector<ui::Label*> out;
    for (const auto& s : v.subviews())
      if (auto* l = dynamic_cast<ui::Label*>(s.get())) out.push_back(l);
    return out;
  }
  static void expectCaption(const ui::Label* l, const char* key, ui::Rect frame, float size, bool bold, int lines) {
    SCOPED_TRACE(key);
    EXPECT_EQ(l->text(), fd::Localized(key));
    EXPECT_EQ(l->frame(), frame);
    EXPECT_FLOAT_EQ(l->font().size, size);
    EXPECT_EQ(l->font().bold, bold);
    EXPECT_EQ(l->numberOfLines(), lines);
    EXPECT_EQ(l->textColor(), ui::Color::white(1));
  }
};

TEST_F(ShowSimpleViewTest, DeskSheetCaptionsInChineseAndInTheLongerLanguages) {
  start();
  setLanguage("zh-Hans");
  DesktopShowSimpleView chinese({10, 5, 480, 320});
  EXPECT_EQ(chinese.languagesTag(), 0);
  // The picture takes the sheet's own frame rectangle, origin and all.
  auto* picture = dynamic_cast<ui::ImageView*>(chinese.subviews().front().get());
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->frame(), (ui::Rect{10, 5, 480, 320}));
  EXPECT_FALSE(picture->image().empty());
  auto labels = labelsOf(chinese);
  ASSERT_EQ(labels.size(), 8u);
  expectCaption(labels[0], "New Feature", {250, 20, 150, 20}, 16, true, 1);
  expectCaption(labels[1], "CameraPhotoFeature", {235, 40, 200, 17}, 11, false, 1);
  expectCaption(labels[2], "New Feature", {210, 82, 150, 20}, 16, true, 1);
  expectCaption(labels[3], "SetBrushInduction", {205, 100, 210, 30}, 9, true, 2);
  expectCaption(labels[4], "New Feature", {30, 136, 150, 20}, 14, true, 1);
  expectCaption(labels[5], "ShareWorksToLumisto", {25, 155, 165, 40}, 11, false, 3);
  expectCaption(labels[6], "New Feature", {210, 240, 150, 20}, 14, true, 1);
  expectCaption(labels[7], "FillToolFeature", {210, 260, 190, 30}, 11, false, 2);

  setLanguage("fr");
  DesktopShowSimpleView other({0, 0, 568, 320});
  EXPECT_EQ(other.languagesTag(), 1);
  labels = labelsOf(other);
  ASSERT_EQ(labels.size(), 8u);
  expectCaption(labels[0], "New Feature", {250, 20, 150, 20}, 16, true, 1);
  expectCaption(labels[1], "CameraPhotoFeature", {235, 37, 200, 35}, 9, false, 3);
  expectCaption(labels[3], "SetBrushInduction", {205, 100, 210, 30}, 9, false, 2);
  expectCaption(labels[5], "ShareWorksToLumisto", {25, 146, 160, 60}, 7, false, 5);
  expectCaption(labels[7], "FillToolFeature", {210, 260, 190, 35}, 9, false, 3);
  // The tall screen moves nothing on the desk's sheet.
  expectCaption(labels[4], "New Feature", {30, 136, 150, 20}, 14, true, 1);
}

TEST_F(ShowSimpleViewTest, ATouchAnywhereRemovesEitherOverlay) {
  start();
  for (int kind = 0; kind < 2; ++kind) {
    std::shared_ptr<ShowSimpleView> sheet;
    if (kind == 0) sheet = DesktopShowSimpleView::initWithFrame(desk->view()->bounds());
    else sheet = PicManagerShowSimpleView::initWithFrame(desk->view()->bounds());
    sheet->setType(7);
    EXPECT_EQ(sheet->type(), 7);
    desk->view()->addSubview(sheet);
    // A press on the canvas under it reaches the sheet, not the canvas.
    host->tap(onPage(200, 150));
    host->runUntilIdle();
    EXPECT_EQ(sheet->superview(), nullptr) << kind;
    EXPECT_EQ(canvasAlphaAt(200, 150), 0) << kind;
  }
}

TEST_F(ShowSimpleViewTest, AlertKeepsItsTwoLabelsOverItsOwnLayout) {
  start();
  auto alert = AlertView::initWithFrame({0, 0, 200, 120});
  ASSERT_NE(alert->alertTitle(), nullptr);
  ASSERT_NE(alert->alertMessage(), nullptr);
  for (ui::Label* l : {alert->alertTitle(), alert->alertMessage()}) {
    EXPECT_EQ(l->superview(), alert.get());
    EXPECT_EQ(l->textColor(), ui::Color::white(1));
    EXPECT_FLOAT_EQ(l->font().size, 14);
    EXPECT_FALSE(l->font().bold);
    EXPECT_EQ(l->numberOfLines(), 2);
    EXPECT_EQ(l->backgroundColor(), ui::Color::clear());
  }
  EXPECT_EQ(alert->alertTitle()->frame(), (ui::Rect{10, 5, 180, 50}));
  EXPECT_EQ(alert->alertMessage()->frame(), (ui::Rect{10, 60, 180, 50}));
  alert->alertTitle()->setText("Saved");
  alert->alertMessage()->setText("Your frames are in the album");
  alert->addButtonWithTitle("OK");
  alert->show();
  host->runUntilIdle();
  ASSERT_EQ(host->alerts().size(), 1u);
  // The alert's own layout rebuilt its subviews; the labels are still there, on top.
  EXPECT_EQ(alert->alertTitle()->superview(), alert.get());
  EXPECT_EQ(alert->alertMessage()->superview(), alert.get());
  EXPECT_EQ(alert->subviews().back().get(), alert->alertMessage());
  EXPECT_EQ(alert->alertTitle()->text(), "Saved");
  // A label handed in replaces the old one in the tree.
  auto replacement = std::make_shared<ui::Label>(ui::Rect{10, 5, 180, 50});
  std::shared_ptr<ui::View> old = alert->alertTitle()->self();
  alert->setAlertTitle(replacement);
  EXPECT_EQ(old->superview(), nullptr);
  EXPECT_EQ(replacement->superview(), alert.get());
  EXPECT_TRUE(host->pressAlertButton("OK"));
  host->advance(0.5);
  EXPECT_TRUE(host->alerts().empty());
}

}  // namespace
