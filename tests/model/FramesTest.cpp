// Frames with shared layers, repeat runs and the temporary tray.
#include <functional>
#include <map>
#include <random>
#include <set>

#include "model/ModelTestSupport.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"

namespace {

using model_test::ModelTest;
using model_test::writeTinyPng;
namespace fs = std::filesystem;

class FramesTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    p = ProjectDataModel::initWithProjectName("frames");
  }

  // Grows the project to `count` plain frames, with files for every page.
  void makeFrames(int count) {
    while (static_cast<int>(p->imagesArray().size()) < count) {
      ASSERT_TRUE(p->createImageAtPage(static_cast<int>(p->imagesArray().size())));
    }
    writeAllFiles();
  }

  void writeAllFiles() {
    for (const std::vector<FrameRecord>* list : {&p->imagesArray(), &p->temporarysArray()}) {
      for (const FrameRecord& r : *list) {
        for (const std::string& id : r.laysArray) {
          if (!fs::exists(file(id + ".png"))) writeTinyPng(file(id + ".png"));
        }
        if (!fs::exists(file(r.iconName + "Icon.png"))) writeTinyPng(file(r.iconName + "Icon.png"));
        if (!fs::exists(file(r.iconName + "Snapshot.png"))) writeTinyPng(file(r.iconName + "Snapshot.png"));
      }
    }
  }

  // Turns the frame at `page` into a run of `length` frames, as the repeat
  // picker does: copies follow it and references are not touched.
  void makeRun(int page, int length) { ASSERT_TRUE(p->setRepeatRunAtPage(page, length)); }

  // Changes what is stored and loads it again: the states no operation makes
  // arrive from files of other versions.
  void editStored(const std::function<void(fd::Value& frames)>& edit) {
    ASSERT_TRUE(p->saveData());
    fd::Value v = *fd::readPropertyList(p->plistFilePath());
    edit(v);
    ASSERT_TRUE(fd::writePropertyList(p->plistFilePath(), v));
    ASSERT_TRUE(p->readData());
  }

  fs::path file(const std::string& name) { return p->projectDicPath() / name; }
  std::string icon(int page) { return p->imagesArray()[page - 1].iconName; }

  std::shared_ptr<ProjectDataModel> p;
};

TEST_F(FramesTest, ANewFrameGoesAfterTheRunHoldingThePage) {
  makeFrames(2);
  makeRun(1, 3);  // pages 1-3 one run, page 4 plain
  const std::string plain = icon(4);
  ASSERT_TRUE(p->createImageAtPage(2));
  ASSERT_EQ(p->imagesArray().size(), 5u);
  EXPECT_FALSE(p->imagesArray()[3].frameInfo.has_value());
  EXPECT_EQ(icon(5), plain);
  EXPECT_FALSE(p->createImageAtPage(0));
  EXPECT_TRUE(p->createImageAtPage(99));
  EXPECT_EQ(p->imagesArray().size(), 6u);
}

TEST_F(FramesTest, RunQueriesAndStepping) {
  makeFrames(4);
  makeRun(2, 3);  // 1 plain, 2-4 run, 5 plain, 6 plain
  EXPECT_TRUE(p->isByReapeatFrame(2));
  EXPECT_TRUE(p->isReapeatFrame(3));
  EXPECT_FALSE(p->isReapeatFrame(0));
  EXPECT_EQ(p->reapeatFrame(4), 2);
  EXPECT_EQ(p->reapeatFrame(1), 1);
  EXPECT_EQ(p->reapeatFrame(99), 99) << "the last frame is plain, so the argument comes back";
  EXPECT_EQ(p->reapeatFrameNumber(2), 3);
  EXPECT_EQ(p->reapeatFrameNumber(3), 1);
  EXPECT_EQ(p->reapeatFrameNumber(0), 1);
  EXPECT_EQ(p->pageUpWithCurrentPage(4), 2);
  EXPECT_EQ(p->pageUpWithCurrentPage(9), 9);
  EXPECT_EQ(p->nextPageWithCurrentPage(3), 5);
  EXPECT_EQ(p->gitRidOfRepeatFrameCurrentPage(5), 3);
  EXPECT_EQ(p->gitRidOfRepeatFrameCurrentPage(0), 0);
  EXPECT_EQ(p->gitRidOfRepeatFrameCurrentPage(10), 10);
  // Only copies follow page 6 after this run is made: stepping on lands on its start.
  makeRun(6, 2);
  EXPECT_EQ(p->nextPageWithCurrentPage(7), 6);
}

TEST_F(FramesTest, DeletingAPageOfARunDeletesTheRunAndItsPictures) {
  makeFrames(3);
  makeRun(2, 3);  // 1, run 2-4, 5
  const std::string runIcon = icon(2);
  const std::string lastIcon = icon(5);
  ASSERT_TRUE(p->deleteImageAtPage(3, false));
  ASSERT_EQ(p->imagesArray().size(), 2u);
  EXPECT_EQ(icon(2), lastIcon);
  // The pictures go with the next save: until then Project.plist on disk
  // may still name them.
  EXPECT_TRUE(fs::exists(file(runIcon + "Icon.png")));
  ASSERT_TRUE(p->saveData());
  EXPECT_FALSE(fs::exists(file(runIcon + "Icon.png")));
  EXPECT_FALSE(fs::exists(file(runIcon + "Snapshot.png")));
  EXPECT_TRUE(p->deleteImageAtPage(7, false)) << "out of range still answers YES";
  // A layer goes with the page its references name.
  const std::vector<std::string> lastLayers = p->imagesArray()[1].laysArray;
  ASSERT_TRUE(p->deleteImageAtPage(2, false));
  ASSERT_TRUE(p->saveData());
  for (const std::string& id : lastLayers) {
    EXPECT_FALSE(fs::exists(file(id + ".png")));
    EXPECT_FALSE(p->laysDictionary().contains(id));
  }
}

TEST_F(FramesTest, DeletingARunMovesTheLaterPagesReferencesUpByItsLength) {
  makeFrames(5);
  // A run of 3 at page 2 with a reference for each of its pages, as the
  // repeat picker leaves it: 1, run 2-4, 5, 6, 7.
  const std::vector<std::string> runLayers = p->imagesArray()[1].laysArray;
  ASSERT_TRUE(p->setRepeatRunAtPage(2, 3));
  for (int q = 3; q <= 4; ++q) {
    p->marksIncFromPage(q);
    for (const std::string& id : runLayers) p->addMark(q, id);
  }
  auto expectExactReferences = [&] {
    std::map<std::string, std::set<int>> uses;
    for (int i = 0; i < static_cast<int>(p->imagesArray().size()); ++i)
      for (const std::string& id : p->imagesArray()[i].laysArray) uses[id].insert(i + 1);
    for (const auto& [id, layer] : p->laysDictionary())
      EXPECT_EQ(std::set<int>(layer.refPageArray.begin(), layer.refPageArray.end()), uses[id]) << id;
  };
  expectExactReferences();
  const std::string fifth = icon(5);
  ASSERT_TRUE(p->deleteImageAtPage(3, false));
  ASSERT_EQ(p->imagesArray().size(), 4u);
  EXPECT_EQ(icon(2), fifth);
  expectExactReferences();
  for (const std::string& id : runLayers) EXPECT_FALSE(p->laysDictionary().contains(id));
  // Deleting what followed the run keeps every other frame's layers.
  ASSERT_TRUE(p->deleteImageAtPage(2, false));
  ASSERT_TRUE(p->saveData());
  expectExactReferences();
  for (const FrameRecord& r : p->imagesArray())
    for (const std::string& id : r.laysArray) EXPECT_TRUE(fs::exists(file(id + ".png"))) << id;
}

TEST_F(FramesTest, DeletingTheOnlyFrameLeavesANewEmptyOne) {
  writeAllFiles();
  const std::string old = icon(1);
  ASSERT_TRUE(p->deleteImageAtPage(1, false));
  ASSERT_EQ(p->imagesArray().size(), 1u);
  EXPECT_NE(icon(1), old);
  EXPECT_EQ(p->laysDictionary().size(), 2u);
}

TEST_F(FramesTest, ParkingARunAndBringingItBack) {
  makeFrames(2);
  makeRun(1, 3);  // run 1-3, 4 plain
  const std::string runIcon = icon(1);
  const std::vector<std::string> lays = p->imagesArray()[0].laysArray;
  ASSERT_TRUE(p->moveImageToTemporaryWithPage(1));
  ASSERT_EQ(p->imagesArray().size(), 1u);
  ASSERT_EQ(p->temporarysArray().size(), 1u);
  EXPECT_EQ(p->temporarysArray()[0].reapeatNumber, 3);
  for (const std::string& id : lays) {
    EXPECT_TRUE(fs::exists(file(id + ".png"))) << "parked layers survive";
    EXPECT_TRUE(p->checkLayUsed(id));
  }
  ASSERT_TRUE(p->moveTemporaryAtpage(1, 1));
  ASSERT_EQ(p->imagesArray().size(), 4u);
  EXPECT_TRUE(p->temporarysArray().empty());
  EXPECT_TRUE(p->isByReapeatFrame(1));
  EXPECT_TRUE(p->isReapeatFrame(2));
  EXPECT_TRUE(p->isReapeatFrame(3));
  for (int page = 1; page <= 3; ++page) {
    EXPECT_EQ(icon(page), runIcon);
    EXPECT_EQ(p->imagesArray()[page - 1].laysArray, lays);
  }
  EXPECT_FALSE(p->moveTemporaryAtpage(1, 1));
}

TEST_F(FramesTest, ParkingTheLastFrameLeavesANewOne) {
  writeAllFiles();
  ASSERT_TRUE(p->moveImageToTemporaryWithPage(1));
  EXPECT_EQ(p->imagesArray().size(), 1u);
  EXPECT_EQ(p->temporarysArray().size(), 1u);
  EXPECT_FALSE(p->moveImageToTemporaryWithPage(2));
}

TEST_F(FramesTest, MovingClampsTheTarget) {
  makeFrames(3);
  const std::string first = icon(1);
  ASSERT_TRUE(p->moveImageFrom(1, 5));
  EXPECT_EQ(icon(3), first);
  EXPECT_FALSE(p->moveImageFrom(3, 7)) << "7 clamps to 3, the same page";
  EXPECT_FALSE(p->moveImageFrom(0, 1));
  ASSERT_TRUE(p->moveImageFrom(3, 0));
  EXPECT_EQ(icon(1), first);
  for (const auto& [id, layer] : p->laysDictionary()) EXPECT_TRUE(fs::exists(file(id + ".png")));
}

TEST_F(FramesTest, MovingARunMovesAllOfIt) {
  makeFrames(3);
  makeRun(1, 2);  // run 1-2, 3, 4
  const std::string runIcon = icon(1);
  ASSERT_TRUE(p->moveImageFrom(1, 4));
  ASSERT_EQ(p->imagesArray().size(), 4u);
  EXPECT_EQ(icon(3), runIcon);
  EXPECT_TRUE(p->isByReapeatFrame(3));
  EXPECT_TRUE(p->isReapeatFrame(4));
}

TEST_F(FramesTest, CopyingMakesNewLayerFilesAfterTheRun) {
  makeFrames(2);
  makeRun(1, 2);  // run 1-2, 3
  p->setLayStateIsOpen(false, 1, 2, false);
  ASSERT_TRUE(p->copyImageAtPage(2));
  ASSERT_EQ(p->imagesArray().size(), 4u);
  const FrameRecord& copy = p->imagesArray()[2];
  EXPECT_FALSE(copy.frameInfo.has_value());
  ASSERT_EQ(copy.laysArray.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_NE(copy.laysArray[i], p->imagesArray()[0].laysArray[i]);
    EXPECT_EQ(model_test::readText(file(copy.laysArray[i] + ".png")),
              model_test::readText(file(p->imagesArray()[0].laysArray[i] + ".png")));
  }
  EXPECT_TRUE(p->layIsOpenAtPage(3, 1, false));
  EXPECT_FALSE(p->layIsOpenAtPage(3, 2, false));
  fd::Expected<gfx::Image> snapshot = gfx::readPNG(file(copy.iconName + "Snapshot.png"));
  fd::Expected<gfx::Image> iconImage = gfx::readPNG(file(copy.iconName + "Icon.png"));
  ASSERT_TRUE(snapshot && iconImage);
  EXPECT_EQ(snapshot->pixelWidth(), 384);
  EXPECT_EQ(snapshot->pixelHeight(), 288);
  EXPECT_EQ(iconImage->pixelWidth(), 108);
  EXPECT_EQ(iconImage->pixelHeight(), 81);
  EXPECT_EQ(snapshot->pixel(192, 144)[3], 255) << "the layers are drawn over the whole page";
  EXPECT_FALSE(p->copyImageAtPage(9));
}

TEST_F(FramesTest, HidingALayerOfARunHidesItOnEveryFrameAndSaves) {
  makeFrames(1);
  makeRun(1, 3);
  p->setLayStateIsOpen(false, 2, 1, false);
  for (int page = 1; page <= 3; ++page) EXPECT_FALSE(p->layIsOpenAtPage(page, 1, false));
  EXPECT_TRUE(p->layIsOpenAtPage(1, 2, false));
  EXPECT_TRUE(p->layIsOpenAtPage(9, 1, false));
  EXPECT_FALSE(ProjectDataModel::initWithProjectName("frames")->layIsOpenAtPage(3, 1, false));
}

TEST_F(FramesTest, ALayerStillNamedByAFrameKeepsItsFile) {
  makeFrames(2);
  // A second frame that shares page 1's layers while their references only
  // say page 1 (as a repeat picker leaves them).
  const std::vector<std::string> shared = p->imagesArray()[0].laysArray;
  editStored([](fd::Value& v) { (*v["ImagesArray"].array())[1]["LaysArray"] = v["ImagesArray"].at(0)["LaysArray"]; });
  ASSERT_EQ(p->imagesArray()[1].laysArray, shared);
  ASSERT_TRUE(p->deleteImageAtPage(1, false));
  for (const std::string& id : shared) {
    EXPECT_TRUE(fs::exists(file(id + ".png"))) << id;
    EXPECT_TRUE(p->laysDictionary().contains(id));
  }
}

TEST_F(FramesTest, PicturesOfAnIconNameStayWhileARecordNamesIt) {
  makeFrames(2);
  ASSERT_TRUE(p->moveImageToTemporaryWithPage(2));
  // The tray record and a frame of the list share an icon name.
  editStored([](fd::Value& v) { (*v["ImagesArray"].array())[0]["IconName"] = v["temporarysArray"].at(0)["IconName"]; });
  ASSERT_EQ(p->imagesArray()[0].iconName, p->temporarysArray()[0].iconName);
  writeAllFiles();
  const std::string shared = icon(1);
  ASSERT_TRUE(p->deleteImageAtPage(1, true));
  EXPECT_TRUE(fs::exists(file(shared + "Icon.png")));
  EXPECT_TRUE(fs::exists(file(shared + "Snapshot.png")));
  for (const std::string& id : p->imagesArray()[0].laysArray) EXPECT_TRUE(fs::exists(file(id + ".png")));
}

TEST_F(FramesTest, DeletingATrayRecordDeletesItsLayers) {
  makeFrames(2);
  ASSERT_TRUE(p->moveImageToTemporaryWithPage(2));
  const FrameRecord parked = p->temporarysArray()[0];
  ASSERT_TRUE(p->deleteImageAtPage(1, true));
  EXPECT_TRUE(p->temporarysArray().empty());
  for (const std::string& id : parked.laysArray) EXPECT_TRUE(fs::exists(file(id + ".png"))) << "until the save";
  ASSERT_TRUE(p->saveData());
  for (const std::string& id : parked.laysArray) EXPECT_FALSE(fs::exists(file(id + ".png")));
  EXPECT_FALSE(fs::exists(file(parked.iconName + "Icon.png")));
}

TEST_F(FramesTest, AStaleRepeatNumberNeverReachesBeyondTheRun) {
  makeFrames(5);
  makeRun(2, 2);  // 1, run 2-3, 4, 5, 6
  editStored([](fd::Value& v) {
    fd::Array& frames = *v["ImagesArray"].array();
    frames[1]["kReapeatNumber"] = fd::Value(4);  // says 4, only 2 are there
    frames[4]["kReapeatNumber"] = fd::Value(3);  // a plain frame with a left-over number
    frames[5]["kFrameInfo"] = fd::Value(kFrameInfoRunStart);
    frames[5]["kReapeatNumber"] = fd::Value(9);  // a run running past the end
  });
  const std::string page4 = icon(4);
  const std::string page5 = icon(5);
  EXPECT_EQ(p->reapeatFrameNumber(2), 2);
  EXPECT_EQ(p->reapeatFrameNumber(5), 1);
  EXPECT_EQ(p->reapeatFrameNumber(6), 1);

  ASSERT_TRUE(p->createImageAtPage(2));
  EXPECT_EQ(icon(5), page4) << "the new frame went right after the real run";
  ASSERT_TRUE(p->deleteImageAtPage(4, false));  // the new frame
  ASSERT_TRUE(p->deleteImageAtPage(2, false));
  ASSERT_EQ(p->imagesArray().size(), 4u);
  EXPECT_EQ(icon(2), page4);
  EXPECT_EQ(icon(3), page5);

  ASSERT_TRUE(p->moveImageFrom(3, 1));
  EXPECT_EQ(icon(1), page5);
  EXPECT_EQ(p->imagesArray().size(), 4u);
  ASSERT_TRUE(p->moveImageToTemporaryWithPage(4));
  EXPECT_EQ(p->imagesArray().size(), 3u);
  EXPECT_EQ(p->temporarysArray()[0].reapeatNumber, 1);
  ASSERT_TRUE(p->moveTemporaryAtpage(1, 1));
  EXPECT_EQ(p->imagesArray().size(), 4u);
}

TEST_F(FramesTest, LayerReferencesFollowInsertions) {
  makeFrames(2);
  const std::string second = p->imagesArray()[1].laysArray[0];
  EXPECT_EQ(p->layMarks(second), std::vector<int>{2});
  ASSERT_TRUE(p->insertImageWithLays({"L1", "L2"}, "I1", 1));
  EXPECT_EQ(p->layMarks(second), std::vector<int>{3});
  EXPECT_EQ(p->layMarks("L1"), std::vector<int>{1});
  EXPECT_EQ(p->layPosition("L2"), 2);
  EXPECT_FALSE(p->insertImageWithLays({"../L"}, "I2", 1));
  EXPECT_FALSE(p->insertImageWithLays({"L3"}, "", 1));
  EXPECT_TRUE(p->replaceLay("L1", std::optional<std::string>("L9"), 1));
  EXPECT_EQ(p->imagesArray()[0].laysArray[0], "L9");
  EXPECT_FALSE(p->laysDictionary().contains("L1"));
  EXPECT_FALSE(p->replaceLay("absent", std::nullopt, 1));
  EXPECT_EQ(p->rightNameWithName("L2"), "L2copy1");
  EXPECT_EQ(p->createLayAtPosition(0), std::nullopt);
}

// Checks what must hold after every frame operation.
void expectConsistent(ProjectDataModel& p, std::set<std::string>& seenLayers, std::set<std::string>& seenIcons,
                      const std::string& step) {
  const fs::path dir = p.projectDicPath();
  ASSERT_FALSE(p.imagesArray().empty()) << step;
  for (const std::vector<FrameRecord>* list : {&p.imagesArray(), &p.temporarysArray()}) {
    for (const FrameRecord& r : *list) {
      for (const std::string& id : r.laysArray) {
        ASSERT_TRUE(p.laysDictionary().contains(id)) << step << ": no record for " << id;
        // Files of layers seen before must still be there; new ones get drawn now.
        if (seenLayers.contains(id)) {
          ASSERT_TRUE(fs::exists(dir / (id + ".png"))) << step << ": lost " << id;
        }
      }
      if (seenIcons.contains(r.iconName)) {
        ASSERT_TRUE(fs::exists(dir / (r.iconName + "Icon.png"))) << step;
      }
    }
  }
  const std::vector<FrameRecord>& f = p.imagesArray();
  for (std::size_t i = 0; i < f.size(); ++i) {
    if (f[i].isRunStart()) {
      const int n = f[i].reapeatNumber.value_or(0);
      ASSERT_GE(n, 1) << step;
      ASSERT_LE(i + n, f.size()) << step;
      for (int k = 1; k < n; ++k) {
        ASSERT_TRUE(f[i + k].isRepeatCopy()) << step;
        ASSERT_EQ(f[i + k].iconName, f[i].iconName) << step;
        ASSERT_EQ(f[i + k].laysArray, f[i].laysArray) << step;
      }
      ASSERT_FALSE(i + n < f.size() && f[i + n].isRepeatCopy() && f[i + n].iconName == f[i].iconName) << step;
    } else if (f[i].isRepeatCopy()) {
      ASSERT_GT(i, 0u) << step;
      ASSERT_TRUE(f[i - 1].isRunStart() || f[i - 1].isRepeatCopy()) << step;
      ASSERT_EQ(f[i - 1].iconName, f[i].iconName) << step;
    }
  }
  for (const FrameRecord& t : p.temporarysArray()) ASSERT_FALSE(t.isRepeatCopy()) << step;
}

// Pages a frame manager hands over: a plain frame or a run's first frame.
std::vector<int> startPages(const ProjectDataModel& p) {
  std::vector<int> pages;
  for (int i = 1; i <= static_cast<int>(p.imagesArray().size()); ++i) {
    if (!p.imagesArray()[i - 1].isRepeatCopy()) pages.push_back(i);
  }
  return pages;
}

TEST_F(FramesTest, RandomFrameOperationsKeepTheProjectWhole) {
  std::mt19937 rng(20240607);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::set<std::string> seenLayers;
  std::set<std::string> seenIcons;
  auto drawNew = [&] {
    writeAllFiles();
    for (const auto& [id, layer] : p->laysDictionary()) seenLayers.insert(id);
    for (const std::vector<FrameRecord>* list : {&p->imagesArray(), &p->temporarysArray()}) {
      for (const FrameRecord& r : *list) seenIcons.insert(r.iconName);
    }
  };
  drawNew();
  for (int step = 0; step < 400; ++step) {
    std::vector<int> starts = startPages(*p);
    const int count = static_cast<int>(p->imagesArray().size());
    const int page = starts[pick(0, static_cast<int>(starts.size()) - 1)];
    std::string what;
    switch (pick(0, 7)) {
      case 0:
        what = "add after " + std::to_string(page);
        p->createImageAtPage(page);
        break;
      case 1:
        what = "copy " + std::to_string(page);
        p->copyImageAtPage(page);
        break;
      case 2:
        what = "delete " + std::to_string(page);
        p->deleteImageAtPage(pick(1, count), false);
        break;
      case 3: {
        // Drop targets are run boundaries of the list without the moved run.
        const int n = p->reapeatFrameNumber(page);
        std::vector<FrameRecord> rest = p->imagesArray();
        rest.erase(rest.begin() + (page - 1), rest.begin() + (page - 1 + n));
        std::vector<int> targets;
        for (int b = 0; b < static_cast<int>(rest.size()); ++b) {
          if (!rest[b].isRepeatCopy()) targets.push_back(b + 1);
        }
        targets.push_back(count);
        const int to = targets[pick(0, static_cast<int>(targets.size()) - 1)];
        what = "move " + std::to_string(page) + " to " + std::to_string(to);
        p->moveImageFrom(page, to);
        break;
      }
      case 4: {
        what = "repeat " + std::to_string(page);
        makeRun(page, pick(1, 4));
        break;
      }
      case 5:
        what = "park " + std::to_string(page);
        p->moveImageToTemporaryWithPage(page);
        break;
      case 6:
        if (p->temporarysArray().empty()) continue;
        what = "unpark";
        p->moveTemporaryAtpage(pick(1, static_cast<int>(p->temporarysArray().size())), starts[pick(0, static_cast<int>(starts.size()) - 1)]);
        break;
      default:
        if (p->temporarysArray().empty()) continue;
        what = "delete from tray";
        p->deleteImageAtPage(pick(1, static_cast<int>(p->temporarysArray().size())), true);
        break;
    }
    const std::string label = "step " + std::to_string(step) + " (" + what + ")";
    expectConsistent(*p, seenLayers, seenIcons, label);
    ASSERT_EQ(p->frames().brokenInvariant(), std::nullopt) << label;
    if (HasFatalFailure()) return;
    drawNew();
  }
  p->saveData();
  std::shared_ptr<ProjectDataModel> reread = ProjectDataModel::initWithProjectName("frames");
  EXPECT_EQ(reread->imagesArray(), p->imagesArray());
  EXPECT_EQ(reread->frames(), p->frames());
}

TEST_F(FramesTest, TheRepeatPickerGrowsAndShrinksARunInPlace) {
  makeFrames(3);
  const std::string second = icon(2);
  const std::string third = icon(3);
  ASSERT_TRUE(p->setRepeatRunAtPage(2, 3));  // a plain frame set to 3
  ASSERT_EQ(p->imagesArray().size(), 5u);
  EXPECT_TRUE(p->isByReapeatFrame(2));
  EXPECT_EQ(p->imagesArray()[1].reapeatNumber, 3);
  for (int page : {3, 4}) {
    EXPECT_TRUE(p->isReapeatFrame(page));
    EXPECT_EQ(icon(page), second);
    EXPECT_EQ(p->imagesArray()[page - 1].laysArray, p->imagesArray()[1].laysArray);
    EXPECT_FALSE(p->imagesArray()[page - 1].reapeatNumber.has_value());
  }
  EXPECT_EQ(icon(5), third);
  ASSERT_TRUE(p->setRepeatRunAtPage(4, 5));  // from a copy's page: the run's first frame
  EXPECT_EQ(p->imagesArray().size(), 7u);
  EXPECT_EQ(p->imagesArray()[2].reapeatNumber, 3) << "new copies, right after the first frame, carry its old number";
  EXPECT_EQ(icon(7), third);
  ASSERT_TRUE(p->setRepeatRunAtPage(2, 1));
  EXPECT_EQ(p->imagesArray().size(), 3u);
  EXPECT_FALSE(p->imagesArray()[1].frameInfo.has_value());
  EXPECT_FALSE(p->imagesArray()[1].reapeatNumber.has_value());
  EXPECT_EQ(icon(3), third);
  EXPECT_FALSE(p->setRepeatRunAtPage(2, 0));
  EXPECT_FALSE(p->setRepeatRunAtPage(4, 2));
  EXPECT_FALSE(p->setRepeatRunAtPage(1, ProjectDataModel::kMaxRepeatRun + 1));
  EXPECT_EQ(p->frames().brokenInvariant(), std::nullopt);
}

// Appending skips the reference walk only while nothing references a page
// that late; stale references read from a file, beyond the last page, still
// move with the pages after them.
TEST_F(FramesTest, StaleReferencesPastTheLastPageStillShift) {
  makeFrames(2);
  const std::string layer = p->imagesArray()[1].laysArray[0];
  editStored([&](fd::Value& v) { v["LaysDictionary"][layer]["RefPageArray"] = fd::Array{fd::Value(2), fd::Value(40)}; });
  ASSERT_TRUE(p->createImageAtPage(3));
  EXPECT_EQ(p->layMarks(layer), (std::vector<int>{2, 41}));
  ASSERT_TRUE(p->createImageAtPage(1));
  EXPECT_EQ(p->layMarks(layer), (std::vector<int>{3, 42}));
  ASSERT_TRUE(p->deleteImageAtPage(3, false));
  EXPECT_EQ(p->layMarks(layer), std::vector<int>{41}) << "the stale reference keeps the layer";
  // Every append lands before the stale page, which moves on each time.
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(p->createImageAtPage(static_cast<int>(p->imagesArray().size()) + 1));
  EXPECT_EQ(p->layMarks(layer), std::vector<int>{91});
  EXPECT_EQ(p->frames().brokenInvariant(), std::nullopt);
}

}  // namespace
