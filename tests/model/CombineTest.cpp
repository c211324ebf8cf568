// Combining projects: the sound merge's answer arrives on a worker thread, the
// frames, layers and files of the further projects move into the first, and
// the sound tags are rebuilt on the timeline.
#include <atomic>
#include <fstream>
#include <chrono>
#include <set>
#include <thread>

#include "model/LongProject.h"
#include "model/ModelTestSupport.h"
#include "model/ZipTestSupport.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/StopRequest.h"
#include "platform/foundation/TimestampId.h"
#include "platform/foundation/UserDefaults.h"

namespace {

using model_test::ModelTest;
using model_test::writeTinyPng;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// Answers with fixed names from a thread of its own, as the real merge does.
class ThreadedMerger : public SoundMerger {
 public:
  explicit ThreadedMerger(std::vector<std::string> answer) : answer_(std::move(answer)) {}
  ~ThreadedMerger() override {
    if (worker_.joinable()) worker_.join();
  }
  void setDelegate(SoundMergerDelegate* d) override { delegate_ = d; }
  void mergerAudioOfProjectWithProjectName(const std::vector<std::string>& names) override {
    asked = names;
    worker_ = std::thread([this] { delegate_->combineAudioFinishedwithSoundNameArray(answer_); });
  }
  std::vector<std::string> asked;

 private:
  std::vector<std::string> answer_;
  SoundMergerDelegate* delegate_ = nullptr;
  std::thread worker_;
};

class FinishRecorder : public ZTDataModelDelegate {
 public:
  void combineFinish() override {
    finished = true;
    onMain = fd::isMainThread();
  }
  std::atomic<bool> finished{false};
  bool onMain = false;
};

class CombineTest : public ModelTest {
 protected:
  // A project of `frames` frames with one tag on frames 1..2 (when sound is
  // given) and a file for every layer and icon.
  void makeProject(const std::string& name, int frames, const std::optional<std::string>& sound) {
    ZTDataModel& m = ZTDataModel::sharedInstance();
    ASSERT_TRUE(m.createProject(name, name + " description"));
    ProjectDataModel& p = *m.prjDataModel();
    for (int i = 1; i < frames; ++i) ASSERT_TRUE(p.createImageAtPage(i));
    for (int page = 1; page <= frames; ++page) {
      writeTinyPng(*p.layFullPathAtPage(page, false, 1));
      writeTinyPng(*p.layFullPathAtPage(page, false, 2));
      writeTinyPng(*p.iconFullPathAtPage(page, false));
      writeTinyPng(*p.snapshotFullPathAtPage(page, false));
    }
    if (sound) {
      p.setSoundTags({SoundTag{*sound, {{49.0f, 100.0f}}, {{1, 2}}}});
    }
    m.saveData();
  }

  void TearDown() override {
    fd::setTimestampClockForTesting({});
    fd::files::setWriteFaultForTesting({});
    fd::clearStopRequest();
    ModelTest::TearDown();
  }

  static fs::path folderOf(const std::string& name) { return fd::paths::library() / "Projects" / name; }

  // A (2 frames) and B (3), saved, while the project open is another.
  void makeAAndBWhileAnotherIsOpen() {
    makeProject("A", 2, std::nullopt);
    makeProject("B", 3, std::nullopt);
    ZTDataModel& m = ZTDataModel::sharedInstance();
    m.setCurProjectName("test");
    m.prjDataModel()->setCurProjectName("test");
    m.saveData();
  }

  // Each frame's layer, icon and snapshot bytes, in page order, project
  // after project.
  static std::vector<std::string> pageBytes(const std::vector<std::string>& projects) {
    std::vector<std::string> bytes;
    for (const std::string& project : projects) {
      std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName(project);
      for (int page = 1; page <= static_cast<int>(p->imagesArray().size()); ++page) {
        for (int position : {1, 2}) bytes.push_back(model_test::readText(*p->layFullPathAtPage(page, false, position)));
        bytes.push_back(model_test::readText(*p->iconFullPathAtPage(page, false)));
        bytes.push_back(model_test::readText(*p->snapshotFullPathAtPage(page, false)));
      }
    }
    return bytes;
  }

  void runUntilFinished(FinishRecorder& recorder) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!recorder.finished && std::chrono::steady_clock::now() < deadline) {
      fd::RunLoop::main().runUntilIdle();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(recorder.finished);
  }
};

TEST_F(CombineTest, TwoProjectsWithSoundGiveTwoTagsOnTheMergedTimeline) {
  makeProject("A", 3, "a.caf");
  makeProject("B", 2, "b.caf");
  ZTDataModel& m = ZTDataModel::sharedInstance();
  ASSERT_EQ(m.curProjectName(), "B");
  std::shared_ptr<ThreadedMerger> merger;
  SoundMerger::setFactory([&] { return merger = std::make_shared<ThreadedMerger>(std::vector<std::string>{"RecA.caf", "RecB.caf"}); });
  FinishRecorder recorder;
  m.setDelegate(&recorder);

  m.combineSoundFileWithProject({"A", "B"});
  runUntilFinished(recorder);
  EXPECT_TRUE(recorder.onMain) << "the combination goes on on the main thread";
  EXPECT_EQ(merger->asked, (std::vector<std::string>{"A", "B"}));

  std::shared_ptr<ProjectDataModel> t = ProjectDataModel::initWithProjectName("A");
  EXPECT_EQ(t->imagesArray().size(), 5u);
  EXPECT_EQ(t->soundFrameArray(), (std::vector<int>{1, 2, 4, 5}));
  EXPECT_EQ(t->soundTagPointsArray(), (std::vector<float>{49.0f, 106.0f, 247.0f, 304.0f}));
  EXPECT_EQ(t->soundNameArray(), (std::vector<std::string>{"RecA.caf", "RecB.caf"}));
  EXPECT_EQ(m.extendDataModel().limitFramesDict().at("RecA.caf"), 8);
  EXPECT_EQ(m.extendDataModel().limitFramesDict().at("RecB.caf"), 8);
  fd::Expected<fd::Value> limits = fd::readPropertyList(ExtendDataModel::limitFramesPath());
  ASSERT_TRUE(limits);
  EXPECT_EQ((*limits)["RecB.caf"].intValue(), 8);

  EXPECT_EQ(m.projectsNameArray(), (std::vector<std::string>{"test", "A"}));
  EXPECT_EQ(m.curProjectName(), "A") << "the current project was merged away";
  EXPECT_EQ(m.prjDataModel()->imagesArray().size(), 5u);
  EXPECT_EQ(m.prjDataModel()->frames().brokenInvariant(), std::nullopt);
  EXPECT_FALSE(fs::exists(fd::paths::library() / "Projects" / "B"));

  // Every page's files are in the merged folder, under ids used once.
  std::set<std::string> ids;
  for (int page = 1; page <= 5; ++page) {
    for (int pos = 1; pos <= 2; ++pos) {
      OptionalPath layer = t->layFullPathAtPage(page, false, pos);
      EXPECT_TRUE(fs::exists(*layer)) << layer->string();
      ids.insert(layer->filename().string());
    }
    EXPECT_TRUE(fs::exists(*t->iconFullPathAtPage(page, false)));
    EXPECT_TRUE(fs::exists(*t->snapshotFullPathAtPage(page, false)));
    ids.insert(t->imagesArray()[page - 1].iconName);
  }
  EXPECT_EQ(ids.size(), 15u);
  EXPECT_EQ(t->laysDictionary().size(), 10u);
  // B's layers now reference the pages they landed on.
  const std::string bFirstLayer = t->imagesArray()[3].laysArray[0];
  EXPECT_EQ(t->laysDictionary().at(bFirstLayer).refPageArray, std::vector<int>{4});
  m.setDelegate(nullptr);
}

TEST_F(CombineTest, AFirstProjectWithoutSoundGivesNoTags) {
  makeProject("A", 2, std::nullopt);
  makeProject("B", 2, "b.caf");
  ZTDataModel& m = ZTDataModel::sharedInstance();
  SoundMerger::setFactory([] { return std::make_shared<ThreadedMerger>(std::vector<std::string>{"RecB.caf"}); });
  FinishRecorder recorder;
  m.setDelegate(&recorder);
  m.combineSoundFileWithProject({"A", "B"});
  runUntilFinished(recorder);
  std::shared_ptr<ProjectDataModel> t = ProjectDataModel::initWithProjectName("A");
  EXPECT_EQ(t->imagesArray().size(), 4u);
  EXPECT_TRUE(t->soundFrameArray().empty());
  EXPECT_TRUE(t->soundTagPointsArray().empty());
  EXPECT_TRUE(t->soundNameArray().empty());
  m.setDelegate(nullptr);
}

TEST_F(CombineTest, WithoutAMergerTheCombinationStillRunsAndReloadsAnOpenTarget) {
  makeProject("A", 2, std::nullopt);
  makeProject("B", 3, std::nullopt);
  ZTDataModel& m = ZTDataModel::sharedInstance();
  m.setCurProjectName("A");
  m.prjDataModel()->setCurProjectName("A");
  std::shared_ptr<ProjectDataModel> open = m.prjDataModel();
  FinishRecorder recorder;
  m.setDelegate(&recorder);
  m.combineSoundFileWithProject({"A", "B", "A", "B"});
  runUntilFinished(recorder);
  EXPECT_EQ(m.prjDataModel(), open);
  EXPECT_EQ(open->imagesArray().size(), 5u) << "a later save must not write back the old two frames";
  m.saveData();
  EXPECT_EQ(ProjectDataModel::initWithProjectName("A")->imagesArray().size(), 5u);
  m.setDelegate(nullptr);
}

// Memory running out while the pages were copied into the first project
// threw out of the combination posted to the main loop, and the copies stayed
// in its folder. Before the first project is saved it answers NO, tells its
// delegate and leaves every project as it was; once it is saved, the first
// holds every frame and the others stay listed, and that is what it says.
TEST_F(CombineTest, ACombinationThatRunsOutOfMemoryIsToldAndLeavesThePagesWhole) {
  makeAAndBWhileAnotherIsOpen();
  ZTDataModel& m = ZTDataModel::sharedInstance();
  FinishRecorder recorder;
  m.setDelegate(&recorder);
  const auto before = ziptest::snapshotTree(root());
  bool combined = true;
  // The second list read is B's, as its pages are about to be copied.
  for (const auto& [step, hit] : std::vector<std::pair<std::string, int>>{{"project.read.frames", 2},
                                                                          {"combine.pages-copied", 1}}) {
    SCOPED_TRACE(step);
    recorder.finished = false;
    fd::armAllocationFailure(step, hit);
    EXPECT_NO_THROW(combined = m.combineProjects({"A", "B"}));
    fd::disarmCrashPoint();
    EXPECT_FALSE(combined);
    EXPECT_TRUE(recorder.finished);
    EXPECT_EQ(m.lastError(), "there was not enough memory for it");
    EXPECT_EQ(m.projectsNameArray(), (Names{"test", "A", "B"}));
    EXPECT_EQ(ziptest::snapshotTree(root()), before) << "the combination left something behind";
  }

  recorder.finished = false;
  fd::armAllocationFailure("combine.target-saved");
  EXPECT_NO_THROW(combined = m.combineProjects({"A", "B"}));
  fd::disarmCrashPoint();
  EXPECT_FALSE(combined);
  EXPECT_TRUE(recorder.finished);
  EXPECT_EQ(m.lastError(), "there was not enough memory to finish once the first had taken their frames");
  std::shared_ptr<ProjectDataModel> a = ProjectDataModel::initWithProjectName("A");
  ASSERT_EQ(a->imagesArray().size(), 5u);
  for (int page = 1; page <= 5; ++page) EXPECT_TRUE(fs::exists(*a->iconFullPathAtPage(page, false))) << page;
  EXPECT_EQ(m.projectsNameArray(), (Names{"test", "A", "B"}));
  EXPECT_EQ(ProjectDataModel::initWithProjectName("B")->imagesArray().size(), 3u);
  m.setDelegate(nullptr);
}

TEST_F(CombineTest, TagsRunningPastTheTimelineAreDroppedWhole) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  std::shared_ptr<ProjectDataModel> t = ProjectDataModel::initWithProjectName("T");
  t->createImageAtPage(1);
  t->setSoundTags(soundTagsFromLists({{}, {}, {1, 9, 1, 2}}));
  ASSERT_EQ(t->imagesArray().size(), 2u);
  m.combineAudioFinishedwithSoundNameArray({"far.caf", "near.caf"});
  fd::RunLoop::main().runUntilIdle();  // the answer is taken on the main loop's turn
  m.combineSoundTagFrameAndPoints(*t);
  EXPECT_EQ(t->soundFrameArray(), (std::vector<int>{1, 2}));
  EXPECT_EQ(t->soundNameArray(), std::vector<std::string>{"near.caf"});
  EXPECT_EQ(t->soundTagPointsArray(), (std::vector<float>{49.0f, 205.0f}));
  EXPECT_EQ(m.extendDataModel().limitFramesDict().count("far.caf"), 0u);
}

// Tag frames at the ends of the int range (an imported package can carry
// them) take part in the merge's offsets and lengths without overflowing; a
// tag that lands past the timeline is dropped as any other.
TEST_F(CombineTest, ExtremeTagFramesCombineWithoutOverflow) {
  makeProject("A", 3, "a.caf");
  makeProject("B", 2, "b.caf");
  auto setTagFrames = [](const std::string& name, fd::Array frames) {
    const fs::path plist = fd::paths::library() / "Projects" / name / "Project.plist";
    fd::Value v = *fd::readPropertyList(plist);
    v["soundTagViewFrame"] = std::move(frames);
    ASSERT_TRUE(fd::writePropertyList(plist, v));
  };
  ZTDataModel& m = ZTDataModel::sharedInstance();
  setTagFrames("A", {fd::Value(-2147483647 - 1), fd::Value(2)});
  setTagFrames("B", {fd::Value(1), fd::Value(2147483647)});
  m.setCurProjectName("A");
  m.prjDataModel()->setCurProjectName("A");
  SoundMerger::setFactory([] { return std::make_shared<ThreadedMerger>(std::vector<std::string>{"RecA.caf", "RecB.caf"}); });
  FinishRecorder recorder;
  m.setDelegate(&recorder);
  m.combineSoundFileWithProject({"A", "B"});
  runUntilFinished(recorder);
  std::shared_ptr<ProjectDataModel> t = ProjectDataModel::initWithProjectName("A");
  EXPECT_EQ(t->imagesArray().size(), 5u);
  EXPECT_EQ(t->soundNameArray(), std::vector<std::string>{"RecA.caf"});
  EXPECT_EQ(t->soundFrameArray(), (std::vector<int>{-kMaxPageNumber, 2}));
  EXPECT_EQ(m.extendDataModel().limitFramesDict().at("RecA.caf"), 2 + kMaxPageNumber);
  EXPECT_EQ(m.extendDataModel().limitFramesDict().count("RecB.caf"), 0u);
  m.setDelegate(nullptr);
}

// A long project chosen second gave each of its layers and frames an id that
// waited for the next millisecond of the clock, and looked through every
// frame for each one: 10,591 frames took 37 s, 100,620 more than 15 minutes.
// Its ids are now drawn without waiting for the clock, and are each used once.
TEST_F(CombineTest, ALongProjectChosenSecondTakesNewIdsWithoutWaitingForTheClock) {
  makeProject("A", 2, std::nullopt);
  constexpr int kFrames = 3000;  // 9000 new ids: fewer than one millisecond of the clock may count
  ASSERT_TRUE(model_test::writeLongProject(folderOf("Long"), kFrames, 0));
  ZTDataModel& m = ZTDataModel::sharedInstance();
  m.setProjectsNameArray({"A", "Long"});
  const std::vector<std::string> pages = pageBytes({"A", "Long"});
  std::set<std::string> oldIds;
  for (int n = 0; n < 3 * kFrames; ++n) oldIds.insert(model_test::longProjectId(0, n));

  using namespace std::chrono;
  system_clock::time_point now = system_clock::now();
  milliseconds waited{0};
  fd::setTimestampClockForTesting([&] { return now; }, [&](milliseconds d) {
    now += d;
    waited += d;
  });
  ASSERT_TRUE(m.combineProjects({"A", "Long"})) << m.lastError();
  EXPECT_EQ(waited, milliseconds{0}) << "ids waited for the clock";
  fd::setTimestampClockForTesting({});

  std::shared_ptr<ProjectDataModel> t = ProjectDataModel::initWithProjectName("A");
  ASSERT_EQ(t->imagesArray().size(), static_cast<std::size_t>(kFrames + 2));
  EXPECT_EQ(t->frames().brokenInvariant(), std::nullopt);
  std::set<std::string> ids;
  for (const FrameRecord& r : t->imagesArray()) {
    EXPECT_TRUE(ids.insert(r.iconName).second) << r.iconName;
    for (const std::string& id : r.laysArray) EXPECT_TRUE(ids.insert(id).second) << id;
  }
  for (const std::string& id : ids) EXPECT_FALSE(oldIds.contains(id)) << id << " kept its old id";
  EXPECT_EQ(t->laysDictionary().size(), static_cast<std::size_t>(2 * kFrames + 4));
  EXPECT_EQ(t->laysDictionary().at(t->imagesArray().back().laysArray[1]).refPageArray, std::vector<int>{kFrames + 2});
  EXPECT_EQ(pageBytes({"A"}), pages) << "every page kept its pictures";
  EXPECT_FALSE(fs::exists(folderOf("Long")));
  EXPECT_EQ(m.projectsNameArray(), std::vector<std::string>{"A"});
}

// The new ids of the merged pages were checked against the merged project's
// folder, not against the folder they are put in: a file left there (by a
// run whose ids ran ahead of the clock) under such an id was kept, and the
// merged page showed it instead of its own picture. The first project's
// folder is listed once, or, when it holds far more files than ids are
// drawn, looked in at each id.
TEST_F(CombineTest, AFileAlreadyInTheTargetsFolderIsNeverTakenForAMergedPage) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  for (const bool targetLonger : {false, true}) {
    SCOPED_TRACE(targetLonger ? "the first project longer" : "the first project shorter");
    const std::string target = targetLonger ? "Longer" : "Shorter";
    if (targetLonger) {
      ASSERT_TRUE(model_test::writeLongProject(folderOf(target), 40, 2));
      makeProject("B", 1, std::nullopt);
      m.setProjectsNameArray({target, "B"});
    } else {
      makeProject(target, 2, std::nullopt);
      makeProject("B", 3, std::nullopt);
    }
    const std::vector<std::string> pages = pageBytes({target, "B"});

    using namespace std::chrono;
    system_clock::time_point now = system_clock::now() + hours{targetLonger ? 2 : 1};
    fd::setTimestampClockForTesting([&] { return now; }, [&](milliseconds d) { now += d; });
    // Files under the ids the clock gives next, plain and counted.
    std::vector<fs::path> strays;
    for (const std::string& id : {fd::formatTimestampId(now), fd::formatTimestampId(now + milliseconds{1})}) {
      for (const std::string& stem : {id, id + "-0001", id + "-0002"}) {
        for (const char* suffix : {".png", "Icon.png", "Snapshot.png"}) {
          strays.push_back(folderOf(target) / (stem + suffix));
          model_test::writeTinyPng(strays.back(), 200);
        }
      }
    }
    const std::string stray = model_test::readText(strays.front());
    ASSERT_TRUE(m.combineProjects({target, "B"})) << m.lastError();
    fd::setTimestampClockForTesting({});
    EXPECT_EQ(pageBytes({target}), pages) << "a merged page shows a file that was there before";
    for (const fs::path& file : strays) EXPECT_EQ(model_test::readText(file), stray) << file;
  }
}

// Where the file system refuses a second link to a page (another file system
// beneath, or one that has none), the page is copied: the first project's
// folder holds every page its list names, with the merged pages' bytes.
TEST_F(CombineTest, PagesAreCopiedWhereTheFileSystemRefusesLinks) {
  for (const int refusal : {EXDEV, EPERM, EMLINK}) {
    SCOPED_TRACE(refusal);
    makeAAndBWhileAnotherIsOpen();
    ZTDataModel& m = ZTDataModel::sharedInstance();
    const std::vector<std::string> pages = pageBytes({"A", "B"});
    const fs::path target = folderOf("A");
    // The link to a page is its first write there; the copy that follows is
    // let through, as another file system would take it.
    std::set<fs::path> linked;
    int refused = 0;
    fd::files::setWriteFaultForTesting([&](const fs::path& file) {
      if (file.parent_path() != target || file.filename() == "Project.plist" || !linked.insert(file).second) return 0;
      ++refused;
      return refusal;
    });
    ASSERT_TRUE(m.combineProjects({"A", "B"})) << m.lastError();
    fd::files::setWriteFaultForTesting({});
    EXPECT_EQ(refused, 12) << "every page of B was to be linked";
    EXPECT_EQ(pageBytes({"A"}), pages);
    ZTDataModel::waitForRemovals();
    fs::remove_all(target);
    m.setProjectsNameArray({"test"});
  }
}

// A page that could be neither linked nor copied (a full disk beneath the
// first project) was passed over: the combination went on and the merged
// project lost the page. It gives up saying why, with every project as it was.
// So it does when the pages cannot be written down before they are carried:
// a kill would leave them named by no list, for good.
TEST_F(CombineTest, APageTheDiskRefusesTakesTheCombinationBack) {
  makeAAndBWhileAnotherIsOpen();
  ZTDataModel& m = ZTDataModel::sharedInstance();
  const auto before = ziptest::snapshotTree(root());
  const fs::path target = folderOf("A");
  for (const bool pagesNoted : {true, false}) {
    SCOPED_TRACE(pagesNoted ? "a page refused" : "the list of pages carried refused");
    int pages = 0;
    fd::files::setWriteFaultForTesting([&](const fs::path& file) {
      if (!pagesNoted) return file.filename() == "pages" ? ENOSPC : 0;
      if (file.parent_path() != target || file.filename() == "Project.plist") return 0;
      // The fifth page finds the disk full, after four were carried.
      return ++pages >= 5 ? ENOSPC : 0;
    });
    EXPECT_FALSE(m.combineProjects({"A", "B"}));
    fd::files::setWriteFaultForTesting({});
    EXPECT_EQ(m.lastError(), pagesNoted ? "the disk is full"
                                        : "the pages it carries could not be written down first (the disk may be full)");
    EXPECT_EQ(m.projectsNameArray(), (Names{"test", "A", "B"}));
    ZTDataModel::waitForRemovals();
    EXPECT_EQ(ziptest::snapshotTree(root()), before) << "the combination left something behind";
  }
}

// The records a project keeps in its tray name its layers too: renamed with
// the frames, they name the layers by their new ids, and the files of those
// layers are carried with the others.
TEST_F(CombineTest, AMergedProjectsTrayRecordsAreRenamedWithItsLayers) {
  makeProject("B", 3, std::nullopt);
  std::shared_ptr<ProjectDataModel> b = ProjectDataModel::initWithProjectName("B");
  ASSERT_TRUE(b->moveImageToTemporaryWithPage(3));
  ASSERT_EQ(b->temporarysArray().size(), 1u);
  const std::vector<std::pair<std::string, std::string>> renamed = b->renameAllWithPageStart(5);
  EXPECT_EQ(b->frames().brokenInvariant(), std::nullopt);
  for (const std::string& id : b->temporarysArray().front().laysArray) {
    EXPECT_TRUE(std::any_of(renamed.begin(), renamed.end(), [&](const auto& r) { return r.second == id + ".png"; }))
        << id << " is no new id";
  }
}

// Asked to end (SIGTERM, or the window closed) while it runs, a combination
// gives up before the first project is saved and leaves every project as it
// was; the end goes on. On a long first project each early step takes a
// while (the model stored, the project's list read, its folder's names swept
// for killed writes): an end asked before or during one is heard before the
// next begins, where the program had waited for the list and the sweep.
TEST_F(CombineTest, ACombinationAskedToEndLeavesEveryProjectAsItWas) {
  makeAAndBWhileAnotherIsOpen();
  ASSERT_TRUE(model_test::writeLongProject(folderOf("Long"), 1000, 0));
  ZTDataModel& m = ZTDataModel::sharedInstance();
  m.setProjectsNameArray({"test", "A", "B", "Long"});
  m.saveData();
  const std::uintmax_t listBytes = fs::file_size(folderOf("Long") / "Project.plist");
  // A write a kill cut short, which the long project's sweep removes.
  const fs::path leftover = folderOf("Long") / ".Project.plist.Ab12Cd";
  const std::string leftoverEntry = leftover.lexically_relative(root()).generic_string();
  // The model stored at each moment has something new to write (a store of
  // nothing changed writes nothing).
  fd::UserDefaults& defaults = fd::UserDefaults::standard();
  const std::string defaultsEntry = defaults.filePath().lexically_relative(root()).generic_string();
  FinishRecorder recorder;
  m.setDelegate(&recorder);
  std::uint64_t readBefore = 0;
  int writes = 0;
  const auto listRead = [&] { return testing_support::bytesRead() - readBefore >= listBytes; };
  struct Moment {
    const char* name;
    Names combined;
    std::function<bool()> asked;  // the end watch, or the request comes as the model is stored
    std::function<void()> check;
  };
  const std::vector<Moment> moments = {
      {"as the model is stored", {"A", "B"}, {}, [] {}},
      {"before it begins", {"Long", "A"}, [] { return true; }, [&] { EXPECT_EQ(writes, 0); }},
      {"as the model is stored, before a long list is read", {"Long", "A"}, {},
       [&] { EXPECT_FALSE(listRead()) << "the first project's list was read"; }},
      {"once the long list is read", {"Long", "A"}, listRead,
       [&] { EXPECT_TRUE(fs::exists(leftover)) << "its folder was swept"; }},
      {"once its folder is swept", {"Long", "A"}, [&] { return !fs::exists(leftover); }, [] {}},
  };
  for (const Moment& moment : moments) {
    SCOPED_TRACE(moment.name);
    std::ofstream(leftover) << "half";
    auto before = ziptest::snapshotTree(root());
    defaults.setObject("CombineTestMoment", fd::Value(std::string(moment.name)));
    recorder.finished = false;
    writes = 0;
    fd::files::setWriteFaultForTesting([&](const fs::path&) {
      ++writes;
      if (!moment.asked) fd::requestStop();
      return 0;
    });
    fd::setEndWatch(moment.asked);
    readBefore = testing_support::bytesRead();
    EXPECT_FALSE(m.combineProjects(moment.combined));
    moment.check();
    fd::setEndWatch({});
    fd::files::setWriteFaultForTesting({});
    fd::clearStopRequest();
    EXPECT_TRUE(recorder.finished);
    EXPECT_EQ(m.lastError(), "the program is ending");
    EXPECT_EQ(m.projectsNameArray(), (Names{"test", "A", "B", "Long"}));
    // Swept or not, the leftover is no page.
    auto after = ziptest::snapshotTree(root());
    for (const std::string& entry : {leftoverEntry, defaultsEntry}) {
      after.erase(entry);
      before.erase(entry);
    }
    EXPECT_EQ(after, before) << "the combination left something behind";
  }
  EXPECT_TRUE(m.combineProjects({"A", "B"}));
  EXPECT_EQ(ProjectDataModel::initWithProjectName("A")->imagesArray().size(), 5u);
  m.setDelegate(nullptr);
}

// A first project whose list could not be written (a full disk) answered NO
// and kept the merged pages in its folder, named by no list: they go again.
// Once its list is written, though, every page it names stays, even when
// memory runs out in the save's last step.
TEST_F(CombineTest, AFirstProjectNotSavedTakesItsCopiesBackAndOneSavedKeepsThem) {
  makeAAndBWhileAnotherIsOpen();
  ZTDataModel& m = ZTDataModel::sharedInstance();
  const std::vector<std::string> pages = pageBytes({"A", "B"});
  const auto before = ziptest::snapshotTree(root());
  const fs::path list = folderOf("A") / "Project.plist";
  fd::files::setWriteFaultForTesting([&](const fs::path& file) { return file == list ? ENOSPC : 0; });
  EXPECT_FALSE(m.combineProjects({"A", "B"}));
  fd::files::setWriteFaultForTesting({});
  EXPECT_EQ(m.lastError(), "the combined project could not be saved");
  EXPECT_EQ(m.projectsNameArray(), (Names{"test", "A", "B"}));
  EXPECT_EQ(ziptest::snapshotTree(root()), before) << "the combination left something behind";

  // The model's own save passes the step first, then the first project's.
  fd::armAllocationFailure("project.save.written", 2);
  bool combined = true;
  EXPECT_NO_THROW(combined = m.combineProjects({"A", "B"}));
  fd::disarmCrashPoint();
  EXPECT_FALSE(combined);
  EXPECT_EQ(m.lastError(), "there was not enough memory to finish once the first had taken their frames");
  EXPECT_EQ(pageBytes({"A"}), pages);
  EXPECT_EQ(ProjectDataModel::initWithProjectName("B")->imagesArray().size(), 3u);
}

// A project list that could not be stored once the first project held the
// merged pages (a full disk) was ignored: the merged folders were deleted
// while the list on disk still named them. They stay, listed and whole, the
// first project keeping their frames, and the combination says why.
TEST_F(CombineTest, AListThatCannotBeStoredKeepsTheMergedProjects) {
  makeAAndBWhileAnotherIsOpen();
  ZTDataModel& m = ZTDataModel::sharedInstance();
  const auto b = ziptest::snapshotTree(folderOf("B"));
  const std::vector<std::string> pages = pageBytes({"A", "B"});
  const fs::path store = fd::UserDefaults::standard().filePath();
  const fs::path targetList = folderOf("A") / "Project.plist";
  // Once the first project is saved, the store is full.
  bool targetSaved = false;
  fd::files::setWriteFaultForTesting([&](const fs::path& file) {
    targetSaved = targetSaved || file == targetList;
    return targetSaved && file == store ? ENOSPC : 0;
  });
  EXPECT_FALSE(m.combineProjects({"A", "B"}));
  fd::files::setWriteFaultForTesting({});
  EXPECT_EQ(m.lastError(),
            "the list of projects could not be written once the first had taken their frames (the disk may be full)");
  EXPECT_EQ(m.projectsNameArray(), (Names{"test", "A", "B"}));
  fd::Expected<fd::Value> stored = fd::readPropertyList(store);
  ASSERT_TRUE(stored);
  Names storedNames;
  for (const fd::Value& name : *(*stored)["ProjectsNameArray"].array()) storedNames.push_back(name.stringValue());
  EXPECT_EQ(storedNames, (Names{"test", "A", "B"}));
  EXPECT_EQ(ziptest::snapshotTree(folderOf("B")), b) << "a merged project still listed lost its folder";
  EXPECT_EQ(pageBytes({"A"}), pages) << "the first project keeps the frames it took";
  ZTDataModel::waitForRemovals();
  for (const std::string& name : fd::files::contentsOfDirectory(fd::paths::library() / "Projects"))
    EXPECT_FALSE(name.starts_with('.')) << name;
}

// Rebuilding the tags saved the first project once a tag, every frame each
// time; a project with many tags (a package can carry thousands) is saved once.
TEST_F(CombineTest, RebuildingTheTagsSavesTheProjectOnce) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  std::shared_ptr<ProjectDataModel> t = ProjectDataModel::initWithProjectName("T");
  for (int i = 0; i < 9; ++i) t->createImageAtPage(1);
  SoundTagLists lists;
  std::vector<std::string> sounds;
  for (int tag = 0; tag < 40; ++tag) {
    lists.frames.insert(lists.frames.end(), {1 + tag % 9, 2 + tag % 9});
    sounds.push_back("s" + std::to_string(tag) + ".caf");
  }
  t->setSoundTags(soundTagsFromLists(lists));
  m.combineAudioFinishedwithSoundNameArray(sounds);
  fd::RunLoop::main().runUntilIdle();
  int writes = 0;
  const fs::path list = t->plistFilePath();
  fd::files::setWriteFaultForTesting([&](const fs::path& file) {
    if (file == list) ++writes;
    return 0;
  });
  m.combineSoundTagFrameAndPoints(*t);
  fd::files::setWriteFaultForTesting({});
  EXPECT_EQ(writes, 1);
  std::shared_ptr<ProjectDataModel> saved = ProjectDataModel::initWithProjectName("T");
  EXPECT_EQ(saved->soundNameArray(), sounds);
  EXPECT_EQ(saved->soundTagPointsArray().size(), 80u);
}

}  // namespace
