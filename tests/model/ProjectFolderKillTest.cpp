// A delete, a duplicate, an import, a rename or an export killed at any of its
// steps leaves no project listed without its list and every page it names, no
// project folder that no list names, and nothing half-made in the projects
// folder, Documents or tmp once the program has started again: the program is
// killed in a forked child at a named step, and the parent starts again from
// what is on disk.
#include <sys/file.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <optional>
#include <set>

#include "model/LongProject.h"
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
    } else {
      EXPECT_FALSE(fs::exists(projectFolder(name))) << name << " is unlisted, so gone";
    }
  }

  // Runs the operation in a child killed at each step, each time from a
  // fresh start (and `prepare`), and checks what the next start finds;
  // answers how many runs were killed.
  int killAtEachStep(const Steps& steps, const std::function<void()>& operation,
                     const std::function<void()>& check, const std::function<void()>& prepare = {}) {
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
// folder the next start removes.
TEST_F(ProjectFolderKillTest, ADeleteKilledAtAnyStepLeavesTheProjectWholeOrGone) {
  const int killed = killAtEachStep(
      stepsThrough({{"project.remove.moved-aside", 1},
                    {"project.remove.list-saved", 1},
                    {"staging.emptying.entry-removed", 1},
                    {"staging.emptying.entry-removed", 6}},
                   20),
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
      });
  EXPECT_GE(killed, 6);
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
// a kill there would, files no list names, for the next start to take back.
TEST_F(ProjectFolderKillTest, AQuitDuringALongOperationEndsItThereWithNothingHalfMade) {
  // Each operation answers why it gave up ("" when it finished); `asked` is
  // the look at which the quit comes (Walk's folder holds 13 entries).
  struct Operation {
    const char* name;
    int asked;
    std::function<std::string()> run;
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
      {"zt2 export", 3, exportWalk(true)},
      {"zt export copying", 3, exportWalk(false)},
      {"zt export drawing", 15, exportWalk(false)},
      {"zt export packing", 20, exportWalk(false)},
      {"combine", 3,
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
      for (const fs::path& place : {projectsFolder(), fd::paths::temporary()}) {
        for (const std::string& name : fd::files::contentsOfDirectory(place)) {
          if (name.starts_with('.') || name.starts_with("ProjectData-"))
            EXPECT_LE(filesBelow(place / name), static_cast<std::size_t>(operation.asked)) << name;
        }
      }
      staging::holdEmptyingForTesting(false);
      ZTDataModel::waitForRemovals();
      EXPECT_EQ(listOnDisk(), (Names{"test", "Walk", "Run"}));
      EXPECT_TRUE(fd::files::contentsOfDirectory(fd::paths::temporary()).empty());
      EXPECT_TRUE(fd::files::contentsOfDirectory(fd::paths::documents()).empty());
      expectOnlyWholeProjects();
      if (std::string_view(operation.name) != "combine") {
        EXPECT_TRUE(snapshotTree(projectsFolder()) == projectsBefore);
        continue;
      }
      EXPECT_TRUE(snapshotTree(projectFolder("Walk")) == walk_);
      auto left = snapshotTree(projectFolder("Run"));
      for (const auto& [file, bytes] : runBefore) {
        EXPECT_TRUE(left[file] == bytes) << file;  // its list among them
        left.erase(file);
      }
      EXPECT_LE(left.size(), static_cast<std::size_t>(operation.asked));
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
        EXPECT_TRUE(snapshotTree(projectFolder("Walkcopy1")) == walk_);
      });
  EXPECT_GE(killed, 8);
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
  EXPECT_GE(killed, 6);
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
    EXPECT_GE(killed, 4);
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

// The start takes only its own work folders: never a name of the user's
// that looks like one, never what a link points at, never a folder another
// run of the program is at work in.
TEST_F(ProjectFolderKillTest, TheStartSweepsOnlyItsOwnFoldersNoRunHolds) {
  freshStart();
  const fs::path tmp = fd::paths::temporary();
  const fs::path elsewhere = root() / "elsewhere";
  fs::create_directories(elsewhere);
  std::ofstream(elsewhere / "keep.png") << "mine";
  struct Place {
    fs::path folder;
    Names swept;
    Names kept;
  };
  const std::vector<Place> places = {
      {tmp,
       {"ProjectData-a1B2c3", "ProjectData-Zz9Yy8"},
       {"ProjectData", "ProjectData-notes", "ProjectData-abc12", "ProjectData-abc1234", "projectdata-abc123"}},
      {projectsFolder(),
       {".Walk.deleting-a1B2c3", ".Walkcopy1.copying-Zz9Yy8", ".Walk.import-Qq1Ww2"},
       {".Walk.deleting-notes", "Walk.deleting-abc123", ".deleting-abc123", ".Walk.copying-abc12"}},
  };
  for (const Place& place : places) {
    for (const std::string& n : place.swept) {
      fs::create_directories(place.folder / n / "inner");
      std::ofstream(place.folder / n / "inner" / "half.png") << "half";
    }
    for (const std::string& n : place.kept) fs::create_directories(place.folder / n);
  }
  std::ofstream(tmp / "ProjectData-file01") << "a file of the user's";
  fs::create_directory_symlink(elsewhere, tmp / "ProjectData-link01");
  fs::create_directory_symlink(elsewhere, projectsFolder() / ".Run.deleting-link01");
  fs::create_directories(tmp / "ProjectData-held01");
  fs::create_directories(projectsFolder() / ".Run.deleting-held01");
  {
    const HeldFolder exporting(tmp / "ProjectData-held01");
    const HeldFolder deleting(projectsFolder() / ".Run.deleting-held01");
    restart();
    ZTDataModel::sharedInstance();
    ZTDataModel::waitForRemovals();
    EXPECT_TRUE(fs::is_directory(tmp / "ProjectData-held01")) << "an export in flight keeps its folder";
    EXPECT_TRUE(fs::is_directory(projectsFolder() / ".Run.deleting-held01"));
  }
  for (const Place& place : places) {
    for (const std::string& n : place.swept) EXPECT_FALSE(fs::exists(place.folder / n)) << n;
    for (const std::string& n : place.kept) EXPECT_TRUE(fs::is_directory(place.folder / n)) << n;
  }
  EXPECT_TRUE(fs::is_regular_file(tmp / "ProjectData-file01"));
  EXPECT_TRUE(fs::is_symlink(tmp / "ProjectData-link01"));
  EXPECT_TRUE(fs::is_symlink(projectsFolder() / ".Run.deleting-link01"));
  EXPECT_EQ(model_test::readText(elsewhere / "keep.png"), "mine");
  // Once its run is gone, the next start takes it.
  restart();
  ZTDataModel::sharedInstance();
  ZTDataModel::waitForRemovals();
  EXPECT_FALSE(fs::exists(tmp / "ProjectData-held01"));
  EXPECT_FALSE(fs::exists(projectsFolder() / ".Run.deleting-held01"));
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
  EXPECT_TRUE(snapshotTree(projectsFolder() / hidden.front() / "Long") == whole) << "emptied after the end";
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
// project's, and kept it.
TEST_F(ProjectFolderKillTest, AFolderLeftAsideGoesOnceItsNameIsTakenAgain) {
  freshStart();
  const auto run = snapshotTree(projectFolder("Run"));
  const fs::path aside = projectsFolder() / ".Run.deleting-Rr7Tt6";
  fs::create_directories(aside / "Run");
  std::ofstream(aside / "Run" / "20190101100000001.png") << "a page of the Run deleted before";
  restart();
  ZTDataModel::sharedInstance();
  ZTDataModel::waitForRemovals();
  EXPECT_FALSE(fs::exists(aside));
  EXPECT_TRUE(snapshotTree(projectFolder("Run")) == run) << "the listed project was changed";
  expectOnlyWholeProjects();
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

}  // namespace
