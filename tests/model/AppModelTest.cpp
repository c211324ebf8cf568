// The application model: start-up from the user defaults, saving, and the
// project list operations.
#include <plist/plist.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <tuple>

#include "model/ModelTestSupport.h"
#include "model/ProjectNotice.h"
#include "model/SafeName.h"
#include "model/ZipTestSupport.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "support/CpuCeiling.h"

namespace {

using model_test::ModelTest;
namespace fs = std::filesystem;

fs::path projectFolder(const std::string& name) { return fd::paths::library() / "Projects" / name; }

std::vector<std::string> storedProjectList() {
  std::vector<std::string> out;
  const fd::Value stored = fd::UserDefaults::standard().objectForKey("ProjectsNameArray");
  if (const fd::Array* a = stored.array()) {
    for (const fd::Value& v : *a) out.push_back(v.stringValue());
  }
  return out;
}

using Names = std::vector<std::string>;

class AppModelTest : public ModelTest {};

TEST_F(AppModelTest, FreshInstallHasOneTestProjectAndTips) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  EXPECT_EQ(m.projectsNameArray(), Names{"test"});
  EXPECT_EQ(m.curProjectName(), "test");
  EXPECT_TRUE(fs::is_directory(projectFolder("test")));
  EXPECT_TRUE(fs::is_directory(fd::paths::library() / "Audio"));
  EXPECT_TRUE(fs::is_directory(fd::paths::library() / "Background"));
  EXPECT_TRUE(m.showDeskSimple());
  EXPECT_TRUE(m.showPicSimple());
  EXPECT_EQ(m.version(), 104);
  ASSERT_TRUE(m.prjDataModel());
  EXPECT_EQ(m.prjDataModel()->curProjectName(), "test");

  m.saveData();
  fd::UserDefaults::resetStandardForTesting();
  const fd::UserDefaults& d = fd::UserDefaults::standard();
  EXPECT_EQ(d.integerForKey("DataVersion"), 100);
  EXPECT_EQ(d.integerForKey("Version"), 104);
  EXPECT_EQ(d.stringForKey("CurProjectName"), "test");
  EXPECT_EQ(storedProjectList(), Names{"test"});
  EXPECT_TRUE(fs::exists(projectFolder("test") / "Project.plist"));
}

TEST_F(AppModelTest, StoredTipFlagsComeBackUnlessTheVersionIsOld) {
  {
    fd::UserDefaults& d = fd::UserDefaults::standard();
    d.setObject("ProjectsNameArray", fd::Value(fd::Array{fd::Value("walk")}));
    d.setObject("CurProjectName", fd::Value("walk"));
    d.setObject("ShowDeskSimple", fd::Value(false));
    d.setObject("ShowPicSimple", fd::Value(false));
    d.setObject("Version", fd::Value(104));
    d.synchronize();
  }
  EXPECT_FALSE(ZTDataModel::sharedInstance().showDeskSimple());
  EXPECT_FALSE(ZTDataModel::sharedInstance().showPicSimple());

  ZTDataModel::resetSharedInstanceForTesting();
  fd::UserDefaults::standard().setObject("Version", fd::Value(103));
  ZTDataModel& m = ZTDataModel::sharedInstance();
  EXPECT_TRUE(m.showDeskSimple());
  EXPECT_TRUE(m.showPicSimple());
  EXPECT_EQ(m.curProjectName(), "walk");
}

TEST_F(AppModelTest, MissingMediaFoldersAreMadeAgainWithoutLosingTheProjectList) {
  {
    ZTDataModel& m = ZTDataModel::sharedInstance();
    m.createProject("walk", "a walk");
    m.saveData();
    m.createProject("run", std::nullopt);
    m.setCurProjectName("walk");
    m.saveData();
  }
  ZTDataModel::resetSharedInstanceForTesting();
  fs::remove_all(fd::paths::library() / "Background");
  fs::remove_all(fd::paths::library() / "Audio");

  ZTDataModel& m = ZTDataModel::sharedInstance();
  EXPECT_EQ(m.projectsNameArray(), (Names{"test", "walk", "run"}));
  EXPECT_EQ(m.curProjectName(), "walk");
  EXPECT_EQ(m.prjDataModel()->description(), "a walk");
  EXPECT_TRUE(fs::is_directory(fd::paths::library() / "Background"));
  EXPECT_TRUE(fs::is_directory(fd::paths::library() / "Audio"));
}

TEST_F(AppModelTest, StoredNamesThatAreNoPlainFileNamesAreNeverUsed) {
  fd::UserDefaults& d = fd::UserDefaults::standard();
  d.setObject("ProjectsNameArray", fd::Value(fd::Array{fd::Value("../evil"), fd::Value("ok"), fd::Value(""),
                                                        fd::Value(".."), fd::Value(7), fd::Value("ok")}));
  d.setObject("CurProjectName", fd::Value("../evil"));
  ZTDataModel& m = ZTDataModel::sharedInstance();
  EXPECT_EQ(m.projectsNameArray(), Names{"ok"});
  EXPECT_EQ(m.curProjectName(), "ok");
  EXPECT_FALSE(fs::exists(fd::paths::library() / "evil"));

  EXPECT_FALSE(m.createProject("a/b", ""));
  EXPECT_FALSE(m.createProject("..", ""));
  EXPECT_FALSE(m.changeProjectName("x/y", "ok"));
  EXPECT_FALSE(m.changeProjectName(".", "ok"));
  EXPECT_FALSE(m.projectPathWithProjectName("../ok"));
  EXPECT_EQ(m.projectsNameArray(), Names{"ok"});
  EXPECT_EQ(m.creatProject("../roto", nullptr, 1), nullptr);
}

TEST_F(AppModelTest, CreateProjectMakesUniqueNamesAndSwitchesToThem) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  std::shared_ptr<ProjectDataModel> open = m.prjDataModel();
  EXPECT_TRUE(m.createProject("test", "first copy"));
  EXPECT_TRUE(m.createProject("test", std::nullopt));
  EXPECT_EQ(m.projectsNameArray(), (Names{"test", "testcopy1", "testcopy2"}));
  EXPECT_EQ(m.curProjectName(), "testcopy2");
  EXPECT_EQ(m.prjDataModel(), open) << "the open project object is re-pointed, not replaced";
  EXPECT_EQ(open->curProjectName(), "testcopy2");
  EXPECT_FALSE(open->description().has_value());
  EXPECT_EQ(fd::UserDefaults::standard().stringForKey("CurProjectName"), "testcopy2");
}

// A current project the stored list lacks was opened and drawn in but never
// listed, lost once another was opened. The open project is always listed:
// its folder is, and a name with no folder gives way to the first listed.
TEST_F(AppModelTest, TheOpenProjectIsAlwaysListed) {
  ZTDataModel::sharedInstance().createProject("Walk", std::nullopt);
  ASSERT_TRUE(ZTDataModel::sharedInstance().prjDataModel()->createImageAtPage(1));
  ZTDataModel::sharedInstance().saveData();
  // The current name, what opens and the list.
  const std::tuple<std::string, std::string, Names> cases[] = {{"Walk", "Walk", {"test", "Walk"}},
                                                               {"Ghost", "test", {"test"}}};
  for (const auto& [current, opened, listed] : cases) {
    ZTDataModel::resetSharedInstanceForTesting();
    fd::UserDefaults& d = fd::UserDefaults::standard();
    d.setObject("ProjectsNameArray", fd::Value(fd::Array{fd::Value("test")}));
    d.setObject("CurProjectName", fd::Value(current));
    ASSERT_TRUE(d.synchronize());
    ZTDataModel& m = ZTDataModel::sharedInstance();
    EXPECT_EQ(m.curProjectName(), opened);
    EXPECT_EQ(m.prjDataModel()->imagesArray().size(), opened == "Walk" ? 2u : 1u);
    EXPECT_EQ(m.projectsNameArray(), listed);
    fd::UserDefaults::resetStandardForTesting();
    EXPECT_EQ(storedProjectList(), listed) << current << ": the list naming the open project is not stored";
  }
  EXPECT_FALSE(fs::exists(projectFolder("Ghost")));
}

// Preferences whose list names no project folder there, though it names
// projects: names with no folder ("ghost1"), names longer than a project's
// may be, names in another Unicode form than the folders' (decomposed against
// composed). Each start opened a new empty project and every project stayed
// out of reach. Folders the list stands for by another form are named in
// their own spelling, the others listed again and told; folders named with
// what no list can keep are told as left out, with why, also when an
// unreadable file had the projects listed again.
TEST_F(AppModelTest, PreferencesNamingNoProjectFolderListTheFoldersAgain) {
  const std::string cafe = "Caf\u00E9", cafeDecomposed = "Cafe\u0301";
  ZTDataModel& m = ZTDataModel::sharedInstance();
  for (const std::string& name : {std::string("Alpha"), cafe}) {
    ASSERT_TRUE(m.createProject(name, std::nullopt));
    ASSERT_TRUE(m.prjDataModel()->createImageAtPage(1));
  }
  ASSERT_TRUE(m.saveData());
  for (const char* name : {"Bell\a", "Not\uFFFE"}) fs::create_directories(projectFolder(name));
  const std::vector<ProjectNotice::UnlistedFolder> unlisted = {
      {"Bell\uFFFD", "it holds the control character U+0007, which a list cannot keep"},
      {"Not\uFFFD", "it holds the character U+FFFE, which a list cannot keep"}};
  ZTDataModel::resetSharedInstanceForTesting();
  const fs::path preferences = fd::UserDefaults::standard().filePath();
  takeProjectNotices();

  const Names all{"Alpha", cafe, "test"};
  using Held = ProjectNotice::StoredList;
  struct Case {
    const char* what;
    fd::Array stored;  // empty: the preferences are unreadable
    Names listed;
    std::optional<Held> told;  // what a ProjectsListedAgain notice says they held
  };
  const Case cases[] = {
      {"names with no folder", {fd::Value("ghost1"), fd::Value("ghost2")}, all, Held::Absent},
      {"names too long", {fd::Value(std::string(200, 'g')), fd::Value(std::string(200, 'h'))}, all, Held::Unusable},
      {"decomposed names",
       {fd::Value("Alpha"), fd::Value(cafeDecomposed), fd::Value(cafe), fd::Value("test")},
       all,
       std::nullopt},
      {"unreadable", {}, all, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fd::UserDefaults::resetStandardForTesting();
    if (c.stored.empty()) {
      std::ofstream(preferences, std::ios::trunc) << "\x01garbled";
    } else {
      fd::UserDefaults& d = fd::UserDefaults::standard();
      d.setObject("ProjectsNameArray", fd::Value(c.stored));
      d.setObject("CurProjectName", fd::Value(cafeDecomposed));
      ASSERT_TRUE(d.synchronize());
      fd::UserDefaults::resetStandardForTesting();
    }
    ZTDataModel& started = ZTDataModel::sharedInstance();
    EXPECT_EQ(started.projectsNameArray(), c.listed);
    if (!c.stored.empty()) {
      EXPECT_EQ(started.curProjectName(), cafe);
      EXPECT_EQ(started.prjDataModel()->imagesArray().size(), 2u) << "the project as it was saved";
    }
    // Those left unlisted are told with the projects listed again, or alone
    // after the unreadable file; a list naming its folders in another form
    // loses nothing and is not told.
    const std::vector<ProjectNotice> told = takeProjectNotices();
    std::vector<ProjectNotice::Kind> kinds;
    for (const ProjectNotice& notice : told) kinds.push_back(notice.kind);
    using Kinds = std::vector<ProjectNotice::Kind>;
    EXPECT_EQ(kinds, c.told               ? Kinds{ProjectNotice::Kind::ProjectsListedAgain}
                     : c.stored.empty() ? Kinds{ProjectNotice::Kind::FoldersLeftUnlisted}
                                        : Kinds{});
    if (c.told && told.size() == 1) {
      EXPECT_EQ(told[0].storedList, *c.told);
      EXPECT_EQ(told[0].count, 3u);
    }
    fd::takeDamagedFileReports();
    for (const ProjectNotice& notice : told) {
      ASSERT_EQ(notice.unlisted.size(), unlisted.size());
      for (std::size_t i = 0; i < unlisted.size(); ++i) {
        EXPECT_EQ(notice.unlisted[i].shown, unlisted[i].shown);
        EXPECT_EQ(notice.unlisted[i].reason, unlisted[i].reason);
      }
      EXPECT_EQ(notice.unlistedCount, unlisted.size());
    }
    ZTDataModel::resetSharedInstanceForTesting();
    fd::UserDefaults::resetStandardForTesting();
    EXPECT_EQ(storedProjectList(), c.listed) << "the list is not stored";
    EXPECT_EQ(ZTDataModel::sharedInstance().projectsNameArray(), c.listed);
    EXPECT_TRUE(takeProjectNotices().empty()) << "told again at the next start";
    ZTDataModel::resetSharedInstanceForTesting();
  }
  EXPECT_EQ(fd::files::contentsOfDirectory(fd::paths::library() / "Projects"),
            (Names{"Alpha", "Bell\a", cafe, "Not\uFFFE", "test"}))
      << "a folder was made for a name the list held";

  // However many are left out, the first five are named and the rest counted.
  for (char c = 1; c <= 5; ++c) fs::create_directories(projectFolder(std::string("Odd") + c));
  fd::UserDefaults::standard().setObject("ProjectsNameArray", fd::Value(fd::Array{fd::Value("ghost1")}));
  ASSERT_TRUE(fd::UserDefaults::standard().synchronize());
  fd::UserDefaults::resetStandardForTesting();
  EXPECT_EQ(ZTDataModel::sharedInstance().projectsNameArray(), all);
  const std::vector<ProjectNotice> told = takeProjectNotices();
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].unlisted.size(), 5u);
  EXPECT_EQ(told[0].unlistedCount, 7u);
}

// New took the name of a folder no list names and opened its old drawing as
// the new project. A new project's name is one no folder has.
TEST_F(AppModelTest, ANewProjectNeverTakesAnUnlistedFolder) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  m.createProject("Project", "old");
  ASSERT_TRUE(m.prjDataModel()->createImageAtPage(1));
  m.saveData();
  m.setProjectsNameArray({"test"});
  m.setCurProjectName("test");
  m.prjDataModel()->setCurProjectName("test");
  const std::string old = model_test::readText(projectFolder("Project") / "Project.plist");
  ASSERT_TRUE(m.createProject("Project", std::nullopt));
  EXPECT_EQ(m.curProjectName(), "Projectcopy1");
  EXPECT_EQ(m.prjDataModel()->imagesArray().size(), 1u);
  EXPECT_FALSE(m.prjDataModel()->description().has_value());
  m.saveData();
  EXPECT_EQ(model_test::readText(projectFolder("Project") / "Project.plist"), old);
}

TEST_F(AppModelTest, RemovingTheOnlyProjectLeavesTest) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  m.createProject("solo", "");
  m.removeProject("test");
  ASSERT_EQ(m.projectsNameArray(), Names{"solo"});
  EXPECT_FALSE(fs::exists(projectFolder("test")));
  m.removeProject("solo");
  EXPECT_EQ(m.projectsNameArray(), Names{"test"});
  EXPECT_EQ(m.curProjectName(), "test");
  EXPECT_FALSE(fs::exists(projectFolder("solo")));

  m.createProject("a", "");
  m.createProject("b", "");
  EXPECT_TRUE(m.removeProjects({"a", "b", "test"}));
  EXPECT_EQ(m.projectsNameArray(), Names{"test"});
  EXPECT_TRUE(fs::exists(projectFolder("test"))) << "the default project made again keeps its folder";
}

TEST_F(AppModelTest, RenamingOntoAnExistingNameAnswersNoAndMovesNothing) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  m.createProject("walk", "");
  m.saveData();
  EXPECT_FALSE(m.changeProjectName("test", "walk"));
  EXPECT_EQ(m.projectsNameArray(), (Names{"test", "walk"}));
  EXPECT_TRUE(fs::exists(projectFolder("walk") / "Project.plist"));
  EXPECT_TRUE(fs::exists(projectFolder("test")));
}

TEST_F(AppModelTest, RenamingRefusesNamesAUserMayNotGive) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  m.createProject("walk", "");
  m.setCurProjectName("test");
  m.saveData();
  // A hidden name like an import's staging folder would be swept away at the
  // next start, taking the project with it.
  EXPECT_FALSE(m.changeProjectName(".walk.import-Ab12Cd", "walk"));
  EXPECT_FALSE(m.changeProjectName(".hidden", "walk"));
  EXPECT_FALSE(m.changeProjectName("line\nbreak", "walk"));
  EXPECT_FALSE(m.changeProjectName("bell\a", "walk"));
  // Text the lists that name projects cannot keep is refused as a name, not
  // found out when the list fails to be stored.
  for (const char* name : {"caf\xE9", "not\xEF\xBF\xBE", "half\xED\xA0\xBD"}) {
    EXPECT_FALSE(isValidProjectName(name)) << name;
    EXPECT_FALSE(m.changeProjectName(name, "walk")) << name;
    EXPECT_EQ(m.lastError(), "") << name;
  }
  EXPECT_FALSE(m.changeProjectName(std::string(kMaxProjectNameBytes + 1, 'n'), "walk"));
  EXPECT_FALSE(m.changeProjectName("", "walk"));
  EXPECT_EQ(m.projectsNameArray(), (Names{"test", "walk"}));
  EXPECT_TRUE(fs::exists(projectFolder("walk") / "Project.plist"));
  EXPECT_TRUE(m.changeProjectName(std::string(kMaxProjectNameBytes, 'n'), "walk"));
  ZTDataModel::resetSharedInstanceForTesting();
  EXPECT_EQ(ZTDataModel::sharedInstance().projectsNameArray(), (Names{"test", std::string(kMaxProjectNameBytes, 'n')}));
  EXPECT_TRUE(fs::exists(projectFolder(std::string(kMaxProjectNameBytes, 'n')) / "Project.plist"));
}

TEST_F(AppModelTest, RenamingTheCurrentProjectMovesItsFolderAndReopensIt) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  m.createProject("walk", "");
  m.prjDataModel()->setAnimationSpeed(0.5f);
  EXPECT_TRUE(m.changeProjectName("stroll", "walk"));
  EXPECT_EQ(m.projectsNameArray(), (Names{"test", "stroll"}));
  EXPECT_EQ(m.curProjectName(), "stroll");
  EXPECT_FALSE(fs::exists(projectFolder("walk")));
  EXPECT_EQ(m.prjDataModel()->curProjectName(), "stroll");
  EXPECT_EQ(m.prjDataModel()->animationSpeed(), 0.5f) << "saved before the move";
}

// A name a folder holds is refused before anything moves or is stored. A
// folder that can take neither the new name nor its old one again stays,
// hidden, for the next start to give back its name, and is never removed.
TEST_F(AppModelTest, RenameAnswersNoAndKeepsTheListWhenTheFolderCannotMove) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  m.createProject("walk", "");
  m.saveData();
  m.setCurProjectName("test");
  fs::create_directories(projectFolder("stray"));  // not listed, but in the way
  const fs::path store = fd::UserDefaults::standard().filePath();
  int stores = 0;
  fd::files::setWriteFaultForTesting([&](const fs::path& file) {
    stores += file == store ? 1 : 0;
    return 0;
  });
  EXPECT_FALSE(m.changeProjectName("stray", "walk"));
  fd::files::setWriteFaultForTesting({});
  EXPECT_EQ(stores, 0) << "a list naming the new name was stored";
  EXPECT_EQ(m.projectsNameArray(), (Names{"test", "walk"}));
  EXPECT_TRUE(fs::exists(projectFolder("walk")));

  const auto walk = ziptest::snapshotTree(projectFolder("walk"));
  fd::files::setWriteFaultForTesting([](const fs::path& file) {
    return file == projectFolder("stroll") || file == projectFolder("walk") ? EIO : 0;
  });
  EXPECT_FALSE(m.changeProjectName("stroll", "walk"));
  fd::files::setWriteFaultForTesting({});
  EXPECT_EQ(m.projectsNameArray(), (Names{"test", "walk"}));
  ZTDataModel::resetSharedInstanceForTesting();
  fd::UserDefaults::resetStandardForTesting();
  EXPECT_EQ(ZTDataModel::sharedInstance().projectsNameArray(), (Names{"test", "walk"}));
  EXPECT_EQ(ziptest::snapshotTree(projectFolder("walk")), walk) << "the project's folder was lost";
}

// A folder no list names may be a project a kill of an older version hid:
// the copy takes a name no folder has, and leaves it as it is.
TEST_F(AppModelTest, DuplicateCopiesTheFolderUnderAFreeName) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  m.prjDataModel()->setDescription("original");
  fs::create_directories(projectFolder("testcopy1"));
  std::ofstream(projectFolder("testcopy1") / "junk.txt") << "old";
  EXPECT_TRUE(m.duplicateProject("test"));
  EXPECT_EQ(m.projectsNameArray(), (Names{"test", "testcopy2"}));
  EXPECT_EQ(storedProjectList(), (Names{"test", "testcopy2"})) << "stored by the duplicate itself";
  EXPECT_EQ(model_test::readText(projectFolder("testcopy1") / "junk.txt"), "old");
  std::shared_ptr<ProjectDataModel> copy = ProjectDataModel::initWithProjectName("testcopy2");
  EXPECT_EQ(copy->description(), "original");
  EXPECT_EQ(m.curProjectName(), "test");
  EXPECT_FALSE(m.duplicateProject("absent"));
}

// Names the program made from a name near the file system's limit (listed
// by an older version) grew past it: "<name>copy1" could be no folder, so a
// duplicate failed and a new project was never saved. Each stays within a
// project name's bytes.
TEST_F(AppModelTest, NamesTheProgramMakesStayWithinAProjectNamesBytes) {
  const std::string longest(255, 'x');
  ZTDataModel& m = ZTDataModel::sharedInstance();
  m.setProjectsNameArray({"test", longest});
  ProjectDataModel::initWithProjectName(longest)->saveData();
  ASSERT_TRUE(fs::is_regular_file(projectFolder(longest) / "Project.plist"));
  for (const bool duplicating : {true, false}) {
    SCOPED_TRACE(duplicating ? "a duplicate" : "a new project on a taken name");
    ASSERT_TRUE(duplicating ? m.duplicateProject(longest) : m.createProject(longest, std::nullopt));
    const std::string made = m.projectsNameArray().back();
    EXPECT_LE(made.size(), kMaxProjectNameBytes);
    EXPECT_TRUE(made.starts_with("xxxx")) << made;
    m.saveData();
    EXPECT_TRUE(fs::is_regular_file(projectFolder(made) / "Project.plist"));
  }
  EXPECT_EQ(m.projectsNameArray().size(), 4u);
}

TEST_F(AppModelTest, DuplicateAnswersNoAndKeepsTheListWhenTheCopyFails) {
  fd::UserDefaults::standard().setObject("ProjectsNameArray", fd::Value(fd::Array{fd::Value("test"), fd::Value("ghost")}));
  ZTDataModel& m = ZTDataModel::sharedInstance();
  ASSERT_FALSE(fs::exists(projectFolder("ghost")));
  EXPECT_FALSE(m.duplicateProject("ghost"));
  EXPECT_EQ(m.projectsNameArray(), (Names{"test", "ghost"}));
}

// Memory running out once the copy was made, or while the list naming it was
// stored, threw out of the duplication and left an unlisted copy. It answers
// NO saying why, and the folder and both lists are as they were.
TEST_F(AppModelTest, ADuplicationThatRunsOutOfMemoryAnswersNoAndLeavesNothing) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  m.saveData();
  const auto before = ziptest::snapshotTree(root());
  bool duplicated = true;
  fd::armAllocationFailure("project.duplicate.copied");
  EXPECT_NO_THROW(duplicated = m.duplicateProject("test"));
  fd::disarmCrashPoint();
  EXPECT_FALSE(duplicated);
  EXPECT_EQ(m.lastError(), "there was not enough memory for it");
  EXPECT_EQ(m.projectsNameArray(), Names{"test"});
  EXPECT_EQ(ziptest::snapshotTree(root()), before) << "the duplication left something behind";
  EXPECT_TRUE(m.duplicateProject("test"));
  EXPECT_TRUE(m.lastError().empty());
  EXPECT_EQ(m.projectsNameArray(), (Names{"test", "testcopy1"}));
}

// Only a real project of the old layout moves out of Documents: never the
// album, never a folder of the user's that holds no Project.plist.
TEST_F(AppModelTest, AProjectNamedLikeTheAlbumLeavesThePhotosAlone) {
  const fs::path album = fd::paths::photoLibrary();
  fs::create_directories(album);
  std::ofstream(album / "IMG_0001.png") << "photo";
  ASSERT_TRUE(fd::writePropertyList(album / "Project.plist", fd::Value(fd::Dictionary{})));
  const fs::path userFolder = fd::paths::documents() / "Holiday";
  fs::create_directories(userFolder);
  std::ofstream(userFolder / "notes.txt") << "mine";
  const fs::path linked = fd::paths::documents() / "Linked";
  fs::create_directories(fd::paths::documents() / "elsewhere");
  ASSERT_TRUE(fd::writePropertyList(fd::paths::documents() / "elsewhere" / "Project.plist", fd::Value(fd::Dictionary{})));
  fs::create_directory_symlink(fd::paths::documents() / "elsewhere", linked);

  ZTDataModel& m = ZTDataModel::sharedInstance();
  for (const char* name : {"Pictures", "Holiday", "Linked"}) {
    ASSERT_TRUE(m.createProject(name, std::nullopt));
    EXPECT_EQ(m.curProjectName(), name);
    m.saveData();
    EXPECT_EQ(m.prjDataModel()->imagesArray().size(), 1u) << "a new, empty project";
    EXPECT_FALSE(fs::exists(projectFolder(name) / "IMG_0001.png"));
    EXPECT_FALSE(fs::exists(projectFolder(name) / "notes.txt"));
  }
  EXPECT_TRUE(m.removeProjects({"Pictures", "Holiday", "Linked"}));
  EXPECT_EQ(model_test::readText(album / "IMG_0001.png"), "photo");
  EXPECT_EQ(model_test::readText(userFolder / "notes.txt"), "mine");
  EXPECT_TRUE(fs::exists(fd::paths::documents() / "elsewhere" / "Project.plist"));
  EXPECT_TRUE(fs::is_symlink(linked));
}

TEST_F(AppModelTest, ProjectsMoveOnePlaceAtATime) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  m.createProject("b", "");
  m.createProject("c", "");
  EXPECT_FALSE(m.moveProjectBack("test"));
  EXPECT_FALSE(m.moveProjectForward("c"));
  EXPECT_FALSE(m.moveProjectBack("nope"));
  EXPECT_TRUE(m.moveProjectBack("c"));
  EXPECT_EQ(m.projectsNameArray(), (Names{"test", "c", "b"}));
  EXPECT_TRUE(m.moveProjectForward("test"));
  EXPECT_EQ(m.projectsNameArray(), (Names{"c", "test", "b"}));
  EXPECT_EQ(storedProjectList(), (Names{"c", "test", "b"})) << "the setter stores at once";
}

TEST_F(AppModelTest, UniqueNameRule) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  m.setProjectsNameArray({"test", "testcopy1", "a", "acopy1", "mycopy", "copycat", "Acopy1x"});
  EXPECT_EQ(m.rightNameWithName("test"), "testcopy2");
  EXPECT_EQ(m.rightNameWithName("a"), "acopy2");
  EXPECT_EQ(m.rightNameWithName("mycopy"), "mycopy1");
  EXPECT_EQ(m.rightNameWithName("copycat"), "copy1");
  EXPECT_EQ(m.rightNameWithName("Acopy1x"), "Acopy2");
  EXPECT_EQ(m.rightNameWithName("fresh"), "fresh");
}

TEST_F(AppModelTest, DeviceDataTypeFollowsTheScreenScale) {
  EXPECT_EQ(ProjectDataModel::curDevideDataType(), 1);
  DeviceScreen::setMainScreen(1.0f, 320, 480);
  EXPECT_EQ(ProjectDataModel::curDevideDataType(), 1);
  DeviceScreen::setMainScreen(2.0f, 320, 568);
  EXPECT_EQ(ProjectDataModel::curDevideDataType(), 2);
  EXPECT_EQ(ZTDataModel::sharedInstance().dataType(), 2);
  EXPECT_TRUE(ZTDataModel::sharedInstance().extendDataModel().isIphone5ScreenSize());
}

}  // namespace

// A preferences file listing 100,000 projects, and a current project whose
// binary Project.plist holds 100,000 sound-tag values in each list. The start
// reads each item once; it took minutes when every list item was fetched from
// the front of its list and every project name was compared with all before it.
TEST_F(AppModelTest, StartingOnLongListsTakesTimeLinearInTheirLength) {
  constexpr int kCount = 100000;
  fd::Array names;
  for (int i = 0; i < kCount; ++i) names.push_back(fd::Value("p" + std::to_string(i)));
  names.push_back(fd::Value("p7"));
  ASSERT_TRUE(fd::writePropertyList(fd::UserDefaults::standard().filePath(),
                                    fd::Value(fd::Dictionary{{"ProjectsNameArray", fd::Value(std::move(names))},
                                                             {"CurProjectName", fd::Value("p1")}})));
  plist_t project = plist_new_dict();
  plist_dict_set_item(project, "Version", plist_new_uint(104));
  plist_t points = plist_new_array();
  plist_t frames = plist_new_array();
  for (int i = 0; i < kCount; ++i) {
    plist_array_append_item(points, plist_new_real(49.0 + i % 300));
    plist_array_append_item(frames, plist_new_uint(static_cast<std::uint64_t>(1 + i % 300)));
  }
  plist_dict_set_item(project, "SoundTagViewPoints", points);
  plist_dict_set_item(project, "soundTagViewFrame", frames);
  char* bytes = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(project, &bytes, &length);
  plist_free(project);
  ASSERT_NE(bytes, nullptr);
  fs::create_directories(projectFolder("p1"));
  const bool written = fd::files::writeFileAtomically(projectFolder("p1") / "Project.plist", bytes, length);
  std::free(bytes);
  ASSERT_TRUE(written);

  const auto child = testing_support::runUnderCpuCeiling(5, [] {
    fd::UserDefaults::resetStandardForTesting();
    ZTDataModel& m = ZTDataModel::sharedInstance();
    ASSERT_EQ(m.projectsNameArray().size(), static_cast<std::size_t>(kCount)) << "a name listed twice is kept once";
    EXPECT_EQ(m.projectsNameArray()[7], "p7");
    EXPECT_EQ(m.curProjectName(), "p1");
    ASSERT_TRUE(m.prjDataModel());
    ASSERT_EQ(m.prjDataModel()->soundTags().size(), static_cast<std::size_t>(kCount / 2));
    EXPECT_EQ(m.prjDataModel()->soundTags().back().frames, (std::array<int, 2>{99, 100}));
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;
}
