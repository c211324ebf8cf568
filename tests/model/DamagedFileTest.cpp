// A file the program keeps its state in that cannot be read is never
// replaced: a damaged Project.plist (cut short, empty, garbled, a binary list
// with wrong offsets, a list that is no dictionary) is moved aside beside
// itself and reported, the project's pages stay, and a new project under a
// new name is opened instead; a damaged preferences file likewise, the
// projects on disk then listed again; a combination leaves a damaged project
// alone.
#include <chrono>
#include <fstream>
#include <map>

#include "ModelTestSupport.h"
#include "model/ProjectNotice.h"
#include "model/SafeName.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "support/KeptCopies.h"

namespace fs = std::filesystem;

namespace {

using Kind = fd::DamagedFileReport::Kind;
using testing_support::keptCopies;

class DamagedFileTest : public model_test::ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    fd::takeDamagedFileReports();
  }
  void TearDown() override {
    fd::files::setWriteFaultForTesting({});
    fd::takeDamagedFileReports();
    ModelTest::TearDown();
  }
  // The model as the next start of the program finds it.
  ZTDataModel& restart() {
    ZTDataModel::resetSharedInstanceForTesting();
    fd::UserDefaults::resetStandardForTesting();
    return ZTDataModel::sharedInstance();
  }
  // A project of three frames with a drawn layer, current and saved.
  fs::path makeProject(const std::string& name) {
    ZTDataModel& m = ZTDataModel::sharedInstance();
    EXPECT_TRUE(m.createProject(name, std::nullopt));
    ProjectDataModel& p = *m.prjDataModel();
    EXPECT_TRUE(p.createImageAtPage(1));
    EXPECT_TRUE(p.createImageAtPage(1));
    model_test::writeTinyPng(*p.layFullPathAtPage(2, false, 2), 7);
    m.saveData();
    return p.projectDicPath();
  }
  static void writeBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
};

// Damages of every kind: each leaves the project's file and pages on disk.
std::vector<std::pair<std::string, std::string>> damages(const std::string& plist) {
  std::string binary = model_test::readText(FLIPDESK_TEST_DATA "/binary.plist");
  // The trailer's last eight bytes are the offset table's place: point it
  // into the middle of the objects.
  for (std::size_t i = binary.size() - 8; i < binary.size() - 1; ++i) binary[i] = 0;
  binary.back() = 0x11;
  std::string junk;
  for (int i = 0; i < 400; ++i) junk.push_back(static_cast<char>((i * 131 + 17) % 256));
  return {{"empty", ""},
          {"cut short", plist.substr(0, plist.size() / 2)},
          {"junk", junk},
          {"binary with wrong trailer offsets", binary},
          {"no dictionary", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>"}};
}

TEST_F(DamagedFileTest, ADamagedProjectListIsKeptAsideAndANewProjectOpens) {
  int round = 0;
  for (const auto& [what, bytes] : damages(model_test::readText(makeProject("Probe") / "Project.plist"))) {
    const std::string name = "Mine" + std::to_string(round++);
    const fs::path folder = makeProject(name);
    const fs::path plist = folder / "Project.plist";
    const fs::path layer = *ZTDataModel::sharedInstance().prjDataModel()->layFullPathAtPage(2, false, 2);
    writeBytes(plist, bytes);

    ZTDataModel& m = restart();
    // The damaged file is beside where it was, whole; nothing took its place.
    const std::vector<fs::path> kept = keptCopies(plist);
    ASSERT_EQ(kept.size(), 1u) << what;
    EXPECT_EQ(model_test::readText(kept[0]), bytes) << what;
    EXPECT_TRUE(fs::exists(layer)) << what;
    // Another project is open, under a name of its own; the damaged one stays listed.
    EXPECT_NE(m.curProjectName(), name) << what;
    EXPECT_NE(m.prjDataModel()->projectDicPath(), folder) << what;
    const auto& names = m.projectsNameArray();
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << what;
    EXPECT_NE(std::find(names.begin(), names.end(), m.curProjectName()), names.end()) << what;
    // The user hears which project it was and where its file went.
    const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
    ASSERT_EQ(reports.size(), 1u) << what;
    EXPECT_EQ(reports[0].kind, Kind::Project);
    EXPECT_EQ(reports[0].name, name);
    EXPECT_EQ(reports[0].keptAs, kept[0]);
    EXPECT_FALSE(reports[0].reason.empty());

    // Saves land in the new project; the damaged folder keeps what it had.
    const std::string opened = m.curProjectName();
    m.saveData();
    EXPECT_FALSE(fs::exists(plist)) << what;
    EXPECT_EQ(keptCopies(plist).size(), 1u) << what;
    // The choice is stored at once: the next start opens the new project
    // again and reports nothing new.
    EXPECT_EQ(restart().curProjectName(), opened) << what;
    EXPECT_TRUE(fd::takeDamagedFileReports().empty()) << what;
  }
}

// A damaged open project named near the file system's limit had a project
// "<name>copy1" opened in its place, a name no folder can have: nothing drawn
// was saved, and every start listed one more. The project opened instead has
// a name within a project name's bytes, is saved, and opens again.
TEST_F(DamagedFileTest, ADamagedProjectNamedAtTheLimitOpensOneProjectThatIsSaved) {
  const std::string name(255, 'L');  // as long as a folder name may be, listed by an older version
  ZTDataModel& before = ZTDataModel::sharedInstance();
  before.setProjectsNameArray({"test", name});
  before.setCurProjectName(name);
  ProjectDataModel::initWithProjectName(name)->saveData();
  ASSERT_TRUE(fd::UserDefaults::standard().synchronize());
  writeBytes(fd::paths::library() / "Projects" / name / "Project.plist", "");
  std::string opened;
  for (int start = 1; start <= 3; ++start) {
    SCOPED_TRACE("start " + std::to_string(start));
    ZTDataModel& m = restart();
    EXPECT_EQ(fd::takeDamagedFileReports().size(), start == 1 ? 1u : 0u);
    if (start == 1) opened = m.curProjectName();
    EXPECT_LE(opened.size(), kMaxProjectNameBytes);
    EXPECT_EQ(m.curProjectName(), opened);
    EXPECT_EQ(m.projectsNameArray(), (std::vector<std::string>{"test", name, opened}));
    EXPECT_TRUE(fs::is_regular_file(m.prjDataModel()->plistFilePath()));
  }
}

TEST_F(DamagedFileTest, ADamagedPreferencesFileIsKeptAsideAndTheProjectsListedAgain) {
  makeProject("Alpha");
  const fs::path beta = makeProject("Beta");
  ZTDataModel::sharedInstance().createProject("Gamma", std::nullopt);
  ZTDataModel::sharedInstance().saveData();
  // Beta was the last one worked in.
  fs::last_write_time(beta / "Project.plist", fs::file_time_type::clock::now() + std::chrono::hours(1));
  const fs::path preferences = fd::UserDefaults::standard().filePath();
  const std::string junk = "<?xml version=\"1.0\"?><plist><dict><key>ProjectsNameArray</key><arr";
  writeBytes(preferences, junk);
  // A folder another program named in Latin-1: no list keeps its name, and
  // listed it would leave the preferences unsaved.
  fs::copy(beta, beta.parent_path() / "Caf\xE9", fs::copy_options::recursive);

  ZTDataModel& m = restart();
  const std::vector<fs::path> kept = keptCopies(preferences);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(model_test::readText(kept[0]), junk);
  std::vector<std::string> names = m.projectsNameArray();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "Beta", "Gamma", ZTDataModel::kDefaultProjectName}));
  EXPECT_EQ(m.curProjectName(), "Beta");
  EXPECT_EQ(m.prjDataModel()->imagesArray().size(), 3u) << "Beta as it was saved";
  const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].kind, Kind::Preferences);
  EXPECT_EQ(reports[0].keptAs, kept[0]);
  // The store is written afresh; the kept copy stays.
  m.saveData();
  EXPECT_TRUE(fd::readPropertyList(preferences).ok());
  EXPECT_EQ(model_test::readText(kept[0]), junk);
  EXPECT_EQ(restart().curProjectName(), "Beta");
}

// Preferences that read well but hold no usable project list (a text or a
// dictionary in its place, an empty list, names none can use, none at all)
// hid every project but the one made afresh. They are listed again from
// their folders, as for an unreadable file, the current one kept, the user
// told; the list is stored, so the next start tells nothing.
TEST_F(DamagedFileTest, PreferencesNamingNoProjectListTheFoldersAgain) {
  using Held = ProjectNotice::StoredList;
  const std::pair<fd::Value, Held> stored[] = {
      {fd::Value("Alpha"), Held::Text},
      {fd::Value(fd::Dictionary{{"Alpha", fd::Value("Beta")}}), Held::Dictionary},
      {fd::Value(fd::Array{}), Held::Empty},
      {fd::Value(fd::Array{fd::Value("../Alpha"), fd::Value(3)}), Held::Unusable},
      {fd::Value(), Held::Missing}};
  makeProject("Alpha");
  makeProject("Beta");
  takeProjectNotices();
  for (const auto& [value, held] : stored) {
    fd::UserDefaults& d = fd::UserDefaults::standard();
    d.setObject("ProjectsNameArray", value);
    d.setObject("CurProjectName", fd::Value("Beta"));
    ASSERT_TRUE(d.synchronize());
    const std::vector<std::string> all{"Alpha", "Beta", ZTDataModel::kDefaultProjectName};
    ZTDataModel& m = restart();
    EXPECT_EQ(m.projectsNameArray(), all) << static_cast<int>(held);
    EXPECT_EQ(m.curProjectName(), "Beta");
    EXPECT_EQ(m.prjDataModel()->imagesArray().size(), 3u) << "Beta as it was saved";
    const std::vector<ProjectNotice> told = takeProjectNotices();
    ASSERT_EQ(told.size(), 1u) << static_cast<int>(held);
    EXPECT_EQ(told[0].kind, ProjectNotice::Kind::ProjectsListedAgain);
    EXPECT_EQ(told[0].storedList, held);
    EXPECT_EQ(told[0].count, 3u);
    EXPECT_EQ(restart().projectsNameArray(), all);
    EXPECT_TRUE(takeProjectNotices().empty());
  }
  EXPECT_TRUE(fd::takeDamagedFileReports().empty()) << "a readable file is set aside";
}

// A Project.plist or preferences file of gigabytes is no list the program
// wrote: it is refused by its size, unread, and set aside and told like any
// damaged one, naming the bound.
TEST_F(DamagedFileTest, AHugeProjectListOrPreferencesFileIsSetAsideUnread) {
  const fs::path folder = makeProject("Huge");
  const fs::path plist = folder / "Project.plist";
  const fs::path layer = *ZTDataModel::sharedInstance().prjDataModel()->layFullPathAtPage(2, false, 2);
  fs::resize_file(plist, std::uintmax_t{3} << 30);  // sparse: no disk is taken

  ZTDataModel& m = restart();
  ASSERT_EQ(keptCopies(plist).size(), 1u);
  EXPECT_EQ(fs::file_size(keptCopies(plist)[0]), std::uintmax_t{3} << 30);
  EXPECT_TRUE(fs::exists(layer));
  EXPECT_NE(m.curProjectName(), "Huge");
  std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].kind, Kind::Project);
  EXPECT_EQ(reports[0].name, "Huge");
  EXPECT_EQ(reports[0].reason, "the file is 3.0 GiB, larger than the 64 MiB it may be");

  const std::string opened = m.curProjectName();
  m.saveData();
  const fs::path preferences = fd::UserDefaults::standard().filePath();
  fs::resize_file(preferences, std::uintmax_t{3} << 30);
  ZTDataModel& again = restart();
  ASSERT_EQ(keptCopies(preferences).size(), 1u);
  EXPECT_EQ(fs::file_size(keptCopies(preferences)[0]), std::uintmax_t{3} << 30);
  reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].kind, Kind::Preferences);
  EXPECT_EQ(reports[0].reason, "the file is 3.0 GiB, larger than the 64 MiB it may be");
  // The projects are listed again from their folders; the one written last opens.
  EXPECT_EQ(again.curProjectName(), opened);
  const auto& names = again.projectsNameArray();
  EXPECT_NE(std::find(names.begin(), names.end(), "Huge"), names.end());
}

// A list too large for the memory left, read for a project's card or for a
// combination's mix, ended the program. It is shown as unread, its file left
// as it was and nobody told; once memory is back it reads whole, and opened
// rather than shown, the failure reaches the one opening it, who tells.
TEST_F(DamagedFileTest, AListTooLargeForTheMemoryLeftIsShownUnreadAndLeftAlone) {
  const fs::path folder = makeProject("Big");
  const std::string list = model_test::readText(folder / "Project.plist");
  ZTDataModel::sharedInstance().setCurProjectName("test");
  ZTDataModel::sharedInstance().prjDataModel()->setCurProjectName("test");
  fd::armAllocationFailure("project.read.frames");
  std::shared_ptr<ProjectDataModel> shown;
  EXPECT_NO_THROW(shown = ProjectDataModel::initToShowWithProjectName("Big"));
  fd::disarmCrashPoint();
  ASSERT_NE(shown, nullptr);
  EXPECT_TRUE(shown->keptDamagedFile());
  EXPECT_EQ(shown->imagesArray().size(), 1u);
  EXPECT_EQ(model_test::readText(folder / "Project.plist"), list);
  EXPECT_TRUE(keptCopies(folder / "Project.plist").empty());
  EXPECT_TRUE(fd::takeDamagedFileReports().empty());

  shown = ProjectDataModel::initToShowWithProjectName("Big");
  EXPECT_FALSE(shown->keptDamagedFile());
  EXPECT_EQ(shown->imagesArray().size(), 3u);
  fd::armAllocationFailure("project.read.frames");
  EXPECT_THROW(ProjectDataModel::initWithProjectName("Big"), std::bad_alloc);
  fd::disarmCrashPoint();
  EXPECT_EQ(model_test::readText(folder / "Project.plist"), list);
}

TEST_F(DamagedFileTest, ADamagedSettingsFileIsKeptAside) {
  ZTDataModel::sharedInstance().extendDataModel().limitFramesDict()["Rec1.caf"] = 12;
  ZTDataModel::sharedInstance().extendDataModel().saveLimitFramesDict();
  const fs::path limits = ExtendDataModel::limitFramesPath();
  writeBytes(limits, "bplist00garbage");
  ZTDataModel& m = restart();
  EXPECT_TRUE(m.extendDataModel().limitFramesDict().empty());
  ASSERT_EQ(keptCopies(limits).size(), 1u);
  const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].kind, Kind::Settings);
  m.extendDataModel().saveLimitFramesDict();
  EXPECT_EQ(model_test::readText(keptCopies(limits)[0]), "bplist00garbage");
}

// A damaged file whose folder will not let it be moved aside stays as it was:
// every save that would replace it is refused, and the user is told it stays.
// Once the folder lets it go, the next save keeps it aside first.
TEST_F(DamagedFileTest, FilesThatCannotBeMovedAsideAreNeverWrittenOver) {
  const fs::path project = makeProject("Alpha");
  ExtendDataModel& before = ZTDataModel::sharedInstance().extendDataModel();
  before.limitFramesDict()["Rec1.caf"] = 12;
  before.saveLimitFramesDict();
  const std::map<fs::path, std::string> damaged = {
      {project / "Project.plist", "junk"},
      {fd::UserDefaults::standard().filePath(), "<?xml version=\"1.0\"?><plist><dict><key>Version</key><arr"},
      {ExtendDataModel::limitFramesPath(), "bplist00garbage"}};
  for (const auto& [file, bytes] : damaged) writeBytes(file, bytes);
  testing_support::refuseKeptCopies();

  ZTDataModel& m = restart();
  std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), damaged.size());
  for (const fd::DamagedFileReport& report : reports) {
    EXPECT_TRUE(damaged.contains(report.file)) << report.file;
    EXPECT_TRUE(report.keptAs.empty()) << report.file;
    EXPECT_FALSE(report.notMoved.empty()) << report.file;
  }
  m.extendDataModel().limitFramesDict()["Rec2.caf"] = 7;
  m.saveData();
  m.extendDataModel().saveLimitFramesDict();
  // Not even a save of the damaged project itself replaces its list.
  if (std::shared_ptr<ProjectDataModel> alpha = ProjectDataModel::initWithProjectName("Alpha")) alpha->saveData();
  for (const auto& [file, bytes] : damaged) {
    EXPECT_EQ(model_test::readText(file), bytes) << file;
    EXPECT_TRUE(keptCopies(file).empty()) << file;
  }
  fd::takeDamagedFileReports();

  fd::files::setWriteFaultForTesting({});
  m.saveData();
  m.extendDataModel().saveLimitFramesDict();
  for (const fs::path& file : {fd::UserDefaults::standard().filePath(), ExtendDataModel::limitFramesPath()}) {
    const std::vector<fs::path> kept = keptCopies(file);
    ASSERT_EQ(kept.size(), 1u) << file;
    EXPECT_EQ(model_test::readText(kept[0]), damaged.at(file)) << file;
    EXPECT_TRUE(fd::readPropertyList(file).ok()) << file;
  }
  EXPECT_EQ(fd::takeDamagedFileReports().size(), 2u) << "where each went is told";
  EXPECT_EQ(restart().extendDataModel().limitFramesDict()["Rec2.caf"], 7);
}

// Merging a project whose list cannot be read would merge nothing and then
// delete its folder: it is left out, listed, with its folder.
TEST_F(DamagedFileTest, ACombinationLeavesADamagedProjectAlone) {
  const fs::path damaged = makeProject("Broken");
  const fs::path layer = *ZTDataModel::sharedInstance().prjDataModel()->layFullPathAtPage(2, false, 2);
  makeProject("Target");
  writeBytes(damaged / "Project.plist", "junk");
  ZTDataModel& m = ZTDataModel::sharedInstance();
  ASSERT_TRUE(m.combineProjects({"Target", "Broken"}));
  EXPECT_TRUE(fs::exists(layer));
  EXPECT_EQ(keptCopies(damaged / "Project.plist").size(), 1u);
  const auto& names = m.projectsNameArray();
  EXPECT_NE(std::find(names.begin(), names.end(), "Broken"), names.end());
  EXPECT_EQ(ProjectDataModel::initWithProjectName("Target")->imagesArray().size(), 3u);
}

}  // namespace
