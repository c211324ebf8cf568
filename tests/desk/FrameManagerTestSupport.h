#pragma once
// The frame manager opened on the desk with the tip dismissed and the sound
// track slid out, helpers that drive its papers through the view tree, and the
// check that the project on disk, the model and the papers on screen agree.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "DeskTestSupport.h"
#include "desk/frames/FrameMenu.h"
#include "desk/frames/PictureLoad.h"
#include "desk/frames/ShowSimpleView.h"
#include "desk/frames/SoundTrack.h"
#include "desk/frames/ZTPicManagerView.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"

namespace frame_test {

class FrameManagerTest : public desk_test::DeskTest {
 protected:
  // No load of this test may outlive its sandbox and model.
  void TearDown() override {
    picture_load::waitAll();
    stop();
  }
  void prepareModel() override {
    while (static_cast<int>(project().imagesArray().size()) < frames) ASSERT_TRUE(project().createImageAtPage(1));
    project().setSoundTags(tags);
    ASSERT_TRUE(project().saveData());
  }

  ZTPicManagerView& open(bool tall = false, bool instant = true) {
    start(tall, 1.0f, instant);
    tapView(desk->frameManagerBtn());
    auto* panel = dynamic_cast<ZTPicManagerView*>(desk->picManagerView());
    EXPECT_NE(panel, nullptr);
    ZTPaperView::waitForLoads();
    host->runUntilIdle();
    // The first opening shows the tip; a touch anywhere on it removes it.
    if (ShowSimpleView* tip = tipOf(*panel)) host->tap(tip->convertPointTo({240, 150}, nullptr));
    host->runUntilIdle();
    // The tip slides the sound track in over the depository; its tab slides it out.
    if (panel->soundTrack()->isShow()) tapView(panel->soundTrack()->tabBtn());
    return *panel;
  }
  static ShowSimpleView* tipOf(const ui::View& panel) {
    for (const auto& v : panel.subviews())
      if (auto* tip = dynamic_cast<ShowSimpleView*>(v.get())) return tip;
    return nullptr;
  }
  std::vector<int> shownPages(const ZTPicManagerView& m) {
    std::vector<int> out;
    for (const auto& p : m.imagesViewArray()) out.push_back(p->isHidden() ? 0 : p->page());
    return out;
  }
  // The icon names of the frame list as the project on disk has them.
  std::vector<std::string> iconsOnDisk() {
    auto p = ProjectDataModel::initWithProjectName(project().curProjectName());
    std::vector<std::string> out;
    if (!p) return out;
    for (const auto& f : p->imagesArray()) out.push_back(f.iconName);
    return out;
  }
  std::vector<std::string> icons() {
    std::vector<std::string> out;
    for (const auto& f : project().imagesArray()) out.push_back(f.iconName);
    return out;
  }
  // Every layer's page references are exactly the pages that list it; after
  // a move the model may keep a stale extra entry, but never miss a page in use.
  void expectReferencesRight(bool exact = true) {
    std::map<std::string, std::set<int>> uses;
    const auto& frames = project().imagesArray();
    for (int i = 0; i < static_cast<int>(frames.size()); ++i)
      for (const auto& id : frames[i].laysArray) uses[id].insert(i + 1);
    for (const auto& [id, layer] : project().laysDictionary()) {
      std::set<int> refs(layer.refPageArray.begin(), layer.refPageArray.end());
      if (exact) EXPECT_EQ(refs, uses[id]) << "layer " << id;
      else
        for (int page : uses[id]) EXPECT_EQ(refs.count(page), 1u) << "layer " << id << " page " << page;
    }
  }
  void tapPaperOfFrame(ZTPicManagerView& m, int frame) {
    const int k = frame - 1 - m.papersPerPage() * (m.curImagesViewPage() - 1);
    tapView(m.imagesViewArray().at(k).get());
  }
  ui::Point slotCentre(ZTPicManagerView& m, int slot) {
    ui::Rect r = m.imagesView()->convertRectTo({(slot % 5) * 80.0f, (slot / 5) * 69.0f + 20, 80, 64}, nullptr);
    return {r.x + r.width / 2, r.y + r.height / 2};
  }
  void setRun(ZTPicManagerView& m, int page, int number) {
    m.setReapeatFrameView(page);
    RepeatFrameView* picker = nullptr;
    for (const auto& v : m.subviews())
      if (auto* r = dynamic_cast<RepeatFrameView*>(v.get())) picker = r;
    ASSERT_NE(picker, nullptr);
    picker->setNumber(number);
    tapView(picker->button(RepeatFrameView::kOK));
  }
  // Drags the first strip frame into the depository, count times.
  void firstFramesIntoDepository(ZTPicManagerView& m, int count) {
    const ui::Rect dep = m.temporaryView()->convertRectTo(m.temporaryView()->bounds(), nullptr);
    for (int i = 0; i < count; ++i) {
      host->drag(slotCentre(m, 0), {dep.x + 40 + 80 * i, dep.y + 32}, 6);
      settle();
    }
  }
  RepeatFrameView* picker(const ZTPicManagerView& m) {
    for (const auto& v : m.subviews())
      if (auto* r = dynamic_cast<RepeatFrameView*>(v.get())) return r;
    return nullptr;
  }
  // The names of the files in the project's folder.
  std::set<std::string> projectFiles() {
    std::set<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(project().projectDicPath()))
      out.insert(e.path().filename().string());
    return out;
  }
  // A picture of one colour at a path, as the canvas would leave a page's files.
  static void writeSwatch(const std::filesystem::path& path, int w, int h, gfx::Color colour) {
    gfx::Context c(w, h, 1);
    c.setFillColor(colour);
    c.fillRect({0, 0, static_cast<float>(w), static_cast<float>(h)});
    ASSERT_TRUE(gfx::writePNG(path, c.makeImage()));
  }
  void settle() {
    host->runUntilIdle();
    ZTPaperView::waitForLoads();
    host->runUntilIdle();
  }

  // The project read back from disk equals the model, the model keeps its
  // invariants, and the papers show exactly the model's frames and entries.
  void expectDiskModelAndScreenAgree(ZTPicManagerView& m) {
    ASSERT_FALSE(project().frames().brokenInvariant().has_value()) << *project().frames().brokenInvariant();
    auto disk = ProjectDataModel::initWithProjectName(project().curProjectName());
    ASSERT_NE(disk, nullptr);
    ASSERT_EQ(disk->imagesArray().size(), project().imagesArray().size());
    for (std::size_t i = 0; i < disk->imagesArray().size(); ++i) {
      EXPECT_EQ(disk->imagesArray()[i].iconName, project().imagesArray()[i].iconName);
      EXPECT_EQ(disk->imagesArray()[i].laysArray, project().imagesArray()[i].laysArray);
      EXPECT_EQ(disk->imagesArray()[i].reapeatNumber, project().imagesArray()[i].reapeatNumber);
    }
    ASSERT_EQ(disk->temporarysArray().size(), project().temporarysArray().size());
    expectReferencesRight(false);
    const int n = static_cast<int>(project().imagesArray().size());
    const int perPage = m.papersPerPage();
    ASSERT_EQ(static_cast<int>(m.imagesViewArray().size()), perPage);
    for (int k = 0; k < perPage; ++k) {
      const int f = perPage * (m.curImagesViewPage() - 1) + k + 1;
      ZTPaperView* paper = m.imagesViewArray()[k].get();
      EXPECT_EQ(paper->superview(), m.imagesView());
      EXPECT_EQ(paper->frame(), (ui::Rect{(k % 5) * 80.0f, (k / 5) * 69.0f + 20, 80, 64})) << "slot " << k;
      EXPECT_EQ(paper->isHidden(), f > n) << "slot " << k;
      if (f <= n) {
        EXPECT_EQ(paper->page(), f);
        EXPECT_FLOAT_EQ(paper->alpha(), project().isReapeatFrame(f) ? 0.5f : 1.0f);
      }
    }
    ASSERT_EQ(m.temporaryViewArray().size(), project().temporarysArray().size());
    for (std::size_t k = 0; k < m.temporaryViewArray().size(); ++k) {
      EXPECT_EQ(m.temporaryViewArray()[k]->page(), static_cast<int>(k) + 1);
      EXPECT_EQ(m.temporaryViewArray()[k]->frame().x, 80.0f * k);
      EXPECT_EQ(m.temporaryViewArray()[k]->superview(), m.temporaryView());
    }
    for (const auto& v : m.subviews()) ASSERT_EQ(dynamic_cast<ZTPaperView*>(v.get()), nullptr);
  }

  int frames = 7;
  std::vector<SoundTag> tags;
};

}  // namespace frame_test
