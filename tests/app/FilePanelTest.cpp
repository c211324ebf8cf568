// The file panel over a desk, driven by touches and typing: renaming,
// duplicating, deleting, exporting packages in both formats, importing them
// back, and combining projects in order with their sounds. Every refusal and
// failure is told in an alert, and then the sandbox is checked to be exactly
// as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>

#include "app/FileManagerArt.h"
#include "app/FileManagerView.h"
#include "app/videoEncode.h"
#include "desk/BackgroundsView.h"
#include "desk/DeskTestSupport.h"
#include "graphics/MemoryCeiling.h"
#include "model/LongProject.h"
#include "model/PackageZipOperator.h"
#include "model/SafeName.h"
#include "model/StagingFolder.h"
#include "model/ZipTestSupport.h"
#include "model/zip/ZipWrapper.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/StopRequest.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/media/AudioFile.h"
#include "support/BinaryPlist.h"
#include "support/ListBound.h"

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;
// The tree once what the program empties off its thread is gone.
std::map<std::string, std::vector<std::uint8_t>> snapshotTree(const fs::path& root) {
  staging::waitForEmptying();
  return ziptest::snapshotTree(root);
}

fs::path projectFolder(const std::string& name) { return fd::paths::library() / "Projects" / name; }

Names storedProjectList() {
  Names out;
  const fd::Value stored = fd::UserDefaults::standard().objectForKey("ProjectsNameArray");
  if (const fd::Array* a = stored.array()) {
    for (const fd::Value& v : *a) out.push_back(v.stringValue());
  }
  return out;
}

using testing_support::bytesRead;
using testing_support::seededPicture;

// The program's sound merge, its answer held until the test lets it go on, so
// that the panel is looked at while the projects are still being combined
// however fast or slow the machine is.
class HeldMerger : public SoundMerger, public SoundMergerDelegate {
 public:
  void setDelegate(SoundMergerDelegate* delegate) override { delegate_ = delegate; }
  void mergerAudioOfProjectWithProjectName(const std::vector<std::string>& names) override {
    merge_.setDelegate(this);
    merge_.mergerAudioOfProjectWithProjectName(names);
  }
  void combineAudioFinishedwithSoundNameArray(const std::vector<std::string>& names) override {
    std::lock_guard lock(mutex_);
    answer_ = names;
  }
  // Hands the merge's answer on once it has come; false when it never did.
  bool release() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(240);
    for (;;) {
      {
        std::lock_guard lock(mutex_);
        if (answer_) break;
      }
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    delegate_->combineAudioFinishedwithSoundNameArray(*answer_);
    return true;
  }

 private:
  videoEncode merge_;
  SoundMergerDelegate* delegate_ = nullptr;
  std::mutex mutex_;
  std::optional<std::vector<std::string>> answer_;
};

class FilePanelTest : public desk_test::DeskTest {
 protected:
  struct Made {
    std::string name;
    int frames;
    std::uint8_t seed;
    std::optional<std::string> sound;
    bool background = false;  // a built-in still under its pages
  };
  // The side of the page icons written, in pixels: a 27 x 20 stand-in unless
  // a test wants them as large as the desk writes them.
  int iconWidth = 27, iconHeight = 20;

  void SetUp() override {
    FileManagerView::registerWithDesk();
    videoEncode::registerAsSoundMerger();
  }
  void TearDown() override {
    stop();
    desk_panels::setFileManagerFactory({});
    SoundMerger::setFactory({});
  }

  // The projects each test starts with, after "test", which stays current
  // unless a test names another.
  std::vector<Made> made = {{"Walk", 3, 40, std::nullopt}, {"Run", 2, 90, std::nullopt}};
  std::string current = "test";

  void prepareModel() override {
    ZTDataModel& m = model();
    for (const Made& p : made) {
      ASSERT_TRUE(m.createProject(p.name, p.name + " notes"));
      ProjectDataModel& open = project();
      for (int i = 1; i < p.frames; ++i) ASSERT_TRUE(open.createImageAtPage(i));
      for (int page = 1; page <= p.frames; ++page) {
        const auto seed = static_cast<std::uint8_t>(p.seed + page);
        ASSERT_TRUE(gfx::writePNG(*open.layFullPathAtPage(page, false, 1), seededPicture(48, 36, seed)));
        ASSERT_TRUE(gfx::writePNG(*open.layFullPathAtPage(page, false, 2), seededPicture(48, 36, seed + 100)));
        ASSERT_TRUE(gfx::writePNG(*open.iconFullPathAtPage(page, false), seededPicture(iconWidth, iconHeight, seed)));
        ASSERT_TRUE(gfx::writePNG(*open.snapshotFullPathAtPage(page, false), seededPicture(48, 36, seed)));
      }
      if (p.sound) open.setSoundTags({SoundTag{*p.sound, {{49.0f, 100.0f}}, {{1, 2}}}});
      if (p.background) attachBackground(open, "SSBackground001", true);
      m.saveData();
    }
    m.setCurProjectName(current);
    ASSERT_TRUE(m.prjDataModel()->setCurProjectName(current));
    m.saveData();
  }

  FileManagerView* openPanel() {
    tapView(desk->fileManagerBtn());
    return dynamic_cast<FileManagerView*>(desk->fileManeagerView());
  }

  // The panel with "Walk" chosen and exported as Walk.zt2, the alert saying
  // so answered.
  FileManagerView* openPanelWithWalkPacked() {
    FileManagerView* panel = openPanel();
    if (panel == nullptr) return nullptr;
    chooseProject(panel, "Walk");
    tapView(panel->exportPackageButton(true));
    EXPECT_EQ(answerAlert().first, "Export");
    EXPECT_TRUE(fs::is_regular_file(fd::paths::documents() / "Walk.zt2"));
    return panel;
  }

  // Scrolls the strip to the card when it is out of sight, then touches it.
  void tapCard(CardStrip* strip, std::size_t index) {
    ui::Button* card = strip->card(index);
    ASSERT_NE(card, nullptr);
    const float x = std::clamp(card->frame().x - CardStrip::kCardGap, 0.0f, strip->maxContentOffset().x);
    strip->setContentOffset({x, 0});
    tapView(card);
  }
  void chooseProject(FileManagerView* panel, const std::string& name) {
    const Names& names = panel->projsView()->projectNames();
    auto it = std::find(names.begin(), names.end(), name);
    ASSERT_NE(it, names.end()) << name;
    tapCard(panel->projsView(), static_cast<std::size_t>(it - names.begin()));
    ASSERT_EQ(panel->projsView()->selectedProjectName(), name);
  }
  void choosePackage(FileManagerView* panel, const std::string& fileName) {
    const auto& packages = panel->packagesView()->packages();
    auto it = std::find_if(packages.begin(), packages.end(), [&](const auto& p) { return p.fileName() == fileName; });
    ASSERT_NE(it, packages.end()) << fileName;
    tapCard(panel->packagesView(), static_cast<std::size_t>(it - packages.begin()));
  }
  void typeName(FileManagerView* panel, const std::string& name) {
    ASSERT_TRUE(panel->nameField()->isEditing());
    while (!panel->nameField()->text().empty()) host->pressKey(ui::EditingKey::Backspace);
    host->typeText(name);
  }

  // The one alert on screen: its title and message, then it is answered.
  std::pair<std::string, std::string> answerAlert(const std::string& button = "OK") {
    auto alerts = host->alerts();
    if (alerts.size() != 1u) {
      ADD_FAILURE() << alerts.size() << " alerts on screen";
      return {};
    }
    std::pair<std::string, std::string> said{alerts[0]->title(), alerts[0]->message()};
    EXPECT_TRUE(host->pressAlertButton(button)) << button;
    host->runUntilIdle();
    return said;
  }

  // Until the combination has ended, however long the machine's load makes
  // it; the bound only keeps a combination that never ends from holding the
  // run until it is killed without a word. Callers stop at its failure: the
  // panel may be gone by then.
  void waitForCombination(FileManagerView* panel) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(240);
    while (panel->projsView()->isCombining() && std::chrono::steady_clock::now() < deadline) {
      host->runUntilIdle();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    host->runUntilIdle();
    ASSERT_FALSE(panel->projsView()->isCombining());
  }
};

TEST_F(FilePanelTest, ADragOverThePanelDrawsNothingOnThePageBeneath) {
  start();
  FileManagerView* panel = openPanel();
  ASSERT_NE(panel, nullptr);
  // Across the plate under the action buttons, where the page lies beneath.
  const ui::Rect page = desk->canvas()->frame();
  const float y = 262;
  ASSERT_GT(y, page.y);
  ASSERT_LT(y, page.y + page.height);
  stroke({page.x + 20, y}, {page.x + 300, y});
  for (float x : {40.0f, 160.0f, 280.0f}) EXPECT_EQ(canvasAlphaAt(x, y - page.y), 0) << x;
  tapView(panel->closeButton());
  EXPECT_EQ(desk->fileManeagerView(), nullptr);
  for (float x : {40.0f, 160.0f, 280.0f}) EXPECT_EQ(canvasAlphaAt(x, y - page.y), 0) << x;
}

// A panel of many projects decodes the pictures of the cards in sight only,
// each no larger than the card shows it; the cards far out of sight share one
// blank page until the strip brings them near, and let their pictures go
// again once it has moved on.
TEST_F(FilePanelTest, OnlyTheCardsInSightHoldTheirPicturesAtTheSizeShown) {
  constexpr float kScale = 2;
  made.clear();
  for (int i = 0; i < 40; ++i)
    made.push_back({"P" + std::to_string(100 + i), 1, static_cast<std::uint8_t>(20 + i * 5), std::nullopt, i % 2 == 1});
  // As large as the desk writes them: a little larger than a card shows them.
  iconWidth = static_cast<int>(108 * kScale);
  iconHeight = static_cast<int>(81 * kScale);
  start(false, kScale);
  FileManagerView* panel = openPanel();
  ASSERT_NE(panel, nullptr);
  ProjectsView* projects = panel->projsView();
  const Names& names = projects->projectNames();
  ASSERT_EQ(names.size(), made.size() + 1);

  auto check = [&](const char* where) {
    SCOPED_TRACE(where);
    host->runUntilIdle();
    const gfx::Image shot = host->screenshot();
    const ui::Rect sight = projects->bounds();
    std::set<const gfx::Image*> farPages;
    int shown = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
      ProjectPreviewView* card = projects->cardPreview(i);
      ASSERT_NE(card, nullptr);
      const ui::Rect r = card->convertRectTo(card->bounds(), projects);
      const ui::Picture& drawing = card->drawingView()->image();
      for (const ui::Picture* p : {&card->pageView()->image(), &drawing}) {
        if (p->empty()) continue;
        EXPECT_LE(p->image()->pixelWidth(), std::ceil(r.width * kScale)) << names[i];
        EXPECT_LE(p->image()->pixelHeight(), std::ceil(r.height * kScale)) << names[i];
      }
      auto it = std::find_if(made.begin(), made.end(), [&](const Made& m) { return m.name == names[i]; });
      if (r.maxX() > sight.minX() && r.minX() < sight.maxX()) {
        ++shown;
        if (it == made.end()) continue;  // "test", drawn on the desk
        // The project's drawing, opaque, in its seed's colours.
        ASSERT_FALSE(drawing.empty()) << names[i] << " is in sight";
        const ui::Rect onScreen = card->convertRectTo(card->bounds(), nullptr);
        const int x = static_cast<int>((onScreen.x + onScreen.width / 2) * kScale);
        const int y = static_cast<int>((onScreen.y + onScreen.height / 2) * kScale);
        if (x >= 0 && x < shot.pixelWidth()) {
          const std::uint8_t* px = shot.pixel(x, y);
          const std::uint8_t seed = static_cast<std::uint8_t>(it->seed + 1);
          EXPECT_NEAR(px[0], seed, 12) << names[i];
          EXPECT_NEAR(px[1], 255 - seed, 12) << names[i];
        }
      } else if (r.maxX() < sight.minX() - 2 * sight.width || r.minX() > sight.maxX() + 2 * sight.width) {
        EXPECT_TRUE(drawing.empty()) << names[i] << " is far out of sight";
        farPages.insert(card->pageView()->image().image());
      }
    }
    EXPECT_GE(shown, 3);
    EXPECT_EQ(farPages.size(), 1u) << "the cards far out of sight share one blank page";
  };
  check("at the first cards");
  projects->setContentOffset(projects->maxContentOffset());
  check("at the last cards");
  projects->setContentOffset({projects->maxContentOffset().x / 2, 0});
  check("halfway");
  // Chosen far along, the card is opened as before.
  chooseProject(panel, names[names.size() - 2]);
  check("with a card chosen");
}

TEST_F(FilePanelTest, RenamingFollowsTheNameRulesAndSaysWhyNot) {
  start();
  FileManagerView* panel = openPanel();
  ASSERT_NE(panel, nullptr);
  // Nothing chosen: the card actions wait for a card.
  EXPECT_FALSE(panel->renameButton()->isEnabled());
  chooseProject(panel, "Walk");
  EXPECT_TRUE(panel->renameButton()->isEnabled());
  fs::create_directories(projectFolder("Stray"));  // a folder no project owns
  const auto before = snapshotTree(root());

  tapView(panel->renameButton());
  EXPECT_EQ(panel->nameField()->text(), "Walk");
  EXPECT_TRUE(panel->renameButton()->isHidden()) << "the bar of the renaming replaces the actions";
  // Each refusal says what in the name is refused, each name quoted set
  // apart from the sentence's direction; spaces of every kind are spaces,
  // and a character turning the direction of the text around it is refused.
  const auto q = [](const std::string& name) { return "\u201c\u2068" + name + "\u2069\u201d"; };
  const std::string empty = "A project name cannot be empty or spaces alone. Type a name.";
  for (const auto& [refused, why] : std::vector<std::pair<std::string, std::string>>{
           {"Run", "A project named " + q("Run") + " already exists. Choose another name."},
           {".hidden", q(".hidden") + " cannot be a project name: it begins with \u201c.\u201d, as the "
                       "program\u2019s own hidden folders do. Choose another name."},
           {"  ", empty},
           {"\u00a0", empty},
           {" \u3000\u2009\u202f\u200b ", empty},
           {"a/b", q("a/b") + " cannot be a project name: it holds \u201c/\u201d. Choose another name."},
           {"Walk\uffff", q("Walk\uffff") + " cannot be a project name: it holds the character U+FFFF, which "
                          "the list of projects cannot keep. Choose another name."},
           {"Walk\u202egnp.exe", q("Walk\u202egnp.exe") + " cannot be a project name: it holds the character "
                                 "U+202E, which turns the direction of the text around it. Choose another name."},
           {"Run\u2067", q("Run\u2067\u2069") + " cannot be a project name: it holds the character U+2067, which "
                         "turns the direction of the text around it. Choose another name."},
           {"Stray", q("Walk") + " could not be renamed: its folder could not be moved to " + q("Stray") + "."}}) {
    typeName(panel, refused);
    host->pressKey(ui::EditingKey::Return);
    host->pressKey(ui::EditingKey::Return);  // the alert is modal: no second one
    host->typeText("zz");
    EXPECT_EQ(answerAlert(), std::make_pair(std::string("Rename"), why));
    EXPECT_EQ(snapshotTree(root()), before) << refused;
    EXPECT_EQ(model().projectsNameArray(), (Names{"test", "Walk", "Run"}));
    // The field is still there to try again.
    EXPECT_TRUE(panel->nameField()->isEditing());
    EXPECT_EQ(panel->nameField()->text(), refused);
  }
  // A name longer than a project name may be is kept whole in the field and
  // told when it is given, naming the bound; nothing is renamed. Letters
  // with accents count their bytes.
  for (const std::string& tooLong : {std::string(200, 'x'), "\u00e9" + std::string(119, 'e')}) {
    typeName(panel, tooLong);
    EXPECT_EQ(panel->nameField()->text(), tooLong);
    tapView(panel->confirmButton());
    const auto [title, message] = answerAlert();
    EXPECT_EQ(title, "Rename");
    EXPECT_EQ(message, "The name is " + std::to_string(tooLong.size()) +
                           " bytes long; a project name may be at most 120 bytes (a letter with an accent takes "
                           "two, many other characters three or four). Choose a shorter name.");
    EXPECT_EQ(snapshotTree(root()), before);
    EXPECT_EQ(model().projectsNameArray(), (Names{"test", "Walk", "Run"}));
    EXPECT_TRUE(panel->nameField()->isEditing());
    EXPECT_EQ(panel->nameField()->text(), tooLong);
  }
  // The longest name is taken.
  const std::string longest(kMaxProjectNameBytes, 'y');
  typeName(panel, longest);
  tapView(panel->confirmButton());
  EXPECT_TRUE(host->alerts().empty());
  EXPECT_EQ(model().projectsNameArray(), (Names{"test", longest, "Run"}));
  EXPECT_TRUE(fs::exists(projectFolder(longest) / "Project.plist"));
  ASSERT_EQ(panel->projsView()->selectedProjectName(), longest);
  tapView(panel->renameButton());

  typeName(panel, " Stroll ");
  tapView(panel->confirmButton());
  EXPECT_TRUE(host->alerts().empty());
  EXPECT_EQ(model().projectsNameArray(), (Names{"test", "Stroll", "Run"}));
  EXPECT_EQ(storedProjectList(), (Names{"test", "Stroll", "Run"}));
  EXPECT_FALSE(fs::exists(projectFolder("Walk")));
  EXPECT_TRUE(fs::exists(projectFolder("Stroll") / "Project.plist"));
  EXPECT_EQ(panel->projsView()->projectNames(), (Names{"test", "Stroll", "Run"}));
  EXPECT_EQ(panel->projsView()->selectedProjectName(), "Stroll");
  EXPECT_EQ(panel->projsView()->cardName(1)->text(), "Stroll");
  EXPECT_FALSE(panel->renameButton()->isHidden());

  // The open project renamed is reopened under its new name on the desk.
  chooseProject(panel, "test");
  tapView(panel->renameButton());
  typeName(panel, "Main");
  host->pressKey(ui::EditingKey::Return);
  EXPECT_EQ(model().curProjectName(), "Main");
  EXPECT_EQ(project().curProjectName(), "Main");
  tapView(panel->closeButton());
  EXPECT_EQ(desk->pageIndicator()->text(), "001/001");
  EXPECT_TRUE(fs::exists(projectFolder("Main") / "Project.plist"));

  // Cancel leaves the name as it was.
  panel = openPanel();
  chooseProject(panel, "Run");
  tapView(panel->renameButton());
  typeName(panel, "Sprint");
  tapView(panel->cancelButton());
  EXPECT_FALSE(panel->nameField()->isEditing());
  EXPECT_FALSE(panel->renameButton()->isHidden());
  // And so does Escape.
  tapView(panel->renameButton());
  typeName(panel, "Sprint");
  host->pressKey(ui::EditingKey::Escape);
  EXPECT_TRUE(panel->nameField()->isHidden());
  EXPECT_FALSE(panel->renameButton()->isHidden());
  EXPECT_EQ(model().projectsNameArray(), (Names{"Main", "Stroll", "Run"}));
}

TEST_F(FilePanelTest, DuplicatingCopiesTheWholeFolderOrChangesNothing) {
  start();
  FileManagerView* panel = openPanel();
  ASSERT_NE(panel, nullptr);
  chooseProject(panel, "Walk");
  tapView(panel->duplicateButton());
  EXPECT_TRUE(host->alerts().empty());
  EXPECT_EQ(model().projectsNameArray(), (Names{"test", "Walk", "Run", "Walkcopy1"}));
  EXPECT_EQ(storedProjectList(), model().projectsNameArray());
  EXPECT_EQ(snapshotTree(projectFolder("Walkcopy1")), snapshotTree(projectFolder("Walk")));
  EXPECT_EQ(panel->projsView()->selectedProjectName(), "Walkcopy1");
  EXPECT_EQ(model().curProjectName(), "test");

  // A folder holding something that cannot be copied (a pipe) is refused
  // whole: no half copy, no new name.
  ASSERT_EQ(::mkfifo((projectFolder("Run") / "pipe").c_str(), 0600), 0);
  const auto before = snapshotTree(root());
  chooseProject(panel, "Run");
  tapView(panel->duplicateButton());
  const auto [title, message] = answerAlert();
  EXPECT_EQ(title, "Duplicate");
  EXPECT_NE(message.find("\u201c\u2068Run\u2069\u201d could not be duplicated"), std::string::npos) << message;
  EXPECT_EQ(snapshotTree(root()), before);
  EXPECT_EQ(panel->projsView()->projectNames(), (Names{"test", "Walk", "Run", "Walkcopy1"}));
}

TEST_F(FilePanelTest, DeletingAsksFirstAndNeverTakesTheOpenProject) {
  start();
  FileManagerView* panel = openPanel();
  ASSERT_NE(panel, nullptr);
  const auto before = snapshotTree(root());
  chooseProject(panel, "test");
  tapView(panel->deleteButton());
  auto [title, message] = answerAlert();
  EXPECT_EQ(title, "Delete");
  EXPECT_NE(message.find("is open on the desk"), std::string::npos) << message;
  EXPECT_EQ(snapshotTree(root()), before);

  chooseProject(panel, "Walk");
  tapView(panel->deleteButton());
  std::tie(title, message) = answerAlert("Cancel");
  EXPECT_NE(message.find("Delete the project \u201c\u2068Walk\u2069\u201d"), std::string::npos) << message;
  EXPECT_EQ(snapshotTree(root()), before);

  tapView(panel->deleteButton());
  answerAlert("Delete");
  EXPECT_FALSE(fs::exists(projectFolder("Walk")));
  EXPECT_EQ(model().projectsNameArray(), (Names{"test", "Run"}));
  EXPECT_EQ(storedProjectList(), (Names{"test", "Run"}));
  EXPECT_EQ(panel->projsView()->projectNames(), (Names{"test", "Run"}));
  EXPECT_EQ(panel->projsView()->selectedIndex(), -1);
  EXPECT_FALSE(panel->deleteButton()->isEnabled());
}

// The second tap of a quick double tap on Cancel lands where the button was,
// over the panel's buttons: it presses nothing there while the alert fades.
TEST_F(FilePanelTest, ADoubleTapOnAnAnswerPressesNothingBeneath) {
  start();
  FileManagerView* panel = openPanel();
  ASSERT_NE(panel, nullptr);
  chooseProject(panel, "Walk");
  const auto before = snapshotTree(root());
  for (const double delay : {0.03, 0.1, 0.15}) {
    SCOPED_TRACE(delay);
    tapView(panel->deleteButton());
    ASSERT_EQ(host->alerts().size(), 1u);
    host->setInstantAnimations(false);
    const std::optional<ui::Point> at = host->tapAlertButton(fd::Localized("Cancel"));
    ASSERT_TRUE(at.has_value());
    host->advance(delay);
    host->tap(*at);
    host->advance(ui::ButtonSheet::kFadeDuration + 0.1);
    host->runUntilIdle();
    host->setInstantAnimations(true);
    EXPECT_TRUE(host->alerts().empty());
    EXPECT_EQ(model().projectsNameArray(), (Names{"test", "Walk", "Run"}));
    EXPECT_EQ(panel->projsView()->selectedProjectName(), "Walk");
  }
  EXPECT_EQ(snapshotTree(root()), before);
}

// A project whose list cannot be read is never opened from the list: its card
// only shows it; opening it sets the list aside beside itself and tells which
// project it was, the open project stays on the desk, and nothing is written
// into the damaged folder however often it is asked for.
TEST_F(FilePanelTest, ADamagedProjectIsToldAndNeverOpened) {
  start();
  fd::takeDamagedFileReports();
  const fs::path folder = projectFolder("Walk");
  const std::string garbled = "<?xml version=\"1.0\"?><plist><dict><key>ImagesArr";
  {
    std::ofstream out(folder / "Project.plist", std::ios::binary | std::ios::trunc);
    out << garbled;
  }
  const auto before = snapshotTree(folder);
  FileManagerView* panel = openPanel();
  ASSERT_NE(panel, nullptr);
  chooseProject(panel, "Walk");
  EXPECT_EQ(snapshotTree(folder), before) << "a card only shows its project";
  EXPECT_TRUE(fd::takeDamagedFileReports().empty());

  std::optional<fs::path> kept;
  for (int attempt = 0; attempt < 2; ++attempt) {
    tapCard(panel->projsView(), 1);  // the chosen card, touched again, opens
    EXPECT_EQ(model().curProjectName(), "test") << attempt;
    EXPECT_EQ(project().curProjectName(), "test") << attempt;
    EXPECT_EQ(desk->fileManeagerView(), panel) << "the panel stays open";
    const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
    ASSERT_EQ(reports.size(), 1u) << attempt;
    EXPECT_EQ(reports[0].kind, fd::DamagedFileReport::Kind::Project);
    EXPECT_EQ(reports[0].name, "Walk");
    EXPECT_FALSE(reports[0].reason.empty());
    ASSERT_EQ(reports[0].keptAs.parent_path(), folder);
    if (!kept) kept = reports[0].keptAs;
    EXPECT_EQ(reports[0].keptAs, *kept) << "the same copy, told again";
    // The folder holds what it held, the list under its kept name.
    auto expected = before;
    expected[kept->filename().string()] = expected.at("Project.plist");
    expected.erase("Project.plist");
    EXPECT_EQ(snapshotTree(folder), expected) << attempt;
  }
  EXPECT_EQ(storedProjectList(), (Names{"test", "Walk", "Run"}));
  EXPECT_EQ(fd::UserDefaults::standard().objectForKey("CurProjectName").stringValue(), "test");
  tapView(panel->closeButton());
  EXPECT_EQ(desk->fileManeagerView(), nullptr);
  EXPECT_EQ(snapshotTree(folder).size(), before.size());
}

// A project whose list is gigabytes (sparse) once held the panel for seconds
// while each card read it whole, and one whose list is a few kilobytes of
// shared references, standing for gigabytes once copied out, ended the
// program when the panel opened. Such a card is shown at once from its name,
// the file left where it was; opening it refuses the list, by its size or
// before it builds, sets it aside and tells. All within a memory ceiling
// the whole read would pass many times over. The panel stands alone on the
// screen here: the child may not draw with GL, whose driver an earlier test
// of this process may have started with threads the child does not have.
TEST_F(FilePanelTest, AProjectWithAHugeListIsShownUnreadAndNeverOpened) {
  const fd::Data shared = testing_support::sharedDataList();
  struct Huge {
    const char* what;
    std::function<void(const fs::path&)> make;
    std::function<bool(const fs::path&)> isTheList;
    std::string reason;
  };
  const std::vector<Huge> lists = {
      {"sparse", [](const fs::path& file) { fs::resize_file(file, std::uintmax_t{3} << 30); },
       [](const fs::path& file) { return fs::file_size(file) == std::uintmax_t{3} << 30; },
       "the file is 3.0 GiB, larger than the 64 MiB it may be"},
      {"shared", [&](const fs::path& file) { ASSERT_TRUE(fd::files::writeFileAtomically(file, shared)); },
       [&](const fs::path& file) { return testing_support::fileBytes(file) == shared; },
       "binary property list expands to too many objects: once read it would take more than the 256 MiB a list "
       "may take"},
  };
  for (const Huge& huge : lists) {
    SCOPED_TRACE(huge.what);
    // Each list in a sandbox of its own: the child sets the first aside.
    fd::paths::setHomeOverride(root() / huge.what);
    ASSERT_TRUE(fd::paths::ensureSandbox());
    fd::UserDefaults::resetStandardForTesting();
    const fs::path plist = projectFolder("Walk") / "Project.plist";
    const testing_support::ChildResult child = testing_support::runInChild([&] {
      ZTDataModel::resetSharedInstanceForTesting();
      host = std::make_unique<ui::HeadlessHost>(false, 1.0f);
      const ui::Rect screen = ui::Screen::main().bounds();
      DeviceScreen::setMainScreen(1.0f, screen.height, screen.width);
      prepareModel();
      fd::takeDamagedFileReports();
      huge.make(plist);
      testing_support::limitAddressSpaceGrowth(std::size_t{1} << 30);
      window = std::make_shared<ui::Window>(screen);
      const std::shared_ptr<FileManagerView> panel = FileManagerView::initFileManagerView();
      window->addSubview(panel);
      window->makeKeyAndVisible();
      host->runUntilIdle();
      EXPECT_EQ(panel->projsView()->projectNames(), (Names{"test", "Walk", "Run"}));
      chooseProject(panel.get(), "Walk");
      EXPECT_TRUE(huge.isTheList(plist)) << "a card only shows its project";
      EXPECT_TRUE(fd::takeDamagedFileReports().empty());

      tapCard(panel->projsView(), 1);  // the chosen card, touched again, opens
      EXPECT_EQ(model().curProjectName(), "test");
      EXPECT_NE(panel->superview(), nullptr) << "the panel stays open";
      const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
      ASSERT_EQ(reports.size(), 1u);
      EXPECT_EQ(reports[0].name, "Walk");
      EXPECT_EQ(reports[0].reason, huge.reason);
      EXPECT_FALSE(fs::exists(plist));
      ASSERT_FALSE(reports[0].keptAs.empty());
      EXPECT_TRUE(huge.isTheList(reports[0].keptAs));
    });
    EXPECT_TRUE(child.exited) << "signal " << child.signal;
    EXPECT_EQ(child.exitCode, 0);
  }
  fd::paths::setHomeOverride(root());
}

TEST_F(FilePanelTest, PackagesOfBothFormatsGoToDocumentsAndComeBackAsNewProjects) {
  start();
  FileManagerView* panel = openPanel();
  ASSERT_NE(panel, nullptr);
  const fs::path documents = fd::paths::documents();
  chooseProject(panel, "Walk");
  tapView(panel->exportPackageButton(true));
  auto [title, message] = answerAlert();
  EXPECT_EQ(title, "Export");
  EXPECT_NE(message.find("\u201c\u2068Walk.zt2\u2069\u201d"), std::string::npos) << message;
  tapView(panel->exportPackageButton(false));
  std::tie(title, message) = answerAlert();
  EXPECT_NE(message.find("\u201c\u2068Walk.zt\u2069\u201d"), std::string::npos) << message;
  // A second export of the same format takes a free name.
  tapView(panel->exportPackageButton(true));
  std::tie(title, message) = answerAlert();
  EXPECT_NE(message.find("\u201c\u2068Walkcopy1.zt2\u2069\u201d"), std::string::npos) << message;
  for (const char* file : {"Walk.zt2", "Walk.zt", "Walkcopy1.zt2"}) EXPECT_TRUE(fs::is_regular_file(documents / file));

  tapView(panel->packagesTabButton());
  ASSERT_EQ(panel->tab(), FileManagerView::Tab::Packages);
  EXPECT_TRUE(panel->projsView()->isHidden());
  EXPECT_TRUE(panel->newButton()->isHidden());
  Names listedPackages;
  for (const auto& p : panel->packagesView()->packages()) listedPackages.push_back(p.fileName());
  EXPECT_EQ(listedPackages, (Names{"Walk.zt2", "Walk.zt", "Walkcopy1.zt2"}));
  EXPECT_TRUE(panel->packagesView()->emptyLabel()->isHidden());
  EXPECT_FALSE(panel->importButton()->isEnabled());

  // The current format comes back as the very same folder, under a free name.
  choosePackage(panel, "Walk.zt2");
  tapView(panel->importButton());
  std::tie(title, message) = answerAlert();
  EXPECT_EQ(title, "Import");
  EXPECT_NE(message.find("the project \u201c\u2068Walkcopy1\u2069\u201d"), std::string::npos) << message;
  EXPECT_EQ(snapshotTree(projectFolder("Walkcopy1")), snapshotTree(projectFolder("Walk")));
  // The older format holds the same frames in its own layout.
  choosePackage(panel, "Walk.zt");
  tapView(panel->importButton());
  answerAlert();
  EXPECT_EQ(model().projectsNameArray(), (Names{"test", "Walk", "Run", "Walkcopy1", "Walkcopy2"}));
  EXPECT_EQ(storedProjectList(), model().projectsNameArray());
  auto older = ProjectDataModel::initWithProjectName("Walkcopy2");
  auto original = ProjectDataModel::initWithProjectName("Walk");
  ASSERT_EQ(older->imagesArray().size(), 3u);
  for (int page = 1; page <= 3; ++page) {
    for (int position = 1; position <= 2; ++position) {
      EXPECT_EQ(ziptest::readBytes(*older->layFullPathAtPage(page, false, position)),
                ziptest::readBytes(*original->layFullPathAtPage(page, false, position)));
    }
  }
  // The projects tab lists both, the import of the older one chosen.
  tapView(panel->projectsTabButton());
  EXPECT_EQ(panel->projsView()->projectNames(), model().projectsNameArray());
  EXPECT_EQ(panel->projsView()->selectedProjectName(), "Walkcopy2");
}

// A change of background whose second write failed leaves the list naming
// the new copies under names of their own ("background-<id>.png"), the
// project still showing them. A package made then carried those names, and
// other programs reading it found no background: the copies come to the
// usual names before the package is made, in either format.
TEST_F(FilePanelTest, APackageCarriesTheBackgroundUnderTheUsualNames) {
  made[0].background = true;
  start();
  const fs::path list = projectFolder("Walk") / "Project.plist";
  {
    std::shared_ptr<ProjectDataModel> walk = ProjectDataModel::initWithProjectName("Walk");
    ASSERT_NE(walk, nullptr);
    int listWrites = 0;
    fd::files::setWriteFaultForTesting([&](const fs::path& file) { return file == list && ++listWrites == 2 ? EIO : 0; });
    (void)attachBackground(*walk, "SSBackground002", true);
    fd::files::setWriteFaultForTesting({});
    ASSERT_EQ(listWrites, 2) << "the change took no second switch";
  }
  const auto listText = [&] {
    const std::vector<std::uint8_t> bytes = ziptest::readBytes(list);
    return std::string(bytes.begin(), bytes.end());
  };
  ASSERT_NE(listText().find("BackgroundCopy"), std::string::npos) << "the second switch did not fail";
  FileManagerView* panel = openPanel();
  ASSERT_NE(panel, nullptr);
  chooseProject(panel, "Walk");
  for (const bool current : {true, false}) {
    SCOPED_TRACE(current ? "current format" : "older format");
    tapView(panel->exportPackageButton(current));
    EXPECT_EQ(answerAlert().first, "Export");
    const fs::path package = fd::paths::documents() / (current ? "Walk.zt2" : "Walk.zt");
    ZipWrapper zip;
    ASSERT_TRUE(zip.UnzipOpenFile(package, ZipOperator::kPackagePassword));
    Names copies;
    for (const std::string& entry : zip.getZipFileContents()) {
      const std::string file = fs::path(entry).filename().string();
      if (file.starts_with("background")) copies.push_back(file);
    }
    std::sort(copies.begin(), copies.end());
    EXPECT_EQ(copies, (Names{"background.png", "backgroundIcon.png"}));
  }
  EXPECT_EQ(listText().find("BackgroundCopy"), std::string::npos);
  const OptionalPath chosen = model().backgroundFullPathWithBackgroundName("SSBackground002");
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(ziptest::readBytes(projectFolder("Walk") / "background.png"), ziptest::readBytes(*chosen));
}

// Nobody typed a package's name: one longer than a project name may be is
// cut to fit, at a whole character, and a second import of it still gets a
// copy's name within the bound; the alert names the project made.
TEST_F(FilePanelTest, APackageOfALongNameIsImportedUnderANameCutToFit) {
  start();
  FileManagerView* panel = openPanelWithWalkPacked();
  ASSERT_NE(panel, nullptr);
  const std::string file = std::string(150, 'p') + "\u00e9.zt2";
  fs::rename(fd::paths::documents() / "Walk.zt2", fd::paths::documents() / file);
  tapView(panel->packagesTabButton());
  const std::string cut(kMaxProjectNameBytes, 'p');
  const std::string copy = std::string(kMaxProjectNameBytes - 5, 'p') + "copy1";
  for (const std::string& expected : {cut, copy}) {
    choosePackage(panel, file);
    tapView(panel->importButton());
    const auto [title, message] = answerAlert();
    EXPECT_EQ(title, "Import");
    EXPECT_EQ(message, "\u201c\u2068" + file + "\u2069\u201d is now the project \u201c\u2068" + expected + "\u2069\u201d.");
    EXPECT_TRUE(isValidProjectName(expected));
    EXPECT_EQ(snapshotTree(projectFolder(expected)), snapshotTree(projectFolder("Walk")));
  }
  EXPECT_EQ(model().projectsNameArray(), (Names{"test", "Walk", "Run", cut, copy}));
}

TEST_F(FilePanelTest, FailedExportsAndImportsAreToldAndChangeNothing) {
  start();
  FileManagerView* panel = openPanel();
  ASSERT_NE(panel, nullptr);
  const fs::path documents = fd::paths::documents();

  // Documents cannot be written to: a file stands where the folder should.
  fs::remove_all(documents);
  ziptest::writeBytes(documents, ziptest::bytesOf("not a folder"));
  auto before = snapshotTree(root());
  chooseProject(panel, "Walk");
  for (bool isUpgrade : {true, false}) {
    tapView(panel->exportPackageButton(isUpgrade));
    const auto [title, message] = answerAlert();
    EXPECT_EQ(title, "Export");
    EXPECT_NE(message.find("\u201c\u2068Walk\u2069\u201d could not be exported"), std::string::npos) << message;
    EXPECT_EQ(snapshotTree(root()), before);
  }
  fs::remove(documents);
  fs::create_directories(documents);
  // A file whose name would unpack outside the folder makes a package no
  // import takes: the export is refused naming it, and nothing is left.
  ziptest::writeBytes(projectFolder("Walk") / "..\\up.png", ziptest::bytesOf("x"));
  before = snapshotTree(root());
  for (bool isUpgrade : {true, false}) {
    tapView(panel->exportPackageButton(isUpgrade));
    EXPECT_EQ(answerAlert(), std::make_pair(std::string("Export"),
                                            std::string("\u201c\u2068Walk\u2069\u201d could not be exported as a package: its file "
                                                        "\u201c\u2068..\\up.png\u2069\u201d has a name a package cannot carry.")));
    EXPECT_EQ(snapshotTree(root()), before);
  }
  fs::remove(projectFolder("Walk") / "..\\up.png");

  // Hostile packages, damaged ones, and one whose name is no project name,
  // each told in one sentence that names it once (they were told in the zip
  // layer's words: "the zip archive failed: the archive expands beyond the
  // allowed size: more than 268435456 bytes.").
  const std::string password = ZipOperator::kPackagePassword;
  const ziptest::Entry list{.name = "Project.plist",
                            .content = ziptest::readBytes(projectFolder("Run") / "Project.plist"),
                            .password = password};
  const auto png = [&](const std::string& name) {
    return ziptest::Entry{.name = name, .content = ziptest::bytesOf("png"), .password = password};
  };
  ziptest::Entry link = ziptest::unixEntry("L1a.png", "../Walk/L1a.png", S_IFLNK | 0777);
  link.password = password;
  const std::vector<std::uint8_t> zeros(8u << 20, 0), content(50000, 'p');
  std::vector<ziptest::Entry> bomb{list};
  for (int i = 0; i < 40; ++i) {
    bomb.push_back({.name = "z" + std::to_string(i) + ".png", .content = {}, .crc = ziptest::crcOf(zeros),
                    .declaredSize = zeros.size(), .payload = ziptest::rawDeflate(zeros)});
  }
  const std::vector<std::pair<std::string, std::vector<ziptest::Entry>>> archives = {
      {"Evil.zt2", {list, png("../../escape.png")}},
      {"Notes.zt", {{.name = "notes.txt", .content = ziptest::bytesOf("x"), .password = password}}},
      {"Damaged.zt2", {{.name = "Project.plist", .content = ziptest::bytesOf("<plist>garbage"), .password = password}}},
      {"Bomb.zt2", bomb},
      {"Link.zt2", {list, link}},
      {"Corrupt.zt2", {list, {.name = "L9.png", .content = content, .crc = ziptest::crcOf(content) ^ 1u}}},
      {"Long.zt2", {list, png("L/" + std::string(300, 'x') + ".png")}},
      {"Clash.zt2", {list, png("L1a.png"), png("L1a.png/x.png")}},
  };
  for (const auto& [file, entries] : archives) ASSERT_TRUE(ziptest::buildArchive(documents / file, entries)) << file;
  ziptest::pointRecordsAtOneStream(documents / "Bomb.zt2", 1);
  // Its end record counts 60,000 files over two records.
  ASSERT_TRUE(ziptest::buildArchive(documents / "Lying.zt2", {list, png("a.png")}));
  auto lying = ziptest::readBytes(documents / "Lying.zt2");
  for (const std::size_t field : {8u, 10u}) {
    lying[lying.size() - 22 + field] = 60000 & 0xFF;
    lying[lying.size() - 22 + field + 1] = 60000 >> 8;
  }
  ziptest::writeBytes(documents / "Lying.zt2", lying);
  ziptest::writeBytes(documents / "Cut.zt2", ziptest::bytesOf("PK\x03\x04 and then nothing"));
  ziptest::writeBytes(documents / "Junk.zt2", ziptest::bytesOf("no zip file at all"));
  ziptest::writeBytes(documents / ".hidden.zt2", ziptest::bytesOf("whatever"));
  const std::string notAPackage = "it is not a package this program can read.";
  const std::vector<std::pair<std::string, std::string>> told = {
      {"Evil.zt2", "it holds a file, \u201c\u2068../../escape.png\u2069\u201d, that would be put outside the project\u2019s folder."},
      {"Notes.zt", "it holds no project."},
      {"Damaged.zt2", "the project list inside it is damaged."},
      {"Bomb.zt2", "it is damaged (its files overlap one another)."},
      {"Long.zt2", "it holds a file name no folder can hold."},
      {"Clash.zt2", "it holds a file and a folder of one name."},
      {"Link.zt2", "it holds a link or special file, \u201c\u2068L1a.png\u2069\u201d, which a package never holds."},
      {"Corrupt.zt2", "it is damaged (\u201c\u2068L9.png\u2069\u201d inside it cannot be read whole)."},
      {"Lying.zt2", "it is damaged (its list of files counts more files than it holds)."},
      {"Cut.zt2", notAPackage},
      {"Junk.zt2", notAPackage},
      {".hidden.zt2", ""},
  };
  tapView(panel->packagesTabButton());
  before = snapshotTree(root());
  for (const auto& [file, why] : told) {
    choosePackage(panel, file);
    tapView(panel->importButton());
    const auto [title, message] = answerAlert();
    EXPECT_EQ(title, "Import");
    if (why.empty()) {
      EXPECT_EQ(message, "\u201c\u2068" + file + "\u2069\u201d cannot be imported: its name cannot be a project name. Rename the "
                         "file in Documents.");
    } else {
      EXPECT_EQ(message, "\u201c\u2068" + file + "\u2069\u201d could not be imported: " + why);
    }
    EXPECT_EQ(snapshotTree(root()), before) << file;
    EXPECT_EQ(model().projectsNameArray(), (Names{"test", "Walk", "Run"}));
  }
  EXPECT_FALSE(fs::exists(root() / "escape.png"));
}

// A full disk refused an export and a duplicate with "the zip archive
// failed: the zip file cannot be written: ..." and "its folder could not be
// copied". Each says the disk is full (or the space allowed is used up), in
// one sentence, and nothing is left of what was begun.
TEST_F(FilePanelTest, AFullDiskIsToldAsSuch) {
  start();
  FileManagerView* panel = openPanelWithWalkPacked();  // "Walk" stays chosen
  ASSERT_NE(panel, nullptr);
  const auto before = snapshotTree(root());
  // The copy's and the import's hidden folders, beside the projects.
  const auto hiddenCopy = [](const fs::path& file) { return file.string().find("/.Walkcopy1.") != std::string::npos; };
  const auto within = [](const fs::path& file, const fs::path& folder) {
    return file.lexically_normal().string().starts_with(folder.lexically_normal().string() + "/");
  };
  struct Case {
    std::string what;
    int error;
    std::function<bool(const fs::path&)> refused;  // the writes the disk refuses
    std::function<void()> act;
    std::string title, message;
  };
  const std::vector<Case> cases = {
      {"duplicate", ENOSPC, hiddenCopy,
       [&] { tapView(panel->duplicateButton()); }, "Duplicate", "\u201c\u2068Walk\u2069\u201d could not be duplicated: the disk is full."},
      {"export .zt2", ENOSPC, [&](const fs::path& f) { return within(f, fd::paths::documents()); },
       [&] { tapView(panel->exportPackageButton(true)); }, "Export",
       "\u201c\u2068Walk\u2069\u201d could not be exported as a package: the disk is full."},
      {"export .zt over its quota", EDQUOT, [&](const fs::path& f) { return within(f, fd::paths::temporary()); },
       [&] { tapView(panel->exportPackageButton(false)); }, "Export",
       "\u201c\u2068Walk\u2069\u201d could not be exported as a package: the disk space allowed to you is used up."},
      {"import", ENOSPC, hiddenCopy,
       [&] {
         tapView(panel->packagesTabButton());
         choosePackage(panel, "Walk.zt2");
         tapView(panel->importButton());
         tapView(panel->projectsTabButton());
       },
       "Import", "\u201c\u2068Walk.zt2\u2069\u201d could not be imported: the disk is full."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fd::files::setWriteFaultForTesting([&](const fs::path& f) { return c.refused(f) ? c.error : 0; });
    c.act();
    fd::files::setWriteFaultForTesting({});
    EXPECT_EQ(answerAlert(), std::make_pair(c.title, c.message));
    ZTDataModel::waitForRemovals();
    EXPECT_TRUE(snapshotTree(root()) == before) << "something was left behind";
    EXPECT_EQ(model().projectsNameArray(), (Names{"test", "Walk", "Run"}));
  }
}

// Leaving the open project while the disk refuses its list would drop what
// only the list holds (a layer's eye here): opening another, making a new one
// and combining the open one are refused in words until the list is stored.
// Opening the open project again, by Open or by its card tapped twice, keeps
// it as it is on screen, and a package of it, which would carry its list as
// last saved, is refused in words.
TEST_F(FilePanelTest, TheOpenProjectStaysWhileItsListCannotBeStored) {
  start();
  const fs::path list = project().plistFilePath();
  fd::files::setWriteFaultForTesting([list](const fs::path& file) { return file == list ? ENOSPC : 0; });
  tapView(desk->groundBtn());
  tapView(desk->fVisibleBtn());
  tapView(desk->groundBtn());
  FileManagerView* panel = openPanel();
  ASSERT_NE(panel, nullptr);
  const std::pair<std::string, std::string> held{
      "Project not saved",
      "The project \u201c\u2068test\u2069\u201d could not be saved: the disk is full. It stays open until it can be saved: free "
      "some space, then try again."};
  chooseProject(panel, "Walk");
  tapView(panel->openButton());
  EXPECT_EQ(answerAlert(), held) << "open";
  tapView(panel->newButton());
  EXPECT_EQ(answerAlert(), held) << "new";
  tapView(panel->combineButton());
  for (std::size_t index : {1u, 0u}) tapCard(panel->projsView(), index);
  tapView(panel->confirmButton());
  EXPECT_EQ(answerAlert(), held) << "combine";
  tapView(panel->cancelButton());
  chooseProject(panel, "test");
  for (const bool current : {true, false}) {
    tapView(panel->exportPackageButton(current));
    const fs::path package = fd::paths::documents() / (current ? "test.zt2" : "test.zt");
    EXPECT_EQ(answerAlert(), std::make_pair(std::string("Export"),
                                            std::string("\u201c\u2068test\u2069\u201d could not be exported as a package: what "
                                                        "was changed since its last save could not be saved (the disk "
                                                        "is full). Free some space, then try again.")));
    EXPECT_FALSE(fs::exists(package));
  }
  for (const bool byOpen : {true, false}) {
    if (panel->projsView()->selectedProjectName() != "test") chooseProject(panel, "test");
    if (byOpen) tapView(panel->openButton());
    else tapCard(panel->projsView(), 0);
    EXPECT_TRUE(host->alerts().empty());
    ASSERT_EQ(desk->fileManeagerView(), nullptr) << "the panel stays";
    EXPECT_FALSE(project().layIsOpenAtPage(1, 2, false)) << (byOpen ? "open" : "tapped twice");
    panel = openPanel();
    ASSERT_NE(panel, nullptr);
  }
  EXPECT_EQ(model().curProjectName(), "test");
  EXPECT_EQ(model().projectsNameArray(), (Names{"test", "Walk", "Run"}));
  EXPECT_FALSE(project().layIsOpenAtPage(1, 2, false));

  fd::files::setWriteFaultForTesting({});
  chooseProject(panel, "Walk");
  tapView(panel->openButton());
  EXPECT_EQ(model().curProjectName(), "Walk");
  EXPECT_FALSE(ProjectDataModel::initWithProjectName("test")->layIsOpenAtPage(1, 2, false));
}

// A project named with a line separator (U+2028) drew its name on its card
// on two lines at scale 2, the second cut at the card's edge, and the Rename
// field showed only the name's first line while it was typed. Both show the
// name on one line, the separator as a space, as they show the same name
// with a space.
TEST_F(FilePanelTest, ANameWithALineSeparatorShowsOnOneLine) {
  const std::string spaced = "Walking cycle second take", separated = "Walking cycle\u2028second take";
  made = {{separated, 1, 40, std::nullopt}, {spaced, 1, 40, std::nullopt}};
  start(true, 2);
  FileManagerView* panel = openPanel();
  ASSERT_NE(panel, nullptr);
  // The pixels a view shows on screen.
  const auto shown = [&](ui::View* v) {
    const gfx::Image shot = host->screenshot();
    const ui::Rect r = v->convertRectTo(v->bounds(), nullptr);
    const float scale = static_cast<float>(shot.pixelWidth()) / ui::Screen::main().bounds().width;
    std::vector<std::uint8_t> pixels;
    for (int y = static_cast<int>(r.y * scale); y < static_cast<int>((r.y + r.height) * scale); ++y)
      for (int x = static_cast<int>(r.x * scale); x < static_cast<int>((r.x + r.width) * scale); ++x)
        pixels.insert(pixels.end(), shot.pixel(x, y), shot.pixel(x, y) + 4);
    return pixels;
  };
  ProjectsView* cards = panel->projsView();
  const Names& names = cards->projectNames();
  const auto card = [&](const std::string& name) {
    return cards->cardName(static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin()));
  };
  EXPECT_EQ(shown(card(separated)), shown(card(spaced))) << "the cards show the names apart";
  std::vector<std::vector<std::uint8_t>> fields;
  for (const std::string& name : {separated, spaced}) {
    chooseProject(panel, name);
    tapView(panel->renameButton());
    ASSERT_EQ(panel->nameField()->text(), spaced);
    fields.push_back(shown(panel->nameField()));
    tapView(panel->cancelButton());
  }
  EXPECT_EQ(fields[0], fields[1]) << "the Rename field shows the names apart";
}

// A project named by another program with a line feed or a tab in its name
// was refused any name the Rename field showed it with, the refusal naming
// rules the name met. The field holds the name as it shows it, the line
// feed and the tab as spaces, and that is what is stored.
TEST_F(FilePanelTest, ANameHoldingALineFeedOrATabIsRenamedAsShown) {
  made = {{"Walk\ncycle", 1, 40, std::nullopt}, {"Run\tfast", 1, 90, std::nullopt}};
  start();
  FileManagerView* panel = openPanel();
  ASSERT_NE(panel, nullptr);
  for (const auto& [name, typed] : {std::pair{"Walk\ncycle", " two"}, std::pair{"Run\tfast", ""}}) {
    chooseProject(panel, name);
    tapView(panel->renameButton());
    host->typeText(typed);
    host->pressKey(ui::EditingKey::Return);
    for (const ui::ButtonSheet* alert : host->alerts()) ADD_FAILURE() << alert->message();
  }
  EXPECT_EQ(model().projectsNameArray(), (Names{"test", "Walk cycle two", "Run fast"}));
  EXPECT_TRUE(fs::exists(projectFolder("Walk cycle two") / "Project.plist"));
  EXPECT_TRUE(fs::exists(projectFolder("Run fast") / "Project.plist"));
}

// A package whose project list is larger than the program opens was told it
// held no project, with the reading's own words after three colons in a row.
// It is told its list is too large to open, with the sizes, and nothing of
// it is kept.
TEST_F(FilePanelTest, APackageWhoseListIsTooLargeIsToldItsSizes) {
  const testing_support::ScopedListFileBound bound(std::uint64_t{256} << 10);
  const fs::path documents = fd::paths::documents();
  // One text named 64 times: 17 KB as a binary list, 1 MB as the program
  // writes lists.
  const std::string text(16 << 10, 'w');
  testing_support::BinaryPlist shared;
  const std::size_t line = shared.ascii(text);
  const std::size_t notes = shared.array(std::vector<std::size_t>(64, line));
  const fd::Data wide = shared.bytes(shared.dict({shared.ascii("Notes")}, {notes}));
  const std::uint64_t written =
      fd::writtenPropertyListSize(fd::Value(fd::Dictionary{{"Notes", fd::Value(fd::Array(64, fd::Value(text)))}}));
  const std::string longList = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>Notes</key>"
                               "<string>" + std::string(300 << 10, 'x') + "</string></dict></plist>\n";
  const std::string opening = " could not be imported: its project list is too large to open (";
  const std::vector<std::tuple<std::string, fd::Data, std::string>> packages = {
      {"Wide.zt2", wide, fd::files::describeSizePast(written, 256 << 10) + ", more than the 256 KiB a project list may be)."},
      {"Long.zt2", fd::Data(longList.begin(), longList.end()),
       fd::files::describeSizePast(longList.size(), 256 << 10) + ", more than the 256 KiB a project list may be)."},
      {"Deep.zt2", testing_support::sharedDataList(),
       "once read it would take more than the 256 MiB a project list may take)."},
  };
  for (const auto& [file, list, sizes] : packages) {
    ASSERT_TRUE(ziptest::buildArchive(documents / file, {{.name = "Project.plist", .content = list,
                                                          .password = std::string(ZipOperator::kPackagePassword)}}));
  }
  start();
  FileManagerView* panel = openPanel();
  ASSERT_NE(panel, nullptr);
  tapView(panel->packagesTabButton());
  const auto before = snapshotTree(root());
  for (const auto& [file, list, sizes] : packages) {
    choosePackage(panel, file);
    tapView(panel->importButton());
    const auto [title, message] = answerAlert();
    EXPECT_EQ(title, "Import");
    EXPECT_EQ(message, "\u201c\u2068" + file + "\u2069\u201d" + opening + sizes);
    EXPECT_EQ(snapshotTree(root()), before) << file;
  }
  EXPECT_EQ(model().projectsNameArray(), (Names{"test", "Walk", "Run"}));
}

// A delete whose shortened list cannot be written (a full disk) took the
// project's folder all the same. Nothing is deleted and the user is told.
TEST_F(FilePanelTest, ADeleteWhoseListCannotBeWrittenIsToldAndDeletesNothing) {
  start();
  FileManagerView* panel = openPanel();
  ASSERT_NE(panel, nullptr);
  const auto before = snapshotTree(root());
  const fs::path store = fd::UserDefaults::standard().filePath();
  fd::files::setWriteFaultForTesting([store](const fs::path& file) { return file == store ? ENOSPC : 0; });
  chooseProject(panel, "Walk");
  tapView(panel->deleteButton());
  answerAlert("Delete");
  const auto [title, message] = answerAlert();
  fd::files::setWriteFaultForTesting({});
  EXPECT_EQ(title, "Delete");
  EXPECT_EQ(message, "\u201c\u2068Walk\u2069\u201d was not deleted: the list of projects could not be written (the disk may be "
                     "full). Nothing was changed.");
  EXPECT_EQ(snapshotTree(root()), before);
  EXPECT_EQ(model().projectsNameArray(), (Names{"test", "Walk", "Run"}));
  EXPECT_EQ(panel->projsView()->projectNames(), (Names{"test", "Walk", "Run"}));

  // With room again, the same delete goes through.
  tapView(panel->deleteButton());
  answerAlert("Delete");
  EXPECT_TRUE(host->alerts().empty());
  EXPECT_FALSE(fs::exists(projectFolder("Walk")));
  EXPECT_EQ(storedProjectList(), (Names{"test", "Run"}));
  ZTDataModel::waitForRemovals();
  EXPECT_EQ(fd::files::contentsOfDirectory(fd::paths::library() / "Projects"), (Names{"Run", "test"}));
}

// A duplicate or an import whose list could not be stored (a full disk) left
// its project in a folder that no list on disk named, hidden from the next
// start on; a rename left the folder under a name the list did not know.
// Each is refused in words and the sandbox is as it was.
TEST_F(FilePanelTest, ADuplicateImportRenameOrNewWhoseListCannotBeWrittenIsToldAndChangesNothing) {
  start();
  FileManagerView* panel = openPanelWithWalkPacked();
  ASSERT_NE(panel, nullptr);
  const Names listed = model().projectsNameArray();
  const auto before = snapshotTree(root());
  const fs::path store = fd::UserDefaults::standard().filePath();
  const std::string why = ": the list of projects could not be written (the disk may be full).";
  const std::vector<std::tuple<std::string, std::function<void()>, std::string>> actions = {
      {"Duplicate", [&] { tapView(panel->duplicateButton()); }, "\u201c\u2068Walk\u2069\u201d could not be duplicated"},
      {"Rename",
       [&] {
         tapView(panel->renameButton());
         typeName(panel, "Stroll");
         tapView(panel->confirmButton());
       },
       "\u201c\u2068Walk\u2069\u201d could not be renamed"},
      {"Import",
       [&] {
         tapView(panel->packagesTabButton());
         choosePackage(panel, "Walk.zt2");
         tapView(panel->importButton());
       },
       "\u201c\u2068Walk.zt2\u2069\u201d could not be imported"},
      {"New", [&] { tapView(panel->newButton()); }, "A new project could not be made"},
  };
  for (const auto& [title, act, opening] : actions) {
    SCOPED_TRACE(title);
    ASSERT_EQ(panel->projsView()->selectedProjectName(), "Walk");
    fd::files::setWriteFaultForTesting([store](const fs::path& file) { return file == store ? ENOSPC : 0; });
    act();
    const auto [said, message] = answerAlert();
    fd::files::setWriteFaultForTesting({});
    if (title == "Rename") tapView(panel->cancelButton());
    if (title == "Import") tapView(panel->projectsTabButton());
    EXPECT_EQ(said, title);
    EXPECT_EQ(message, opening + why);
    ZTDataModel::waitForRemovals();
    EXPECT_TRUE(snapshotTree(root()) == before) << "something was left behind";
    EXPECT_EQ(model().projectsNameArray(), listed);
    EXPECT_EQ(panel->projsView()->projectNames(), listed);
    EXPECT_EQ(model().curProjectName(), "test");
  }
}

// Memory running out in one of the panel's file operations ended the
// program, an import even once its project folder was in place and listed.
// Each is refused in an alert that says so, and the sandbox, the project list
// (kept and stored), the cards and the open project stay as they were.
TEST_F(FilePanelTest, FileOperationsThatRunOutOfMemoryAreToldAndChangeNothing) {
  start();
  FileManagerView* panel = openPanelWithWalkPacked();
  ASSERT_NE(panel, nullptr);
  const auto before = snapshotTree(root());
  const Names listed = model().projectsNameArray();
  const std::size_t openFrames = project().imagesArray().size();
  // Arms the step, does the action, and checks the one alert and that nothing changed.
  const auto refused = [&](const std::string& step, int hit, const std::function<void()>& act,
                           const std::string& title, const std::string& opening) {
    SCOPED_TRACE(title + " failing at " + step + " #" + std::to_string(hit));
    fd::armAllocationFailure(step, hit);
    act();
    fd::disarmCrashPoint();
    const auto [said, message] = answerAlert();
    EXPECT_EQ(said, title);
    EXPECT_TRUE(message.starts_with(opening)) << message;
    EXPECT_TRUE(message.ends_with(": there was not enough memory for it.")) << message;
    ZTDataModel::waitForRemovals();  // a copy taken back is emptied off the main thread
    EXPECT_EQ(snapshotTree(root()), before) << "something was left behind";
    EXPECT_EQ(model().projectsNameArray(), listed);
    EXPECT_EQ(storedProjectList(), listed);
    EXPECT_EQ(model().curProjectName(), "test");
    EXPECT_EQ(project().curProjectName(), "test");
    EXPECT_EQ(project().imagesArray().size(), openFrames);
  };

  for (const bool isUpgrade : {true, false}) {
    refused("zip.entry-written", 3, [&] { tapView(panel->exportPackageButton(isUpgrade)); }, "Export",
            "\u201c\u2068Walk\u2069\u201d could not be exported as a package");
  }
  refused("project.duplicate.copied", 1, [&] { tapView(panel->duplicateButton()); }, "Duplicate",
          "\u201c\u2068Walk\u2069\u201d could not be duplicated");
  // The panel's own steps once the model's had made the copy or the package:
  // listing the copy (its list already stored) and showing the package.
  refused("file-panel.duplicate.listed", 1, [&] { tapView(panel->duplicateButton()); }, "Duplicate",
          "\u201c\u2068Walk\u2069\u201d could not be duplicated");
  for (const bool isUpgrade : {true, false}) {
    refused("file-panel.export.made", 1, [&] { tapView(panel->exportPackageButton(isUpgrade)); }, "Export",
            "\u201c\u2068Walk\u2069\u201d could not be exported as a package");
  }
  // Reading the project to open, and re-pointing the open one at it.
  for (const int hit : {1, 2}) {
    refused("project.read.frames", hit, [&] { tapView(panel->openButton()); }, "Open",
            "\u201c\u2068Walk\u2069\u201d could not be opened");
    EXPECT_EQ(desk->fileManeagerView(), panel) << "the panel stays open";
  }
  EXPECT_EQ(panel->projsView()->projectNames(), listed);

  tapView(panel->combineButton());
  for (std::size_t index : {1u, 2u}) tapCard(panel->projsView(), index);
  refused("combine.pages-copied", 1,
          [&] {
            tapView(panel->confirmButton());
            ASSERT_NO_FATAL_FAILURE(waitForCombination(panel));
          },
          "Combine", "The projects could not be combined into \u201c\u2068Walk\u2069\u201d");
  EXPECT_TRUE(panel->busyView()->isHidden());
  EXPECT_EQ(panel->projsView()->projectNames(), listed);

  // Unpacking, and storing the list once the project's folder is in place.
  tapView(panel->packagesTabButton());
  for (const auto& [step, hit] : std::vector<std::pair<std::string, int>>{{"zip.entry-extracted", 2},
                                                                          {"project.save.written", 1}}) {
    choosePackage(panel, "Walk.zt2");
    refused(step, hit, [&] { tapView(panel->importButton()); }, "Import",
            "\u201c\u2068Walk.zt2\u2069\u201d could not be imported");
  }
  tapView(panel->projectsTabButton());
  EXPECT_EQ(panel->projsView()->projectNames(), listed);
}

TEST_F(FilePanelTest, CombiningMergesTheCardsInTheirOrderWithTheirSound) {
  made = {{"A", 3, 40, "one.caf"}, {"B", 2, 90, "two.caf"}};
  current = "A";
  ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "one.caf", std::vector<float>(800, 0.25f)));
  ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "two.caf", std::vector<float>(400, -0.25f)));
  start();
  std::shared_ptr<HeldMerger> merge;
  SoundMerger::setFactory([&] { return merge = std::make_shared<HeldMerger>(); });
  FileManagerView* panel = openPanel();
  ASSERT_NE(panel, nullptr);
  // The icons of B's frames, then A's: the order the combination must keep.
  std::vector<std::vector<std::uint8_t>> icons;
  for (const char* name : {"B", "A"}) {
    auto p = ProjectDataModel::initWithProjectName(name);
    for (int page = 1; page <= static_cast<int>(p->imagesArray().size()); ++page)
      icons.push_back(ziptest::readBytes(*p->iconFullPathAtPage(page, false)));
  }

  tapView(panel->combineButton());
  EXPECT_FALSE(panel->confirmButton()->isEnabled());
  EXPECT_TRUE(panel->newButton()->isHidden());
  EXPECT_FALSE(panel->packagesTabButton()->isEnabled());
  ProjectsView* cards = panel->projsView();
  // B first, then A; a second touch takes "test" out again.
  for (std::size_t index : {2u, 0u, 1u, 0u}) tapCard(cards, index);
  EXPECT_EQ(cards->chosenOrder(), (Names{"B", "A"}));
  ASSERT_NE(cards->cardBadge(2), nullptr);
  EXPECT_EQ(cards->cardBadge(2)->text(), "1");
  ASSERT_NE(cards->cardBadge(1), nullptr);
  EXPECT_EQ(cards->cardBadge(1)->text(), "2");
  EXPECT_EQ(cards->cardBadge(0), nullptr);
  EXPECT_EQ(panel->hintLabel()->text(), "Into \u201c\u2068B\u2069\u201d, in this order: \u201c\u2068A\u2069\u201d.");
  ASSERT_TRUE(panel->confirmButton()->isEnabled());
  tapView(panel->confirmButton());
  EXPECT_FALSE(panel->busyView()->isHidden());
  tapView(panel->closeButton());  // the panel stays while the projects are combined
  ASSERT_EQ(desk->fileManeagerView(), panel);
  ASSERT_NE(merge, nullptr);
  ASSERT_TRUE(merge->release()) << "the sounds were never mixed";
  ASSERT_NO_FATAL_FAILURE(waitForCombination(panel));
  EXPECT_TRUE(panel->busyView()->isHidden());
  ASSERT_TRUE(host->alerts().empty()) << host->alerts().front()->message();

  ASSERT_EQ(model().projectsNameArray(), (Names{"test", "B"}));
  EXPECT_EQ(storedProjectList(), (Names{"test", "B"}));
  EXPECT_EQ(cards->projectNames(), (Names{"test", "B"}));
  EXPECT_EQ(cards->selectedProjectName(), "B");
  EXPECT_FALSE(fs::exists(projectFolder("A")));
  auto target = ProjectDataModel::initWithProjectName("B");
  ASSERT_EQ(target->imagesArray().size(), 5u);
  for (int page = 1; page <= 5; ++page)
    EXPECT_EQ(ziptest::readBytes(*target->iconFullPathAtPage(page, false)), icons[page - 1]) << page;
  // Each project's sound mixed into a recording of its own, in the order.
  EXPECT_EQ(target->soundFrameArray(), (std::vector<int>{1, 2, 3, 4}));
  ASSERT_EQ(target->soundNameArray().size(), 2u);
  std::vector<std::size_t> lengths;
  for (const std::string& sound : target->soundNameArray()) {
    EXPECT_TRUE(sound.starts_with("Rec") && sound.ends_with(".caf")) << sound;
    auto samples = media::decodeSound(fd::paths::documents() / sound);
    ASSERT_TRUE(samples) << sound;
    lengths.push_back(samples->size());
  }
  EXPECT_EQ(lengths, (std::vector<std::size_t>{400, 800}));
  // The open project was merged away: the combined one is open now.
  EXPECT_EQ(model().curProjectName(), "B");
  EXPECT_EQ(project().imagesArray().size(), 5u);
  tapView(panel->closeButton());
  EXPECT_EQ(desk->pageIndicator()->text(), "005/005");

  // Combined into the open project, it is reopened with the new frames.
  videoEncode::registerAsSoundMerger();
  panel = openPanel();
  ASSERT_NE(panel, nullptr);
  tapView(panel->combineButton());
  for (std::size_t index : {1u, 0u}) tapCard(panel->projsView(), index);
  tapView(panel->confirmButton());
  ASSERT_NO_FATAL_FAILURE(waitForCombination(panel));
  ASSERT_TRUE(host->alerts().empty()) << host->alerts().front()->message();
  EXPECT_EQ(model().projectsNameArray(), (Names{"B"}));
  EXPECT_EQ(model().curProjectName(), "B");
  EXPECT_EQ(project().imagesArray().size(), 6u);
  EXPECT_FALSE(panel->combineButton()->isEnabled()) << "one project cannot be combined";
  tapView(panel->closeButton());
  EXPECT_EQ(desk->pageIndicator()->text(), "006/006");
}

// Once the model had combined the projects (the list and the first project
// stored, the open project reopened), the panel read the combined project
// again and saved the model with it: a second each for a long project, on
// the main thread the user waits on. It reads and writes none of it again,
// and the open project, the list and the cards are as the combination left
// them. One given up as the program ends reads no card again either.
TEST_F(FilePanelTest, TheEndOfACombinationReadsAndWritesNothingAgain) {
  start();
  constexpr int kFrames = 3000;
  ASSERT_TRUE(model_test::writeLongProject(projectFolder("Long"), kFrames, 0));
  ZTDataModel& m = model();
  m.setProjectsNameArray({"test", "Walk", "Run", "Long"});
  {
    FileManagerView* panel = openPanel();
    ASSERT_NE(panel, nullptr);
    ProjectsView* cards = panel->projsView();
    tapView(panel->combineButton());
    for (std::size_t index : {3u, 1u}) tapCard(cards, index);
    fd::setEndWatch([] { return true; });
    EXPECT_FALSE(m.combineProjects(cards->chosenOrder()));
    const std::uint64_t readBefore = bytesRead();
    cards->combineFinish();
    const std::uint64_t read = bytesRead() - readBefore;
    fd::setEndWatch({});
    EXPECT_LT(read, fs::file_size(projectFolder("Long") / "Project.plist") / 2) << "the cards were read again";
    EXPECT_EQ(cards->projectNames(), (Names{"test", "Walk", "Run", "Long"}));
    EXPECT_EQ(answerAlert().first, "Combine");
    tapView(panel->closeButton());
  }
  m.setCurProjectName("Long");
  ASSERT_TRUE(project().setCurProjectName("Long"));
  ASSERT_TRUE(gfx::writePNG(*project().iconFullPathAtPage(1, false), seededPicture(iconWidth, iconHeight, 7)));
  m.saveData();
  FileManagerView* panel = openPanel();
  ASSERT_NE(panel, nullptr);
  ProjectsView* cards = panel->projsView();
  tapView(panel->combineButton());
  for (std::size_t index : {3u, 1u}) tapCard(cards, index);
  ASSERT_EQ(cards->chosenOrder(), (Names{"Long", "Walk"}));

  // The model combines, then tells the panel as it tells its delegate.
  ASSERT_TRUE(m.combineProjects(cards->chosenOrder())) << m.lastError();
  const std::uintmax_t listBytes = fs::file_size(projectFolder("Long") / "Project.plist");
  int writes = 0;
  fd::files::setWriteFaultForTesting([&](const fs::path&) {
    ++writes;
    return 0;
  });
  const std::uint64_t readBefore = bytesRead();
  cards->combineFinish();
  const std::uint64_t read = bytesRead() - readBefore;
  fd::files::setWriteFaultForTesting({});
  EXPECT_EQ(writes, 0) << "what the combination stored was written again";
  EXPECT_LT(read, listBytes / 2) << "the combined project was read again (its list is " << listBytes << " bytes)";

  EXPECT_TRUE(panel->busyView()->isHidden());
  EXPECT_TRUE(host->alerts().empty());
  EXPECT_EQ(cards->projectNames(), (Names{"test", "Run", "Long"}));
  EXPECT_EQ(cards->selectedProjectName(), "Long");
  EXPECT_EQ(storedProjectList(), (Names{"test", "Run", "Long"}));
  EXPECT_EQ(project().curProjectName(), "Long");
  EXPECT_EQ(project().imagesArray().size(), kFrames + 3u);
  EXPECT_EQ(ProjectDataModel::initWithProjectName("Long")->imagesArray().size(), kFrames + 3u);
  tapView(panel->closeButton());
  EXPECT_EQ(desk->pageIndicator()->text(), "3003/3003");
}

TEST_F(FilePanelTest, TheBarsFitTheScreenAtBothWidthsAndScales) {
  for (const std::string& name : file_art::names()) {
    const gfx::Image one = file_art::draw(name, 1), two = file_art::draw(name, 2);
    EXPECT_FALSE(one.empty()) << name;
    EXPECT_EQ(two.pixelWidth(), 2 * one.pixelWidth()) << name;
  }
  for (bool tall : {false, true}) {
    for (float scale : {1.0f, 2.0f}) {
      start(tall, scale);
      made.clear();  // the projects stay in the sandbox for the next layout
      FileManagerView* panel = openPanel();
      ASSERT_NE(panel, nullptr);
      const ui::Rect screen = ui::Screen::main().bounds();
      chooseProject(panel, "Walk");
      auto inside = [&](ui::View* v) {
        const ui::Rect r = v->convertRectTo(v->bounds(), nullptr);
        EXPECT_GE(r.x, 0);
        EXPECT_GE(r.y, 0);
        EXPECT_LE(r.x + r.width, screen.width);
        EXPECT_LE(r.y + r.height, screen.height);
        return r;
      };
      std::vector<ui::Rect> bar;
      for (ui::Button* b : {panel->renameButton(), panel->duplicateButton(), panel->deleteButton(),
                            panel->exportPackageButton(true), panel->exportPackageButton(false),
                            panel->combineButton(), panel->newButton(), panel->openButton(),
                            panel->promotionButton(), panel->closeButton(), panel->projectsTabButton(),
                            panel->packagesTabButton(), panel->exportButton(), panel->shareButton()}) {
        bar.push_back(inside(b));
        // Every word is read whole.
        EXPECT_LE(b->titleLabel()->sizeThatFits({1000, 100}).width, b->frame().width - 8) << b->currentTitle();
      }
      for (std::size_t i = 0; i < bar.size(); ++i)
        for (std::size_t j = i + 1; j < bar.size(); ++j) {
          const ui::Rect& a = bar[i];
          const ui::Rect& b = bar[j];
          EXPECT_FALSE(a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height)
              << i << " overlaps " << j;
        }
      tapView(panel->renameButton());
      inside(panel->nameField());
      inside(panel->confirmButton());
      // The drawn buttons at the screen's scale ("@2x" on a 2x screen).
      const ui::Picture plate = panel->renameButton()->backgroundImageForState(ui::StateNormal);
      ASSERT_NE(plate.image(), nullptr);
      EXPECT_EQ(plate.image()->pixelWidth(), static_cast<int>(file_art::kButtonWidth * scale));
      EXPECT_EQ(plate.scale(), scale);
      tapView(panel->cancelButton());
      stop();
    }
  }
}

}  // namespace
