// Snapshot undo: step limits, the redo list, the memory cache and its spill
// to files, and each manager's own folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "canvas/ImagesUndoManager.h"
#include "canvas/UndoContainer.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "support/Sandbox.h"

namespace {

SnapshotData bytesOf(int tag) { return std::make_shared<const fd::Data>(fd::Data(64, static_cast<std::uint8_t>(tag))); }

int tagOf(const SnapshotData& d) { return d ? (*d)[0] : -1; }

class UndoManagerTest : public testing_support::SandboxTest {};

}  // namespace

TEST_F(UndoManagerTest, BaseListsFollowAddUndoRedo) {
  UndoManager m;
  m.setUndoStepCount(3);
  EXPECT_EQ(m.currentStringItem(), "InitString");
  EXPECT_FALSE(m.addItemWithString(std::nullopt));
  for (const char* n : {"a", "b", "c", "d"}) EXPECT_TRUE(m.addItemWithString(std::string(n)));
  EXPECT_EQ(m.undoItems(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(m.undo());
  EXPECT_EQ(m.currentStringItem(), "c");
  EXPECT_TRUE(m.canRedo());
  EXPECT_TRUE(m.redo());
  EXPECT_EQ(m.currentStringItem(), "d");
  EXPECT_TRUE(m.undo());
  m.addItemWithString(std::string("e"));
  EXPECT_FALSE(m.canRedo());
  m.reset();
  EXPECT_EQ(m.currentStringItem(), "e");
  EXPECT_FALSE(m.canUndo());
}

TEST_F(UndoManagerTest, FiftyOneStepsKeepFifty) {
  ImagesUndoManager m(bytesOf(0));
  for (int i = 1; i <= 51; ++i) m.addItemWithImageData(bytesOf(i));
  EXPECT_EQ(m.undoItems().size(), 50u);
  EXPECT_EQ(m.curCacheCount(), 50u);
  // The full cache spilled a snapshot; undo waits for its file.
  m.waitForFiles();
  int steps = 0;
  while (m.undo()) ++steps;
  EXPECT_EQ(steps, 50);
  // The state before the first step is gone; the oldest left is after it.
  EXPECT_EQ(tagOf(m.currentImageDataOfItem()), 1);
}

TEST_F(UndoManagerTest, NewStepDropsTheRedoListAndItsSnapshots) {
  ImagesUndoManager m(bytesOf(0));
  m.setMaxCacheCount(0);  // every snapshot on file, so deletions are visible
  for (int i = 1; i <= 3; ++i) m.addItemWithImageData(bytesOf(i));
  m.waitForFiles();
  ASSERT_TRUE(m.undo());
  ASSERT_TRUE(m.undo());
  const auto redoPaths = std::vector{*m.pathWithName(m.redoItems()[0]), *m.pathWithName(m.redoItems()[1])};
  for (const auto& p : redoPaths) EXPECT_TRUE(std::filesystem::exists(p));
  m.addItemWithImageData(bytesOf(9));
  m.waitForFiles();
  EXPECT_FALSE(m.canRedo());
  for (const auto& p : redoPaths) EXPECT_FALSE(std::filesystem::exists(p));
}

TEST_F(UndoManagerTest, FullCacheSpillsTheFarthestStateAndReadsItBack) {
  ImagesUndoManager m(bytesOf(0));
  for (int i = 1; i <= 49; ++i) m.addItemWithImageData(bytesOf(i));
  ASSERT_EQ(m.curCacheCount(), 50u);
  const std::string oldest = m.undoItems().front();  // "InitString", snapshot 0
  m.addItemWithImageData(bytesOf(50));
  m.waitForFiles();
  EXPECT_FALSE(m.isCached(oldest));
  EXPECT_TRUE(std::filesystem::exists(*m.pathWithName(oldest)));
  while (m.undo()) {
  }
  EXPECT_EQ(m.currentStringItem(), oldest);
  EXPECT_EQ(tagOf(m.currentImageDataOfItem()), 0);
  EXPECT_TRUE(m.isCached(oldest));
}

TEST_F(UndoManagerTest, SpillPrefersFarRedoStatesOverUndoStates) {
  ImagesUndoManager m(bytesOf(0));
  for (int i = 1; i <= 6; ++i) m.addItemWithImageData(bytesOf(i));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(m.undo());
  // Undo list: Init,1,2 (scores 3,2,1); redo list: 6,5,4 with 6 farthest
  // (score 3). Time-stamp names sort before "InitString", so state 6 outscores
  // state 1 before the initial state is met, and once a redo state is chosen
  // undo states no longer compete.
  const std::string farRedo = m.redoItems().front();
  const std::string farUndo = m.undoItems().front();
  ASSERT_EQ(farUndo, "InitString");
  m.removeOneObjectFromCache();
  EXPECT_FALSE(m.isCached(farRedo));
  EXPECT_TRUE(m.isCached(farUndo));
  m.removeOneObjectFromCache();
  EXPECT_FALSE(m.isCached(farUndo));
  EXPECT_TRUE(m.isCached(m.currentStringItem()));
}

TEST_F(UndoManagerTest, MemoryWarningShedsTwoAndLowersTheCap) {
  ImagesUndoManager m(bytesOf(0));
  for (int i = 1; i <= 11; ++i) m.addItemWithImageData(bytesOf(i));
  ASSERT_EQ(m.curCacheCount(), 12u);
  fd::NotificationCenter::defaultCenter().post(fd::kLowMemoryNotification);
  EXPECT_EQ(m.curCacheCount(), 10u);
  EXPECT_EQ(m.maxCacheCount(), 10u);
}

TEST_F(UndoManagerTest, UndoWaitsForSnapshotFilesInFlight) {
  ImagesUndoManager m(bytesOf(0));
  m.setMaxCacheCount(0);
  m.addItemWithImageData(bytesOf(1));
  // Either the write is still queued (undo refused) or it has landed.
  const bool first = m.undo();
  if (!first) {
    m.waitForFiles();
    EXPECT_TRUE(m.undo());
  }
  EXPECT_EQ(m.processCount(), 0u);
}

TEST_F(UndoManagerTest, StepToAMissingSnapshotIsRefused) {
  ImagesUndoManager m(bytesOf(0));
  m.setMaxCacheCount(0);
  m.addItemWithImageData(bytesOf(1));
  m.addItemWithImageData(bytesOf(2));
  m.waitForFiles();
  std::filesystem::remove(*m.pathWithName(m.undoItems().back()));
  const std::string before = m.currentStringItem();
  EXPECT_FALSE(m.undo());
  EXPECT_EQ(m.currentStringItem(), before);
  EXPECT_EQ(m.undoItems().size(), 2u);
}

TEST_F(UndoManagerTest, FileNamesFollowTheExtension) {
  ImagesUndoManager m;
  ASSERT_TRUE(m.tempDirectory());
  EXPECT_EQ(m.pathWithName("N"), *m.tempDirectory() / "N.png");
  m.setFilePathExtension(std::nullopt);
  EXPECT_EQ(m.pathWithName("N"), *m.tempDirectory() / "N");
}

TEST_F(UndoManagerTest, WithoutAFolderNothingIsWrittenAnywhere) {
  ImagesUndoManager m(bytesOf(0));
  m.setMaxCacheCount(0);
  m.setTempDirectory(std::nullopt);
  EXPECT_FALSE(m.pathWithName("N"));
  const auto cwd = std::filesystem::current_path();
  m.addItemWithImageData(bytesOf(1));
  const std::string name = m.currentStringItem();
  m.waitForFiles();
  EXPECT_FALSE(std::filesystem::exists(cwd / name));
  EXPECT_EQ(m.currentImageDataOfItem(), nullptr);
  // The earlier state's snapshot stayed in memory; the lost one is never stepped to.
  EXPECT_TRUE(m.undo());
  EXPECT_EQ(tagOf(m.currentImageDataOfItem()), 0);
  EXPECT_FALSE(m.redo());
}

TEST_F(UndoManagerTest, EachManagerKeepsAndDeletesOnlyItsOwnFolder) {
  auto a = std::make_unique<ImagesUndoManager>(bytesOf(0));
  auto b = std::make_unique<ImagesUndoManager>(bytesOf(0));
  ASSERT_NE(*a->tempDirectory(), *b->tempDirectory());
  const auto parent = fd::paths::caches() / ImagesUndoManager::kTempDirectoryName;
  EXPECT_EQ(a->tempDirectory()->parent_path(), parent);
  b->setMaxCacheCount(0);
  b->addItemWithImageData(bytesOf(1));
  b->waitForFiles();
  const auto bFile = *b->pathWithName(b->currentStringItem());
  ASSERT_TRUE(std::filesystem::exists(bFile));

  const auto aDir = *a->tempDirectory();
  a->clearAllTempFiles();
  a->waitForFiles();
  EXPECT_TRUE(std::filesystem::exists(bFile));
  a.reset();
  EXPECT_FALSE(std::filesystem::exists(aDir));
  EXPECT_TRUE(std::filesystem::exists(bFile));
}

// A minimised window keeps its history; the end of the program deletes the
// files and empties the lists.
TEST_F(UndoManagerTest, BackgroundKeepsTheHistoryAndTerminationDeletesIt) {
  ImagesUndoManager m(bytesOf(0));
  m.setMaxCacheCount(0);
  m.addItemWithImageData(bytesOf(1));
  m.addItemWithImageData(bytesOf(2));
  fd::NotificationCenter::defaultCenter().post(kDidEnterBackgroundNotification);
  m.waitForFiles();
  ASSERT_TRUE(m.canUndo());
  ASSERT_TRUE(m.undo());
  EXPECT_EQ(tagOf(m.currentImageDataOfItem()), 1);
  fd::NotificationCenter::defaultCenter().post(kWillTerminateNotification);
  m.waitForFiles();
  EXPECT_FALSE(m.canUndo());
  EXPECT_FALSE(m.canRedo());
  EXPECT_TRUE(std::filesystem::is_directory(*m.tempDirectory()));
  EXPECT_TRUE(std::filesystem::is_empty(*m.tempDirectory()));
}

TEST_F(UndoManagerTest, ResetKeepsTheCurrentNameWithTheNewSnapshot) {
  ImagesUndoManager m(bytesOf(0));
  m.addItemWithImageData(bytesOf(1));
  const std::string current = m.currentStringItem();
  m.resetWithImageDataOfCurrentItem(bytesOf(7));
  EXPECT_EQ(m.currentStringItem(), current);
  EXPECT_FALSE(m.canUndo());
  EXPECT_EQ(tagOf(m.currentImageDataOfItem()), 7);
}

TEST_F(UndoManagerTest, ContainerKeepsManagersByKey) {
  auto& container = UndoContainer::defaultContainer();
  auto m = std::make_shared<UndoManager>();
  container.setUndoManager(m, "page");
  EXPECT_EQ(container.undoManagerForKey("page"), m);
  EXPECT_EQ(container.undoManagerForKey("other"), nullptr);
  container.setUndoManager(nullptr, "page");
  EXPECT_EQ(container.undoManagerForKey("page"), nullptr);
}
