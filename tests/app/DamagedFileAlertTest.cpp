// The program tells the user about a file it could not read: at start, an
// alert names the project whose list was damaged, where its file was kept and
// which project is open instead; a damaged preferences file is told likewise;
// a page whose layer cannot be read is named with its layer when the desk
// opens it.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <utility>

#include "app/AppTestSupport.h"
#include "graphics/MemoryCeiling.h"
#include "model/ModelTestSupport.h"
#include "model/SafeName.h"
#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "model/ExtendDataModel.h"
#include "support/BinaryPlist.h"
#include "support/KeptCopies.h"
#include "ui/AlertReading.h"

namespace fs = std::filesystem;

namespace {

class DamagedFileAlertTest : public app_test::AppTest {
 protected:
  void TearDown() override {
    fd::files::setWriteFaultForTesting({});
    AppTest::TearDown();
    fd::takeDamagedFileReports();
  }
  static void garble(const fs::path& file) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << "\x01garbled\x02";
  }
  // The alerts on screen once the launch has had its turn.
  std::vector<ui::ButtonSheet*> alertsAfterLaunch() {
    launch_ = start();
    host->runUntilIdle();
    return host->alerts();
  }
  ZTLoadingViewController* launch() const { return launch_; }
  // A project made current and saved, the program then ended: the files the
  // next start reads first, and its first page's foreground.
  struct Saved {
    fs::path list, preferences, firstLayer;
  };
  static Saved savedForTheNextStart(const std::string& project) {
    ZTDataModel& m = ZTDataModel::sharedInstance();
    EXPECT_TRUE(m.createProject(project, std::nullopt));
    m.saveData();
    const Saved saved{m.prjDataModel()->plistFilePath(), fd::UserDefaults::standard().filePath(),
                      *m.prjDataModel()->layFullPathAtPage(1, false, 2)};
    ZTDataModel::resetSharedInstanceForTesting();
    fd::UserDefaults::resetStandardForTesting();
    return saved;
  }
  // A project "Holiday" whose first page's foreground is garbled, as the
  // next start finds it.
  static fs::path garbledFirstLayer() {
    const fs::path layer = savedForTheNextStart("Holiday").firstLayer;
    garble(layer);
    return layer;
  }
  // None at the launch, then the alerts on screen once the desk has opened.
  std::vector<ui::ButtonSheet*> alertsWhenTheDeskOpens() {
    EXPECT_TRUE(alertsAfterLaunch().empty());
    EXPECT_NE(openDesk(launch()), nullptr);
    host->runUntilIdle();
    return host->alerts();
  }
  // A finger answers the alert with its first button and it goes; then the
  // program ends, for the next start to find what it left.
  void answerAndEnd(ui::ButtonSheet& alert) {
    ASSERT_TRUE(host->tapAlertButton(alert.buttonTitleAtIndex(0)).has_value());
    host->runUntilIdle();
    EXPECT_TRUE(host->alerts().empty()) << "the alert could not be answered";
    ui::Application::shared().reset();
    host.reset();
    ZTDataModel::resetSharedInstanceForTesting();
    fd::UserDefaults::resetStandardForTesting();
    fd::takeDamagedFileReports();
  }
  // In a child whose address space may grow by 2.5 GB: the start tells each
  // list it set aside, for the reason given, in alerts of these titles, and
  // opens another project than "Holiday".
  void expectAStartUnderACeilingToTell(const std::string& reason, const std::vector<std::string>& titles) {
    const testing_support::ChildResult child = testing_support::runInChild([&] {
      testing_support::limitAddressSpaceGrowth(std::size_t{5} << 29);
      std::vector<std::string> told;
      for (ui::ButtonSheet* alert : alertsAfterLaunch()) {
        told.push_back(alert->title());
        EXPECT_NE(alert->message().find(reason), std::string::npos) << alert->message();
      }
      std::sort(told.begin(), told.end());
      EXPECT_EQ(told, titles);
      EXPECT_NE(ZTDataModel::sharedInstance().curProjectName(), "Holiday");
    });
    EXPECT_TRUE(child.ranThrough()) << child;
  }
  ZTLoadingViewController* launch_ = nullptr;
};

TEST_F(DamagedFileAlertTest, TheDamagedProjectIsNamedAtStart) {
  garble(savedForTheNextStart("Holiday").list);

  const std::vector<ui::ButtonSheet*> alerts = alertsAfterLaunch();
  ASSERT_EQ(alerts.size(), 1u);
  const std::string message = alerts[0]->message();
  EXPECT_EQ(alerts[0]->title(), "Project could not be read");
  EXPECT_NE(message.find("Holiday"), std::string::npos) << message;
  EXPECT_NE(message.find("Project.plist.damaged-"), std::string::npos) << message;
  EXPECT_NE(message.find(ZTDataModel::sharedInstance().curProjectName()), std::string::npos) << message;
  EXPECT_NE(ZTDataModel::sharedInstance().curProjectName(), "Holiday");
}

TEST_F(DamagedFileAlertTest, TheDamagedPreferencesAreToldAtStart) {
  ZTDataModel::sharedInstance().saveData();
  ZTDataModel::resetSharedInstanceForTesting();
  const fs::path preferences = fd::UserDefaults::standard().filePath();
  fd::UserDefaults::resetStandardForTesting();
  garble(preferences);

  const std::vector<ui::ButtonSheet*> alerts = alertsAfterLaunch();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0]->title(), "Settings could not be read");
  EXPECT_NE(alerts[0]->message().find("flipdesk.plist.damaged-"), std::string::npos) << alerts[0]->message();
}

// Preferences holding no usable project list hid the projects and said
// nothing: an alert says what they held and how many projects are listed
// again. A folder whose name no list can keep was left out while the alert
// said the projects folder's projects were listed again: it is named, and
// why, also when the preferences could not be read.
TEST_F(DamagedFileAlertTest, ProjectsListedAgainAreToldWithTheirCount) {
  const std::string bell =
      "The name of the folder \u201c\u2068Bell\uFFFD\u2069\u201d cannot be listed: it holds the control character U+0007, which "
      "a list cannot keep; the folder stays unlisted.";
  struct Case {
    fd::Value stored;  // null: the preferences are unreadable
    bool bellFolder;
    std::map<std::string, std::string> told;  // by title; an empty message is not looked at
  };
  const Case cases[] = {
      {fd::Value("Holiday"),
       false,
       {{"Projects listed again",
         "The preferences hold a text where the list of projects belongs, while the projects folder holds 2 "
         "projects; they are listed again."}}},
      {fd::Value(fd::Array{fd::Value("ghost1"), fd::Value("ghost2")}),
       true,
       {{"Projects listed again",
         "The preferences hold a list naming only projects that have no folder, while the projects folder holds 2 "
         "projects; they are listed again. " +
             bell}}},
      {fd::Value(), true, {{"Settings could not be read", ""}, {"Folders left unlisted", bell}}},
  };
  int run = 0;
  for (const Case& c : cases) {
    fd::paths::setHomeOverride(root() / std::to_string(++run));
    SCOPED_TRACE(run);
    ASSERT_TRUE(fd::paths::ensureSandbox());
    const fs::path preferences = savedForTheNextStart("Holiday").preferences;
    if (c.bellFolder) fs::create_directories(fd::paths::library() / "Projects" / "Bell\a");
    if (c.stored.isNull()) {
      garble(preferences);
    } else {
      fd::UserDefaults::standard().setObject("ProjectsNameArray", c.stored);
      ASSERT_TRUE(fd::UserDefaults::standard().synchronize());
      fd::UserDefaults::resetStandardForTesting();
    }

    std::map<std::string, std::string> told;
    for (ui::ButtonSheet* alert : alertsAfterLaunch())
      told[alert->title()] = c.told.contains(alert->title()) && c.told.at(alert->title()).empty() ? ""
                                                                                                   : alert->message();
    EXPECT_EQ(told, c.told);
    EXPECT_EQ(ZTDataModel::sharedInstance().projectsNameArray(), (std::vector<std::string>{"Holiday", "test"}));
    for (std::size_t left = host->alerts().size(); left > 1; --left) {
      ASSERT_TRUE(host->pressAlertButton(0));
      host->runUntilIdle();
    }
    ASSERT_EQ(host->alerts().size(), 1u);
    answerAndEnd(*host->alerts()[0]);
  }
  fd::paths::setHomeOverride(root());
}

// "Background mended" named backgrounds by the names they are stored under
// ("SSBackground001", "US20261208085601724"), which the user never sees. It
// names them as the gallery shows them: by their place there and, for one
// of the user's own, by when it was made.
TEST_F(DamagedFileAlertTest, AMendedBackgroundIsNamedAsTheGalleryShowsIt) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  const std::string mine = "US20261208085601724", gone = "US20250301140500000";
  for (const std::string& name : {mine, gone}) {
    model_test::writeTinyPng(m.backgroundPath() / (name + ".png"));
    model_test::writeTinyPng(m.backgroundPath() / (name + "Icon.png"));
  }
  m.setBackgroundArray({"US20240101000000001", mine});
  for (const auto& [project, background] : std::vector<std::pair<std::string, std::string>>{
           {"Sky", "SSBackground001"}, {"Mine", mine}, {"Gone", gone}}) {
    ASSERT_TRUE(m.createProject(project, std::nullopt));
    ASSERT_TRUE(m.attachBackground(*m.prjDataModel(), background, true));
    ASSERT_TRUE(m.saveData());
    fs::remove(*m.prjDataModel()->backgroundFullPath());
  }
  fs::remove(m.backgroundPath() / (gone + ".png"));
  fs::remove(m.backgroundPath() / (gone + "Icon.png"));
  ZTDataModel::resetSharedInstanceForTesting();
  fd::UserDefaults::resetStandardForTesting();

  launch_ = start();
  host->runUntilIdle();
  std::set<std::string> told;
  for (ui::ButtonSheet* alert : host->alerts()) {
    EXPECT_EQ(alert->title(), "Background mended");
    told.insert(alert->message());
  }
  EXPECT_EQ(told, (std::set<std::string>{
                      "The project \u201c\u2068Sky\u2069\u201d had lost its copy of its background, picture 2 of the gallery; it "
                      "was taken again from the gallery.",
                      "The project \u201c\u2068Mine\u2069\u201d had lost its copy of its background, your picture made on 8 "
                      "December 2026 at 08:56 (picture 9 of the gallery); it was taken again from the gallery.",
                      "The project \u201c\u2068Gone\u2069\u201d had lost its copy of its background, your picture made on 1 March "
                      "2025 at 14:05, no longer in the gallery, and no picture of it is left; the project now has no "
                      "background.",
                  }));
}

// A Project.plist and a preferences file of 3 GB each (sparse) once took
// 4 GB and ten seconds to read at every start, and under a memory ceiling the
// program ended there, before either was set aside. They are refused by their
// size, unread: the start goes on within the ceiling and tells both.
TEST_F(DamagedFileAlertTest, AStartUnderAMemoryCeilingSetsHugeListsAsideAndTellsThem) {
  FD_SKIP_WITHOUT_ADDRESS_SPACE_CEILING();
  const auto [plist, preferences, layer] = savedForTheNextStart("Holiday");
  fs::resize_file(preferences, std::uintmax_t{3} << 30);
  fs::resize_file(plist, std::uintmax_t{3} << 30);  // the newest list: the one opened

  expectAStartUnderACeilingToTell("the file is 3.0 GiB, larger than the 64 MiB it may be",
                                  {"Project could not be read", "Settings could not be read"});
  EXPECT_FALSE(fs::exists(plist));
  EXPECT_LT(fs::file_size(preferences), std::uintmax_t{1} << 20) << "the preferences start afresh";
  for (const fs::path& file : {plist, preferences}) {
    ASSERT_EQ(testing_support::keptCopies(file).size(), 1u) << file;
    EXPECT_EQ(fs::file_size(testing_support::keptCopies(file)[0]), std::uintmax_t{3} << 30);
  }
}

// Lists of a few kilobytes whose shared objects would build gigabytes once
// copied out ended every start under a memory ceiling, before anything was
// set aside. Each is refused before it builds, kept and told: as the current
// project's list, the preferences, both settings files and the statistics
// record.
TEST_F(DamagedFileAlertTest, AStartUnderAMemoryCeilingSetsListsThatWouldBuildTooMuchAsideAndTellsThem) {
  FD_SKIP_WITHOUT_ADDRESS_SPACE_CEILING();
  const auto [plist, preferences, layer] = savedForTheNextStart("Holiday");
  const fd::Data shared = testing_support::sharedDataList();
  const std::vector<fs::path> lists = {preferences, ExtendDataModel::limitFramesPath(), ExtendDataModel::lumistoPath(),
                                       VTSystemManager::recordPath(), plist};  // the newest list: the one opened
  for (const fs::path& file : lists) {
    fs::create_directories(file.parent_path());
    ASSERT_TRUE(fd::files::writeFileAtomically(file, shared)) << file;
  }

  expectAStartUnderACeilingToTell("once read it would take more than the 256 MiB a list may take",
                                  {"Project could not be read", "Settings could not be read",
                                   "Settings could not be read", "Settings could not be read",
                                   "Settings could not be read"});
  EXPECT_FALSE(fs::exists(plist));
  for (const fs::path& file : lists) {
    ASSERT_EQ(testing_support::keptCopies(file).size(), 1u) << file;
    EXPECT_EQ(testing_support::fileBytes(testing_support::keptCopies(file)[0]), shared) << file;
  }
}

TEST_F(DamagedFileAlertTest, ADamagedLayerIsNamedWhenTheDeskOpensItsPage) {
  const fs::path layer = garbledFirstLayer();
  const std::vector<ui::ButtonSheet*> alerts = alertsWhenTheDeskOpens();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0]->title(), "Picture could not be read");
  const std::string message = alerts[0]->message();
  for (const std::string& said : {std::string("foreground of page 1"), std::string("\u201c\u2068Holiday\u2069\u201d"),
                                  layer.filename().string() + ".damaged-", std::string("starts empty")})
    EXPECT_NE(message.find(said), std::string::npos) << said << " in: " << message;
  EXPECT_FALSE(fs::exists(layer));
}

// A layer its folder will not let be moved aside is not said to be kept, nor
// its page to be saved in its place: the alert says it stays as it was and
// nothing is written over it.
TEST_F(DamagedFileAlertTest, ADamagedLayerThatCannotBeMovedIsSaidToStay) {
  const fs::path layer = garbledFirstLayer();
  testing_support::refuseKeptCopies(EROFS);
  const std::vector<ui::ButtonSheet*> alerts = alertsWhenTheDeskOpens();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0]->title(), "Picture could not be read");
  const std::string message = alerts[0]->message();
  for (const std::string& said : {std::string("could not be moved aside"), std::string(std::strerror(EROFS)),
                                  layer.string(), std::string("Nothing is written over it"),
                                  std::string("stays unsaved")})
    EXPECT_NE(message.find(said), std::string::npos) << said << " in: " << message;
  for (const std::string& unsaid : {std::string(".damaged-"), std::string("saved in its place")})
    EXPECT_EQ(message.find(unsaid), std::string::npos) << unsaid << " in: " << message;
  EXPECT_TRUE(fs::exists(layer));
}

// A damaged picture of a project with a name as long as names may be, in a
// home folder deep in the file system: the alert that names its path still
// fits the screen at both layouts and scales, and a finger answers it.
TEST_F(DamagedFileAlertTest, AnAlertNamingALongPathFitsTheScreenAndIsAnswered) {
  const fs::path home = root() / std::string(130, 'h');
  const std::string name(kMaxProjectNameBytes, 'n');
  for (const bool tall : {false, true}) {
    for (const float scale : {1.0f, 2.0f}) {
      SCOPED_TRACE(std::string(tall ? "tall" : "normal") + " x" + std::to_string(scale));
      fd::paths::setHomeOverride(home / (std::string(tall ? "t" : "n") + std::to_string(static_cast<int>(scale))));
      ASSERT_TRUE(fd::paths::ensureSandbox());
      garble(savedForTheNextStart(name).firstLayer);
      launch_ = start(tall, scale);
      host->runUntilIdle();
      ASSERT_NE(openDesk(launch_), nullptr);
      host->runUntilIdle();
      const std::vector<ui::ButtonSheet*> alerts = host->alerts();
      ASSERT_EQ(alerts.size(), 1u);
      EXPECT_NE(alerts[0]->message().find(name), std::string::npos);
      alert_reading::expectOnTheScreenWithRoomForItsText(*alerts[0]);
      answerAndEnd(*alerts[0]);
    }
  }
  fd::paths::setHomeOverride(root());
}

// Ways a project's list is found damaged at start, each told with its own
// reason, the longest of them included.
struct ListDamage {
  const char* what;
  void (*make)(const fs::path& plist);
};
const ListDamage kListDamages[] = {
    {"garbled", [](const fs::path& plist) { testing_support::writeBytes(plist, "\x01garbled\x02"); }},
    {"too large", [](const fs::path& plist) { fs::resize_file(plist, std::uintmax_t{65} << 20); }},
    {"a list of another kind",
     [](const fs::path& plist) {
       testing_support::writeBytes(
           plist, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array/></plist>\n");
     }},
    {"building too much",
     [](const fs::path& plist) {
       const fd::Data shared = testing_support::sharedDataList();
       testing_support::writeBytes(plist, std::string(shared.begin(), shared.end()));
     }},
    {"nested too deeply",
     [](const fs::path& plist) {
       std::string nested = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";
       for (int i = 0; i < 600; ++i) nested += "<array>";
       for (int i = 0; i < 600; ++i) nested += "</array>";
       testing_support::writeBytes(plist, nested + "</plist>\n");
     }},
};

// The alert naming a damaged project at start had been cut in whole lines,
// its last sentence, naming the project open now, lost. However the list was
// damaged, kept aside or not, whatever the name's length, on both screens at
// both scales, every line is seen, that sentence whole, and a finger answers.
TEST_F(DamagedFileAlertTest, EverySentenceOfTheDamagedProjectsAlertIsSeen) {
  std::string wordsOfWides, oneWord(kMaxProjectNameBytes, 'W');
  while (wordsOfWides.size() + 11 <= kMaxProjectNameBytes) wordsOfWides += "WWWWWWWWWW ";
  wordsOfWides += std::string(kMaxProjectNameBytes - wordsOfWides.size(), 'W');
  const std::string names[] = {"My summer holiday animation for school 2024 x", wordsOfWides, oneWord};
  struct Layout {
    bool tall;
    float scale;
  };
  constexpr Layout kLayouts[] = {{false, 1}, {false, 2}, {true, 1}, {true, 2}};
  int run = 0;
  for (const Layout& layout : kLayouts) {
    for (const std::string& name : names) {
      for (const ListDamage& damage : kListDamages) {
        for (const bool kept : {true, false}) {
          SCOPED_TRACE(std::string(damage.what) + (kept ? "" : ", not moved aside") + ", \"" + name + "\"" +
                       (layout.tall ? " tall" : "") + " x" + std::to_string(layout.scale));
          fd::paths::setHomeOverride(root() / std::to_string(++run));
          ASSERT_TRUE(fd::paths::ensureSandbox());
          damage.make(savedForTheNextStart(name).list);
          if (!kept) testing_support::refuseKeptCopies(EROFS);

          launch_ = start(layout.tall, layout.scale);
          host->runUntilIdle();
          const std::vector<ui::ButtonSheet*> alerts = host->alerts();
          ASSERT_EQ(alerts.size(), 1u);
          EXPECT_EQ(alerts[0]->title(), "Project could not be read");
          const std::string open = ZTDataModel::sharedInstance().curProjectName();
          EXPECT_NE(open, name);
          const std::string last = "The project open now is \u201c\u2068" + open + "\u2069\u201d.";
          EXPECT_TRUE(alerts[0]->message().ends_with(last)) << alerts[0]->message();
          const std::vector<ui::Label*> labels = alert_reading::alertLabels(*alerts[0]);
          ASSERT_EQ(labels.size(), 2u);
          const ui::Label* label = labels[1];
          EXPECT_TRUE(label->text().ends_with(last)) << label->text();
          EXPECT_NE(label->text().find("\u201c\u2068" + name + "\u2069\u201d could not be read"), std::string::npos)
              << label->text();
          alert_reading::expectEveryLineSeen(*host, *label);
          fd::files::setWriteFaultForTesting({});
          answerAndEnd(*alerts[0]);
        }
      }
    }
  }
  fd::paths::setHomeOverride(root());
}

}  // namespace
