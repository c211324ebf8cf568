// Combining projects: the sound merge's answer arrives on a worker thread, the
// frames, layers and files of the further projects move into the first, and
// the sound tags are rebuilt on the timeline.
#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "model/ModelTestSupport.h"
#include "model/ZipTestSupport.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/RunLoop.h"

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
  makeProject("A", 2, std::nullopt);
  makeProject("B", 3, std::nullopt);
  ZTDataModel& m = ZTDataModel::sharedInstance();
  m.setCurProjectName("test");
  m.prjDataModel()->setCurProjectName("test");
  m.saveData();
  FinishRecorder recorder;
  m.setDelegate(&recorder);
  const auto before = ziptest::snapshotTree(root());
  bool combined = true;
  // The third list read is B's, as its pages are about to be copied.
  for (const auto& [step, hit] : std::vector<std::pair<std::string, int>>{{"project.read.frames", 3},
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

}  // namespace
