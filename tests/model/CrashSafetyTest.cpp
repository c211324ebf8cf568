// A kill at any step of a multi-file operation loses nothing a saved
// Project.plist names: the program is killed in a forked child at a named
// step, and the parent starts again from what is on disk.
#include <sys/file.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "model/BackgroundCopies.h"
#include "model/ModelTestSupport.h"
#include "model/PackageZipOperator.h"
#include "model/zip/ZipWrapper.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "support/ChildProcess.h"

namespace {

using background_copies::backgroundFilesAmong;
using background_copies::expectItsOwnCopies;
using model_test::ModelTest;
using model_test::readText;
using model_test::writeTinyPng;
using testing_support::runInChild;
namespace fs = std::filesystem;

fs::path projectsFolder() { return fd::paths::library() / "Projects"; }
fs::path projectFolder(const std::string& name) { return projectsFolder() / name; }

class CrashSafetyTest : public ModelTest {
 protected:
  // The program starts again: the model and the user defaults are read anew.
  static void restart() {
    ZTDataModel::resetSharedInstanceForTesting();
    fd::UserDefaults::resetStandardForTesting();
  }

  // Gives every layer of every frame of p a picture of its own, and icons and
  // snapshots; remembers each layer picture.
  void drawEveryPage(ProjectDataModel& p) {
    for (const std::vector<FrameRecord>* list : {&p.imagesArray(), &p.temporarysArray()}) {
      for (const FrameRecord& r : *list) {
        for (const std::string& id : r.laysArray) {
          const fs::path layer = p.projectDicPath() / (id + ".png");
          if (fs::exists(layer)) continue;
          writeTinyPng(layer, static_cast<std::uint8_t>(++seed_));
          pictures_.insert(readText(layer));
        }
        for (const char* suffix : {"Icon.png", "Snapshot.png"}) {
          if (!fs::exists(p.projectDicPath() / (r.iconName + suffix))) {
            writeTinyPng(p.projectDicPath() / (r.iconName + suffix));
          }
        }
      }
    }
  }

  // The layer pictures of a project as Project.plist on disk has it; every
  // file the list names must be there.
  static std::multiset<std::string> picturesOnDisk(const std::string& name) {
    std::multiset<std::string> found;
    std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName(name);
    std::set<std::string> layers;
    for (const std::vector<FrameRecord>* list : {&p->imagesArray(), &p->temporarysArray()}) {
      for (const FrameRecord& r : *list) {
        for (const std::string& id : r.laysArray) {
          EXPECT_TRUE(fs::exists(p->projectDicPath() / (id + ".png"))) << name << ": layer " << id;
          layers.insert(id);
        }
        EXPECT_TRUE(fs::exists(p->projectDicPath() / (r.iconName + "Icon.png"))) << name << ": icon " << r.iconName;
        EXPECT_TRUE(fs::exists(p->projectDicPath() / (r.iconName + "Snapshot.png"))) << name;
      }
    }
    for (const std::string& id : layers) found.insert(readText(p->projectDicPath() / (id + ".png")));
    return found;
  }

  // Temp files of writes of the program's own files.
  static std::vector<std::string> atomicWriteLeftovers(const fs::path& dir) {
    std::vector<std::string> names;
    for (const std::string& n : fd::files::contentsOfDirectory(dir)) {
      const std::string target = fd::files::atomicWriteTarget(n);
      if (target == "Project.plist" || target.ends_with(".png")) names.push_back(n);
    }
    return names;
  }

  // Two backgrounds of the user's in the gallery, each picture and icon with
  // bytes of its own, and a third made there and never painted.
  static constexpr const char* kOld = "US20240101000000000";
  static constexpr const char* kPainted = "US20240101000000001";
  static constexpr const char* kFresh = "US20240101000000002";
  void paintGallery() {
    const fs::path gallery = ZTDataModel::sharedInstance().backgroundPath();
    fd::files::createDirectory(gallery);
    for (const std::string name : {kOld, kPainted}) {
      writeTinyPng(gallery / (name + ".png"), static_cast<std::uint8_t>(++seed_));
      writeTinyPng(gallery / (name + "Icon.png"), static_cast<std::uint8_t>(++seed_));
    }
  }

  // A listed project given `before` (or no background) and saved, then
  // `given` in a child killed at the step.
  void switchInAChildKilledAt(const std::string& project, const std::optional<std::string>& before,
                              const std::string& given, const char* step, int hit,
                              testing_support::ChildResult& child) {
    restart();
    ZTDataModel& model = ZTDataModel::sharedInstance();
    ASSERT_TRUE(model.createProject(project, ""));
    const std::shared_ptr<ProjectDataModel> p = model.prjDataModel();
    if (before) {
      ASSERT_TRUE(model.attachBackground(*p, before, false));
    }
    ASSERT_TRUE(model.saveData());
    child = runInChild([&] {
      fd::armCrashPoint(step, hit);
      (void)model.attachBackground(*p, given, false);
    });
  }
  // kOld switched to kPainted, killed between the two switches of copies:
  // the list on disk names the painted background's copies under names of
  // their own.
  void killBetweenTheSwitches(const std::string& project, const char* step, int hit) {
    testing_support::ChildResult child;
    switchInAChildKilledAt(project, kOld, kPainted, step, hit, child);
    ASSERT_TRUE(child.crashedAtPoint()) << child;
    const std::shared_ptr<ProjectDataModel> onDisk = ProjectDataModel::initWithProjectName(project);
    ASSERT_EQ(onDisk->curBackgroundName(), kPainted);
    ASSERT_NE(onDisk->backgroundFullPath()->filename(), "background.png") << "not between the switches";
    expectThePaintedCopiesWhereTheListNamesThem(project);
  }
  void expectThePaintedCopiesWhereTheListNamesThem(const std::string& project) {
    const std::shared_ptr<ProjectDataModel> onDisk = ProjectDataModel::initWithProjectName(project);
    ASSERT_EQ(onDisk->curBackgroundName(), kPainted);
    expectItsOwnCopies(*onDisk);
  }
  // The painted background's copies under the usual names, the only copies
  // in the folder, and a list without the key naming copies apart.
  void expectThePaintedCopiesUnderTheUsualNames(const std::string& project) {
    expectThePaintedCopiesWhereTheListNamesThem(project);
    background_copies::expectOnlyTheUsualCopies(projectFolder(project));
  }

  int seed_ = 0;
  std::multiset<std::string> pictures_;
};

// --- deleting frames

TEST_F(CrashSafetyTest, AKillBetweenDeletingAFrameAndItsSaveLosesNoPicture) {
  for (const char* step : {"file.atomic-write.renaming", "project.save.written", "project.save.deleting"}) {
    SCOPED_TRACE(step);
    const std::string name = std::string("walk-") + step;
    std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName(name);
    ASSERT_TRUE(p->createImageAtPage(1));
    ASSERT_TRUE(p->createImageAtPage(2));
    drawEveryPage(*p);
    ASSERT_TRUE(p->saveData());
    const std::string deletedIcon = p->imagesArray()[1].iconName;

    auto child = runInChild([&] {
      ASSERT_TRUE(p->deleteImageAtPage(2, false));
      fd::armCrashPoint(step);
      p->saveData();
    });
    EXPECT_TRUE(child.crashedAtPoint());
    const std::size_t frames = ProjectDataModel::initWithProjectName(name)->imagesArray().size();
    EXPECT_TRUE(frames == 3 || frames == 2);
    picturesOnDisk(name);  // every named file is there
  }
}

TEST_F(CrashSafetyTest, DeletedPicturesGoWithTheSaveUnlessNamedAgain) {
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("walk");
  ASSERT_TRUE(p->createImageAtPage(1));
  drawEveryPage(*p);
  ASSERT_TRUE(p->saveData());
  const std::string layer = p->imagesArray()[1].laysArray[0];
  // The layer leaves page 2 (its last reference) and comes back before the save.
  ASSERT_TRUE(p->deleteLay(layer, 2));
  ASSERT_FALSE(p->laysDictionary().contains(layer));
  ASSERT_TRUE(p->addLay(layer, 2, 1));
  ASSERT_TRUE(p->saveData());
  EXPECT_TRUE(fs::exists(p->projectDicPath() / (layer + ".png"))) << "the saved list names it again";

  const FrameRecord first = p->imagesArray()[0];
  ASSERT_TRUE(p->deleteImageAtPage(1, false));
  // Re-pointed at another project without a save: the old list on disk still
  // names the frame, so its files must stay.
  ASSERT_TRUE(p->setCurProjectName("other"));
  ASSERT_TRUE(p->saveData());
  EXPECT_EQ(ProjectDataModel::initWithProjectName("walk")->imagesArray().size(), 2u);
  EXPECT_EQ(picturesOnDisk("walk").size(), 4u);
  for (const std::string& id : first.laysArray) EXPECT_TRUE(fs::exists(projectFolder("walk") / (id + ".png")));
}

// --- combining projects

TEST_F(CrashSafetyTest, AKillAtAnyStepOfACombinationLosesNoPage) {
  std::vector<std::pair<std::string, int>> steps = {{"combine.pages-copied", 1},
                                                    {"combine.target-saved", 1},
                                                    {"combine.moved-aside", 1},
                                                    {"combine.list-saved", 1},
                                                    {"staging.emptying.entry-removed", 1},
                                                    {"staging.emptying.entry-removed", 5}};
  for (int hit = 1; hit <= 40; ++hit) steps.emplace_back("file.atomic-write.renaming", hit);
  int killed = 0;
  for (const auto& [step, hit] : steps) {
    SCOPED_TRACE(step + ":" + std::to_string(hit));
    // A fresh start with projects A (3 frames) and B (2 frames).
    restart();
    fs::remove_all(projectsFolder());
    fs::remove_all(fd::paths::preferences());
    fd::paths::ensureSandbox();
    restart();
    pictures_.clear();
    ZTDataModel& m = ZTDataModel::sharedInstance();
    for (const auto& [name, frames] : {std::pair<std::string, int>{"A", 3}, {"B", 2}}) {
      ASSERT_TRUE(m.createProject(name, std::nullopt));
      for (int i = 1; i < frames; ++i) ASSERT_TRUE(m.prjDataModel()->createImageAtPage(i));
      drawEveryPage(*m.prjDataModel());
      m.saveData();
    }
    const std::multiset<std::string> before = pictures_;
    ASSERT_EQ(before.size(), 10u);

    auto child = runInChild([&, step = step, hit = hit] {
      fd::armCrashPoint(step, hit);
      m.combineProjects({"A", "B"});
      ZTDataModel::waitForRemovals();
    });
    if (!child.crashedAtPoint()) {
      ASSERT_EQ(step, "file.atomic-write.renaming") << "every named step is passed";
      ASSERT_TRUE(child.exited && child.exitCode == 0);
      break;  // the combination writes fewer files than this
    }
    ++killed;

    restart();
    ZTDataModel& again = ZTDataModel::sharedInstance();
    std::multiset<std::string> after;
    for (const std::string& name : again.projectsNameArray()) {
      if (name != "A" && name != "B") continue;
      std::multiset<std::string> pictures = picturesOnDisk(name);
      after.insert(pictures.begin(), pictures.end());
    }
    for (const std::string& picture : before) EXPECT_TRUE(after.contains(picture)) << "a page was lost";
    // Nothing is left that no list names: a merged folder the kill left
    // aside, whole or half emptied, goes at the start.
    ZTDataModel::waitForRemovals();
    for (const std::string& folder : fd::files::contentsOfDirectory(projectsFolder())) {
      EXPECT_FALSE(folder.starts_with('.')) << folder << " was left behind";
      const std::vector<std::string>& listed = again.projectsNameArray();
      EXPECT_NE(std::find(listed.begin(), listed.end(), folder), listed.end()) << folder << " is listed nowhere";
    }
    if (std::find(again.projectsNameArray().begin(), again.projectsNameArray().end(), "B") ==
        again.projectsNameArray().end()) {
      EXPECT_EQ(ProjectDataModel::initWithProjectName("A")->imagesArray().size(), 5u)
          << "B left the list only after A held its pages";
    }
  }
  EXPECT_GT(killed, 6);
}

// --- leftovers of killed writes

TEST_F(CrashSafetyTest, KilledAtomicWritesLeaveNothingOnceTheProjectOpens) {
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("walk");
  drawEveryPage(*p);
  ASSERT_TRUE(p->saveData());
  const fs::path dir = p->projectDicPath();
  const fs::path layer = *p->layFullPathAtPage(1, false, 1);
  const std::string layerBefore = readText(layer);
  for (int kill = 0; kill < 30; ++kill) {
    auto child = runInChild([&] {
      fd::armCrashPoint("file.atomic-write.renaming");
      if (kill % 2 == 0) {
        p->setDescription("kill " + std::to_string(kill));  // a save of nothing changed writes nothing
        p->saveData();
      } else {
        (void)gfx::writePNG(layer, model_test::patternImage(8, 8, 99));  // killed before it answers
      }
    });
    ASSERT_TRUE(child.crashedAtPoint());
  }
  ASSERT_EQ(atomicWriteLeftovers(dir).size(), 30u);
  EXPECT_EQ(readText(layer), layerBefore) << "a killed write leaves the old file";

  // Files of the user's and a write still in flight stay.
  const std::vector<std::string> keep = {".notes.txt.a1b2c3", "Project.plist.bak", ".hidden", ".Project.plist.tmp",
                                         "x.png.a1b2c3"};
  for (const std::string& n : keep) std::ofstream(dir / n) << "mine";
  const fs::path inFlight = dir / ".Project.plist.Zz9Yy8";
  std::ofstream(inFlight) << "half";
  int lock = ::open(inFlight.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(lock, 0);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);

  std::shared_ptr<ProjectDataModel> opened = ProjectDataModel::initWithProjectName("walk");
  EXPECT_EQ(atomicWriteLeftovers(dir), std::vector<std::string>{".Project.plist.Zz9Yy8"});
  for (const std::string& n : keep) EXPECT_TRUE(fs::exists(dir / n)) << n;
  EXPECT_EQ(opened->imagesArray().size(), 1u);
  ::close(lock);
  ProjectDataModel::initWithProjectName("walk");
  EXPECT_TRUE(atomicWriteLeftovers(dir).empty()) << "its writer is gone";

  // Projects not opened are swept when the program starts.
  std::shared_ptr<ProjectDataModel> other = ProjectDataModel::initWithProjectName("other");
  auto child = runInChild([&] {
    fd::armCrashPoint("file.atomic-write.renaming");
    other->saveData();
  });
  ASSERT_TRUE(child.crashedAtPoint());
  ASSERT_EQ(atomicWriteLeftovers(projectFolder("other")).size(), 1u);
  restart();
  ZTDataModel::sharedInstance();
  EXPECT_TRUE(atomicWriteLeftovers(projectFolder("other")).empty());
  for (const std::string& n : keep) EXPECT_TRUE(fs::exists(dir / n)) << n;
}

TEST_F(CrashSafetyTest, AKilledImportLeavesNoStagingFolderAfterTheNextStart) {
  std::shared_ptr<ProjectDataModel> walk = ProjectDataModel::initWithProjectName("Walk");
  drawEveryPage(*walk);
  ASSERT_TRUE(walk->saveData());
  ZipOperator op;
  ASSERT_TRUE(op.exportAndIsUpgradeVersion(*walk, true));

  auto child = runInChild([&] {
    fd::armCrashPoint("package.import.unpacked");
    op.import("Walk", projectFolder("Copy"), true);
  });
  ASSERT_TRUE(child.crashedAtPoint());
  std::vector<std::string> staging;
  for (const std::string& n : fd::files::contentsOfDirectory(projectsFolder())) {
    if (ZipOperator::isImportStagingName(n)) staging.push_back(n);
  }
  ASSERT_EQ(staging.size(), 1u);
  EXPECT_EQ(staging[0].rfind(".Copy.import-", 0), 0u);

  // Folders of the user's with look-alike names stay.
  const std::vector<std::string> keep = {".Copy.import-notes", "Copy.import-abc123", ".import-abc123x", "Copy"};
  for (const std::string& n : keep) fs::create_directories(projectsFolder() / n);
  std::ofstream(projectsFolder() / ".Walk.import-file01") << "a file, not a staging folder";

  restart();
  ZTDataModel::sharedInstance();
  ZTDataModel::waitForRemovals();  // emptied off the start's thread
  EXPECT_FALSE(fs::exists(projectsFolder() / staging[0]));
  for (const std::string& n : keep) EXPECT_TRUE(fs::exists(projectsFolder() / n)) << n;
  EXPECT_TRUE(fs::exists(projectsFolder() / ".Walk.import-file01"));
  EXPECT_TRUE(op.import("Walk", projectFolder("Copy2"), true));
  EXPECT_EQ(picturesOnDisk("Copy2"), picturesOnDisk("Walk"));
}

// Giving a project another background writes its copies and its list
// together, the old copies going only once the list names the new one: a kill
// at any step leaves the list naming the old background or the new one, and
// the copy of whichever it names that has a picture is there. A background
// just made in the gallery has no picture yet, and taking it used to remove
// the old copy before the list stopped naming it.
TEST_F(CrashSafetyTest, AKillWhileGivingABackgroundLeavesTheCopyTheListNames) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  const std::string old = kOld, painted = kPainted, fresh = kFresh;
  paintGallery();
  int run = 0;
  for (const std::string& given : {painted, fresh}) {
    for (const int hit : {1, 2, 3}) {
      SCOPED_TRACE(given + " killed at rename " + std::to_string(hit));
      const std::string project = "bg-" + std::to_string(++run);
      ASSERT_TRUE(m.createProject(project, ""));
      const std::shared_ptr<ProjectDataModel> p = m.prjDataModel();
      (void)m.setBackground(old, {p});
      ASSERT_EQ(ProjectDataModel::initWithProjectName(project)->curBackgroundName(), old);
      auto child = runInChild([&] {
        fd::armCrashPoint("file.atomic-write.renaming", hit);
        (void)m.setBackground(given, {p});
      });
      ASSERT_TRUE(child.crashedAtPoint() || (child.exited && child.exitCode == 0));
      std::shared_ptr<ProjectDataModel> onDisk = ProjectDataModel::initWithProjectName(project);
      const std::optional<std::string> named = onDisk->curBackgroundName();
      ASSERT_TRUE(named == old || named == given) << named.value_or("none");
      if (fs::exists(m.backgroundPath() / (*named + ".png"))) {
        EXPECT_TRUE(fs::exists(*onDisk->backgroundFullPath())) << "the list names a copy that is gone";
        EXPECT_TRUE(fs::exists(*onDisk->backgroundIconFullPath())) << "the list names an icon that is gone";
      }
    }
  }
}

// A kill at any rename of a switch of background, or right after its list
// is written, leaves the list naming the old background or the new one with
// that one's own copies (none for a background without a picture), and the
// next start leaves no copy no list names. Copies written over the usual
// names first had left the list naming the old background over the new one.
TEST_F(CrashSafetyTest, AKillAtAnyStepOfASwitchLeavesTheListNamingItsOwnCopies) {
  paintGallery();
  int run = 0;
  for (const std::optional<std::string>& before : {std::optional<std::string>(kOld), std::optional<std::string>()}) {
    for (const std::string given : {kPainted, kFresh}) {
      for (const char* step : {"file.atomic-write.renaming", "project.save.written"}) {
        for (int hit = 1;; ++hit) {
          SCOPED_TRACE(before.value_or("none") + " to " + given + ", killed at " + step + " " + std::to_string(hit));
          const std::string project = "switch-" + std::to_string(++run);
          testing_support::ChildResult child;
          switchInAChildKilledAt(project, before, given, step, hit, child);
          ASSERT_TRUE(child.crashedAtPoint() || child.ranThrough()) << child;
          {
            const std::shared_ptr<ProjectDataModel> onDisk = ProjectDataModel::initWithProjectName(project);
            const std::optional<std::string> named = onDisk->curBackgroundName();
            ASSERT_TRUE(named == before || named == given) << named.value_or("none");
            expectItsOwnCopies(*onDisk);
            if (!child.crashedAtPoint()) {
              EXPECT_EQ(named, given);
            }
          }
          restart();
          ZTDataModel::sharedInstance();
          const std::shared_ptr<ProjectDataModel> started = ProjectDataModel::initWithProjectName(project);
          expectItsOwnCopies(*started);
          const std::size_t named = started->backgroundFullPath() && fs::exists(*started->backgroundFullPath()) ? 2 : 0;
          EXPECT_EQ(backgroundFilesAmong(fd::files::contentsOfDirectory(projectFolder(project))).size(), named)
              << "copies no list names stay after the start";
          if (!child.crashedAtPoint()) break;
        }
      }
    }
  }
}

// A kill between the two switches of copies (the list naming them under
// names of their own) is finished by the next start: the folder, and a
// package of it in either format, hold them under the usual names, where the
// list had gone on naming "background-<id>.png".
TEST_F(CrashSafetyTest, AKillBetweenTheTwoSwitchesIsFinishedAtTheNextStart) {
  paintGallery();
  const std::pair<const char*, int> kills[] = {{"project.save.written", 1},
                                               {"file.atomic-write.renaming", 4},
                                               {"file.atomic-write.renaming", 5},
                                               {"file.atomic-write.renaming", 6}};
  int run = 0;
  for (const auto& [step, hit] : kills) {
    SCOPED_TRACE(std::string(step) + " " + std::to_string(hit));
    const std::string project = "between-" + std::to_string(++run);
    killBetweenTheSwitches(project, step, hit);
    if (HasFatalFailure()) return;
    restart();
    ZTDataModel& m = ZTDataModel::sharedInstance();
    expectThePaintedCopiesUnderTheUsualNames(project);
    // The open project, mended in memory too.
    ASSERT_EQ(m.curProjectName(), project);
    EXPECT_EQ(*m.prjDataModel()->backgroundFullPath(), projectFolder(project) / "background.png");
    for (const bool current : {true, false}) {
      ZipOperator op;
      ASSERT_TRUE(op.exportAndIsUpgradeVersion(*m.prjDataModel(), current)) << op.lastError();
      ZipWrapper zip;
      ASSERT_TRUE(zip.UnzipOpenFile(op.lastPackagePath(), ZipOperator::kPackagePassword));
      EXPECT_EQ(backgroundFilesAmong(zip.getZipFileContents()), background_copies::kUsualNames) << op.lastPackagePath();
    }
  }
}

// The start's own finishing killed at any of its steps leaves the list
// naming copies that are there, the painted background's bytes; the start
// after it finishes the switch.
TEST_F(CrashSafetyTest, AKillWhileTheStartFinishesASwitchLeavesTheListNamingItsCopies) {
  paintGallery();
  int run = 0;
  for (const char* step : {"file.atomic-write.renaming", "project.save.written", "project.save.deleting"}) {
    for (int hit = 1; hit <= 20; ++hit) {
      SCOPED_TRACE(std::string(step) + " " + std::to_string(hit) + " at the start");
      const std::string project = "finishing-" + std::to_string(++run);
      killBetweenTheSwitches(project, "project.save.written", 1);
      if (HasFatalFailure()) return;
      auto child = runInChild([&] {
        restart();
        fd::armCrashPoint(step, hit);
        ZTDataModel::sharedInstance();
      });
      ASSERT_TRUE(child.crashedAtPoint() || child.ranThrough()) << child;
      expectThePaintedCopiesWhereTheListNamesThem(project);
      restart();
      ZTDataModel::sharedInstance();
      expectThePaintedCopiesUnderTheUsualNames(project);
      if (!child.crashedAtPoint()) break;
    }
  }
}

}  // namespace
