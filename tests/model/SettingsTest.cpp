// Extended settings, sound tags, backgrounds, unique names and orientation.
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>

#include "model/Backgrounds.h"
#include "model/ImageOrientation.h"
#include "model/ModelTestSupport.h"
#include "model/ProjectNotice.h"
#include "model/Tools.h"
#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/PropertyListCheck.h"
#include "platform/foundation/UserDefaults.h"
#include "support/BinaryPlist.h"
#include "support/ListBound.h"

namespace {

using model_test::ModelTest;
namespace fs = std::filesystem;

class SettingsTest : public ModelTest {};

TEST_F(SettingsTest, CurrentColourComesFromThePalette) {
  fd::UserDefaults& d = fd::UserDefaults::standard();
  const std::pair<int, gfx::Color> cases[] = {
      {0, gfx::Color::black()},
      {45, gfx::Color::black()},
      {44, gfx::Color::rgba8(0, 0, 0)},
      {1, gfx::Color::rgba8(0xFE, 0xD7, 0xBC)},
      {23, gfx::Color::rgba8(0x88, 0x10, 0x0F)},
  };
  for (const auto& [index, colour] : cases) {
    d.setObject("ColorIndex", fd::Value(index));
    ExtendDataModel e;
    EXPECT_EQ(e.cuColorIndex(), index);
    EXPECT_EQ(e.cuColor(), colour) << index;
  }
  ExtendDataModel e;
  e.setCuColorIndex(12);
  e.saveData();
  fd::UserDefaults::resetStandardForTesting();
  EXPECT_EQ(fd::UserDefaults::standard().integerForKey("ColorIndex"), 12);
}

TEST_F(SettingsTest, BrushPresets) {
  ExtendDataModel e;
  EXPECT_EQ(e.dicWithBrushMark(0), (BrushPreset{32, 1.0f}));
  EXPECT_FALSE(e.dicWithBrushMark(8));
  EXPECT_FALSE(e.dicWithBrushMark(-1));
  e.setDicWithBrushMark(7, 12, 0.5f);
  e.setDicWithBrushMark(8, 1, 0.1f);
  EXPECT_EQ(e.dicWithBrushMark(7), (BrushPreset{12, 0.5f}));
  EXPECT_EQ(e.brushSetting().size(), 8u);
  EXPECT_EQ(e.brushSize(), 32.0f);
}

TEST_F(SettingsTest, FrameLimitsPersistInTheirOwnFile) {
  ASSERT_FALSE(fs::exists(fd::paths::library() / "limit"));
  {
    ExtendDataModel e;
    EXPECT_TRUE(e.limitFramesDict().empty());
    e.limitFramesDict()["Rec1.caf"] = 12;
    e.saveLimitFramesDict();
  }
  EXPECT_TRUE(fs::exists(ExtendDataModel::limitFramesPath()));
  // Writes a kill cut short leave temp files beside both settings files; the
  // next start takes them, and nothing else.
  const fs::path limitsLeft = ExtendDataModel::limitFramesPath().parent_path() / ".limitFrames.plist.Ab12Cd";
  const fs::path loginLeft = ExtendDataModel::lumistoPath().parent_path() / ".lumisto.plist.Ab12Cd";
  const fs::path other = ExtendDataModel::limitFramesPath().parent_path() / ".other.plist.Ab12Cd";
  fs::create_directories(loginLeft.parent_path());
  for (const fs::path& p : {limitsLeft, loginLeft, other}) ASSERT_TRUE(fd::files::touchFile(p).ok());
  ExtendDataModel again;
  EXPECT_EQ(again.limitFramesDict(), (std::map<std::string, int>{{"Rec1.caf", 12}}));
  EXPECT_FALSE(fs::exists(limitsLeft));
  EXPECT_FALSE(fs::exists(loginLeft));
  EXPECT_TRUE(fs::exists(other));
}

TEST_F(SettingsTest, LoginRecordAndLogout) {
  {
    ExtendDataModel e;
    EXPECT_FALSE(e.isLoginLumisto());
    e.setIsLoginLumisto(true);
    e.setLumistoUserName("ann");
    e.setLumistoPassword("pw");
    e.setIsLogined(true);
    e.saveLumistoInfo();
  }
  {
    ExtendDataModel e;
    EXPECT_TRUE(e.isLoginLumisto());
    EXPECT_EQ(e.lumistoUserName(), "ann");
    EXPECT_EQ(e.lumistoPassword(), "pw");
    EXPECT_FALSE(e.isLogined());
    e.setIsLoginLumisto(false);
    e.saveLumistoInfo();
  }
  fd::Expected<fd::Value> stored = fd::readPropertyList(ExtendDataModel::lumistoPath());
  ASSERT_TRUE(stored);
  EXPECT_FALSE((*stored).contains("userName"));
  ExtendDataModel e;
  EXPECT_FALSE(e.isLoginLumisto());
  EXPECT_EQ(e.lumistoUserName(), "");
  EXPECT_EQ(e.lumistoPassword(), "");
}

TEST_F(SettingsTest, SettingsFilesWhoseTopIsNotADictionaryAreIgnored) {
  // A login record or frame-limit file holding a list used to stop the program at start-up.
  for (const fs::path& file : {ExtendDataModel::lumistoPath(), ExtendDataModel::limitFramesPath()}) {
    fs::create_directories(file.parent_path());
    ASSERT_TRUE(fd::writePropertyList(file, fd::Value(fd::Array{fd::Value("isLogin"), fd::Value(true)})));
  }
  ExtendDataModel e;
  EXPECT_FALSE(e.isLoginLumisto());
  EXPECT_EQ(e.lumistoUserName(), "");
  EXPECT_TRUE(e.limitFramesDict().empty());
}

// A settings file the program takes is one it takes again once it has
// written it back: login names whose markup is written as entities, frame
// limits packed without the indentation of stored files. One whose written
// form would pass the bound is refused at its first read, set aside and
// told, and nothing of it is taken; limits stored as reals, which the program
// writes longer as whole numbers, are not written past the bound but kept.
TEST_F(SettingsTest, SettingsTakenAreTakenAgainOnceWritten) {
  testing_support::ScopedListFileBound bound(64 << 10);
  fd::takeDamagedFileReports();
  for (const fs::path& file : {ExtendDataModel::lumistoPath(), ExtendDataModel::limitFramesPath()})
    fs::create_directories(file.parent_path());
  const auto login = [](std::size_t marks) {
    testing_support::BinaryPlist p;
    const std::size_t keys[] = {p.ascii("isLogin"), p.ascii("userName"), p.ascii("passWord")};
    return p.bytes(p.dict({keys[0], keys[1], keys[2]}, {p.boolean(true), p.ascii(std::string(marks, '&')), p.ascii("pw")}));
  };
  const auto limits = [](int clips, const std::string& frames = "<integer>12</integer>") {
    std::string xml = "<plist version=\"1.0\"><dict>";
    for (int i = 0; i < clips; ++i) xml += "<key>c" + std::to_string(10000 + i) + ".caf</key>" + frames;
    xml += "</dict></plist>";
    return fd::Data(xml.begin(), xml.end());
  };

  ASSERT_TRUE(fd::files::writeFileAtomically(ExtendDataModel::lumistoPath(), login(12000)));
  ASSERT_TRUE(fd::files::writeFileAtomically(ExtendDataModel::limitFramesPath(), limits(1300)));
  {
    ExtendDataModel e;
    EXPECT_EQ(e.lumistoUserName(), std::string(12000, '&'));
    EXPECT_EQ(e.limitFramesDict().size(), 1300u);
    e.saveLumistoInfo();
    e.saveLimitFramesDict();
  }
  {
    ExtendDataModel again;
    EXPECT_EQ(again.lumistoUserName(), std::string(12000, '&'));
    EXPECT_EQ(again.limitFramesDict().size(), 1300u);
    EXPECT_EQ(again.limitFramesDict().at("c11299.caf"), 12);
  }
  EXPECT_TRUE(fd::takeDamagedFileReports().empty());

  ASSERT_TRUE(fd::files::writeFileAtomically(ExtendDataModel::lumistoPath(), login(14000)));
  ASSERT_TRUE(fd::files::writeFileAtomically(ExtendDataModel::limitFramesPath(), limits(1500)));
  ExtendDataModel refused;
  EXPECT_FALSE(refused.isLoginLumisto());
  EXPECT_TRUE(refused.limitFramesDict().empty());
  const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 2u);
  for (const fd::DamagedFileReport& report : reports) {
    EXPECT_TRUE(report.reason.starts_with("it is too large to open: its file of ")) << report.name << ": " << report.reason;
    EXPECT_TRUE(report.reason.ends_with(", more than the 64 KiB a list may be")) << report.reason;
    EXPECT_FALSE(fs::exists(report.file)) << "set aside";
  }

  ASSERT_TRUE(fd::files::writeFileAtomically(ExtendDataModel::limitFramesPath(), limits(1500, "<real>12</real>")));
  {
    ExtendDataModel e;
    EXPECT_EQ(e.limitFramesDict().size(), 1500u);
    e.saveLimitFramesDict();
  }
  EXPECT_EQ(testing_support::fileBytes(ExtendDataModel::limitFramesPath()), limits(1500, "<real>12</real>"));
  ExtendDataModel kept;
  EXPECT_EQ(kept.limitFramesDict().size(), 1500u);
  EXPECT_TRUE(fd::takeDamagedFileReports().empty());
}

TEST_F(SettingsTest, BackgroundTypesByPrefix) {
  const std::pair<const char*, int> cases[] = {{"SSsky", 1}, {"USmine.png", 2}, {"SDBackground000_", 3}, {"UD", 4},
                                               {"SCx", 5},   {"UCx", 6},         {"S", 0},                {"", 0},
                                               {"ss", 0},    {"Photo", 0}};
  for (const auto& [name, type] : cases) EXPECT_EQ(ZTDataModel::backgroundTypeWithBackgroundName(name), type) << name;
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("bg");
  EXPECT_TRUE(p->setCurBackgroundName("SCBackground000_"));
  EXPECT_EQ(p->backgroundType(), 5);
  EXPECT_FALSE(p->backgroundFullPath());
  EXPECT_FALSE(p->backgroundIconFullPath());
  EXPECT_FALSE(p->setCurBackgroundName("../x"));
  EXPECT_EQ(p->curBackgroundName(), "SCBackground000_");
  EXPECT_EQ(ProjectDataModel::countOfBackground("SDBackground001_"), 31);
  EXPECT_EQ(ProjectDataModel::countOfBackground("SDBackground009_"), 1);
}

class BackgroundPathsTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    resources_ = root() / "bundle";
    fs::create_directories(resources_);
    const char* old = std::getenv("FLIPDESK_RESOURCES");
    if (old != nullptr) oldResources_ = old;
    ::setenv("FLIPDESK_RESOURCES", resources_.c_str(), 1);
  }
  void TearDown() override {
    if (oldResources_) {
      ::setenv("FLIPDESK_RESOURCES", oldResources_->c_str(), 1);
    } else {
      ::unsetenv("FLIPDESK_RESOURCES");
    }
    ModelTest::TearDown();
  }
  void touch(const std::string& name) { model_test::writeTinyPng(resources_ / name); }

  fs::path resources_;
  std::optional<std::string> oldResources_;
};

TEST_F(BackgroundPathsTest, PicturesOfEachKind) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  touch("SSsky.png");
  touch("SSskyIcon.png");
  touch("SDBackground000_4.jpg");
  touch("SDBackground000_0Icon.jpg");
  touch("SCBackground000_29.jpg");
  EXPECT_EQ(m.backgroundFullPathWithBackgroundName("SSsky"), resources_ / "SSsky.png");
  EXPECT_EQ(m.backgroundIconFullPathWithBackgroundName("SSsky"), resources_ / "SSskyIcon.png");
  EXPECT_FALSE(m.backgroundFullPathWithBackgroundName("SSnone"));
  EXPECT_EQ(m.backgroundFullPathWithBackgroundName("USme"), m.backgroundPath() / "USme.png");
  EXPECT_EQ(m.backgroundIconFullPathWithBackgroundName("Photo"), m.backgroundPath() / "PhotoIcon.png");
  EXPECT_FALSE(m.backgroundFullPathWithBackgroundName(std::nullopt));
  EXPECT_FALSE(m.backgroundFullPathWithBackgroundName(""));
  EXPECT_FALSE(m.backgroundFullPathWithBackgroundName("US/../../x"));
  EXPECT_EQ(m.dynamicBackgroundFullPathWithBackgroundName("SDBackground000_", 35), resources_ / "SDBackground000_4.jpg");
  EXPECT_EQ(m.dynamicBackgroundFullPathWithBackgroundName("SCBackground000_", 35), resources_ / "SCBackground000_29.jpg");
  EXPECT_EQ(m.backgroundIconFullPathWithBackgroundName("SDBackground000_"), resources_ / "SDBackground000_0Icon.jpg");
  EXPECT_FALSE(m.dynamicBackgroundFullPathWithBackgroundName("SDBackground000_", 0));
  EXPECT_FALSE(m.dynamicBackgroundFullPathWithBackgroundName("UDx", 1));
  EXPECT_FALSE(m.backgroundFullPathWithBackgroundName("UCx"));
}

TEST_F(BackgroundPathsTest, GivingABackgroundCopiesStillPictures) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  touch("SSsky.png");
  touch("SSskyIcon.png");
  std::shared_ptr<ProjectDataModel> p = m.prjDataModel();
  ASSERT_TRUE(m.setBackground("SSsky", {p}));
  EXPECT_EQ(p->curBackgroundName(), "SSsky");
  EXPECT_EQ(p->backgroundType(), 1);
  EXPECT_TRUE(fs::exists(*p->backgroundFullPath()));
  EXPECT_TRUE(fs::exists(*p->backgroundIconFullPath()));
  EXPECT_EQ(ProjectDataModel::initWithProjectName("test")->curBackgroundName(), "SSsky") << "saved";

  ASSERT_TRUE(m.setBackground("SDBackground000_", {p}));
  EXPECT_EQ(p->backgroundType(), 3);
  EXPECT_FALSE(p->backgroundFullPath());
  EXPECT_TRUE(fs::exists(p->projectDicPath() / "background.png")) << "older copies stay on disk";
}

// The copy files in a project's folder, with their bytes.
std::map<std::string, std::string> backgroundCopiesIn(const fs::path& folder) {
  std::map<std::string, std::string> copies;
  for (const std::string& file : fd::files::contentsOfDirectory(folder))
    if (isBackgroundCopyName(file)) copies[file] = model_test::readText(folder / file);
  return copies;
}

// Only the project's list failing, after the copies of the new background
// were staged (the folder takes them, the list cannot be written, or would
// not be read again), leaves the old background's name, type and copies, in
// memory and on disk, and no copy of the new one, between a built-in still
// and one of the user's either way; a list that fails only at the second
// switch, to the usual names, leaves the new background named with its
// copies where the first switch put them.
TEST_F(BackgroundPathsTest, AListFailingAfterTheCopiesKeepsTheBackgroundItNames) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  const std::string shipped = "SSsky", painted = "US20240101000000001";
  model_test::writeTinyPng(resources_ / (shipped + ".png"), 1);
  model_test::writeTinyPng(resources_ / (shipped + "Icon.png"), 2);
  model_test::writeTinyPng(m.backgroundPath() / (painted + ".png"), 3);
  model_test::writeTinyPng(m.backgroundPath() / (painted + "Icon.png"), 4);
  std::shared_ptr<ProjectDataModel> p = m.prjDataModel();
  const fs::path folder = p->projectDicPath();
  const fs::path list = p->plistFilePath();

  struct Failing {
    const char* what;
    std::function<void()> begin;
  };
  const Failing failings[] = {
      {"the list's folder is full for it",
       [] {
         fd::files::setWriteFaultForTesting(
             [](const fs::path& file) { return file.filename() == "Project.plist" ? ENOSPC : 0; });
       }},
      {"the list would not be read again",
       [&] { fd::plistcheck::setFileBoundForTesting(*fd::files::fileSize(list) - 1); }},
  };
  struct Switch {
    std::string old;
    int oldType;
    std::string given;
  };
  for (const Switch& change : {Switch{shipped, kBackgroundShippedStill, painted},
                               Switch{painted, kBackgroundUserStill, shipped}}) {
    const std::string& old = change.old;
    ASSERT_TRUE(m.setBackground(old, {p}));
    const std::map<std::string, std::string> oldCopies = backgroundCopiesIn(folder);
    ASSERT_EQ(oldCopies.size(), 2u);
    const std::optional<fd::Data> oldList = testing_support::fileBytes(list);
    for (const Failing& failing : failings) {
      SCOPED_TRACE(old + " to " + change.given + ": " + failing.what);
      failing.begin();
      const fd::Status attached = m.attachBackground(*p, change.given, true);
      fd::files::setWriteFaultForTesting({});
      fd::plistcheck::setFileBoundForTesting(0);
      EXPECT_FALSE(attached);
      EXPECT_EQ(p->curBackgroundName(), old);
      EXPECT_EQ(p->backgroundType(), change.oldType);
      EXPECT_TRUE(backgroundCopiesIn(folder) == oldCopies) << "the copies changed";
      EXPECT_TRUE(testing_support::fileBytes(list) == oldList) << "the list changed";
      ASSERT_TRUE(p->saveData());
      const std::shared_ptr<ProjectDataModel> onDisk = ProjectDataModel::initWithProjectName(p->curProjectName());
      EXPECT_EQ(onDisk->curBackgroundName(), old);
      EXPECT_EQ(onDisk->backgroundType(), change.oldType);
      EXPECT_EQ(model_test::readText(*onDisk->backgroundFullPath()),
                model_test::readText(*m.backgroundFullPathWithBackgroundName(old)));
    }
  }
  takeProjectNotices();
  const std::string& given = shipped;  // from the user's, as the loop left it

  int listWrites = 0;
  fd::files::setWriteFaultForTesting(
      [&](const fs::path& file) { return file.filename() == "Project.plist" && ++listWrites == 2 ? ENOSPC : 0; });
  EXPECT_TRUE(m.attachBackground(*p, given, true));
  fd::files::setWriteFaultForTesting({});
  EXPECT_EQ(p->curBackgroundName(), given);
  const std::shared_ptr<ProjectDataModel> onDisk = ProjectDataModel::initWithProjectName(p->curProjectName());
  EXPECT_EQ(onDisk->curBackgroundName(), given);
  for (const ProjectDataModel* project : {p.get(), onDisk.get()}) {
    EXPECT_EQ(model_test::readText(*project->backgroundFullPath()), model_test::readText(resources_ / (given + ".png")));
    EXPECT_EQ(model_test::readText(*project->backgroundIconFullPath()),
              model_test::readText(resources_ / (given + "Icon.png")));
  }
  EXPECT_EQ(backgroundCopiesIn(folder).size(), 2u) << "copies no list names stay";
}

TEST_F(SettingsTest, SoundTagsPlayOnlyAtHalfSpeed) {
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("snd");
  p->setSoundTags({SoundTag{"a.caf", std::nullopt, std::nullopt}});
  p->setAnimationSpeed(0.5f);
  EXPECT_TRUE(p->isCouldPlaySound());
  p->setAnimationSpeed(0.25f);
  EXPECT_FALSE(p->isCouldPlaySound());
  p->setAnimationSpeed(0.5f);
  p->setSoundTags({SoundTag{std::nullopt, {{49, 100}}, {{1, 2}}}});
  EXPECT_FALSE(p->isCouldPlaySound()) << "a tag without a sound";
  p->setSoundTags({});
  EXPECT_FALSE(p->isCouldPlaySound());
}

TEST_F(SettingsTest, DeletingATagSortsWhatRemains) {
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("snd");
  p->setSoundTags(soundTagsFromLists({{200, 250, 49, 100, 300, 340}, {"b", "a", "c"}, {5, 6, 1, 2, 8, 9}}));
  p->deleteSoundTagViewDataWithTag(0);
  EXPECT_EQ(p->soundTagPointsArray(), (std::vector<float>{49, 100, 300, 340}));
  EXPECT_EQ(p->soundFrameArray(), (std::vector<int>{1, 2, 8, 9}));
  EXPECT_EQ(p->soundNameArray(), (std::vector<std::string>{"a", "c"}));
  p->deleteSoundTagViewDataWithTag(7);
  EXPECT_EQ(p->soundNameArray().size(), 2u);
}

TEST_F(SettingsTest, RoomForANewSoundTag) {
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("snd");
  using F = std::vector<float>;
  EXPECT_EQ(p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(370, 50), (F{0, 0}));
  EXPECT_EQ(p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(300, 100), (F{305, 75}));
  EXPECT_EQ(p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(100, 50), (F{105, 50}));
  p->setSoundTags(soundTagsFromLists({{100, 200}, {}, {}}));
  EXPECT_EQ(p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(95, 40), (F{0, 0}));
  EXPECT_EQ(p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(150, 40), (F{200, 40}));
  EXPECT_EQ(p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(150, 400), (F{200, 180}));
  EXPECT_EQ(p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(10, 40), (F{15, 40}));
  EXPECT_EQ(p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(10, 90), (F{15, 85}));
  EXPECT_EQ(p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(80, 90), (F{0, 0})) << "15 points of room";
  EXPECT_EQ(p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(196, 30), (F{201, 30})) << "after the last tag";
  EXPECT_EQ(p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(195, 30), (F{200, 30})) << "at the end of the last tag";
  p->setSoundTags(soundTagsFromLists({{250, 300, 100, 200}, {}, {}}));
  EXPECT_EQ(p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(195, 30), (F{0, 0})) << "at the end of a tag with one after it";
  EXPECT_EQ(p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(150, 60), (F{200, 50}));
  EXPECT_EQ(p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(260, 60), (F{300, 60}));
  EXPECT_EQ(p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(215, 60), (F{220, 30}));
  EXPECT_EQ(p->pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(230, 60), (F{0, 0}));
}

TEST_F(SettingsTest, ToolsNamesAndNumbers) {
  EXPECT_EQ(Tools::uniqueName("x", {}), "x");
  EXPECT_EQ(Tools::uniqueName("a", {"a", "acopy1"}), "acopy2");
  EXPECT_EQ(Tools::uniqueName("test", {"test", "testcopy1", "testcopy2"}), "testcopy3");
  EXPECT_EQ(Tools::uniqueName("acopy2", {"acopy1", "acopy2", "acopy3"}), "acopy4");
  // Within a length: cut at a whole character, and further for the free form.
  EXPECT_EQ(Tools::uniqueNameWithin("short", {}, 8), "short");
  EXPECT_EQ(Tools::uniqueNameWithin("longer name", {}, 8), "longer n");
  EXPECT_EQ(Tools::uniqueNameWithin("longer name", {"longer n"}, 8), "loncopy1");
  EXPECT_EQ(Tools::uniqueNameWithin("longer name", {"longer n", "loncopy1"}, 8), "loncopy2");
  EXPECT_EQ(Tools::uniqueNameWithin("\u00e9t\u00e9s", {}, 4), "\u00e9t") << "no character is split";
  EXPECT_EQ(Tools::uniqueNameWithin("\u00e9t\u00e9s", {"\u00e9t\u00e9s"}, 8), "\u00e9tcopy1");
  std::set<std::string> ids;
  for (int i = 0; i < 500; ++i) ids.insert(Tools::dateString());
  EXPECT_EQ(ids.size(), 500u);
  EXPECT_EQ(Tools::randValueBegin(4, 4), 4);
  for (int i = 0; i < 50; ++i) {
    int v = Tools::randValueBegin(10, 3);
    EXPECT_GE(v, 10);
    EXPECT_LT(v, 17);
  }
  EXPECT_EQ(ProjectDataModel::randStringWithModel(0), "0");
  EXPECT_LT(std::stoi(ProjectDataModel::randStringWithModel(-7)), 7);
}

// Expected upright pixel (x, y) of a stored W x H picture for an orientation.
std::pair<int, int> storedPixelFor(gfx::Orientation o, int x, int y, int w, int h) {
  using gfx::Orientation;
  switch (o) {
    case Orientation::Up: return {x, y};
    case Orientation::Down: return {w - 1 - x, h - 1 - y};
    case Orientation::Left: return {w - 1 - y, x};
    case Orientation::Right: return {y, h - 1 - x};
    case Orientation::UpMirrored: return {w - 1 - x, y};
    case Orientation::DownMirrored: return {x, h - 1 - y};
    case Orientation::LeftMirrored: return {y, x};
    case Orientation::RightMirrored: return {w - 1 - y, h - 1 - x};
  }
  return {x, y};
}

TEST_F(SettingsTest, AllEightOrientationsDrawUpright) {
  constexpr int w = 5, h = 3;
  for (int o = 0; o < 8; ++o) {
    const auto orientation = static_cast<gfx::Orientation>(o);
    gfx::Image stored = model_test::patternImage(w, h);
    stored.setOrientation(orientation);
    auto image = std::make_shared<const gfx::Image>(stored);
    ImageRef upright = ImageOrientation::imageWithImage(image);
    ASSERT_TRUE(upright);
    if (orientation == gfx::Orientation::Up) {
      EXPECT_EQ(upright, image) << "an upright picture comes back as itself";
      continue;
    }
    gfx::Image shown = *upright;
    shown.unpremultiply();
    const bool sideways = o == 2 || o == 3 || o == 6 || o == 7;
    const int sw = sideways ? h : w, sh = sideways ? w : h;
    ASSERT_EQ(shown.pixelWidth(), sw) << o;
    ASSERT_EQ(shown.pixelHeight(), sh) << o;
    EXPECT_EQ(shown.orientation(), gfx::Orientation::Up);
    for (int y = 0; y < sh; ++y) {
      for (int x = 0; x < sw; ++x) {
        auto [sx, sy] = storedPixelFor(orientation, x, y, w, h);
        const std::uint8_t* got = shown.pixel(x, y);
        const std::uint8_t* want = stored.pixel(sx, sy);
        EXPECT_TRUE(std::equal(got, got + 4, want)) << "orientation " << o << " at " << x << "," << y;
      }
    }
  }
  EXPECT_EQ(ImageOrientation::imageWithImage(nullptr), nullptr);
}

}  // namespace
