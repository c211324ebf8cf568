// Projects built from pictures handed over one at a time (from a worker
// thread), written through the model's serial write queue.
#include <future>
#include <thread>

#include "model/ModelTestSupport.h"
#include "platform/foundation/PropertyList.h"

namespace {

using model_test::ModelTest;
using model_test::patternImage;
namespace fs = std::filesystem;

ImageRef picture(std::uint8_t seed, int w = 40, int h = 30) {
  return std::make_shared<const gfx::Image>(patternImage(w, h, seed));
}

class ImageProjectTest : public ModelTest {};

TEST_F(ImageProjectTest, WithoutAPictureTheProjectIsEmptyButSaved) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  std::shared_ptr<ProjectDataModel> p = m.creatProject("Roto", nullptr, 1);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->imagesArray().size(), 1u);
  EXPECT_TRUE(fs::exists(p->plistFilePath()));
  EXPECT_FALSE(fs::exists(*p->layFullPathAtPage(1, false, 1)));
  ASSERT_TRUE(m.finishCreatedProject(p));
  EXPECT_EQ(p->curProjectName(), "Roto");
  EXPECT_EQ(m.curProjectName(), "Roto");
  EXPECT_TRUE(fs::exists(p->plistFilePath()));
  std::shared_ptr<ProjectDataModel> again = m.creatProject("Roto", nullptr, 1);
  ASSERT_TRUE(m.finishCreatedProject(again));
  EXPECT_EQ(again->curProjectName(), "Rotocopy1");
}

TEST_F(ImageProjectTest, AProjectBuiltFromPicturesTakesItsNameOnlyWhenFinished) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  const std::vector<std::string> before = m.projectsNameArray();
  const std::string current = m.curProjectName();
  std::shared_ptr<ProjectDataModel> p = m.creatProject("Roto", picture(1), 1);
  ASSERT_TRUE(p);
  for (int i = 2; i <= 4; ++i) ASSERT_TRUE(p->addFrameWithImage(picture(static_cast<std::uint8_t>(i)), 1));
  ProjectDataModel::waitForImageWrites();
  // Built aside under a hidden name: listed nowhere, not current, not "Roto".
  EXPECT_TRUE(ZTDataModel::isCreationStagingName(p->curProjectName())) << p->curProjectName();
  EXPECT_EQ(p->curProjectName().front(), '.');
  EXPECT_EQ(m.projectsNameArray(), before);
  EXPECT_EQ(m.curProjectName(), current);
  EXPECT_FALSE(fs::exists(*m.projectPathWithProjectName("Roto")));
  const fs::path staging = p->projectDicPath();
  ASSERT_TRUE(m.finishCreatedProject(p));
  EXPECT_FALSE(fs::exists(staging));
  EXPECT_EQ(m.curProjectName(), "Roto");
  ASSERT_EQ(m.projectsNameArray().size(), before.size() + 1);
  EXPECT_EQ(m.projectsNameArray().back(), "Roto");
  EXPECT_EQ(m.prjDataModel()->imagesArray().size(), 4u);
  EXPECT_TRUE(fs::exists(*m.prjDataModel()->layFullPathAtPage(4, false, 1)));
  EXPECT_FALSE(m.finishCreatedProject(p)) << "finished once";
  // A folder of that name that no list names is never written over.
  fs::create_directories(*m.projectPathWithProjectName("Rotocopy1"));
  std::shared_ptr<ProjectDataModel> next = m.creatProject("Roto", picture(5), 2);
  ProjectDataModel::waitForImageWrites();
  ASSERT_TRUE(m.finishCreatedProject(next));
  EXPECT_EQ(next->curProjectName(), "Rotocopy2");
}

TEST_F(ImageProjectTest, AProjectLeftUnfinishedIsSweptAtTheNextStart) {
  ZTDataModel& m = ZTDataModel::sharedInstance();
  const std::vector<std::string> before = m.projectsNameArray();
  std::shared_ptr<ProjectDataModel> p = m.creatProject("Roto", picture(1), 1);
  ASSERT_TRUE(p->addFrameWithImage(picture(2), 1));
  ProjectDataModel::waitForImageWrites();
  const fs::path staging = p->projectDicPath();
  ASSERT_TRUE(fs::is_directory(staging));
  // A folder that only looks like one is left alone.
  const fs::path lookalike = staging.parent_path() / ".Roto.building-overlong";
  fs::create_directories(lookalike);
  p.reset();
  ZTDataModel::resetSharedInstanceForTesting();
  ZTDataModel& restarted = ZTDataModel::sharedInstance();
  ZTDataModel::waitForRemovals();
  EXPECT_FALSE(fs::exists(staging));
  EXPECT_TRUE(fs::exists(lookalike));
  EXPECT_EQ(restarted.projectsNameArray(), before);
}

TEST_F(ImageProjectTest, PicturesFromAWorkerThreadBecomeFrames) {
  std::shared_ptr<ProjectDataModel> p;
  std::thread worker([&] {
    p = ZTDataModel::sharedInstance().creatProject("Roto", picture(1), 2);
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->addFrameWithImage(picture(2), 2));
    EXPECT_TRUE(p->addFrameWithImage(picture(3), 1));
  });
  worker.join();
  ProjectDataModel::waitForImageWrites();
  ASSERT_EQ(p->imagesArray().size(), 3u);
  const int positions[] = {2, 2, 1};
  for (int page = 1; page <= 3; ++page) {
    const fs::path layer = *p->layFullPathAtPage(page, false, positions[page - 1]);
    const fs::path snapshot = *p->snapshotFullPathAtPage(page, false);
    ASSERT_TRUE(fs::exists(layer)) << page;
    EXPECT_EQ(model_test::readText(layer), model_test::readText(snapshot)) << "the snapshot is the picture itself";
    fd::Expected<gfx::Image> stored = gfx::readPNG(layer);
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, patternImage(40, 30, static_cast<std::uint8_t>(page)));
    fd::Expected<gfx::Image> icon = gfx::readPNG(*p->iconFullPathAtPage(page, false));
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->pixelWidth(), 108);
    EXPECT_EQ(icon->pixelHeight(), 81);
  }
  std::shared_ptr<ProjectDataModel> reread = ProjectDataModel::initWithProjectName(p->curProjectName());
  EXPECT_EQ(reread->imagesArray(), p->imagesArray());
}

TEST_F(ImageProjectTest, InvalidPositionsAndPagesAreRefused) {
  std::shared_ptr<ProjectDataModel> p = ZTDataModel::sharedInstance().creatProject("Roto", nullptr, 1);
  EXPECT_FALSE(p->setImage(picture(1), 3, 1));
  EXPECT_FALSE(p->addFrameWithImage(picture(1), 3));
  EXPECT_FALSE(p->setImage(picture(1), 1, 2));
  EXPECT_FALSE(p->setImage(nullptr, 1, 1));
  EXPECT_FALSE(p->addFrameWithImage(nullptr, 1));
  EXPECT_EQ(p->imagesArray().size(), 1u);
  EXPECT_TRUE(p->setImage(picture(1), 1, 1));
  ProjectDataModel::waitForImageWrites();
  EXPECT_TRUE(fs::exists(*p->layFullPathAtPage(1, false, 1)));
}

TEST_F(ImageProjectTest, AJobWritesThePageItWasGivenEvenIfFramesMoveMeanwhile) {
  std::shared_ptr<ProjectDataModel> p = ZTDataModel::sharedInstance().creatProject("Roto", nullptr, 1);
  ASSERT_TRUE(p->addFrameWithImage(picture(9), 1));
  // Hold the queue until the frame list has changed.
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  ProjectDataModel::afterImageWrites([gate] { gate.wait(); });
  ASSERT_TRUE(p->addFrameWithImage(picture(5), 1));
  const std::string addedLayer = p->imagesArray()[2].laysArray[0];
  const std::string addedIcon = p->imagesArray()[2].iconName;
  ASSERT_TRUE(p->moveImageFrom(3, 1));  // the frame the job was queued for is now page 1
  release.set_value();
  ProjectDataModel::waitForImageWrites();
  fd::Expected<gfx::Image> written = gfx::readPNG(p->projectDicPath() / (addedLayer + ".png"));
  ASSERT_TRUE(written);
  EXPECT_EQ(*written, patternImage(40, 30, 5));
  EXPECT_TRUE(fs::exists(p->projectDicPath() / (addedIcon + "Icon.png")));
  fd::Expected<gfx::Image> nowThird = gfx::readPNG(*p->layFullPathAtPage(3, false, 1));
  ASSERT_TRUE(nowThird);
  EXPECT_EQ(*nowThird, patternImage(40, 30, 9)) << "the frame now at page 3 keeps its own picture";
}

// Saves after each picture are gathered while one waits on the queue; every
// frame is on disk once the queue is waited for, and a held-back save never
// writes over a later one.
TEST_F(ImageProjectTest, SavesBehindAWaitingOneAreGatheredAndNeverWriteOverANewerState) {
  std::shared_ptr<ProjectDataModel> p = ZTDataModel::sharedInstance().creatProject("Roto", picture(1), 1);
  // The first picture's save is gathered with later ones if the queue has not
  // reached it yet: let it land before the queue is held.
  ProjectDataModel::waitForImageWrites();
  auto storedFrames = [&] {
    fd::Expected<fd::Value> v = fd::readPropertyList(p->plistFilePath());
    return v ? (*v)["ImagesArray"].count() : 0u;
  };
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  ProjectDataModel::afterImageWrites([gate] { gate.wait(); });
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(p->addFrameWithImage(picture(static_cast<std::uint8_t>(i)), 1));
  EXPECT_EQ(storedFrames(), 1u) << "the saves wait behind the pictures";
  // A save made now, on the calling thread, is newer than the one queued.
  ASSERT_TRUE(p->createImageAtPage(1));
  ASSERT_TRUE(p->saveData());
  EXPECT_EQ(storedFrames(), 22u);
  release.set_value();
  ProjectDataModel::waitForImageWrites();
  EXPECT_EQ(storedFrames(), 22u) << "the queued save carried an older state";
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(p->addFrameWithImage(picture(7), 2));
  ProjectDataModel::waitForImageWrites();
  EXPECT_EQ(storedFrames(), 27u);
  EXPECT_EQ(ProjectDataModel::initWithProjectName(p->curProjectName())->frames(), p->frames());
}

TEST_F(ImageProjectTest, AHeldBackSaveIsWrittenWhenTheProjectGoes) {
  std::shared_ptr<ProjectDataModel> p = ZTDataModel::sharedInstance().creatProject("Roto", nullptr, 1);
  ZTDataModel::resetSharedInstanceForTesting();
  const fs::path plist = p->plistFilePath();
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  ProjectDataModel::afterImageWrites([gate] { gate.wait(); });
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(p->addFrameWithImage(picture(3), 1));
  p.reset();  // the queued jobs keep it alive
  release.set_value();
  ProjectDataModel::afterImageWrites([] {});
  ProjectDataModel::waitForImageWrites();
  EXPECT_EQ((*fd::readPropertyList(plist))["ImagesArray"].count(), 4u);
}

}  // namespace
