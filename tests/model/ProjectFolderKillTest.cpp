// A delete, a duplicate, an import, a rename or an export killed at any of its
// steps leaves no project listed without its list and every page it names, no
// project folder that no list names, and nothing half-made in the projects
// folder, Documents or tmp once the program has started again: the program is
// killed in a forked child at a named step, and the parent starts again from
// what is on disk.
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fstream>
#include <optional>
#include <set>

#include "model/CombineJournal.h"
#include "model/LongProject.h"
#include "model/PackageOlderFormat.h"
#include "model/ModelTestSupport.h"
#include "model/PackageZipOperator.h"
#include "model/StagingFolder.h"
#include "model/ZipTestSupport.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/StopRequest.h"
#include "platform/foundation/UserDefaults.h"
#include "support/ChildProcess.h"

namespace {

using model_test::ModelTest;
using model_test::writeTinyPng;
using testing_support::runInChild;
using ziptest::snapshotTree;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;
using Steps = std::vector<std::pair<std::string, int>>;

fs::path projectsFolder() { return fd::paths::library() / "Projects"; }
fs::path projectFolder(const std::string& name) { return projectsFolder() / name; }

// The project list as the store's file on disk holds it.
Names listOnDisk() {
  Names out;
  const fd::Expected<fd::Value> stored = fd::readPropertyList(fd::UserDefaults::standard().filePath());
  if (!stored) return out;
  const fd::Dictionary* d = stored->dictionary();
  if (d == nullptr || !d->contains("ProjectsNameArray")) return out;
  if (const fd::Array* a = d->at("ProjectsNameArray").array()) {
    for (const fd::Value& v : *a) out.push_back(v.stringValue());
  }
  return out;
}

// The named steps, then the first `renames` atomic writes: a run stops at
// the first write the operation no longer reaches.
Steps stepsThrough(Steps named, int renames) {
  for (int hit = 1; hit <= renames; ++hit) named.emplace_back("file.atomic-write.renaming", hit);
  return named;
}

// A lock held on a folder, as an operation in flight in another run of the
// program holds its work folder.
class HeldFolder {
 public:
  explicit HeldFolder(const fs::path& folder) : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    EXPECT_GE(fd_, 0);
    EXPECT_EQ(::flock(fd_, LOCK_EX | LOCK_NB), 0);
  }
  ~HeldFolder() { ::close(fd_); }
  HeldFolder(const HeldFolder&) = delete;
  HeldFolder& operator=(const HeldFolder&) = delete;

 private:
  int fd_;
};

class ProjectFolderKillTest : public ModelTest {
 protected:
  // The program starts again: the model and the user defaults are read anew.
  static void restart() {
    ZTDataModel::resetSharedInstanceForTesting();
    fd::UserDefaults::resetStandardForTesting();
  }

  // Gives the project `frames` pages, each with pictures of its own.
  void drawPages(ProjectDataModel& p, int frames) {
    for (int page = 1; page < frames; ++page) ASSERT_TRUE(p.createImageAtPage(page));
    for (int page = 1; page <= frames; ++page) {
      for (int position = 1; position <= 2; ++position)
        writeTinyPng(*p.layFullPathAtPage(page, false, position), static_cast<std::uint8_t>(++seed_));
      writeTinyPng(*p.iconFullPathAtPage(page, false));
      writeTinyPng(*p.snapshotFullPathAtPage(page, false));
    }
  }

  // A fresh start with "test" current and Walk (3 pages) and Run (2 pages)
  // drawn, every page with pictures of its own.
  void freshStart() {
    restart();
    for (const fs::path& p : {projectsFolder(), fd::paths::preferences(), fd::paths::documents(), fd::paths::temporary()})
      fs::remove_all(p);
    ASSERT_TRUE(fd::paths::ensureSandbox());
    restart();
    ZTDataModel& m = ZTDataModel::sharedInstance();
    drawPages(*m.prjDataModel(), 1);
    m.saveData();
    for (const auto& [name, frames] : {std::pair<std::string, int>{"Walk", 3}, {"Run", 2}}) {
      ASSERT_TRUE(m.createProject(name, std::nullopt));
      drawPages(*m.prjDataModel(), frames);
      m.saveData();
    }
    m.setCurProjectName("test");
    ASSERT_TRUE(m.prjDataModel()->setCurProjectName("test"));
    m.saveData();
    walk_ = snapshotTree(projectFolder("Walk"));
  }

  // After a start: every listed project has its list and every file it
  // names, and the projects folder holds nothing hidden and no folder that
  // no list names.
  static void expectOnlyWholeProjects() {
    ZTDataModel::waitForRemovals();  // what the start swept is emptied off its thread
    const Names& listed = ZTDataModel::sharedInstance().projectsNameArray();
    for (const std::string& name : listed) {
      SCOPED_TRACE(name);
      ASSERT_TRUE(fs::is_regular_file(projectFolder(name) / "Project.plist")) << "listed without its list";
      const std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName(name);
      for (const FrameRecord& r : p->imagesArray()) {
        for (const std::string& id : r.laysArray) EXPECT_TRUE(fs::exists(p->projectDicPath() / (id + ".png"))) << id;
        EXPECT_TRUE(fs::exists(p->projectDicPath() / (r.iconName + "Icon.png"))) << r.iconName;
        EXPECT_TRUE(fs::exists(p->projectDicPath() / (r.iconName + "Snapshot.png"))) << r.iconName;
      }
    }
    for (const std::string& folder : fd::files::contentsOfDirectory(projectsFolder())) {
      EXPECT_FALSE(folder.starts_with('.')) << folder << " was left behind";
      EXPECT_NE(std::find(listed.begin(), listed.end(), folder), listed.end()) << folder << " is listed nowhere";
    }
  }

  // After a start: `name` is listed and holds what Walk held, or is neither
  // listed nor there.
  void expectWalkWholeOrGone(const std::string& name) const {
    const Names& listed = ZTDataModel::sharedInstance().projectsNameArray();
    if (std::find(listed.begin(), listed.end(), name) != listed.end()) {
      EXPECT_TRUE(snapshotTree(projectFolder(name)) == walk_) << name << " is listed, so whole";
      // Named, it is no longer the program's private work.
      EXPECT_NE(fs::status(projectFolder(name)).permissions() & fs::perms::others_read, fs::perms::none)
          << name << " stayed private to the user";
    } else {
      EXPECT_FALSE(fs::exists(projectFolder(name))) << name << " is unlisted, so gone";
    }
  }

  // Runs the operation in a child killed at each step, each time from a
  // fresh start (and `prepare`), and checks what the next start (after
  // `beforeStart`) finds; answers how many runs were killed.
  int killAtEachStep(const Steps& steps, const std::function<void()>& operation, const std::function<void()>& check,
                     const std::function<void()>& prepare = {}, const std::function<void()>& beforeStart = {}) {
    int killed = 0;
    for (const auto& [step, hit] : steps) {
      SCOPED_TRACE(step + ":" + std::to_string(hit));
      freshStart();
      if (prepare) prepare();
      const testing_support::ChildResult child = runInChild([&, step = step, hit = hit] {
        fd::armCrashPoint(step, hit);
        operation();
      });
      if (!child.crashedAtPoint()) {
        EXPECT_TRUE(child.exited && child.exitCode == 0);
        if (step == "file.atomic-write.renaming") break;  // fewer writes than this
        ADD_FAILURE() << "a named step was not passed";
        continue;
      }
      ++killed;
      if (beforeStart) beforeStart();
      restart();
      ZTDataModel::sharedInstance();
      check();
    }
    return killed;
  }

  int seed_ = 0;
  std::map<std::string, std::vector<std::uint8_t>> walk_;
};

// A delete stored the list only after the folder had gone: killed in
// between, the project came back listed with a folder half emptied, or none.
// Killed while its folder is emptied off the main thread, it leaves a hidden
// folder the next start removes; it came back listed, half emptied, when that
// start also found the preferences damaged and listed every folder again.
TEST_F(ProjectFolderKillTest, ADeleteKilledAtAnyStepLeavesTheProjectWholeOrGone) {
  for (const bool damaged : {false, true}) {
    SCOPED_TRACE(damaged ? "preferences damaged" : "preferences whole");
    const int killed = killAtEachStep(
        stepsThrough({{"project.remove.moved-aside", 1},
                      {"project.remove.list-saved", 1},
                      {"staging.emptying.entry-removed", 1},
                      {"staging.emptying.entry-removed", 6}},
                     damaged ? 0 : 20),
        [] {
          ZTDataModel& m = ZTDataModel::sharedInstance();
          m.removeProject("Walk");
          m.saveData();
          ZTDataModel::waitForRemovals();
        },
        [&] {
          expectOnlyWholeProjects();
          expectWalkWholeOrGone("Walk");
          EXPECT_EQ(snapshotTree(projectFolder("Run")).size(), 9u);
        },
        {},
        [damaged] {
          if (damaged) std::ofstream(fd::UserDefaults::standard().filePath(), std::ios::trunc) << "<plist><dict><key>";
        });
    EXPECT_GE(killed, 4);
  }
}

// A delete or a combination waited for the removed project's folder to be
// emptied, file by file: seconds for a long project, on the main thread. It
// goes on as soon as the list without the project is stored; the folder is
// emptied off the main thread, hidden and held, so that the start of another
// run leaves it alone, and a wait for it ends with nothing left.
TEST_F(ProjectFolderKillTest, ARemovedProjectsFolderIsEmptiedAfterTheCallReturns) {
  constexpr int kFrames = 2000;
  for (const bool combining : {false, true}) {
    SCOPED_TRACE(combining ? "merged away" : "deleted");
    freshStart();
    ASSERT_TRUE(model_test::writeLongProject(projectFolder("Long"), kFrames, 0));
    ZTDataModel& m = ZTDataModel::sharedInstance();
    m.setProjectsNameArray({"test", "Walk", "Run", "Long"});
    // The emptying waits while the folder is looked at (let go however the
    // checks end, or the model's reset would wait for good).
    struct Held {
      Held() { staging::holdEmptyingForTesting(true); }
      ~Held() { staging::holdEmptyingForTesting(false); }
    };
    std::optional<Held> held(std::in_place);
    ASSERT_TRUE(combining ? m.combineProjects({"Walk", "Long"}) : m.removeProject("Long"));

    EXPECT_EQ(listOnDisk(), (Names{"test", "Walk", "Run"}));
    EXPECT_FALSE(fs::exists(projectFolder("Long")));
    Names hidden;
    for (const std::string& name : fd::files::contentsOfDirectory(projectsFolder())) {
      if (name.starts_with('.')) hidden.push_back(name);
    }
    ASSERT_EQ(hidden.size(), 1u) << "the folder was emptied before the call returned";
    const fs::path aside = projectsFolder() / hidden.front();
    EXPECT_TRUE(hidden.front().starts_with(".Long.deleting-")) << hidden.front();
    const int lock = ::open(aside.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_GE(lock, 0);
    EXPECT_NE(::flock(lock, LOCK_EX | LOCK_NB), 0) << "emptied without its lock";
    ::close(lock);
    {
      ZTDataModel anotherRun;  // its start sweeps the projects folder
      EXPECT_TRUE(fs::is_directory(aside)) << "another run's start took a folder being emptied";
      EXPECT_FALSE(fs::exists(projectFolder("Long")));
    }

    held.reset();
    ZTDataModel::waitForRemovals();
    EXPECT_FALSE(fs::exists(aside));
    expectOnlyWholeProjects();
    if (combining) {
      EXPECT_EQ(ProjectDataModel::initWithProjectName("Walk")->imagesArray().size(), 3u + kFrames);
    }
  }
}

// A quit asked while a long operation runs went unheard until it was done (a
// duplicate of 136 MB, an export of 40,000 frames: minutes), and a combination
// heard only a signal. A signal, or the user closing the window, at a chosen
// look of the operation between two of its steps ends it there: it gives up
// saying why, hands what it made to the emptying off the main thread (held
// here to be looked at: no more than it had made by then), and leaves every
// project listed and whole. A combination leaves the few pages it carried as
// a kill there would, written down, for the next start to take back.
TEST_F(ProjectFolderKillTest, AQuitDuringALongOperationEndsItThereWithNothingHalfMade) {
  // Each operation answers why it gave up ("" when it finished); `asked` is
  // the look at which the quit comes (Walk's folder holds 13 entries);
  // `leaves`, the work folders it leaves to the emptying, or the next start.
  struct Operation {
    const char* name;
    int asked;
    std::function<std::string()> run;
    std::size_t leaves = 1;
  };
  const auto exportWalk = [](bool isUpgrade) {
    return [isUpgrade]() -> std::string {
      ZipOperator op;
      return op.exportAndIsUpgradeVersion(*ProjectDataModel::initWithProjectName("Walk"), isUpgrade) ? ""
                                                                                                     : op.lastError();
    };
  };
  const std::vector<Operation> operations = {
      {"duplicate", 3,
       [] {
         ZTDataModel& m = ZTDataModel::sharedInstance();
         return m.duplicateProject("Walk") ? "" : m.lastError();
       }},
      {"zt2 export", 3, exportWalk(true), 0},
      {"zt export copying", 3, exportWalk(false)},
      {"zt export drawing", 15, exportWalk(false)},
      {"zt export packing", 21, exportWalk(false)},
      {"combine", 8,
       [] {
         ZTDataModel& m = ZTDataModel::sharedInstance();
         return m.combineProjects({"Run", "Walk"}) ? "" : m.lastError();
       }},
  };
  // Every file below a folder, at any depth.
  const auto filesBelow = [](const fs::path& folder) {
    std::size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) count += entry.is_regular_file() ? 1 : 0;
    return count;
  };
  for (const Operation& operation : operations) {
    for (const bool bySignal : {true, false}) {
      SCOPED_TRACE(std::string(operation.name) + (bySignal ? ", SIGTERM" : ", window closed"));
      freshStart();
      const auto projectsBefore = snapshotTree(projectsFolder());
      const auto runBefore = snapshotTree(projectFolder("Run"));
      int looks = 0;
      fd::setEndWatch([&] {
        if (++looks < operation.asked) return false;
        if (!bySignal) return true;
        fd::requestStop();  // as the signal's handler does
        return false;
      });
      staging::holdEmptyingForTesting(true);
      const std::string why = operation.run();
      fd::setEndWatch({});
      fd::clearStopRequest();
      EXPECT_EQ(why, "the program is ending") << "finished with " << looks << " looks";
      std::size_t left = 0;
      for (const fs::path& place : {projectsFolder(), fd::paths::temporary()}) {
        for (const std::string& name : fd::files::contentsOfDirectory(place)) {
          if (!name.starts_with('.') && !name.starts_with("ProjectData-")) continue;
          ++left;
          EXPECT_LE(filesBelow(place / name), static_cast<std::size_t>(operation.asked)) << name;
        }
      }
      // Not emptied on the main thread, which the end waits on.
      EXPECT_EQ(left, operation.leaves);
      staging::holdEmptyingForTesting(false);
      ZTDataModel::waitForRemovals();
      EXPECT_EQ(listOnDisk(), (Names{"test", "Walk", "Run"}));
      EXPECT_TRUE(fd::files::contentsOfDirectory(fd::paths::temporary()).empty());
      EXPECT_TRUE(fd::files::contentsOfDirectory(fd::paths::documents()).empty());
      if (std::string_view(operation.name) == "combine") {
        // The few pages it carried, beside Run's own, and written down: not
        // unlinked on the main thread either.
        EXPECT_GT(snapshotTree(projectFolder("Run")).size(), runBefore.size());
        EXPECT_LE(snapshotTree(projectFolder("Run")).size(), runBefore.size() + operation.asked);
        restart();
        ZTDataModel::sharedInstance();
      }
      expectOnlyWholeProjects();
      EXPECT_TRUE(snapshotTree(projectsFolder()) == projectsBefore);
    }
  }
}

// The older layout's conversion of a long project went on drawing every
// frame, or splitting every repeat into frames of their own, after the
// program was asked to end: it gives up at the next frame, whichever it was
// at, splitting none once asked.
TEST_F(ProjectFolderKillTest, TheOlderLayoutsConversionHearsAnEndAtTheNextFrame) {
  freshStart();
  std::shared_ptr<ProjectDataModel> reel = ProjectDataModel::initWithProjectName("Reel");
  for (int page = 1; page < 8; ++page) ASSERT_TRUE(reel->createImageAtPage(page));
  ASSERT_TRUE(reel->setRepeatRunAtPage(1, 4));
  ASSERT_TRUE(reel->saveData());
  // The stems the project's records name; a frame split off takes new ones.
  std::set<std::string> named;
  std::size_t drawn = reel->temporarysArray().size();
  for (const FrameRecord& r : reel->imagesArray()) {
    named.insert(r.iconName);
    named.insert(r.laysArray.begin(), r.laysArray.end());
    drawn += r.isRepeatCopy() ? 0 : 1;
  }
  ASSERT_LT(drawn, reel->imagesArray().size());
  const fs::path work = root() / "work";
  // Asked at a look while the pictures are drawn, or at the first look of
  // the splitting.
  for (const std::size_t asked : {std::size_t{3}, drawn + 1}) {
    SCOPED_TRACE("asked at look " + std::to_string(asked));
    fs::remove_all(work);
    fs::copy(projectFolder("Reel"), work, fs::copy_options::recursive);
    std::size_t looks = 0;
    fd::setEndWatch([&] { return ++looks >= asked; });
    EXPECT_FALSE(package_format::convertToOlderFormat(work));
    fd::setEndWatch({});
    for (const std::string& file : fd::files::contentsOfDirectory(work)) {
      if (file == "Project.plist") continue;
      std::string stem = file.substr(0, file.size() - std::string_view(".png").size());
      for (const std::string_view suffix : {"Icon", "Snapshot"}) {
        if (stem.ends_with(suffix)) stem.resize(stem.size() - suffix.size());
      }
      EXPECT_TRUE(named.contains(stem)) << file << " was split off after the end was asked";
    }
  }
}

// A duplicate killed while its folder was copied left an unlisted half copy
// under the copy's name, which no start removed; killed once the copy had
// its name and before the list naming it was stored, a whole copy that no
// list named, hidden for good.
TEST_F(ProjectFolderKillTest, ADuplicateKilledAtAnyStepLeavesTheCopyListedAndWholeOrGone) {
  const int killed = killAtEachStep(
      stepsThrough({{"project.duplicate.entry-copied", 1},
                    {"project.duplicate.entry-copied", 6},
                    {"project.duplicate.entry-copied", 12},
                    {"project.duplicate.copied", 1},
                    {"project.duplicate.listing", 1},
                    {"project.duplicate.listed", 1}},
                   20),
      [] {
        ZTDataModel& m = ZTDataModel::sharedInstance();
        m.duplicateProject("Walk");
        m.saveData();
      },
      [&] {
        expectOnlyWholeProjects();
        expectWalkWholeOrGone("Walkcopy1");
        // Nothing left blocks the copy's name: the next duplicate takes it.
        ZTDataModel& m = ZTDataModel::sharedInstance();
        const Names listed = m.projectsNameArray();
        if (std::find(listed.begin(), listed.end(), "Walkcopy1") != listed.end()) return;
        ASSERT_TRUE(m.duplicateProject("Walk"));
        EXPECT_EQ(m.projectsNameArray().back(), "Walkcopy1");
        expectWalkWholeOrGone("Walkcopy1");
      });
  EXPECT_GE(killed, 7);
}

// An import killed once its project had its name and before the list naming
// it was stored left a whole project that no list named.
TEST_F(ProjectFolderKillTest, AnImportKilledAtAnyStepLeavesTheProjectListedAndWholeOrGone) {
  const int killed = killAtEachStep(
      stepsThrough({{"zip.entry-extracted", 3},
                    {"package.import.unpacked", 1},
                    {"package.import.listing", 1},
                    {"package.import.listed", 1}},
                   20),
      [] {
        ZTDataModel& m = ZTDataModel::sharedInstance();
        ZipOperator op;
        m.importProject(op, "Walk", true, m.freeProjectName("Walk"));
        m.saveData();
      },
      [&] {
        expectOnlyWholeProjects();
        expectWalkWholeOrGone("Walkcopy1");
      },
      [] {
        ZipOperator op;
        ASSERT_TRUE(op.exportAndIsUpgradeVersion(*ProjectDataModel::initWithProjectName("Walk"), true));
      });
  EXPECT_GE(killed, 5);
}

// A project built from pictures was moved to its name before the list naming
// it was stored: killed in between, it was a whole project no list named.
TEST_F(ProjectFolderKillTest, AProjectBuiltFromPicturesKilledAtAnyStepIsListedAndWholeOrGone) {
  const int killed = killAtEachStep(
      stepsThrough({{"project.create.listing", 1}, {"project.create.listed", 1}}, 20),
      [] {
        ZTDataModel& m = ZTDataModel::sharedInstance();
        const std::shared_ptr<ProjectDataModel> p =
            m.creatProject("Roto", std::make_shared<const gfx::Image>(model_test::patternImage(40, 30, 1)), 1);
        ASSERT_TRUE(p);
        ASSERT_TRUE(p->addFrameWithImage(std::make_shared<const gfx::Image>(model_test::patternImage(40, 30, 2)), 1));
        ProjectDataModel::waitForImageWrites();
        m.finishCreatedProject(p);
        m.saveData();
      },
      [&] {
        // Its blank layers have no files, so it is looked at by its pictures.
        ZTDataModel::waitForRemovals();
        const Names& listed = ZTDataModel::sharedInstance().projectsNameArray();
        for (const std::string& folder : fd::files::contentsOfDirectory(projectsFolder())) {
          EXPECT_NE(std::find(listed.begin(), listed.end(), folder), listed.end()) << folder << " is listed nowhere";
        }
        if (std::find(listed.begin(), listed.end(), "Roto") != listed.end()) {
          const std::shared_ptr<ProjectDataModel> roto = ProjectDataModel::initWithProjectName("Roto");
          ASSERT_EQ(roto->imagesArray().size(), 2u);
          for (const FrameRecord& r : roto->imagesArray()) {
            EXPECT_TRUE(fs::exists(roto->projectDicPath() / (r.iconName + "Snapshot.png"))) << r.iconName;
          }
        } else {
          EXPECT_FALSE(fs::exists(projectFolder("Roto")));
        }
      });
  EXPECT_GE(killed, 4);
}

// A rename killed once the folder had its new name and before the list was
// stored left the list naming the old name: the next start opened an empty
// project under it, the pages in a folder that no list named.
TEST_F(ProjectFolderKillTest, ARenameKilledAtAnyStepLeavesTheProjectListedAndWholeUnderOneName) {
  for (const auto& [from, to] : {std::pair<std::string, std::string>{"Walk", "Stroll"}, {"test", "Main"}}) {
    SCOPED_TRACE(from == "test" ? "the open project" : "another project");
    const int killed = killAtEachStep(
        stepsThrough({{"project.rename.listing", 1}, {"project.rename.listed", 1}}, 20),
        [&] {
          ZTDataModel& m = ZTDataModel::sharedInstance();
          m.changeProjectName(to, from);
          m.saveData();
        },
        [&] {
          expectOnlyWholeProjects();
          ZTDataModel& m = ZTDataModel::sharedInstance();
          const Names& listed = m.projectsNameArray();
          const bool renamed = std::find(listed.begin(), listed.end(), to) != listed.end();
          EXPECT_NE(renamed, std::find(listed.begin(), listed.end(), from) != listed.end()) << "under one name";
          EXPECT_FALSE(fs::exists(projectFolder(renamed ? from : to)));
          if (from == "Walk") {
            expectWalkWholeOrGone(renamed ? to : from);
          } else {
            EXPECT_EQ(m.curProjectName(), renamed ? to : from);
          }
        });
    EXPECT_GE(killed, 3);
  }
}

// An export killed mid-way left its work folder in tmp for good: megabytes
// that no restart or clean quit removed.
TEST_F(ProjectFolderKillTest, AnExportKilledAtAnyStepLeavesNothingAfterTheNextStart) {
  for (const bool isUpgrade : {true, false}) {
    SCOPED_TRACE(isUpgrade ? "zt2" : "zt");
    const int killed = killAtEachStep(
        stepsThrough({{"zip.entry-written", 1}, {"zip.entry-written", 7}}, isUpgrade ? 0 : 20),
        [&] {
          ZipOperator op;
          op.exportAndIsUpgradeVersion(*ProjectDataModel::initWithProjectName("Walk"), isUpgrade);
        },
        [&] {
          expectOnlyWholeProjects();
          EXPECT_TRUE(fd::files::contentsOfDirectory(fd::paths::temporary()).empty());
          EXPECT_TRUE(fd::files::contentsOfDirectory(fd::paths::documents()).empty());
        });
    EXPECT_GE(killed, 2);
  }
}

// The start takes only its own work folders: never a folder of the user's
// that bears such a name (it took ".photos.deleting-abc123" with the user's
// file in it, deciding by the name alone), never what a link points at,
// never a folder another run of the program is at work in. The program's
// own are private to the user and hold what their operation puts there.
TEST_F(ProjectFolderKillTest, TheStartSweepsOnlyItsOwnFoldersNoRunHolds) {
  freshStart();
  const fs::path tmp = fd::paths::temporary();
  const fs::path elsewhere = root() / "elsewhere";
  fs::create_directories(elsewhere);
  std::ofstream(elsewhere / "keep.png") << "mine";
  // A folder holding one file, given a mode.
  const auto makeFolder = [](const fs::path& folder, const fs::path& file, fs::perms mode, uid_t owner = ::geteuid()) {
    fs::create_directories((folder / file).parent_path());
    std::ofstream(folder / file) << "made";
    fs::permissions(folder, mode, fs::perm_options::replace);
    ASSERT_EQ(::chown(folder.c_str(), owner, static_cast<gid_t>(-1)), 0);
  };
  constexpr fs::perms kPrivate = fs::perms::owner_all;
  constexpr fs::perms kShared = kPrivate | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec;
  // The program's own folders (made as the program makes them) go; the
  // user's folders of the same names stay.
  struct Made {
    fs::path folder;
    fs::path file;  // what it holds
    fs::perms mode;
    bool programs;
    uid_t owner = ::geteuid();
  };
  const uid_t anotherUser = ::geteuid() + 1;
  const fs::path projects = projectsFolder();
  const std::vector<Made> made = {
      {tmp / "ProjectData-a1B2c3", "project/half.png", kPrivate, true},
      {tmp / "ProjectData-Zz9Yy8", "Walk.zip", kPrivate, true},
      {projects / ".Walk.deleting-a1B2c3", "Walk/half.png", kPrivate, true},
      {projects / ".Walk.deleting-b2C3d4", ".emptying/half.png", kPrivate, true},
      {projects / ".Walkcopy1.copying-Zz9Yy8", "half.png", kPrivate, true},
      {projects / ".Walk.import-Qq1Ww2", "half.png", kPrivate, true},
      {projects / ".Walk.building-Ee4Rr5", "half.png", kPrivate, true},
      {projects / ".Walk.combining-Tt6Yy7", "pages", kPrivate, true},
      {projects / ".photos.deleting-abc123", "IMG_0001.jpg", kPrivate, false},
      {projects / ".Walk.deleting-Ab12Cd", "Run/keep.png", kPrivate, false},
      {projects / ".Walk.deleting-Cd34Ef", "Walk/keep.png", kShared, false},
      {projects / ".Notes.copying-Us3r02", "keep.png", kShared, false},
      {projects / ".Walk.building-Us3r03", "pictures/keep.png", kPrivate, false},
      {projects / ".Walk.combining-Us3r04", "notes.txt", kPrivate, false},
      {projects / ".Walk.deleting-Us3r05", "Walk/keep.png", kPrivate, false, anotherUser},
      {tmp / "ProjectData-Us3r06", "project/keep.png", kPrivate, false, anotherUser},
      {tmp / "ProjectData-Us3r00", "notes/keep.png", kPrivate, false},
      {tmp / "ProjectData-Us3r01", "project/keep.png", kShared, false},
  };
  for (const Made& m : made) makeFolder(m.folder, m.file, m.mode, m.owner);
  const Names notOurs = {"ProjectData", "ProjectData-notes", "ProjectData-abc12", "ProjectData-abc1234",
                         "projectdata-abc123"};
  const Names notOursBesideProjects = {".Walk.deleting-notes", "Walk.deleting-abc123", ".deleting-abc123",
                                       ".Walk.copying-abc12"};
  for (const std::string& n : notOurs) makeFolder(tmp / n, "keep.png", kPrivate);
  for (const std::string& n : notOursBesideProjects) makeFolder(projects / n, "keep.png", kPrivate);
  std::ofstream(tmp / "ProjectData-file01") << "a file of the user's";
  fs::create_directory_symlink(elsewhere, tmp / "ProjectData-link01");
  fs::create_directory_symlink(elsewhere, projects / ".Run.deleting-link01");
  makeFolder(tmp / "ProjectData-held01", "project/half.png", kPrivate);
  makeFolder(projects / ".Run.deleting-held01", "Run/half.png", kPrivate);
  {
    const HeldFolder exporting(tmp / "ProjectData-held01");
    const HeldFolder deleting(projects / ".Run.deleting-held01");
    restart();
    ZTDataModel::sharedInstance();
    ZTDataModel::waitForRemovals();
    EXPECT_TRUE(fs::is_directory(tmp / "ProjectData-held01")) << "an export in flight keeps its folder";
    EXPECT_TRUE(fs::is_directory(projects / ".Run.deleting-held01"));
  }
  for (const Made& m : made) {
    if (m.programs) {
      EXPECT_FALSE(fs::exists(m.folder)) << m.folder;
    } else {
      EXPECT_EQ(model_test::readText(m.folder / m.file), "made") << m.folder << " was taken";
    }
  }
  for (const std::string& n : notOurs) EXPECT_TRUE(fs::is_directory(tmp / n)) << n;
  for (const std::string& n : notOursBesideProjects) EXPECT_TRUE(fs::is_directory(projects / n)) << n;
  EXPECT_TRUE(fs::is_regular_file(tmp / "ProjectData-file01"));
  EXPECT_TRUE(fs::is_symlink(tmp / "ProjectData-link01"));
  EXPECT_TRUE(fs::is_symlink(projects / ".Run.deleting-link01"));
  EXPECT_EQ(model_test::readText(elsewhere / "keep.png"), "mine");
  EXPECT_TRUE(ZTDataModel::sharedInstance().projectsNameArray() == (Names{"test", "Walk", "Run"}));
  // Once its run is gone, the next start takes it.
  restart();
  ZTDataModel::sharedInstance();
  ZTDataModel::waitForRemovals();
  EXPECT_FALSE(fs::exists(tmp / "ProjectData-held01"));
  EXPECT_FALSE(fs::exists(projects / ".Run.deleting-held01"));
}

// The program ending on purpose (exit) while a removed project's folder is
// emptied does not wait for it: the rest of the folder stays hidden and no
// longer held, and the next start has it removed, off its own thread too, so
// that a start after a kill during a long project's delete is not held up.
// The emptying is held before its first file, so that an end that waited for
// it would wait for good (cut short by an alarm) and one that let it go on
// would leave less than the whole folder.
TEST_F(ProjectFolderKillTest, TheEndOfTheProgramLeavesAFolderBeingEmptiedToTheNextStart) {
  freshStart();
  constexpr int kFrames = 200;
  ASSERT_TRUE(model_test::writeLongProject(projectFolder("Long"), kFrames, 0));
  const auto whole = snapshotTree(projectFolder("Long"));
  ZTDataModel::sharedInstance().setProjectsNameArray({"test", "Walk", "Run", "Long"});
  const testing_support::ChildResult child = runInChild([] {
    ::alarm(20);
    staging::holdEmptyingForTesting(true);
    ASSERT_TRUE(ZTDataModel::sharedInstance().removeProject("Long"));
    std::exit(0);
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "the end waited for the emptying (signal " << child.signal << ")";
  Names hidden;
  for (const std::string& name : fd::files::contentsOfDirectory(projectsFolder())) {
    if (name.starts_with('.')) hidden.push_back(name);
  }
  ASSERT_EQ(hidden.size(), 1u) << "the end waited for the folder to be emptied";
  EXPECT_TRUE(snapshotTree(projectsFolder() / hidden.front() / ".emptying") == whole) << "emptied after the end";
  { const HeldFolder free(projectsFolder() / hidden.front()); }  // no longer held by the run that ended
  EXPECT_EQ(listOnDisk(), (Names{"test", "Walk", "Run"}));
  restart();
  staging::holdEmptyingForTesting(true);
  ZTDataModel::sharedInstance();
  EXPECT_TRUE(fs::is_directory(projectsFolder() / hidden.front())) << "the start waited for the folder to go";
  {
    const int lock = ::open((projectsFolder() / hidden.front()).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_NE(::flock(lock, LOCK_EX | LOCK_NB), 0) << "handed on without its lock";
    ::close(lock);
  }
  staging::holdEmptyingForTesting(false);
  expectOnlyWholeProjects();
}

// A deleted project's folder left aside by a kill while it was emptied stayed
// hidden for good once a project of the same name was listed again: the start
// found the name listed, could not move the folder back over the new
// project's, and kept it. It goes, as one that no list names does, renamed as
// being emptied first, so that no later start, whatever it finds of the list,
// takes it back half emptied.
TEST_F(ProjectFolderKillTest, AFolderLeftAsideGoesOnceItsNameIsTakenAgain) {
  freshStart();
  const auto run = snapshotTree(projectFolder("Run"));
  const fs::path aside = projectsFolder() / ".Run.deleting-Rr7Tt6";
  const fs::path unlisted = projectsFolder() / ".Gone.deleting-Gg5Hh4";
  for (const fs::path& folder : {aside, unlisted}) {
    const std::string name = folder == aside ? "Run" : "Gone";
    fs::create_directories(folder / name);
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
    std::ofstream(folder / name / "20190101100000001.png") << "a page of a project deleted before";
  }
  restart();
  staging::holdEmptyingForTesting(true);
  ZTDataModel::sharedInstance();
  for (const fs::path& folder : {aside, unlisted})
    EXPECT_EQ(fd::files::contentsOfDirectory(folder), Names{".emptying"}) << folder;
  staging::holdEmptyingForTesting(false);
  ZTDataModel::waitForRemovals();
  EXPECT_FALSE(fs::exists(aside));
  EXPECT_FALSE(fs::exists(unlisted));
  EXPECT_TRUE(snapshotTree(projectFolder("Run")) == run) << "the listed project was changed";
  expectOnlyWholeProjects();
}

// A copy listed on disk whose name a folder took before it could take it,
// when the list without it cannot be stored either (a full disk), stays
// hidden for the next start to name, never emptied with the list naming it.
TEST_F(ProjectFolderKillTest, ACopyListedOnDiskIsKeptWhenItsNameIsTaken) {
  freshStart();
  const fs::path store = fd::UserDefaults::standard().filePath();
  bool taken = false;
  fd::files::setWriteFaultForTesting([&](const fs::path& file) {
    if (file == projectFolder("Walkcopy1")) {
      taken = true;
      return EEXIST;
    }
    return taken && file == store ? ENOSPC : 0;
  });
  EXPECT_FALSE(ZTDataModel::sharedInstance().duplicateProject("Walk"));
  fd::files::setWriteFaultForTesting({});
  EXPECT_EQ(listOnDisk(), (Names{"test", "Walk", "Run", "Walkcopy1"}));
  restart();
  ZTDataModel::sharedInstance();
  expectOnlyWholeProjects();
  expectWalkWholeOrGone("Walkcopy1");
}

// A delete whose shortened list cannot be stored (a full disk) deleted the
// folder all the same, and the list on disk went on naming it.
TEST_F(ProjectFolderKillTest, ADeleteWhoseListCannotBeStoredDeletesNothing) {
  freshStart();
  ZTDataModel& m = ZTDataModel::sharedInstance();
  const Names listed = m.projectsNameArray();
  const auto before = snapshotTree(root());
  const fs::path store = fd::UserDefaults::standard().filePath();
  fd::files::setWriteFaultForTesting([store](const fs::path& file) { return file == store ? ENOSPC : 0; });
  EXPECT_FALSE(m.removeProject("Walk"));
  fd::files::setWriteFaultForTesting({});
  EXPECT_EQ(m.projectsNameArray(), listed);
  EXPECT_EQ(listOnDisk(), listed);
  EXPECT_TRUE(snapshotTree(root()) == before) << "the failed delete changed something";

  EXPECT_TRUE(m.removeProject("Walk"));
  EXPECT_EQ(m.projectsNameArray(), (Names{"test", "Run"}));
  EXPECT_EQ(listOnDisk(), (Names{"test", "Run"})) << "stored by the delete itself";
  EXPECT_FALSE(fs::exists(projectFolder("Walk")));
  ZTDataModel::waitForRemovals();
  EXPECT_EQ(fd::files::contentsOfDirectory(projectsFolder()), (Names{"Run", "test"}));
}

// The start after a kill during the older-layout export of a long project
// removed the export's work folder in tmp on the main thread, file by file
// (8 s for 150,000 files, the window blank and deaf meanwhile): the folder is
// held and emptied off the main thread, as the projects folder's are.
TEST_F(ProjectFolderKillTest, AStartLeavesAKilledExportsWorkFolderToTheEmptying) {
  freshStart();
  const fs::path work = fd::paths::temporary() / "ProjectData-Lo9Ng1";
  fs::create_directories(work / "project");
  fs::permissions(work, fs::perms::owner_all, fs::perm_options::replace);
  // Names of a few files (a link each is quicker to make than a file).
  constexpr int kFiles = 100000, kKinds = 4;
  const fd::files::UniqueFd folder(::open((work / "project").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  const auto page = [](int i) { return std::to_string(i) + ".png"; };
  for (int i = 0; i < kFiles; ++i) {
    if (i < kKinds) {
      const fd::files::UniqueFd file(::openat(folder.get(), page(i).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
      ASSERT_GE(file.get(), 0);
    } else {
      ASSERT_EQ(::linkat(folder.get(), page(i % kKinds).c_str(), folder.get(), page(i).c_str(), 0), 0);
    }
  }
  restart();
  staging::holdEmptyingForTesting(true);
  ZTDataModel::sharedInstance();
  EXPECT_EQ(fd::files::contentsOfDirectory(work / "project").size(), std::size_t{kFiles})
      << "the start waited for the folder to go";
  {
    const int lock = ::open(work.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_NE(::flock(lock, LOCK_EX | LOCK_NB), 0) << "handed on without its lock";
    ::close(lock);
  }
  staging::holdEmptyingForTesting(false);
  ZTDataModel::waitForRemovals();
  EXPECT_FALSE(fs::exists(work));
}

// A folder on another file system than the sandbox's, or none.
fs::path folderOnAnotherFileSystem(const fs::path& than) {
  struct stat here {};
  if (::stat(than.c_str(), &here) != 0) return {};
  for (const char* candidate : {"/dev/shm", "/run/shm", "/run/user/0"}) {
    struct stat there {};
    if (::stat(candidate, &there) != 0 || there.st_dev == here.st_dev) continue;
    std::string folder = std::string(candidate) + "/flipdesk-test-XXXXXX";
    if (::mkdtemp(folder.data()) != nullptr) return folder;
  }
  return {};
}

// With Documents on another file system than tmp, the package written in
// tmp was copied into Documents under its own name: a kill during the copy
// left a package cut short (0 bytes at first), which the Packages panel
// offered and the import refused. It takes its name only whole: killed the
// moment a file of that name appears, it is there whole.
TEST_F(ProjectFolderKillTest, APackageTakesItsNameOnlyWholeWhereverDocumentsIs) {
  freshStart();
  const fs::path elsewhere = folderOnAnotherFileSystem(root());
  if (elsewhere.empty()) GTEST_SKIP() << "no second file system to hold Documents";
  struct Gone {
    fs::path folder;
    ~Gone() { fs::remove_all(folder); }
  } gone{elsewhere};
  fs::remove_all(fd::paths::documents());
  fs::create_directory_symlink(elsewhere, fd::paths::documents());
  {
    // Bytes that do not shrink in the zip: copying the package takes a while.
    std::ofstream big(projectFolder("Walk") / "20190101100000000.png", std::ios::binary);
    std::uint32_t x = 12345;
    for (int i = 0; i < (8 << 20) / 4; ++i) {
      x = x * 1664525u + 1013904223u;
      big.write(reinterpret_cast<const char*>(&x), sizeof x);
    }
  }
  const fd::files::UniqueFd watch(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
  ASSERT_GE(::inotify_add_watch(watch.get(), elsewhere.c_str(), IN_CREATE | IN_MOVED_TO), 0);
  const int pid = testing_support::startChild([] {
    ZipOperator op;
    op.exportAndIsUpgradeVersion(*ProjectDataModel::initWithProjectName("Walk"), true);
  });
  ASSERT_GT(pid, 0);
  bool appeared = false;
  alignas(inotify_event) char events[4096];
  for (pollfd ready{watch.get(), POLLIN, 0}; !appeared && ::poll(&ready, 1, 120000) == 1;) {
    const ssize_t n = ::read(watch.get(), events, sizeof events);
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(events + at);
      appeared = appeared || (event->len > 0 && std::string_view(event->name) == "Walk.zt2");
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  ::kill(pid, SIGKILL);
  testing_support::waitForChild(pid);
  ASSERT_TRUE(appeared) << "the package never took its name";
  ZipOperator op;
  ASSERT_TRUE(op.import("Walk", root() / "Unpacked", true)) << op.lastError();
  EXPECT_TRUE(snapshotTree(root() / "Unpacked") == snapshotTree(projectFolder("Walk")));
  restart();
  ZTDataModel::sharedInstance();
  EXPECT_EQ(fd::files::contentsOfDirectory(elsewhere), Names{"Walk.zt2"});
}

// A combination killed while it carried the pages into the first project's
// folder left them there under names no list knows, for good (142 MB once
// the merged project was deleted): the next start takes back what it carried
// unless the first project's list names it, off the main thread, and a kill
// then leaves the rest to the start after.
TEST_F(ProjectFolderKillTest, ACombineKilledAtAnyStepLeavesOnlyPagesAListNames) {
  const auto expectOnlyNamedPages = [&] {
    expectOnlyWholeProjects();
    std::set<std::string> named = {"Project.plist"};
    const std::shared_ptr<ProjectDataModel> walk = ProjectDataModel::initWithProjectName("Walk");
    for (const FrameRecord& r : walk->imagesArray()) {
      for (const std::string& id : r.laysArray) named.insert(id + ".png");
      named.insert(r.iconName + "Icon.png");
      named.insert(r.iconName + "Snapshot.png");
    }
    for (const std::string& file : fd::files::contentsOfDirectory(projectFolder("Walk"))) {
      EXPECT_TRUE(walk_.contains(file) || named.contains(file)) << file << " is named by no list";
    }
  };
  const auto combine = [] {
    ZTDataModel& m = ZTDataModel::sharedInstance();
    m.combineProjects({"Walk", "Run"});
    m.saveData();
    ZTDataModel::waitForRemovals();
  };
  // The first project's list stored again as it was before the next start,
  // as the end of a program asked to quit stores the open project: the pages
  // it carried stayed, for good, when the start judged by the list's stamp.
  const auto storeWalkAgain = [] {
    const fs::path list = projectFolder("Walk") / "Project.plist";
    const std::string bytes = model_test::readText(list);
    fs::remove(list);
    std::ofstream(list, std::ios::binary) << bytes;
  };
  for (const bool storedAgain : {false, true}) {
    SCOPED_TRACE(storedAgain ? "its list stored again" : "its list as left");
    const int killed = killAtEachStep({{"combine.page-carried", 1},
                                       {"combine.page-carried", 5},
                                       {"combine.pages-copied", 1},
                                       {"combine.target-saved", 1},
                                       {"combine.moved-aside", 1},
                                       {"combine.list-saved", 1}},
                                      combine, expectOnlyNamedPages, {},
                                      storedAgain ? std::function<void()>(storeWalkAgain) : std::function<void()>());
    EXPECT_EQ(killed, 6);
  }

  // The pages carried, and written down in the combination's hidden folder.
  const auto killedCarrying = [&] {
    freshStart();
    EXPECT_TRUE(runInChild([&] {
                  fd::armCrashPoint("combine.pages-copied");
                  combine();
                }).crashedAtPoint());
    for (const std::string& name : fd::files::contentsOfDirectory(projectsFolder())) {
      if (CombineJournal::isJournalName(name)) return projectsFolder() / name;
    }
    ADD_FAILURE() << "nothing was written down";
    return fs::path();
  };
  // A take-back the end of the program stops leaves every page, for the
  // start after.
  const fs::path journal = killedCarrying();
  const auto carried = snapshotTree(projectFolder("Walk"));
  const std::atomic<bool> ending{true};
  EXPECT_FALSE(CombineJournal::takeBack(journal, ending));
  EXPECT_TRUE(snapshotTree(projectFolder("Walk")) == carried) << "taken back while the program ended";
  // A first project whose list cannot be read keeps them all, and what
  // wrote them down goes.
  killedCarrying();
  const std::size_t files = fd::files::contentsOfDirectory(projectFolder("Walk")).size();
  std::ofstream(projectFolder("Walk") / "Project.plist", std::ios::trunc) << "<plist><dict><key>";
  restart();
  ZTDataModel::sharedInstance();
  ZTDataModel::waitForRemovals();
  EXPECT_EQ(fd::files::contentsOfDirectory(projectFolder("Walk")).size(), files);
  for (const std::string& name : fd::files::contentsOfDirectory(projectsFolder()))
    EXPECT_FALSE(name.starts_with('.')) << name << " was kept for good";

  killedCarrying();
  EXPECT_TRUE(runInChild([] {
                fd::armCrashPoint("combine.taking-back.page-removed", 2);
                restart();
                ZTDataModel::sharedInstance();
                ZTDataModel::waitForRemovals();
              }).crashedAtPoint());
  restart();
  ZTDataModel::sharedInstance();
  expectOnlyNamedPages();
  EXPECT_EQ(ZTDataModel::sharedInstance().projectsNameArray(), (Names{"test", "Walk", "Run"}));
}

}  // namespace
