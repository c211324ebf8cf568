// The project folder and Project.plist: creation, saving and reading back,
// the migrations of older projects, lenient loading, and the path getters.
#include <plist/plist.h>

#include <cmath>
#include <fstream>
#include <set>

#include "model/ModelTestSupport.h"
#include "model/PackageOlderFormat.h"
#include "model/ProjectNotice.h"
#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/TimestampId.h"
#include "platform/media/AudioFile.h"
#include "support/ChildProcess.h"
#include "support/ListBound.h"

namespace {

using model_test::ModelTest;
namespace fs = std::filesystem;

class ProjectFileTest : public ModelTest {
 protected:
  fs::path folder(const std::string& name) { return fd::paths::library() / "Projects" / name; }

  void writePlist(const std::string& name, const fd::Value& v) {
    fs::create_directories(folder(name));
    ASSERT_TRUE(fd::writePropertyList(folder(name) / "Project.plist", v));
  }
};

TEST_F(ProjectFileTest, ANewProjectHasOneFrameOnTwoLayers) {
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("fresh");
  ASSERT_TRUE(p);
  EXPECT_TRUE(fs::is_directory(folder("fresh")));
  EXPECT_FALSE(fs::exists(folder("fresh") / "Project.plist")) << "written at the first save";
  ASSERT_EQ(p->imagesArray().size(), 1u);
  const FrameRecord& frame = p->imagesArray()[0];
  ASSERT_EQ(frame.laysArray.size(), 2u);
  const LayerRecord& middle = p->laysDictionary().at(frame.laysArray[0]);
  const LayerRecord& front = p->laysDictionary().at(frame.laysArray[1]);
  EXPECT_EQ(middle.layPosition, 1);
  EXPECT_EQ(front.layPosition, 2);
  EXPECT_EQ(middle.refPageArray, std::vector<int>{1});
  EXPECT_EQ(front.refPageArray, std::vector<int>{1});
  EXPECT_FALSE(middle.isLayOpen.has_value());
  EXPECT_EQ(front.isLayOpen, true);
  std::set<std::string> ids{frame.laysArray[0], frame.laysArray[1], frame.iconName};
  EXPECT_EQ(ids.size(), 3u);
  EXPECT_EQ(p->animationSpeed(), 0.25f);
  EXPECT_EQ(p->description(), "");
  EXPECT_TRUE(p->isOpenBackground());
  EXPECT_EQ(p->backgroundType(), 0);
  EXPECT_EQ(p->dataVersion(), 100);
  EXPECT_EQ(ProjectDataModel::initWithProjectName("bad/name"), nullptr);
  EXPECT_EQ(ProjectDataModel::initWithProjectName(".."), nullptr);
  EXPECT_FALSE(p->setCurProjectName(""));
  EXPECT_EQ(p->curProjectName(), "fresh");
}

TEST_F(ProjectFileTest, WhatIsSavedReadsBackEqual) {
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("round");
  p->createImageAtPage(1);
  p->createImageAtPage(2);
  p->deleteImageAtPage(3, false);
  ASSERT_TRUE(p->setRepeatRunAtPage(2, 2));
  p->moveImageToTemporaryWithPage(1);
  p->setAnimationSpeed(0.5f);
  p->setCurBackgroundName("USmine.png");
  p->setIsOpenBackground(false);
  p->setDescription("a test");
  p->setAudioName("old.caf");
  p->setSoundTags({SoundTag{"Rec1.caf", {{49.5f, 120.25f}}, {{1, 2}}}});
  ASSERT_TRUE(p->saveData());

  std::shared_ptr<ProjectDataModel> q = ProjectDataModel::initWithProjectName("round");
  EXPECT_EQ(q->imagesArray(), p->imagesArray());
  EXPECT_EQ(q->temporarysArray(), p->temporarysArray());
  EXPECT_EQ(q->laysDictionary(), p->laysDictionary());
  EXPECT_EQ(q->animationSpeed(), 0.5f);
  EXPECT_EQ(q->curBackgroundName(), "USmine.png");
  EXPECT_EQ(q->backgroundType(), 2);
  EXPECT_FALSE(q->isOpenBackground());
  EXPECT_EQ(q->description(), "a test");
  EXPECT_EQ(q->audioName(), "old.caf");
  EXPECT_EQ(q->soundTags(), p->soundTags());
  EXPECT_FALSE(q->isNewVersion());

  fd::Expected<fd::Value> raw = fd::readPropertyList(p->plistFilePath());
  ASSERT_TRUE(raw);
  EXPECT_EQ((*raw)["Version"].intValue(), 104);
  EXPECT_EQ((*raw)["ProjectDataVersion"].intValue(), 100);
  EXPECT_TRUE((*raw)["temporarysArray"].isArray());
  EXPECT_TRUE((*raw)["soundTagViewFrame"].isArray());
  EXPECT_EQ((*raw)["ImagesArray"].at(0)["kReapeatNumber"].intValue(), 2);
}

TEST_F(ProjectFileTest, ABinaryPropertyListReadsToo) {
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("bin");
  p->createImageAtPage(1);
  p->setSoundTags({SoundTag{"x.caf", std::nullopt, std::nullopt}});
  p->saveData();
  std::string xml = model_test::readText(p->plistFilePath());
  plist_t node = nullptr;
  plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &node);
  ASSERT_NE(node, nullptr);
  char* bin = nullptr;
  uint32_t length = 0;
  plist_to_bin(node, &bin, &length);
  plist_free(node);
  ASSERT_NE(bin, nullptr);
  ASSERT_TRUE(fd::files::writeFileAtomically(p->plistFilePath(), bin, length));
  free(bin);
  ASSERT_EQ(model_test::readText(p->plistFilePath()).rfind("bplist", 0), 0u);

  std::shared_ptr<ProjectDataModel> q = ProjectDataModel::initWithProjectName("bin");
  EXPECT_EQ(q->imagesArray(), p->imagesArray());
  EXPECT_EQ(q->laysDictionary(), p->laysDictionary());
  EXPECT_EQ(q->soundNameArray(), std::vector<std::string>{"x.caf"});
}

TEST_F(ProjectFileTest, MissingKeysTakeTheirDefaults) {
  writePlist("sparse", fd::Value(fd::Dictionary{{"Version", fd::Value(104)}}));
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("sparse");
  EXPECT_TRUE(p->isOpenBackground()) << "no isBackgroundOpen: the background shows";
  EXPECT_EQ(p->animationSpeed(), 0.25f);
  EXPECT_EQ(p->frameLayCount(), 2);
  ASSERT_EQ(p->imagesArray().size(), 1u) << "a project without frames gets one empty frame";
  EXPECT_EQ(p->laysDictionary().size(), 2u);
  EXPECT_TRUE(p->soundTagPointsArray().empty());
  EXPECT_FALSE(p->description().has_value());
  EXPECT_EQ(p->dataType(), 1);
}

TEST_F(ProjectFileTest, WrongTypesAndHostileNamesLoadWhatTheyCan) {
  fd::Dictionary goodFrame{{"LaysArray", fd::Value(fd::Array{fd::Value("L1"), fd::Value("L2")})},
                           {"IconName", fd::Value("I1")}};
  fd::Array frames{
      fd::Value(goodFrame),
      fd::Value("not a frame"),
      fd::Value(fd::Dictionary{{"LaysArray", fd::Value(fd::Array{fd::Value("../../escape")})}, {"IconName", fd::Value("I2")}}),
      fd::Value(fd::Dictionary{{"LaysArray", fd::Value(fd::Array{fd::Value("L3")})}, {"IconName", fd::Value("../I3")}}),
      fd::Value(fd::Dictionary{{"LaysArray", fd::Value("L4")}, {"IconName", fd::Value("I4")}}),
      fd::Value(fd::Dictionary{{"IconName", fd::Value(12)}}),
  };
  fd::Dictionary lays{{"L1", fd::Value(fd::Dictionary{{"LayPosition", fd::Value("1")}, {"RefPageArray", fd::Value(7)}})},
                      {"..", fd::Value(fd::Dictionary{{"LayPosition", fd::Value(1)}})},
                      {"L9", fd::Value(3.5)}};
  writePlist("messy", fd::Value(fd::Dictionary{
                          {"Version", fd::Value("104")},
                          {"FrameLayCount", fd::Value(fd::Array{})},
                          {"AnimationSpeed", fd::Value("fast")},
                          {"ImagesArray", fd::Value(frames)},
                          {"temporarysArray", fd::Value(fd::Dictionary{})},
                          {"LaysDictionary", fd::Value(lays)},
                          {"BackgroundName", fd::Value("../../../etc/passwd")},
                          {"isBackgroundOpen", fd::Value(fd::Array{})},
                          {"Description", fd::Value(5)},
                          {"SoundTagViewPoints", fd::Value(fd::Array{fd::Value("49"), fd::Value(fd::Array{})})},
                          {"SoundNameArray", fd::Value("x")},
                          {"soundTagViewFrame", fd::Value(fd::Array{fd::Value(1), fd::Value(2.9)})},
                      }));
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("messy");
  ASSERT_EQ(p->imagesArray().size(), 1u);
  EXPECT_EQ(p->imagesArray()[0].iconName, "I1");
  EXPECT_EQ(p->laysDictionary().at("L1").layPosition, 1);
  EXPECT_TRUE(p->laysDictionary().at("L1").refPageArray.empty());
  EXPECT_EQ(p->laysDictionary().at("L2").layPosition, 2) << "a named layer without a record gets one";
  EXPECT_EQ(p->laysDictionary().at("L2").refPageArray, std::vector<int>{1});
  EXPECT_FALSE(p->laysDictionary().contains(".."));
  EXPECT_FALSE(p->laysDictionary().contains("L9"));
  EXPECT_EQ(p->animationSpeed(), 0.25f);
  EXPECT_EQ(p->frameLayCount(), 2);
  EXPECT_FALSE(p->curBackgroundName().has_value());
  EXPECT_FALSE(p->backgroundFullPath().has_value());
  EXPECT_TRUE(p->isOpenBackground());
  EXPECT_FALSE(p->description().has_value());
  EXPECT_EQ(p->soundTagPointsArray(), (std::vector<float>{49.0f, 0.0f}));
  EXPECT_TRUE(p->soundNameArray().empty());
  EXPECT_EQ(p->soundFrameArray(), (std::vector<int>{1, 2}));
  EXPECT_TRUE(p->temporarysArray().empty());
  EXPECT_FALSE(p->isNewVersion());
  // Operations on what was loaded stay inside the folder.
  EXPECT_TRUE(p->deleteImageAtPage(1, false));
  EXPECT_EQ(p->imagesArray().size(), 1u);
  EXPECT_FALSE(p->soundFilePathWithName("../x.caf"));
}

// A project stored with fewer layers per frame than every frame has: frames
// added after loading must still name only layers that have records, so what
// is saved reads back the same.
TEST_F(ProjectFileTest, ALayerCountBelowTwoIsRepairedOnLoad) {
  for (int stored : {1, 0, -5}) {
    const std::string name = "one-layer" + std::to_string(stored + 10);
    std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName(name);
    ASSERT_TRUE(p->saveData());
    fd::Value v = *fd::readPropertyList(p->plistFilePath());
    v["FrameLayCount"] = fd::Value(stored);
    ASSERT_TRUE(fd::writePropertyList(p->plistFilePath(), v));

    std::shared_ptr<ProjectDataModel> q = ProjectDataModel::initWithProjectName(name);
    EXPECT_EQ(q->frameLayCount(), 2) << stored;
    ASSERT_TRUE(q->createImageAtPage(2));
    ASSERT_TRUE(q->copyImageAtPage(1));
    for (const FrameRecord& r : q->imagesArray()) {
      for (const std::string& id : r.laysArray) EXPECT_TRUE(q->laysDictionary().contains(id)) << stored << " " << id;
    }
    ASSERT_TRUE(q->saveData());
    std::shared_ptr<ProjectDataModel> back = ProjectDataModel::initWithProjectName(name);
    EXPECT_EQ(back->imagesArray(), q->imagesArray()) << stored;
    EXPECT_EQ(back->laysDictionary(), q->laysDictionary()) << stored;
  }
}

// Numbers at the ends of the int range, as an imported package may carry,
// are kept out of page arithmetic: a page reference beyond any project is
// dropped, a tag frame is held within the page range.
TEST_F(ProjectFileTest, ExtremeStoredNumbersAreRangeCheckedOnLoad) {
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("extreme");
  p->createImageAtPage(1);
  ASSERT_TRUE(p->saveData());
  fd::Value v = *fd::readPropertyList(p->plistFilePath());
  const std::string firstLayer = p->imagesArray()[0].laysArray[0];
  const std::string lastLayer = p->imagesArray()[1].laysArray[1];
  v["LaysDictionary"][firstLayer]["RefPageArray"] =
      fd::Array{fd::Value(1), fd::Value(2147483647), fd::Value(int64_t{1} << 40), fd::Value(-2147483647 - 1)};
  v["LaysDictionary"][lastLayer]["RefPageArray"] = fd::Array{fd::Value(2), fd::Value(1e300), fd::Value("99999999999")};
  v["soundTagViewFrame"] = fd::Array{fd::Value(-2147483647 - 1), fd::Value(2147483647)};
  v["SoundTagViewPoints"] = fd::Array{fd::Value(49.0), fd::Value(379.0)};
  v["SoundNameArray"] = fd::Array{fd::Value("a.caf")};
  ASSERT_TRUE(fd::writePropertyList(p->plistFilePath(), v));

  std::shared_ptr<ProjectDataModel> q = ProjectDataModel::initWithProjectName("extreme");
  EXPECT_EQ(q->layMarks(firstLayer), std::vector<int>{1});
  EXPECT_EQ(q->layMarks(lastLayer), std::vector<int>{2});
  ASSERT_EQ(q->soundFrameArray().size(), 2u);
  EXPECT_LE(-kMaxPageNumber, q->soundFrameArray()[0]);
  EXPECT_LT(q->soundFrameArray()[0], 1);
  EXPECT_EQ(q->soundFrameArray()[1], kMaxPageNumber);
  // Page arithmetic over what was loaded (the sanitizer build aborts on an
  // overflow here).
  ASSERT_TRUE(q->createImageAtPage(1));
  ASSERT_TRUE(q->createImageAtPage(4));
  ASSERT_TRUE(q->moveImageFrom(1, 3));
  ASSERT_TRUE(q->deleteImageAtPage(2, false));
  q->renameAllWithPageStart(5);

  // The older layout's tag points come from the range-checked frames too.
  ASSERT_TRUE(package_format::convertToOlderFormat(folder("extreme")));
  fd::Value older = *fd::readPropertyList(folder("extreme") / "Project.plist");
  std::vector<float> points;
  for (const fd::Value& x : *older["SoundTagViewPoints"].array()) points.push_back(x.floatValue());
  EXPECT_EQ(points, package_format::olderTagPoints({-kMaxPageNumber, kMaxPageNumber}, 2));
}

// What the program wrote reads back and is written again byte for byte, with
// runs, a parked record, hidden layers and sound tags whose stored lists have
// unequal lengths (a tag without a name, a name without a tag).
TEST_F(ProjectFileTest, ASavedProjectIsWrittenAgainByteForByte) {
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("bytes");
  for (int i = 1; i < 6; ++i) ASSERT_TRUE(p->createImageAtPage(i));
  ASSERT_TRUE(p->setRepeatRunAtPage(2, 3));
  ASSERT_TRUE(p->moveImageToTemporaryWithPage(6));
  p->setLayStateIsOpen(false, 1, 1, false);
  ASSERT_TRUE(p->saveData());
  fd::Value v = *fd::readPropertyList(p->plistFilePath());
  v["SoundTagViewPoints"] = fd::Array{fd::Value(49.0), fd::Value(100.5), fd::Value(120.0), fd::Value(200.0)};
  v["SoundNameArray"] = fd::Array{fd::Value("a.caf")};
  v["soundTagViewFrame"] = fd::Array{fd::Value(1), fd::Value(3), fd::Value(4), fd::Value(6), fd::Value(7),
                                     fd::Value(8)};
  ASSERT_TRUE(fd::writePropertyList(p->plistFilePath(), v));
  const std::string written = model_test::readText(p->plistFilePath());

  std::shared_ptr<ProjectDataModel> q = ProjectDataModel::initWithProjectName("bytes");
  ASSERT_EQ(q->soundTags().size(), 3u);
  EXPECT_EQ(q->soundTags()[0], (SoundTag{"a.caf", {{49.0f, 100.5f}}, {{1, 3}}}));
  EXPECT_EQ(q->soundTags()[2], (SoundTag{std::nullopt, std::nullopt, {{7, 8}}}));
  ASSERT_TRUE(q->saveData());
  EXPECT_EQ(model_test::readText(q->plistFilePath()), written);
  EXPECT_EQ(q->frames(), p->frames());
}

TEST_F(ProjectFileTest, SoundTagListsOfOddLengthLoseOnlyTheUnpairedValue) {
  const SoundTagLists stored{{49, 60, 70}, {"a", "b"}, {1}};
  const std::vector<SoundTag> tags = soundTagsFromLists(stored);
  ASSERT_EQ(tags.size(), 2u);
  EXPECT_EQ(tags[0], (SoundTag{"a", {{49, 60}}, std::nullopt}));
  EXPECT_EQ(tags[1], (SoundTag{"b", std::nullopt, std::nullopt}));
  EXPECT_EQ(soundTagListsOf(tags), (SoundTagLists{{49, 60}, {"a", "b"}, {}}));
  EXPECT_TRUE(soundTagsFromLists({}).empty());
}

// A Project.plist the program opens is one it opens again once it has saved
// it, its description's markup written as entities; one whose written form
// would pass the bound is refused when the project is opened, set aside and
// told, and the project opens afresh beside it.
TEST_F(ProjectFileTest, AProjectOpenedOpensAgainOnceSaved) {
  testing_support::ScopedListFileBound bound(64 << 10);
  fd::takeDamagedFileReports();
  const auto described = [](std::size_t marks) {
    const std::string xml = "<plist version=\"1.0\"><dict><key>Description</key><string><![CDATA[" +
                            std::string(marks, '&') + "]]></string></dict></plist>";
    return fd::Data(xml.begin(), xml.end());
  };
  fs::create_directories(folder("marks"));
  ASSERT_TRUE(fd::files::writeFileAtomically(folder("marks") / "Project.plist", described(12000)));
  {
    std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("marks");
    EXPECT_EQ(p->description(), std::string(12000, '&'));
    ASSERT_TRUE(p->saveData());
  }
  EXPECT_EQ(ProjectDataModel::initWithProjectName("marks")->description(), std::string(12000, '&'));
  EXPECT_TRUE(fd::takeDamagedFileReports().empty());

  const fd::Data past = described(14000);
  ASSERT_TRUE(fd::files::writeFileAtomically(folder("marks") / "Project.plist", past));
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("marks");
  EXPECT_EQ(p->description().value_or(""), "") << "opened afresh";
  const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].kind, fd::DamagedFileReport::Kind::Project);
  EXPECT_EQ(reports[0].name, "marks");
  EXPECT_TRUE(reports[0].reason.starts_with("it is too large to open: its file of ")) << reports[0].reason;
  EXPECT_EQ(testing_support::fileBytes(reports[0].keptAs), past);
  ASSERT_TRUE(p->saveData());
  EXPECT_EQ(ProjectDataModel::initWithProjectName("marks")->description().value_or(""), "");
  EXPECT_TRUE(fd::takeDamagedFileReports().empty());
}

// A list the program's own edits grow past what the next start reads is not
// written over: the save fails, the list saved last stays, and the user is
// told once however often the desk saves; once a list fits and is written
// again, the next refusal is told again.
TEST_F(ProjectFileTest, AListGrownPastWhatIsReadKeepsTheLastAndIsToldOnce) {
  constexpr std::uint64_t kBound = 64 << 10;
  testing_support::ScopedListFileBound bound(kBound);
  fd::takeDamagedFileReports();
  takeProjectNotices();
  const fs::path list = folder("grown") / "Project.plist";
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("grown");
  ASSERT_TRUE(p->saveData());
  const std::string described(kBound - 150 - *fd::files::fileSize(list), 'x');
  p->setDescription(described);
  ASSERT_TRUE(p->saveData());
  ASSERT_EQ(*fd::files::fileSize(list), kBound - 150) << "150 bytes under the bound";
  const std::optional<fd::Data> saved = testing_support::fileBytes(list);

  for (int i = 0; i < 3; ++i) ASSERT_TRUE(p->createImageAtPage(static_cast<int>(p->imagesArray().size()) + 1));
  EXPECT_FALSE(p->saveData());
  p->saveDataInBackground();
  ProjectDataModel::waitForImageWrites();
  ASSERT_TRUE(p->unsavedList().has_value()) << "the list on disk is taken for the project";
  EXPECT_EQ(p->unsavedList()->kind, ProjectNotice::Kind::ListNotSaved);
  EXPECT_FALSE(p->saveData());
  EXPECT_TRUE(testing_support::fileBytes(list) == saved) << "the list saved last is written over";
  {
    const std::shared_ptr<ProjectDataModel> again = ProjectDataModel::initWithProjectName("grown");
    EXPECT_FALSE(again->keptDamagedFile());
    EXPECT_EQ(again->imagesArray().size(), 1u);
    EXPECT_TRUE(again->description() == described);
  }
  EXPECT_TRUE(fd::takeDamagedFileReports().empty()) << "the list on disk was refused at its read";
  std::vector<ProjectNotice> told = takeProjectNotices();
  ASSERT_EQ(told.size(), 1u) << "the user is told once";
  EXPECT_EQ(told[0].kind, ProjectNotice::Kind::ListNotSaved);
  EXPECT_EQ(told[0].project, "grown");
  EXPECT_NE(told[0].reason.find("it is too large to keep, as it would be saved as "), std::string::npos) << told[0].reason;

  p->setDescription("");
  ASSERT_TRUE(p->saveData());
  EXPECT_EQ(ProjectDataModel::initWithProjectName("grown")->imagesArray().size(), 4u);
  EXPECT_TRUE(takeProjectNotices().empty());
  p->setDescription(described);
  EXPECT_FALSE(p->saveData());
  EXPECT_EQ(takeProjectNotices().size(), 1u) << "a refusal after a written list is told again";
}

// A list the disk refuses, at its bytes or at its rename, in a save or in
// the write queue's: what only it holds (a description) stays in memory,
// noted as not on disk, the list saved last stays there, and the first save
// the disk takes stores it.
TEST_F(ProjectFileTest, AListTheDiskRefusesStaysNotedUntilASaveStoresIt) {
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("held");
  ASSERT_TRUE(p->saveData());
  const fs::path list = p->plistFilePath();
  for (const fd::files::FaultAt at : {fd::files::FaultAt::Bytes, fd::files::FaultAt::Rename}) {
    for (const bool queued : {false, true}) {
      SCOPED_TRACE(std::string(at == fd::files::FaultAt::Rename ? "rename" : "bytes") + (queued ? " queued" : ""));
      const std::optional<fd::Data> saved = testing_support::fileBytes(list);
      const std::string described = "take " + std::to_string(static_cast<int>(at)) + (queued ? " queued" : "");
      p->setDescription(described);
      fd::files::setWriteFaultForTesting([&](const fs::path& file) { return file == list ? ENOSPC : 0; }, at);
      if (queued) {
        p->saveDataInBackground();
        ProjectDataModel::waitForImageWrites();
      } else {
        EXPECT_FALSE(p->saveData());
      }
      fd::files::setWriteFaultForTesting({});
      ASSERT_TRUE(p->unsavedList().has_value());
      EXPECT_EQ(p->unsavedList()->kind, ProjectNotice::Kind::ListNotWritten);
      EXPECT_EQ(p->unsavedList()->reason, "the disk is full");
      EXPECT_TRUE(testing_support::fileBytes(list) == saved) << "the list on disk changed";
      EXPECT_TRUE(p->saveData());
      EXPECT_FALSE(p->unsavedList().has_value());
      EXPECT_EQ(ProjectDataModel::initWithProjectName("held")->description(), described);
    }
  }
  takeProjectNotices();
}

TEST_F(ProjectFileTest, UnreadablePlistMakesANewProjectAndKeepsThePageFiles) {
  fs::create_directories(folder("broken"));
  std::ofstream(folder("broken") / "Project.plist") << "<plist><dict><key>";
  model_test::writeTinyPng(folder("broken") / "old.png");
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("broken");
  EXPECT_EQ(p->imagesArray().size(), 1u);
  EXPECT_TRUE(fs::exists(folder("broken") / "old.png"));
}

TEST_F(ProjectFileTest, OldProjectsGetTheirSoundAsATag) {
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("old");
  for (int i = 1; i < 10; ++i) p->createImageAtPage(i);
  p->saveData();
  fd::Expected<fd::Value> v = fd::readPropertyList(p->plistFilePath());
  fd::Dictionary d = *v->dictionary();
  d["Version"] = fd::Value(103);
  d.erase("SoundTagViewPoints");
  d.erase("SoundNameArray");
  d.erase("soundTagViewFrame");
  d["AudioName"] = fd::Value("theme.caf");
  ASSERT_TRUE(fd::writePropertyList(p->plistFilePath(), fd::Value(d)));
  ASSERT_TRUE(media::writeMonoCaf(folder("old") / "audio.caf", std::vector<float>(70560, 0.1f)));  // 1.6 s

  std::shared_ptr<ProjectDataModel> q = ProjectDataModel::initWithProjectName("old");
  EXPECT_TRUE(q->isNewVersion());
  EXPECT_EQ(q->soundTagPointsArray(), (std::vector<float>{49.0f, 379.0f}));
  EXPECT_EQ(q->soundNameArray(), std::vector<std::string>{"theme.caf"});
  EXPECT_EQ(q->soundFrameArray(), (std::vector<int>{1, 10}));
  EXPECT_EQ(q->audioPath(), folder("old") / "audio.caf");

  d.erase("AudioName");
  ASSERT_TRUE(fd::writePropertyList(p->plistFilePath(), fd::Value(d)));
  EXPECT_EQ(ProjectDataModel::initWithProjectName("old")->soundNameArray(), std::vector<std::string>{"audio.caf"});

  d["Version"] = fd::Value(104);
  ASSERT_TRUE(fd::writePropertyList(p->plistFilePath(), fd::Value(d)));
  EXPECT_TRUE(ProjectDataModel::initWithProjectName("old")->soundNameArray().empty());
}

TEST_F(ProjectFileTest, TheOldColourBackgroundBecomesAUserPicture) {
  writePlist("colour", fd::Value(fd::Dictionary{{"Version", fd::Value(104)},
                                                {"BackgroundName", fd::Value("BCBackgroundColor.png")},
                                                {"BackgroundType", fd::Value(0)}}));
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("colour");
  const std::string name = p->curBackgroundName().value_or("");
  EXPECT_EQ(name.substr(0, 2), "US");
  EXPECT_EQ(name.substr(name.size() - 4), ".png");
  EXPECT_EQ(name.size(), 2u + 17u + 4u);
  EXPECT_EQ(p->backgroundType(), 2);
}

TEST_F(ProjectFileTest, AProjectFolderInDocumentsMovesToTheLibrary) {
  fs::create_directories(fd::paths::documents() / "legacy");
  model_test::writeTinyPng(fd::paths::documents() / "legacy" / "page.png");
  ASSERT_TRUE(fd::writePropertyList(fd::paths::documents() / "legacy" / "Project.plist",
                                    fd::Value(fd::Dictionary{{"Version", fd::Value(104)}})));
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("legacy");
  EXPECT_EQ(p->projectDicPath(), folder("legacy"));
  EXPECT_TRUE(fs::exists(folder("legacy") / "page.png"));
  EXPECT_FALSE(fs::exists(fd::paths::documents() / "legacy"));
}

TEST_F(ProjectFileTest, PagePathsAnswerNothingOutOfRange) {
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("paths");
  p->createImageAtPage(1);
  p->moveImageToTemporaryWithPage(2);
  p->createImageAtPage(1);
  const fs::path dir = folder("paths");
  EXPECT_FALSE(p->iconFullPathAtPage(0, false));
  EXPECT_FALSE(p->iconFullPathAtPage(3, false));
  EXPECT_FALSE(p->iconFullPathAtPage(2, true));
  const std::string trayIcon = p->temporarysArray()[0].iconName;
  EXPECT_EQ(p->iconFullPathAtPage(1, true), dir / (trayIcon + "Icon.png"));
  EXPECT_EQ(p->iconAtPage(2, false), p->imagesArray()[1].iconName + "Icon");
  EXPECT_EQ(p->snapshotFullPathAtPage(2, false), dir / (p->imagesArray()[1].iconName + "Snapshot.png"));
  EXPECT_EQ(p->snapshotIconFullPathAtPage(1, false), dir / (p->imagesArray()[0].iconName + "SnapshotIcon.png"));
  EXPECT_EQ(p->layFullPathAtPage(1, false, 2), dir / (p->imagesArray()[0].laysArray[1] + ".png"));
  EXPECT_FALSE(p->layFullPathAtPage(1, false, 0));
  EXPECT_FALSE(p->layFullPathAtPage(1, false, 3));
  EXPECT_FALSE(p->laysAtPage(5, false));
  EXPECT_FALSE(p->audioPath());
}

// A new frame never takes an id whose files an earlier run left in the
// folder, even when the clock reads exactly those ids again.
TEST_F(ProjectFileTest, NewIdsSkipFilesAlreadyInTheFolder) {
  using namespace std::chrono;
  system_clock::time_point now = system_clock::now();
  fd::setTimestampClockForTesting([&] { return now; }, [&](milliseconds d) { now += d; });
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("ids");
  std::set<std::string> taken;
  const char* suffixes[] = {".png", "Icon.png", "Snapshot.png"};
  for (int i = 1; i <= 9; ++i) {
    const std::string id = fd::formatTimestampId(now + milliseconds{i});
    model_test::writeTinyPng(folder("ids") / (id + suffixes[i % 3]));
    taken.insert(id);
  }
  ASSERT_TRUE(p->createImageAtPage(1));
  ASSERT_TRUE(p->copyImageAtPage(1));
  fd::setTimestampClockForTesting({});
  std::set<std::string> used;
  for (const FrameRecord& r : p->imagesArray()) {
    used.insert(r.iconName);
    used.insert(r.laysArray.begin(), r.laysArray.end());
  }
  EXPECT_EQ(used.size(), 9u);
  for (const std::string& id : used) EXPECT_FALSE(taken.contains(id)) << id;
}

// A program started again right after another made a burst of frames (and
// saved them) draws its new frames into files of their own.
TEST_F(ProjectFileTest, AStartRightAfterABurstOfFramesOverwritesNoPicture) {
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("burst");
  auto first = testing_support::runInChild([&] {
    for (int i = 0; i < 200; ++i) p->createImageAtPage(static_cast<int>(p->imagesArray().size()));
    p->saveData();
    // The last frames, whose ids are the furthest on, are drawn.
    for (int page = 181; page <= 201; ++page) {
      for (int position : {1, 2}) model_test::writeTinyPng(*p->layFullPathAtPage(page, false, position), 1);
    }
  });
  auto second = testing_support::runInChild([&] {
    std::shared_ptr<ProjectDataModel> q = ProjectDataModel::initWithProjectName("burst");
    for (int i = 0; i < 20; ++i) {
      ASSERT_TRUE(q->createImageAtPage(static_cast<int>(q->imagesArray().size())));
      // The canvas draws the new frame's layers.
      const int page = static_cast<int>(q->imagesArray().size());
      model_test::writeTinyPng(*q->layFullPathAtPage(page, false, 1), 2);
      model_test::writeTinyPng(*q->layFullPathAtPage(page, false, 2), 2);
    }
    q->saveData();
  });
  ASSERT_TRUE(first.exited && first.exitCode == 0);
  ASSERT_TRUE(second.exited && second.exitCode == 0);
  std::shared_ptr<ProjectDataModel> result = ProjectDataModel::initWithProjectName("burst");
  ASSERT_EQ(result->imagesArray().size(), 221u);
  const fs::path reference = folder("reference.png");
  model_test::writeTinyPng(reference, 2);
  std::set<std::string> layers;
  int redrawn = 0;
  for (const FrameRecord& r : result->imagesArray()) {
    for (const std::string& id : r.laysArray) EXPECT_TRUE(layers.insert(id).second) << "two frames share " << id;
    if (model_test::readText(folder("burst") / (r.laysArray[1] + ".png")) == model_test::readText(reference)) ++redrawn;
  }
  EXPECT_EQ(redrawn, 20) << "only the second run's frames hold its pictures";
}

TEST_F(ProjectFileTest, IdsNeverRepeat) {
  std::set<std::string> ids;
  for (int i = 0; i < 2000; ++i) ids.insert(ProjectDataModel::dateString());
  EXPECT_EQ(ids.size(), 2000u);
  for (const std::string& id : ids) EXPECT_EQ(id.size(), 17u);
}

}  // namespace
